#include "shell/driver.h"

#include <cstdio>

#include "music/file_access.h"
#include "music/playback.h"
#include "music/song.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/window.h"
#include "shell/gl_window.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/metaballs.h"
#include "show/scenes/ribbons.h"
#include "show/timeline.h"

namespace shell {

ShowSteps show_steps = {show::init_graphics, show::init_metaballs, show::init_trail_offsets, show::draw_frame,
                        show::release_graphics};

bool fullscreen_requested = false;
bool quit_requested = false;
float previous_frame_time = 0.0f;

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

    const long double t = clock_seconds();
    show::frame_time = static_cast<float>(t);
    show::frame_delta = static_cast<float>(t - previous_frame_time);
    previous_frame_time = static_cast<float>(t);

    show_steps.draw_frame();
    platform::swap_buffers(device_context);
    return !quit_requested;
}

bool start_demo(bool fullscreen_wanted, music::Refill refill) {
    quit_requested = false;
    previous_frame_time = 0.0f;
    show::frame_time = 0.0f;
    show::frame_delta = 0.0f;
    show::loaded_song = nullptr;
    fullscreen_requested = fullscreen_wanted;

    clock_start();
    if (!create_gl_window("*** Brusk ***", 640, 480, 32, fullscreen_requested)) return false;

    music::install_memory_callbacks();
    if (music::audio_open(44100)) {
        show::loaded_song = music::load_song("");  // null: the show runs without music

        // The graphics start-up, in an order that decides which random numbers each part draws.
        show_steps.init_graphics();
        show_steps.init_metaballs();
        show_steps.init_trail_offsets();

        music::play_song(show::loaded_song, refill);
    } else {
        // No sound device: close again at once, saying why where a terminal can show it.
        std::fprintf(stderr, "brusk: no sound device: %s\n", music::audio_error());
        quit_requested = true;
    }
    return true;
}

void stop_demo() {
    show_steps.release_graphics();
    music::stop_song(show::loaded_song);
    music::free_song(show::loaded_song);
    show::loaded_song = nullptr;
    music::audio_close();
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
