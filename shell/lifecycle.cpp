#include "shell/lifecycle.h"

#include "music/file_access.h"
#include "music/mixer.h"
#include "music/song.h"
#include "platform/wave_out.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/metaballs.h"
#include "show/scenes/ribbons.h"
#include "show/timeline.h"

namespace shell {

ShowSteps show_steps = {show::init_graphics, show::init_metaballs, show::init_trail_offsets, show::draw_frame,
                        show::release_graphics};

float previous_frame_time = 0.0f;

namespace {

constexpr int32_t OUTPUT_RATE = 44100;

}  // namespace

ShowStart start_show(music::Refill refill) {
    previous_frame_time = 0.0f;
    show::frame_time = 0.0f;
    show::frame_delta = 0.0f;
    show::loaded_song = nullptr;

    music::install_memory_callbacks();
    if (!music::audio_open(OUTPUT_RATE)) return ShowStart::no_sound_device;
    show::loaded_song = music::load_song("");

    show_steps.init_graphics();
    show_steps.init_metaballs();
    show_steps.init_trail_offsets();

    if (!show::loaded_song) return ShowStart::no_song;
    return music::play_song(show::loaded_song, refill) ? ShowStart::playing : ShowStart::no_playback;
}

void show_frame(long double seconds) {
    show::frame_time = static_cast<float>(seconds);
    show::frame_delta = static_cast<float>(seconds - previous_frame_time);
    previous_frame_time = static_cast<float>(seconds);
    show_steps.draw_frame();
}

void stop_show() {
    show_steps.release_graphics();
    music::stop_song(show::loaded_song);
    music::free_song(show::loaded_song);
    show::loaded_song = nullptr;
    music::audio_close();
}

bool play_until(int64_t* device_frame, int64_t target, PlayStep play, void* user) {
    while (*device_frame < target) {
        int64_t step = target - *device_frame;
        if (step > music::block_frames) step = music::block_frames;
        if (!play(*device_frame, static_cast<uint32_t>(step), user)) return false;
        *device_frame += step;
        music::audio_poll(platform::wave_position(music::wave_out));
    }
    return true;
}

}  // namespace shell
