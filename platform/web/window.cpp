// The window seam over the page: the canvas with its WebGL context stands for the window, the
// page's full-screen state for the display mode, and the canvas's mouse and the document's keys
// for the window's messages. The GL 1.1 layer (platform/web/gl/) starts on the context here.

#include "platform/window.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstring>
#include <deque>

#include "platform/web/gl/gl_layer.h"
#include "platform/web/web.h"

extern "C" {
// platform/web/page_library.js
int brusk_page_is_fullscreen();
void brusk_page_leave_fullscreen();
void brusk_page_show_cursor(int visible);
void brusk_page_show_canvas(int visible);
}

namespace platform {

struct Window {
    bool fullscreen = false;
};
struct DeviceContext {
    Window* window = nullptr;
};
struct GlContext {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handle = 0;
};

namespace {

constexpr const char* CANVAS = "#canvas";

std::deque<Message> queue;
bool listening = false;
bool layer_started = false;

EM_BOOL on_key_down(int, const EmscriptenKeyboardEvent* event, void*) {
    Message m;
    m.type = MessageType::key_down;
    m.key = std::strcmp(event->key, "Escape") == 0 || event->keyCode == KEY_ESCAPE ? KEY_ESCAPE
                                                                                  : static_cast<int32_t>(event->keyCode);
    queue.push_back(m);
    return m.key == KEY_ESCAPE ? EM_TRUE : EM_FALSE;  // other keys keep their page meaning
}

EM_BOOL on_mouse_down(int, const EmscriptenMouseEvent* event, void*) {
    Message m;
    m.type = event->button == 0 ? MessageType::left_button_down : MessageType::other;
    queue.push_back(m);
    return EM_TRUE;
}

}  // namespace

namespace web {

void post_key(int32_t key) {
    if (!listening) return;
    Message m;
    m.type = MessageType::key_down;
    m.key = key;
    queue.push_back(m);
}

}  // namespace web

bool init_video(WindowProc) {
    if (!listening && web::mode == web::Mode::live) {
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE, on_key_down);
        emscripten_set_mousedown_callback(CANVAS, nullptr, EM_TRUE, on_mouse_down);
        listening = true;
    }
    return true;
}

void quit_video() {
    if (!listening) return;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE, nullptr);
    emscripten_set_mousedown_callback(CANVAS, nullptr, EM_TRUE, nullptr);
    listening = false;
    queue.clear();
}

// The page went full screen from the user's click before the start-up began (a browser grants
// it only there); the 640 x 480 canvas then fills the screen's height.
bool change_display_mode(int, int, int) { return brusk_page_is_fullscreen() != 0; }

void restore_display_mode() { brusk_page_leave_fullscreen(); }

Window* create_window(const char*, int width, int height, bool fullscreen) {
    if (width != 640 || height != 480) return nullptr;  // the page's canvas is 640 x 480
    Window* w = new Window;
    w->fullscreen = fullscreen;
    return w;
}

void destroy_window(Window* window) { delete window; }  // the canvas keeps the last frame

DeviceContext* get_device_context(Window* window) {
    if (!window) return nullptr;
    DeviceContext* dc = new DeviceContext;
    dc->window = window;
    return dc;
}

void release_device_context(Window*, DeviceContext* dc) { delete dc; }

int choose_pixel_format(DeviceContext* dc, const PixelFormat& request) {
    return dc && request.double_buffer && request.color_bits >= 24 ? 1 : 0;
}

bool set_pixel_format(DeviceContext* dc, int format, const PixelFormat&) { return dc && format == 1; }

GlContext* create_gl_context(DeviceContext* dc) {
    if (!dc) return nullptr;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;  // no alpha buffer
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.premultipliedAlpha = EM_FALSE;
    // The offline page reads its frame back after the browser may have shown it.
    attributes.preserveDrawingBuffer = web::mode == web::Mode::offline ? EM_TRUE : EM_FALSE;
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handle = emscripten_webgl_create_context(CANVAS, &attributes);
    if (handle <= 0) return nullptr;
    GlContext* context = new GlContext;
    context->handle = handle;
    return context;
}

bool make_current(DeviceContext* dc, GlContext* context) {
    if (!context) {
        emscripten_webgl_make_context_current(0);
        return dc == nullptr;
    }
    if (emscripten_webgl_make_context_current(context->handle) != EMSCRIPTEN_RESULT_SUCCESS) return false;
    if (!layer_started) layer_started = gl11::start_shading();
    return layer_started;
}

// The context goes with the page; dropping it would blank the last frame, which stays.
void delete_gl_context(GlContext* context) { delete context; }

void show_window(Window*) { brusk_page_show_canvas(1); }
void focus_window(Window*) {}
void show_cursor(bool visible) { brusk_page_show_cursor(visible ? 1 : 0); }

// The browser shows the frame when the page's callback returns; here the batch is drawn.
void swap_buffers(DeviceContext*) { gl11::flush(); }

bool next_message(Message& message) {
    if (queue.empty()) return false;
    message = queue.front();
    queue.pop_front();
    return true;
}

void post_quit_message(int32_t code) {
    Message m;
    m.type = MessageType::quit;
    m.quit_code = code;
    queue.push_back(m);
}

int32_t default_window_proc(Window*, const Message&) { return 0; }

}  // namespace platform
