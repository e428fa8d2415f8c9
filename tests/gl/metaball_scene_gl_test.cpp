#include "show/scenes/metaball_scene.h"

#include "platform/offscreen_gl.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/metaballs.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

class MetaballScene : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
        show::init_graphics();
        show::init_metaballs();
        show::loaded_song = nullptr;  // no song: the title rests like at orders 5 and 6
        show::title_y = show::TITLE_REST_Y;
    }
    void TearDown() override {
        show::release_graphics();
        platform::offscreen_gl_close();
    }

    // Frames at 50 per second ending at `end`, over a plain background, so the field has built up.
    void draw_frames_until(float end, int32_t frames) {
        for (int32_t k = frames - 1; k >= 0; --k) {
            glDisable(GL_TEXTURE_2D);
            glClearColor(192 / 255.0f, 207 / 255.0f, 203 / 255.0f, 1);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            show::frame_time = end - 0.02f * static_cast<float>(k);
            show::frame_delta = 0.02f;
            show::draw_metaball_scene();
        }
    }
};

TEST_F(MetaballScene, ShowsALitSurfaceInsideTheCubesOutline) {
    draw_frames_until(10.0f, 25);  // a moment when much of the surface faces the light
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The scene leaves its rotated camera in place: project the cube's corners with it.
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double left = 1e9, right = -1e9, bottom = 1e9, top = -1e9;
    for (int corner = 0; corner < 8; ++corner) {
        GLdouble wx, wy, wz;
        gluProject(corner & 1 ? 1 : -1, corner & 2 ? 1 : -1, corner & 4 ? 1 : -1, model, projection,
                   viewport, &wx, &wy, &wz);
        left = std::min(left, wx);
        right = std::max(right, wx);
        bottom = std::min(bottom, wy);
        top = std::max(top, wy);
    }
    EXPECT_LT(right - left, 640.0);
    EXPECT_GT(right - left, 200.0);

    std::vector<uint8_t> rgba(640 * 480 * 4);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    int32_t bright = 0, bright_outside = 0, grey = 0;
    for (int y = 0; y < 480; ++y) {
        if (y >= 192 && y < 288) continue;  // the grain band and the title
        for (int x = 0; x < 640; ++x) {
            const uint8_t* p = &rgba[(y * 640 + x) * 4];
            const bool inside = x >= left && x <= right && y >= bottom && y <= top;
            // Lit white, well above the background's brightest channel (207).
            if (p[0] > 235 && p[1] > 235 && p[2] > 235) {
                ++bright;
                if (!inside) ++bright_outside;
            }
            // Ambient only: 0.2 of white, the surface facing away from the light.
            if (p[0] == p[1] && p[1] == p[2] && p[0] < 80) ++grey;
        }
    }
    EXPECT_GT(bright, 200);
    EXPECT_EQ(bright_outside, 0);
    RecordProperty("bright_pixels", bright);
    RecordProperty("ambient_grey_pixels", grey);
}

TEST_F(MetaballScene, LeavesNormalizeLineSmoothWideLinesAndDepthTestOn) {
    draw_frames_until(1.0f, 1);
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 2.5f);
    for (GLenum off : {GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_CULL_FACE, GL_BLEND, GL_TEXTURE_2D})
        EXPECT_FALSE(glIsEnabled(off)) << std::hex << off;
    GLint modes[2];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
    EXPECT_EQ(modes[1], GL_FILL);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
