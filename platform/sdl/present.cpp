#include "platform/sdl/present.h"

#include <GL/gl.h>
#include <cstring>

namespace platform {

bool display_is_virtual() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

void present_gl_frame(SDL_Window* window) {
    if (!window) return;
    if (display_is_virtual()) glFinish();
    SDL_GL_SwapWindow(window);
}

}  // namespace platform
