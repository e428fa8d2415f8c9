#pragma once
// The program driver: the start-up question, the window, the music, the main loop that draws
// one frame per pass, and the shutdown in its fixed order.

#include <cstdint>

namespace shell {

// The show's entry points as the driver calls them. They need a GL context, so the driver's
// tests put recorders in their place.
struct ShowSteps {
    void (*init_graphics)();
    void (*init_metaballs)();
    void (*init_trail_offsets)();
    void (*draw_frame)();
    void (*release_graphics)();
};
extern ShowSteps show_steps;

extern bool fullscreen_requested;
extern bool quit_requested;
extern float previous_frame_time;

// Starts the frame clock (counter first, then its frequency).
void clock_start();
// Seconds since clock_start; 0 on a counter that reports no frequency.
long double clock_seconds();

// Runs the whole program and returns its exit status, which is always 0.
int run_demo();

}  // namespace shell
