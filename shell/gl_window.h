#pragma once
// The program's one window with its OpenGL context, optionally full screen, and its window
// procedure, which turns close, left click and Escape into a quit request.

#include <cstdint>

#include "platform/window.h"

namespace shell {

extern platform::Window* window_handle;
extern platform::DeviceContext* device_context;  // the driver presents frames on it
extern platform::GlContext* render_context;
extern bool fullscreen;

// True when the window is shown with a current GL context. On failure the user has been told
// why and everything obtained has been released.
bool create_gl_window(const char* title, int width, int height, int bits, bool fullscreen_wanted);

// Releases what create_gl_window obtained, in reverse; always restores the display mode and
// shows the cursor.
void kill_gl_window();

int32_t window_proc(platform::Window* window, const platform::Message& message);

}  // namespace shell
