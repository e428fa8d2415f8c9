#include "platform/window.h"

#include <windows.h>

namespace platform {

struct Window {
    HWND handle = nullptr;
};
struct DeviceContext {
    HDC handle = nullptr;
};
struct GlContext {
    HGLRC handle = nullptr;
};

namespace {

const char CLASS_NAME[] = "OpenGL";

HINSTANCE instance_handle = nullptr;
WindowProc window_code_proc = nullptr;
Window* the_window = nullptr;  // the one window, once CreateWindowExA has returned it

// The message the window procedure is handling now, for default_window_proc. Messages nest
// (DefWindowProcA sends WM_CLOSE while it handles the close command), so each call keeps the
// outer one and puts it back.
struct RawMessage {
    HWND window;
    UINT message;
    WPARAM w_param;
    LPARAM l_param;
    bool passed_on = false;  // the window code gave it to default_window_proc
    LRESULT result = 0;      // what DefWindowProcA returned then, at full width
};
RawMessage* message_in_hand = nullptr;

Message message_of(UINT message, WPARAM w_param) {
    Message translated;
    switch (message) {
    case WM_CLOSE: translated.type = MessageType::close; break;
    case WM_LBUTTONDOWN: translated.type = MessageType::left_button_down; break;
    case WM_KEYDOWN:
        translated.type = MessageType::key_down;
        translated.key = static_cast<int32_t>(w_param);  // VK_ESCAPE is KEY_ESCAPE
        break;
    default: break;
    }
    return translated;
}

LRESULT CALLBACK class_window_proc(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
    if (!window_code_proc) return DefWindowProcA(window, message, w_param, l_param);
    RawMessage raw{window, message, w_param, l_param};
    RawMessage* outer = message_in_hand;
    message_in_hand = &raw;
    Window* ours = the_window && the_window->handle == window ? the_window : nullptr;
    const int32_t result = window_code_proc(ours, message_of(message, w_param));
    message_in_hand = outer;
    // Some default results are handles or pointers, wider than the window code's result.
    return raw.passed_on ? raw.result : result;
}

// The pixel format the window code asks for, field by field.
PIXELFORMATDESCRIPTOR descriptor_of(const PixelFormat& request) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (request.double_buffer ? PFD_DOUBLEBUFFER : 0);
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = static_cast<BYTE>(request.color_bits);
    pfd.cRedBits = pfd.cRedShift = pfd.cGreenBits = pfd.cGreenShift = pfd.cBlueBits = pfd.cBlueShift = 0;
    pfd.cAlphaBits = pfd.cAlphaShift = 0;  // no alpha buffer
    pfd.cAccumBits = pfd.cAccumRedBits = pfd.cAccumGreenBits = pfd.cAccumBlueBits = pfd.cAccumAlphaBits = 0;
    pfd.cDepthBits = static_cast<BYTE>(request.depth_bits);
    pfd.cStencilBits = 0;
    pfd.cAuxBuffers = 0;
    pfd.iLayerType = PFD_MAIN_PLANE;
    pfd.bReserved = 0;
    pfd.dwLayerMask = pfd.dwVisibleMask = pfd.dwDamageMask = 0;
    return pfd;
}

}  // namespace

bool init_video(WindowProc proc) {
    window_code_proc = proc;
    instance_handle = GetModuleHandleA(nullptr);
    WNDCLASSA window_class{};
    window_class.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    window_class.lpfnWndProc = class_window_proc;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.hInstance = instance_handle;
    window_class.hIcon = nullptr;
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = nullptr;
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = CLASS_NAME;
    return RegisterClassA(&window_class) != 0;
}

void quit_video() { UnregisterClassA(CLASS_NAME, instance_handle); }

bool change_display_mode(int width, int height, int bits) {
    DEVMODEA mode;
    ZeroMemory(&mode, sizeof mode);
    mode.dmSize = sizeof(DEVMODEA);
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = static_cast<DWORD>(bits);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;  // no refresh rate
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

// Back to the mode in the registry; also when nothing was changed.
void restore_display_mode() { ChangeDisplaySettingsA(nullptr, 0); }

Window* create_window(const char* title, int width, int height, bool fullscreen) {
    RECT rect{0, 0, width, height};
    DWORD ex_style = WS_EX_APPWINDOW;
    DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (!fullscreen) {
        ex_style = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        style = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    }
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);  // the client area becomes width x height
    HWND handle = CreateWindowExA(ex_style, CLASS_NAME, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                  rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance_handle,
                                  nullptr);
    if (!handle) return nullptr;
    the_window = new Window{handle};
    return the_window;
}

void destroy_window(Window* window) {
    if (!window) return;
    DestroyWindow(window->handle);
    if (the_window == window) the_window = nullptr;
    delete window;
}

DeviceContext* get_device_context(Window* window) {
    if (!window) return nullptr;
    HDC handle = GetDC(window->handle);
    return handle ? new DeviceContext{handle} : nullptr;
}

void release_device_context(Window* window, DeviceContext* dc) {
    if (!dc) return;
    ReleaseDC(window ? window->handle : nullptr, dc->handle);
    delete dc;
}

int choose_pixel_format(DeviceContext* dc, const PixelFormat& request) {
    if (!dc) return 0;
    const PIXELFORMATDESCRIPTOR pfd = descriptor_of(request);
    return ChoosePixelFormat(dc->handle, &pfd);
}

bool set_pixel_format(DeviceContext* dc, int format, const PixelFormat& request) {
    if (!dc) return false;
    const PIXELFORMATDESCRIPTOR pfd = descriptor_of(request);
    return SetPixelFormat(dc->handle, format, &pfd) != FALSE;
}

GlContext* create_gl_context(DeviceContext* dc) {
    if (!dc) return nullptr;
    HGLRC handle = wglCreateContext(dc->handle);
    return handle ? new GlContext{handle} : nullptr;
}

bool make_current(DeviceContext* dc, GlContext* context) {
    if (!context) return wglMakeCurrent(nullptr, nullptr) != FALSE;
    if (!dc) return false;
    return wglMakeCurrent(dc->handle, context->handle) != FALSE;
}

void delete_gl_context(GlContext* context) {
    if (!context) return;
    wglDeleteContext(context->handle);
    delete context;
}

void show_window(Window* window) {
    if (window) ShowWindow(window->handle, SW_SHOW);
}

void focus_window(Window* window) {
    if (!window) return;
    SetForegroundWindow(window->handle);
    SetFocus(window->handle);
}

void show_cursor(bool visible) { ShowCursor(visible ? TRUE : FALSE); }

void swap_buffers(DeviceContext* dc) {
    if (dc) SwapBuffers(dc->handle);
}

bool next_message(Message& message) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            message = Message{};
            message.type = MessageType::quit;
            message.quit_code = static_cast<int32_t>(msg.wParam);
            return true;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);  // into class_window_proc, and so to the window code
    }
    return false;
}

void post_quit_message(int32_t code) { PostQuitMessage(code); }

int32_t default_window_proc(Window*, const Message&) {
    if (!message_in_hand) return 0;  // not inside the window procedure: nothing to pass on
    RawMessage& raw = *message_in_hand;
    raw.result = DefWindowProcA(raw.window, raw.message, raw.w_param, raw.l_param);
    raw.passed_on = true;
    return static_cast<int32_t>(raw.result);
}

}  // namespace platform
