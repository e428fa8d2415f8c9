// The wave-output device over Web Audio: the page's audio node copies from the caller's ring at
// the position it has reached, looping, and the position reported is what the audio clock says
// has been heard, never more than was handed over. On the offline page nothing is played: the
// position moves only when the page moves it, a frame's worth at a time.

#include "platform/wave_out.h"

#include "platform/web/web.h"

extern "C" {
// platform/web/page_library.js
int brusk_audio_open(int rate);
void brusk_audio_play(const void* ring, uint32_t bytes);
double brusk_audio_heard_frames();
void brusk_audio_reset();
void brusk_audio_close();
}

namespace platform {

struct WaveOut {
    bool offline = false;
    bool playing = false;
    uint64_t position = 0;  // offline: bytes played since play_loop
};

namespace {
WaveOut* offline_device = nullptr;
}  // namespace

namespace web {

void advance_wave(uint32_t bytes) {
    if (offline_device && offline_device->playing) offline_device->position += bytes & ~3u;
}

}  // namespace web

WaveOut* wave_open(int32_t rate) {
    if (rate <= 0) return nullptr;
    if (web::mode == web::Mode::offline) {
        offline_device = new WaveOut{true, false, 0};
        return offline_device;
    }
    if (!brusk_audio_open(rate)) return nullptr;
    return new WaveOut{false, false, 0};
}

const char* wave_error() { return "the page could not make a Web Audio context"; }

void wave_play_loop(WaveOut* device, const void* ring, uint32_t bytes) {
    if (!device || !ring || bytes < 4) return;
    device->playing = true;
    device->position = 0;
    if (!device->offline) brusk_audio_play(ring, bytes & ~3u);
}

uint64_t wave_position(WaveOut* device) {
    if (!device || !device->playing) return 0;
    if (device->offline) return device->position;
    const double frames = brusk_audio_heard_frames();
    return frames > 0.0 ? static_cast<uint64_t>(frames) * 4u : 0u;
}

void wave_reset(WaveOut* device) {
    if (!device) return;
    device->playing = false;
    device->position = 0;
    if (!device->offline) brusk_audio_reset();
}

void wave_close(WaveOut* device) {
    if (!device) return;
    if (!device->offline) brusk_audio_close();
    if (device == offline_device) offline_device = nullptr;
    delete device;
}

}  // namespace platform
