// A frame drawn into memory is finished by the time it is swapped. Nothing presents such a
// surface, so nothing else would wait for the frame: the GL driver would queue frame after
// frame, and the demo left running offscreen grew by a gigabyte within its ribbon scene.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/offscreen_gl.h"
#include "platform/window.h"

namespace {

// Hundreds of wide smooth line strips across the screen: enough work that an unfinished frame
// is still pending when the swap returns.
void draw_heavy_frame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(2);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    for (int strip = 0; strip < 300; ++strip) {
        glBegin(GL_LINE_STRIP);
        for (int n = 0; n < 50; ++n) {
            glColor3ub(40, 20, 60);
            glVertex2f(-1.0f + 0.04f * static_cast<float>(n), (n % 2 ? 0.9f : -0.9f) * (strip % 7) / 7.0f);
        }
        glEnd();
    }
}

// Draws a frame, marks its end with a fence, swaps, and asks without waiting whether the GPU
// side has passed the fence.
bool swap_leaves_frame_finished(void (*swap)(void*), void* user) {
    draw_heavy_frame();
    GLsync fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    if (!fence) return false;
    swap(user);
    const GLenum state = glClientWaitSync(fence, 0, 0);
    glDeleteSync(fence);
    return state == GL_ALREADY_SIGNALED || state == GL_CONDITION_SATISFIED;
}

TEST(SwapOnMemorySurface, TheDemoWindowFinishesEachFrame) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_TRUE(platform::init_video(platform::default_window_proc));
    platform::Window* window = platform::create_window("swap", 640, 480, false);
    ASSERT_NE(window, nullptr);
    platform::DeviceContext* dc = platform::get_device_context(window);
    ASSERT_NE(dc, nullptr);
    const platform::PixelFormat format;
    ASSERT_TRUE(platform::set_pixel_format(dc, platform::choose_pixel_format(dc, format), format));
    platform::GlContext* context = platform::create_gl_context(dc);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(platform::make_current(dc, context));

    for (int frame = 0; frame < 3; ++frame)
        EXPECT_TRUE(swap_leaves_frame_finished([](void* dc) { platform::swap_buffers(static_cast<platform::DeviceContext*>(dc)); }, dc))
            << "frame " << frame;

    platform::make_current(nullptr, nullptr);
    platform::delete_gl_context(context);
    platform::release_device_context(window, dc);
    platform::destroy_window(window);
    platform::quit_video();
}

TEST(SwapOnMemorySurface, TheOffscreenContextFinishesEachFrame) {
    ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_TRUE(swap_leaves_frame_finished([](void*) { platform::offscreen_gl_swap(); }, nullptr)) << "frame " << frame;
    platform::offscreen_gl_close();
}

}  // namespace
