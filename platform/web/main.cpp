// The page's entry points, called from its script (platform/web/shell.html). The live page
// runs the driver's start-up, one driver pass per display refresh with the ring refilled first
// (no threads in a page: the caller-refill path the offline renderers use), and the driver's
// shutdown. The offline frame page draws frame n at exactly n / 60 s with the sound advanced to
// that moment by the program's own playback code, as brusk-capture does, and plays nothing.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <vector>

#include "music/playback.h"
#include "platform/wave_out.h"
#include "platform/window.h"
#include "platform/web/gl/gl_layer.h"
#include "platform/web/web.h"
#include "shell/driver.h"
#include "shell/lifecycle.h"
#include "show/frame.h"

namespace {

constexpr int32_t RATE = 44100;
constexpr int64_t FRAMES_PER_SECOND = 60;

bool running = false;
int64_t next_frame = 0;    // offline: the frame drawn next
int64_t device_frame = 0;  // offline: output frames the device has played
std::vector<uint8_t> pixels;

// Offline: the device plays what it is told to, into nothing.
bool play_into_nothing(int64_t, uint32_t frames, void*) {
    platform::web::advance_wave(frames * 4);
    return true;
}

}  // namespace

extern "C" {

// first: the answer to the start-up question (1 yes, 0 no); fallback: the answer to the
// full-screen fallback question when the page had to ask it (-1 when it did not). 1 when the
// demo runs; 0 when it ended at once (the page has been told why, if there is a why).
EMSCRIPTEN_KEEPALIVE int brusk_live_start(int first, int fallback) {
    if (running) return 1;
    platform::web::mode = platform::web::Mode::live;
    platform::web::set_answers(fallback, -1);
    if (!shell::start_demo(first != 0, music::Refill::caller)) return 0;
    if (shell::quit_requested) {
        shell::stop_demo();
        return 0;
    }
    running = true;
    return 1;
}

// Browsers keep Escape for leaving full screen and may not pass it on: the page reports it.
EMSCRIPTEN_KEEPALIVE void brusk_live_escape() { platform::web::post_key(platform::KEY_ESCAPE); }

// One pass of the main loop; 0 once the run has ended and shut down.
EMSCRIPTEN_KEEPALIVE int brusk_live_frame() {
    if (!running) return 0;
    if (show::loaded_song) music::audio_poll(platform::wave_position(music::wave_out));
    if (shell::run_frame()) return 1;
    shell::stop_demo();
    running = false;
    return 0;
}

EMSCRIPTEN_KEEPALIVE int brusk_offline_start() {
    if (running) return 1;
    platform::web::mode = platform::web::Mode::offline;
    platform::web::set_clock_count(0, FRAMES_PER_SECOND);
    if (!shell::start_demo(false, music::Refill::caller) || shell::quit_requested || !show::loaded_song) return 0;
    running = true;
    next_frame = 0;
    device_frame = 0;
    return 1;
}

// Draws the next frame; returns its number, or -1 when the page is not running.
EMSCRIPTEN_KEEPALIVE double brusk_offline_frame() {
    if (!running || platform::web::mode != platform::web::Mode::offline) return -1;
    const int64_t n = next_frame++;
    shell::play_until(&device_frame, n * RATE / FRAMES_PER_SECOND, play_into_nothing, nullptr);
    platform::web::set_clock_count(n, FRAMES_PER_SECOND);
    shell::run_frame();
    return static_cast<double>(n);
}

// The frame just drawn as 640 x 480 RGBA, bottom row first.
EMSCRIPTEN_KEEPALIVE const uint8_t* brusk_read_pixels() {
    gl11::flush();
    pixels.resize(640 * 480 * 4);
    gl11::emscripten_glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels.data();
}

// The audible order and row as order x 256 + row, for the page's tests; -1 without a song.
EMSCRIPTEN_KEEPALIVE int brusk_position() {
    if (!show::loaded_song) return -1;
    return music::get_order(show::loaded_song) * 256 + music::get_row(show::loaded_song);
}

// Waits until the frame drawn so far is finished (a one-pixel read), for timing frames.
EMSCRIPTEN_KEEPALIVE void brusk_finish() {
    gl11::flush();
    uint8_t pixel[4];
    gl11::emscripten_glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
}

}  // extern "C"

int main() { return 0; }  // the page's script drives everything
