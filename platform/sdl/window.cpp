#include "platform/window.h"

#include "platform/sdl/present.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <string>

namespace platform {

struct Window {
    SDL_Window* sdl = nullptr;
};
struct DeviceContext {
    SDL_Window* sdl = nullptr;
};
struct GlContext {
    SDL_GLContext sdl = nullptr;
};

namespace {

bool mode_requested = false;
SDL_DisplayMode requested_mode{};
bool quit_pending = false;
int32_t quit_code = 0;

// Everything the GL context is made from. On X11 the window's visual is chosen when the
// window is created, so the request is applied then as well as when the format is set.
bool apply_pixel_format(const PixelFormat& request) {
    const int channel_bits = request.color_bits >= 24 ? 8 : 5;
    bool ok = true;
    ok &= SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, request.double_buffer ? 1 : 0) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel_bits) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel_bits) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel_bits) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depth_bits) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 0) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 0) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 0) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0) == 0;
    // Immediate mode needs the compatibility profile; 1.1 is the least we draw with.
    ok &= SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1) == 0;
    return ok;
}

// SDL falls back to a driver that draws into memory when it finds no display. That shows nothing,
// so it is taken only when SDL_VIDEODRIVER names it; otherwise there is no display, and we say so.
bool display_was_chosen() {
    if (!display_is_virtual()) return true;
    const char* current = SDL_GetCurrentVideoDriver();
    const char* named = SDL_getenv("SDL_VIDEODRIVER");
    if (named && current) {
        const std::string list = std::string(",") + named + ",";
        if (list.find(std::string(",") + current + ",") != std::string::npos) return true;
    }
    const char* x_display = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    std::string why;
    if ((!x_display || !*x_display) && (!wayland || !*wayland))
        why = "DISPLAY is not set";
    else
        why = std::string("cannot open display \"") + (x_display && *x_display ? x_display : wayland) + "\"";
    std::fprintf(stderr, "brusk: no display: %s (SDL fell back to its \"%s\" driver, which shows nothing)\n",
                 why.c_str(), current ? current : "?");
    SDL_SetError("no display: %s", why.c_str());
    return false;
}

}  // namespace

// The driver hands SDL's events to the window procedure itself (next_message returns them all).
bool init_video(WindowProc) {
    // Closing the window is a message to the window code, not an end of its own.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void quit_video() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

bool change_display_mode(int width, int height, int bits) {
    // A memory surface has no mode to change: it is the whole screen, so a full-screen window
    // there is simply the requested size.
    if (display_is_virtual()) {
        mode_requested = false;
        return true;
    }
    SDL_DisplayMode wanted{};
    wanted.w = width;
    wanted.h = height;
    wanted.format = bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    SDL_DisplayMode closest{};
    if (!SDL_GetClosestDisplayMode(0, &wanted, &closest)) return false;
    // SDL offers the nearest larger mode; only the exact size and depth will do.
    if (closest.w != width || closest.h != height || int(SDL_BYTESPERPIXEL(closest.format)) * 8 != bits)
        return false;
    requested_mode = closest;
    mode_requested = true;
    return true;
}

void restore_display_mode() {
    // SDL switches the display back as soon as the full-screen window is gone.
    mode_requested = false;
}

Window* create_window(const char* title, int width, int height, bool fullscreen) {
    if (!display_was_chosen()) return nullptr;
    apply_pixel_format(PixelFormat{});
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (fullscreen) {
        flags |= SDL_WINDOW_BORDERLESS;
        if (mode_requested) flags |= SDL_WINDOW_FULLSCREEN;
    } else {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    SDL_Window* sdl = SDL_CreateWindow(title, 0, 0, width, height, flags);
    if (!sdl) return nullptr;
    if (fullscreen && mode_requested && SDL_SetWindowDisplayMode(sdl, &requested_mode) != 0) {
        SDL_DestroyWindow(sdl);
        return nullptr;
    }
    return new Window{sdl};
}

void destroy_window(Window* window) {
    if (!window) return;
    SDL_DestroyWindow(window->sdl);
    delete window;
}

DeviceContext* get_device_context(Window* window) {
    // The surface is usable for GL once the GL library is loaded for it (counted by SDL).
    if (!window || SDL_GL_LoadLibrary(nullptr) != 0) return nullptr;
    return new DeviceContext{window->sdl};
}

void release_device_context(Window*, DeviceContext* dc) {
    if (!dc) return;
    SDL_GL_UnloadLibrary();
    delete dc;
}

int choose_pixel_format(DeviceContext* dc, const PixelFormat& request) {
    if (!dc) return 0;
    const Uint32 format = SDL_GetWindowPixelFormat(dc->sdl);
    if (format == SDL_PIXELFORMAT_UNKNOWN) return 0;
    if (request.color_bits > 16 && SDL_BITSPERPIXEL(format) < 24) return 0;
    return static_cast<int>(format);
}

bool set_pixel_format(DeviceContext* dc, int format, const PixelFormat& request) {
    if (!dc || format == 0) return false;
    return apply_pixel_format(request);
}

GlContext* create_gl_context(DeviceContext* dc) {
    if (!dc) return nullptr;
    SDL_GLContext sdl = SDL_GL_CreateContext(dc->sdl);
    if (!sdl) return nullptr;
    return new GlContext{sdl};
}

bool make_current(DeviceContext* dc, GlContext* context) {
    if (!context) return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
    if (!dc) return false;
    return SDL_GL_MakeCurrent(dc->sdl, context->sdl) == 0;
}

void delete_gl_context(GlContext* context) {
    if (!context) return;
    SDL_GL_DeleteContext(context->sdl);
    delete context;
}

void show_window(Window* window) {
    if (window) SDL_ShowWindow(window->sdl);
}

void focus_window(Window* window) {
    if (window) SDL_RaiseWindow(window->sdl);
}

void show_cursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

void swap_buffers(DeviceContext* dc) {
    if (dc) present_gl_frame(dc->sdl);
}

bool next_message(Message& message) {
    SDL_Event event;
    if (SDL_WasInit(SDL_INIT_EVENTS) && SDL_PollEvent(&event)) {
        message = Message{};
        switch (event.type) {
        case SDL_QUIT:  // SIGINT or SIGTERM: a request to close, like the close button
            message.type = MessageType::close;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) message.type = MessageType::close;
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button == SDL_BUTTON_LEFT) message.type = MessageType::left_button_down;
            break;
        case SDL_KEYDOWN:
            message.type = MessageType::key_down;
            message.key = event.key.keysym.sym == SDLK_ESCAPE ? KEY_ESCAPE : int32_t(event.key.keysym.sym);
            break;
        default:
            break;
        }
        return true;
    }
    // Like a posted quit, it comes once the queue is otherwise empty.
    if (quit_pending) {
        quit_pending = false;
        message = Message{};
        message.type = MessageType::quit;
        message.quit_code = quit_code;
        return true;
    }
    return false;
}

void post_quit_message(int32_t code) {
    quit_pending = true;
    quit_code = code;
}

int32_t default_window_proc(Window*, const Message&) { return 0; }

}  // namespace platform
