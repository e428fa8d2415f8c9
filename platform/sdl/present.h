#pragma once
// What the window and the offscreen context share: knowing a memory surface from a display, and
// showing a finished frame.
#include <SDL2/SDL.h>

namespace platform {

// True for SDL's drivers that draw into memory (offscreen, dummy): no display, no modes.
bool display_is_virtual();

// Swaps the window's buffers. A memory surface is first finished: nothing presents it, so
// nothing else would wait for the frame, and the GL driver would queue frame after frame.
void present_gl_frame(SDL_Window* window);

}  // namespace platform
