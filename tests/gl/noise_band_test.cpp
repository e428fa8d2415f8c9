#include "show/noise.h"

#include "platform/offscreen_gl.h"
#include "shell/runtime.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

class NoiseBand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
        show::create_noise_texture();
        ASSERT_NE(show::noise_pixels, nullptr);
        ASSERT_NE(show::noise_texture, 0u);
    }
    void TearDown() override { platform::offscreen_gl_close(); }

    // One band over a white picture, the way the scenes draw it; returns the frame's red bytes.
    std::vector<uint8_t> band_over_white() {
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
        show::fill_noise();
        show::draw_noise_band(1.0f);
        std::vector<uint8_t> rgba(640 * 480 * 4);
        glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        std::vector<uint8_t> red(640 * 480);
        for (size_t i = 0; i < red.size(); ++i) red[i] = rgba[i * 4];
        return red;
    }
};

TEST_F(NoiseBand, DarkensWhiteByAtMostHalfInsideTheMiddleFifthOnly) {
    const std::vector<uint8_t> red = band_over_white();
    for (int y = 0; y < 480; ++y) {
        int darkened = 0;
        for (int x = 0; x < 640; ++x) {
            const uint8_t v = red[y * 640 + x];
            ASSERT_GE(v, 128) << x << "," << y;
            darkened += v < 255;
        }
        if (y >= 192 && y < 288)
            EXPECT_GT(darkened, 320) << "row " << y;
        else
            EXPECT_EQ(darkened, 0) << "row " << y;
    }
}

TEST_F(NoiseBand, LeavesBlendOnTexturingOffDepthMaskOnAndTheProjectionSelected) {
    glDisable(GL_BLEND);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(3, 0, 0);
    band_over_white();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLboolean depth_mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    EXPECT_EQ(depth_mask, GL_TRUE);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_EQ(modelview[12], 3.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(NoiseBand, TwoFramesShowDifferentGrain) {
    const std::vector<uint8_t> first = band_over_white();
    const std::vector<uint8_t> second = band_over_white();
    int differing = 0;
    for (size_t i = 0; i < first.size(); ++i) differing += first[i] != second[i];
    EXPECT_GT(differing, 640 * 96 / 2);
}

}  // namespace
