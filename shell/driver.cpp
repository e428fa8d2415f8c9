#include "shell/driver.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/window.h"
#include "shell/gl_window.h"
#include "shell/lifecycle.h"

namespace shell {

bool fullscreen_requested = false;
bool quit_requested = false;

namespace {

int64_t clock_start_count = 0;
int64_t clock_frequency = 0;

}  // namespace

void clock_start() {
    clock_start_count = platform::performance_counter();
    clock_frequency = platform::performance_frequency();
}

long double clock_seconds() {
    if (clock_frequency <= 0) return 0.0L;
    const int64_t elapsed = platform::performance_counter() - clock_start_count;
    return static_cast<long double>(elapsed) / static_cast<long double>(clock_frequency);
}

bool run_frame() {
    platform::Message message;
    while (platform::next_message(message)) {
        if (message.type == platform::MessageType::quit)
            quit_requested = true;  // keeps draining: this pass still draws and presents
        else
            window_proc(window_handle, message);
    }

    show_frame(clock_seconds());
    platform::swap_buffers(device_context);
    return !quit_requested;
}

bool start_demo(bool fullscreen_wanted, music::Refill refill) {
    quit_requested = false;
    fullscreen_requested = fullscreen_wanted;

    clock_start();
    if (!create_gl_window("*** Brusk ***", 640, 480, 32, fullscreen_requested)) return false;

    // Without the song (or its buffers) the show runs without music.
    if (start_show(refill) == ShowStart::no_sound_device) {
        // No sound device: close again at once, saying why where a terminal can show it.
        std::fprintf(stderr, "brusk: no sound device: %s\n", music::audio_error());
        quit_requested = true;
    }
    return true;
}

void stop_demo() {
    stop_show();
    kill_gl_window();
}

int run_demo() {
    // Only an explicit No means a window: Yes, or no box at all, means full screen.
    const bool fullscreen_wanted = platform::ask_yes_no("Start in fullscreen ? (RECOMMANDED)",
                                                        "-*- Gfx Mode Selection -*-",
                                                        platform::Icon::question) != platform::Answer::no;
    if (!start_demo(fullscreen_wanted, music::Refill::audio_thread)) return 0;
    if (!quit_requested)
        while (run_frame()) {
        }
    stop_demo();
    return 0;
}

}  // namespace shell
