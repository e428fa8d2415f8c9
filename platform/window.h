#pragma once
// The window, its drawing surface and OpenGL context, and its messages. One call per step the
// window code takes, so that each step can fail on its own and be undone on its own.

#include <cstdint>

namespace platform {

struct Window;
struct DeviceContext;
struct GlContext;

// What the window code asks of the drawing surface.
struct PixelFormat {
    int color_bits = 32;  // RGBA, no alpha channel
    int depth_bits = 16;
    bool double_buffer = true;
    // No alpha, stencil or accumulation buffer; OpenGL 1.1 immediate mode (compatibility).
};

// Switches the display to width x height x bits for a full-screen window; false when the
// display cannot take that mode. restore_display_mode returns to the user's mode (harmless
// when nothing was changed).
bool change_display_mode(int width, int height, int bits);
void restore_display_mode();

// Windowed: a framed window whose client area is width x height, at the top-left corner.
// Full screen: a borderless window covering the display. Created hidden; null on failure.
Window* create_window(const char* title, int width, int height, bool fullscreen);
void destroy_window(Window* window);

// The window's drawing surface; null on failure.
DeviceContext* get_device_context(Window* window);
void release_device_context(Window* window, DeviceContext* dc);

// A format number for the request (0: none suitable), then selecting it for the surface.
int choose_pixel_format(DeviceContext* dc, const PixelFormat& request);
bool set_pixel_format(DeviceContext* dc, int format, const PixelFormat& request);

GlContext* create_gl_context(DeviceContext* dc);  // null on failure
// Makes the context current on the calling thread; (null, null) releases the current one.
bool make_current(DeviceContext* dc, GlContext* context);
void delete_gl_context(GlContext* context);

void show_window(Window* window);
void focus_window(Window* window);  // to the foreground, with the keyboard focus
void show_cursor(bool visible);
void swap_buffers(DeviceContext* dc);

// --- Messages.
constexpr int32_t KEY_ESCAPE = 0x1B;

enum class MessageType {
    quit,               // posted by post_quit_message; ends the program's main loop
    close,              // the user asks to close the window (also SIGINT / SIGTERM)
    left_button_down,   // left mouse button pressed in the client area
    key_down,           // key pressed; key holds its code (KEY_ESCAPE for Escape)
    other,              // anything else: resizing, focus, other buttons and keys released, ...
};

struct Message {
    MessageType type = MessageType::other;
    int32_t key = 0;
    int32_t quit_code = 0;
};

// The window procedure: what the window code does with each message to its window.
using WindowProc = int32_t (*)(Window* window, const Message& message);

// The video system and the window class, whose messages go to `proc`: everything else here
// needs it. Where the system calls the window procedure itself (Windows), it does so for every
// message to the window, including those sent while a window call is under way.
bool init_video(WindowProc proc);
void quit_video();

// Takes the next pending message off the queue; false when none is pending. Where the system
// calls the window procedure itself, this delivers every other message to it on the way and
// hands back only the quit message.
bool next_message(Message& message);
// Queues a quit message, delivered by a later next_message.
void post_quit_message(int32_t code);
// What the system does with a message the window does not handle itself.
int32_t default_window_proc(Window* window, const Message& message);

}  // namespace platform
