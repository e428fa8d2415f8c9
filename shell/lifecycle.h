#pragma once
// The show's lifecycle, shared by every host: the demo's window, brusk-capture's offscreen
// context and the web page. Once a GL context is current: start (the sound device, the song,
// the graphics start-up and playback, in the order the program has always used), one frame at a
// given time, and stop (the shutdown in its fixed order). Hosts make and destroy the context.

#include <cstdint>

#include "music/playback.h"

namespace shell {

// The show's entry points as the lifecycle calls them. They need a GL context, so the driver's
// tests put recorders in their place.
struct ShowSteps {
    void (*init_graphics)();
    void (*init_metaballs)();
    void (*init_trail_offsets)();
    void (*draw_frame)();
    void (*release_graphics)();
};
extern ShowSteps show_steps;

extern float previous_frame_time;  // the time handed to the previous frame, in seconds

// What start_show achieved. The demo carries on without music unless no sound device opened;
// brusk-capture needs all of it.
enum class ShowStart : uint8_t {
    playing,
    no_sound_device,  // nothing else was started; music::audio_error() says why
    no_song,          // the show runs without music; music::load_error() says why
    no_playback,      // the song loaded but its buffers could not be had: the show runs silent
};

// Opens the sound device at 44100 Hz, loads the built-in song into show::loaded_song, runs the
// graphics start-up (in an order that decides which random numbers each part draws) and starts
// playback with the given refill. Resets the frame clock's state first.
ShowStart start_show(music::Refill refill);

// One frame at `seconds` since the clock started: frame_time and frame_delta (the exact time
// rounded to a float once), then draw_frame. The host presents it.
void show_frame(long double seconds);

// Releases the graphics, stops and frees the song, closes the sound device. Harmless after a
// start that opened no device.
void stop_show();

// For hosts that play the sound themselves instead of a device on its own clock (offline
// renderers, the page): moves the device on from *device_frame to output frame `target` a block
// at a time, polling playback after each step as the audio thread does every few milliseconds.
// `play` moves the device by `frames` output frames starting at output frame `from` and returns
// false to stop there (a write that failed); play_until then returns false too.
using PlayStep = bool (*)(int64_t from, uint32_t frames, void* user);
bool play_until(int64_t* device_frame, int64_t target, PlayStep play, void* user);

}  // namespace shell
