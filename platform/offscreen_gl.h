#pragma once
// A current OpenGL 1.1 (compatibility) context without a visible window, for the GL tests,
// the capture tool and the benchmarks. On Linux it is SDL's offscreen video driver on Mesa.

namespace platform {

// Opens a width x height double-buffered RGBA context with a 16-bit depth buffer and makes it
// current on the calling thread. Selects SDL's offscreen video driver unless one is already
// chosen in SDL_VIDEODRIVER. Returns false (with a reason in offscreen_gl_error()) on failure.
bool offscreen_gl_open(int width, int height);

// Destroys the context and its surface; harmless when none is open.
void offscreen_gl_close();

// Presents the back buffer (swap) once the frame is finished; reading pixels before the swap
// reads the back buffer.
void offscreen_gl_swap();

const char* offscreen_gl_error();

}  // namespace platform
