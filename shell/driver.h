#pragma once
// The program driver: the start-up question, the window, the music, the main loop that draws
// one frame per pass, and the shutdown in its fixed order.

#include <cstdint>

#include "music/playback.h"
#include "shell/lifecycle.h"

namespace shell {

extern bool fullscreen_requested;
extern bool quit_requested;

// Starts the frame clock (counter first, then its frequency).
void clock_start();
// Seconds since clock_start; 0 on a counter that reports no frequency.
long double clock_seconds();

// Runs the whole program and returns its exit status, which is always 0.
int run_demo();

// run_demo in three steps, for a host that runs the main loop itself (a web page, one frame per
// display refresh). start_demo is the start-up after the question: false when the window could
// not be made (nothing to stop then). run_frame is one pass of the main loop: false once the
// run is to end (that pass has drawn and presented). stop_demo is the shutdown.
bool start_demo(bool fullscreen_wanted, music::Refill refill);
bool run_frame();
void stop_demo();

}  // namespace shell
