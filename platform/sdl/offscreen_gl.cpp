#include "platform/offscreen_gl.h"

#include "platform/sdl/present.h"

#include <SDL2/SDL.h>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

SDL_Window* offscreen_window = nullptr;
SDL_GLContext offscreen_context = nullptr;
std::string offscreen_reason;

bool fail(const char* step) {
    offscreen_reason = std::string(step) + ": " + SDL_GetError();
    offscreen_gl_close();
    return false;
}

}  // namespace

bool offscreen_gl_open(int width, int height) {
    offscreen_gl_close();
    setenv("SDL_VIDEODRIVER", "offscreen", 0);  // keeps a driver the caller chose
    // SDL would turn SIGINT and SIGTERM into quit events nobody reads here: the tools and tests
    // that draw offscreen handle their own signals.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return fail("SDL video");
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    offscreen_window = SDL_CreateWindow("brusk offscreen", 0, 0, width, height,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!offscreen_window) return fail("window");
    offscreen_context = SDL_GL_CreateContext(offscreen_window);
    if (!offscreen_context) return fail("GL context");
    if (SDL_GL_MakeCurrent(offscreen_window, offscreen_context) != 0) return fail("make current");
    return true;
}

void offscreen_gl_close() {
    if (offscreen_context) {
        SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_GL_DeleteContext(offscreen_context);
        offscreen_context = nullptr;
    }
    if (offscreen_window) {
        SDL_DestroyWindow(offscreen_window);
        offscreen_window = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}

void offscreen_gl_swap() {
    present_gl_frame(offscreen_window);
}

const char* offscreen_gl_error() { return offscreen_reason.c_str(); }

}  // namespace platform
