#include "show/scenes/ribbons.h"

#include "platform/offscreen_gl.h"
#include "shell/runtime.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/metaballs.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class RibbonScene : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
        show::init_graphics();
        show::init_trail_offsets();
        std::memset(show::ribbon_points, 0, sizeof show::ribbon_points);
    }
    void TearDown() override {
        show::release_graphics();
        platform::offscreen_gl_close();
    }

    std::vector<uint8_t> frame_over_grey(float t) {
        glDisable(GL_TEXTURE_2D);
        glClearColor(0.25f, 0.25f, 0.25f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        show::frame_time = t;
        show::draw_ribbon_scene();
        std::vector<uint8_t> rgba(640 * 480 * 4);
        glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }

    // Window position of a point of the rotated space the scene leaves in place.
    static void project(float x, float y, float z, double* wx, double* wy) {
        GLdouble model[16], projection[16], wz;
        GLint viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        gluProject(x, y, z, model, projection, viewport, wx, wy, &wz);
    }
};

TEST_F(RibbonScene, FamiliesAddUpWhereTheyCrossAndNothingDarkens) {
    const std::vector<uint8_t> rgba = frame_over_grey(0);
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    int32_t darker = 0, lighter = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        for (size_t c = 0; c < 3; ++c) darker += rgba[i + c] < 64;
        lighter += rgba[i] > 70 || rgba[i + 1] > 70 || rgba[i + 2] > 70;
    }
    EXPECT_EQ(darker, 0);
    EXPECT_GT(lighter, 1000);

    // On the first frame all three fans start at the origin (within 25 units of it). One line of
    // any family adds at most (217, 91, 102); white there needs the families' colours added up.
    double ox, oy;
    project(0, 0, 0, &ox, &oy);
    ASSERT_GT(ox, 0);
    ASSERT_LT(ox, 640);
    ASSERT_GT(oy, 0);
    ASSERT_LT(oy, 480);
    const uint8_t* apex = &rgba[(runtime::float_to_int(oy) * 640 + runtime::float_to_int(ox)) * 4];
    EXPECT_EQ(apex[0], 255);
    EXPECT_EQ(apex[1], 255);
    EXPECT_EQ(apex[2], 255);

    // Each head's sprite is added at point 0 of its family: bright at the projected head.
    for (int32_t f = 0; f < 3; ++f) {
        const show::RibbonHead h = show::ribbon_head(0, f);
        double hx, hy;
        project(h.x, h.y, h.z, &hx, &hy);
        if (hx < 0 || hx >= 640 || hy < 0 || hy >= 480) continue;
        const uint8_t* p = &rgba[(runtime::float_to_int(hy) * 640 + runtime::float_to_int(hx)) * 4];
        EXPECT_GT(p[0] + p[1] + p[2], 3 * 64 + 150) << "head " << f;
    }
}

TEST_F(RibbonScene, LeavesDepthTestLineSmoothAndTwoPixelLines) {
    frame_over_grey(1.5f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 2.0f);
    GLboolean depth_writes = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_writes);
    EXPECT_TRUE(depth_writes);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The offsets come last in start-up: numbers 1201 to 1500 of the run, after the star cloud's.
TEST(RibbonStartUp, OffsetsTakeTheThreeHundredNumbersAfterTheStarCloud) {
    ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
    runtime::rand_state = runtime::RAND_START;
    show::init_graphics();
    show::init_metaballs();
    show::init_trail_offsets();
    const uint32_t after = runtime::rand_state;
    runtime::rand_state = runtime::RAND_START;
    for (int i = 0; i < 1200; ++i) runtime::rand();
    const float first = static_cast<float>(100 - runtime::rand() % 200) * 0.001f;
    for (int i = 1; i < 300; ++i) runtime::rand();
    EXPECT_EQ(runtime::rand_state, after);
    EXPECT_EQ(show::trail_offsets[0][0], first);
    show::release_graphics();
    platform::offscreen_gl_close();
}

}  // namespace
