#include "platform/wave_out.h"

#include <SDL2/SDL.h>
#include <atomic>
#include <cstring>

namespace platform {

struct WaveOut {
    SDL_AudioDeviceID id = 0;
    // Changed only with the device locked, so the callback never sees half a change.
    const unsigned char* ring = nullptr;
    uint32_t ring_bytes = 0;
    std::atomic<uint64_t> position{0};
};

namespace {

// Runs on SDL's audio thread: hands out the ring from where the last call stopped.
void SDLCALL feed(void* user, Uint8* stream, int length) {
    auto* device = static_cast<WaveOut*>(user);
    if (!device->ring) {
        std::memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    uint64_t position = device->position.load(std::memory_order_relaxed);
    uint32_t offset = static_cast<uint32_t>(position % device->ring_bytes);
    uint32_t done = 0;
    const uint32_t wanted = static_cast<uint32_t>(length);
    while (done < wanted) {
        uint32_t run = device->ring_bytes - offset;
        if (run > wanted - done) run = wanted - done;
        std::memcpy(stream + done, device->ring + offset, run);
        done += run;
        offset += run;
        if (offset == device->ring_bytes) offset = 0;
    }
    device->position.store(position + wanted, std::memory_order_release);
}

}  // namespace

WaveOut* wave_open(int32_t rate) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    auto* device = new WaveOut;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 512;  // small callbacks keep the reported position moving smoothly
    want.callback = feed;
    want.userdata = device;
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts to whatever the hardware takes, so the ring's format holds.
    device->id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device->id == 0) {
        delete device;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    SDL_PauseAudioDevice(device->id, 0);
    return device;
}

void wave_play_loop(WaveOut* device, const void* ring, uint32_t bytes) {
    if (!device || !ring || bytes < 4) return;
    SDL_LockAudioDevice(device->id);
    device->ring = static_cast<const unsigned char*>(ring);
    device->ring_bytes = bytes & ~3u;
    device->position.store(0, std::memory_order_relaxed);
    SDL_UnlockAudioDevice(device->id);
}

uint64_t wave_position(WaveOut* device) {
    return device ? device->position.load(std::memory_order_acquire) : 0;
}

void wave_reset(WaveOut* device) {
    if (!device) return;
    SDL_LockAudioDevice(device->id);
    device->ring = nullptr;
    device->ring_bytes = 0;
    device->position.store(0, std::memory_order_relaxed);
    SDL_UnlockAudioDevice(device->id);
}

void wave_close(WaveOut* device) {
    if (!device) return;
    SDL_CloseAudioDevice(device->id);  // waits for a running callback
    delete device;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace platform
