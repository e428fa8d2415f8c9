#include <cstring>

#include "platform/virtual/virtual_wave.h"

namespace platform {

struct WaveOut {
    const uint8_t* ring = nullptr;
    uint32_t ring_bytes = 0;
    uint64_t position = 0;  // bytes played since play_loop
};

WaveOut* wave_open(int32_t rate) {
    if (rate <= 0) return nullptr;
    return new WaveOut;
}

const char* wave_error() { return "the rate must be above 0"; }

void wave_play_loop(WaveOut* device, const void* ring, uint32_t bytes) {
    if (!device || !ring || bytes < 4) return;
    device->ring = static_cast<const uint8_t*>(ring);
    device->ring_bytes = bytes & ~3u;
    device->position = 0;
}

uint64_t wave_position(WaveOut* device) { return device ? device->position : 0; }

void wave_reset(WaveOut* device) {
    if (!device) return;
    device->ring = nullptr;
    device->ring_bytes = 0;
    device->position = 0;
}

void wave_close(WaveOut* device) { delete device; }

void wave_advance(WaveOut* device, uint32_t bytes, uint8_t* played) {
    bytes &= ~3u;
    if (!device || !device->ring) {
        if (played) std::memset(played, 0, bytes);
        return;  // nothing playing: the position stays where reset or open left it
    }
    uint32_t offset = static_cast<uint32_t>(device->position % device->ring_bytes);
    for (uint32_t done = 0; done < bytes;) {
        uint32_t run = device->ring_bytes - offset;
        if (run > bytes - done) run = bytes - done;
        if (played) std::memcpy(played + done, device->ring + offset, run);
        done += run;
        offset = offset + run == device->ring_bytes ? 0 : offset + run;
    }
    device->position += bytes;
}

}  // namespace platform
