#include "platform/wave_out.h"

#include <SDL2/SDL.h>

#include <cstring>
#include <string>

#include "platform/played_position.h"
#include "platform/sdl/wave_probe.h"

namespace platform {

// Changed only with the device locked (SDL holds that lock around every callback), so the
// callback and the readers of the position never see half a change.
struct WaveOut {
    SDL_AudioDeviceID id = 0;
    const unsigned char* ring = nullptr;
    uint32_t ring_bytes = 0;
    PlayedPosition played;
};

namespace {

std::string wave_reason;

// Runs on SDL's audio thread: hands out the ring from where the last call stopped.
void SDLCALL feed(void* user, Uint8* stream, int length) {
    auto* device = static_cast<WaveOut*>(user);
    if (!device->ring) {
        std::memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    uint32_t offset = static_cast<uint32_t>(device->played.handed % device->ring_bytes);
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
    played_handed(device->played, device->played.handed + wanted,
                  static_cast<int64_t>(SDL_GetPerformanceCounter()));
}

}  // namespace

WaveOut* wave_open(int32_t rate) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        wave_reason = SDL_GetError();
        return nullptr;
    }
    auto* device = new WaveOut;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 512;  // small callbacks keep the heard position close behind the hand-outs
    want.callback = feed;
    want.userdata = device;
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts to whatever the hardware takes, so the ring's format holds.
    device->id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device->id == 0) {
        wave_reason = SDL_GetError();
        delete device;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    // SDL tells only its own buffer; what a sound server holds beyond it, SDL does not say (a
    // PulseAudio null sink measured here holds about 9 ms in all, of which the buffer is 11.6).
    device->played.buffer = have.size;
    device->played.latency = 0;
    device->played.bytes_per_second = static_cast<uint64_t>(rate) * 4;
    device->played.frequency = static_cast<int64_t>(SDL_GetPerformanceFrequency());
    SDL_PauseAudioDevice(device->id, 0);
    return device;
}

const char* wave_error() { return wave_reason.c_str(); }

void wave_play_loop(WaveOut* device, const void* ring, uint32_t bytes) {
    if (!device || !ring || bytes < 4) return;
    SDL_LockAudioDevice(device->id);
    device->ring = static_cast<const unsigned char*>(ring);
    device->ring_bytes = bytes & ~3u;
    played_restart(device->played);
    SDL_UnlockAudioDevice(device->id);
}

uint64_t wave_position(WaveOut* device) {
    if (!device) return 0;
    SDL_LockAudioDevice(device->id);
    const uint64_t position = played_at(device->played, static_cast<int64_t>(SDL_GetPerformanceCounter()));
    SDL_UnlockAudioDevice(device->id);
    return position;
}

uint64_t wave_handed_out(WaveOut* device) {
    if (!device) return 0;
    SDL_LockAudioDevice(device->id);
    const uint64_t handed = device->played.handed;
    SDL_UnlockAudioDevice(device->id);
    return handed;
}

void wave_reset(WaveOut* device) {
    if (!device) return;
    SDL_LockAudioDevice(device->id);
    device->ring = nullptr;
    device->ring_bytes = 0;
    played_restart(device->played);
    SDL_UnlockAudioDevice(device->id);
}

void wave_close(WaveOut* device) {
    if (!device) return;
    SDL_CloseAudioDevice(device->id);  // waits for a running callback
    delete device;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace platform
