#include "shell/gl_window.h"

#include "platform/dialogs.h"

namespace shell {

platform::Window* window_handle = nullptr;
platform::DeviceContext* device_context = nullptr;
platform::GlContext* render_context = nullptr;
bool fullscreen = false;

namespace {

bool video_ready = false;

// Failures from the window on: take down what exists, then tell the user.
bool fail_after_window(const char* message) {
    kill_gl_window();
    platform::show_message(message, "ERROR", platform::Icon::exclamation);
    return false;
}

}  // namespace

bool create_gl_window(const char* title, int width, int height, int bits, bool fullscreen_wanted) {
    fullscreen = fullscreen_wanted;

    if (!platform::init_video(window_proc)) {
        platform::show_message("Failed To Register The Window Class.", "ERROR", platform::Icon::exclamation);
        return false;
    }
    video_ready = true;

    if (fullscreen && !platform::change_display_mode(width, height, bits)) {
        const platform::Answer answer = platform::ask_yes_no(
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
            "Orlu GL", platform::Icon::exclamation);
        if (answer == platform::Answer::yes) {
            fullscreen = false;
        } else {
            platform::show_message("Program Will Now Close.", "ERROR", platform::Icon::stop);
            return false;
        }
    }
    if (fullscreen) platform::show_cursor(false);

    window_handle = platform::create_window(title, width, height, fullscreen);
    if (!window_handle) return fail_after_window("Window Creation Error.");

    device_context = platform::get_device_context(window_handle);
    if (!device_context) return fail_after_window("Can't Create A GL Device Context.");

    const platform::PixelFormat request{bits, 16, true};
    const int format = platform::choose_pixel_format(device_context, request);
    if (format == 0) return fail_after_window("Can't Find A Suitable PixelFormat.");
    if (!platform::set_pixel_format(device_context, format, request))
        return fail_after_window("Can't Set The PixelFormat.");

    render_context = platform::create_gl_context(device_context);
    if (!render_context) return fail_after_window("Can't Create A GL Rendering Context.");
    if (!platform::make_current(device_context, render_context))
        return fail_after_window("Can't Activate The GL Rendering Context.");

    // No viewport is set: the one the context starts with is the client area, and it stays.
    platform::show_window(window_handle);
    platform::focus_window(window_handle);
    return true;
}

void kill_gl_window() {
    if (render_context) {
        platform::make_current(nullptr, nullptr);
        platform::delete_gl_context(render_context);
        render_context = nullptr;
    }
    if (device_context) {
        platform::release_device_context(window_handle, device_context);
        device_context = nullptr;
    }
    if (window_handle) {
        platform::destroy_window(window_handle);
        window_handle = nullptr;
    }
    platform::restore_display_mode();
    platform::show_cursor(true);
    if (video_ready) {
        platform::quit_video();
        video_ready = false;
    }
}

int32_t window_proc(platform::Window* window, const platform::Message& message) {
    switch (message.type) {
    case platform::MessageType::close:  // not passed on: the window lives until kill_gl_window
    case platform::MessageType::left_button_down:
        platform::post_quit_message(0);
        return 0;
    case platform::MessageType::key_down:
        if (message.key == platform::KEY_ESCAPE) {
            platform::post_quit_message(0);
            return 0;
        }
        break;
    default:
        break;
    }
    return platform::default_window_proc(window, message);
}

}  // namespace shell
