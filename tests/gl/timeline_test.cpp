#include "show/timeline.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/offscreen_gl.h"

namespace {

constexpr int W = 640;
constexpr int H = 480;
const double TOP[3] = {192, 207, 203};
const double BOTTOM[3] = {108, 128, 114};

class Timeline : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::offscreen_gl_open(W, H)) << platform::offscreen_gl_error(); }
    void TearDown() override { platform::offscreen_gl_close(); }

    // Rows counted from the bottom, as GL reads them.
    std::vector<unsigned char> read_rgb() {
        std::vector<unsigned char> pixels(W * H * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    // The gradient at the centre of a row: the quad spans the whole height, top colour at the top edge.
    static double gradient(int row, int channel) {
        return BOTTOM[channel] + (TOP[channel] - BOTTOM[channel]) * (row + 0.5) / H;
    }

    // Every pixel of the row within `tolerance` of the expected colour.
    static void expect_row(const std::vector<unsigned char>& pixels, int row, const double rgb[3], double tolerance) {
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 3; ++c) {
                const double got = pixels[(row * W + x) * 3 + c];
                if (std::fabs(got - rgb[c]) > tolerance) {
                    ADD_FAILURE() << "row " << row << " x " << x << " channel " << c << ": " << got << " not near "
                                  << rgb[c];
                    return;
                }
            }
    }

    static void expect_gradient_row(const std::vector<unsigned char>& pixels, int row) {
        const double rgb[3] = {gradient(row, 0), gradient(row, 1), gradient(row, 2)};
        expect_row(pixels, row, rgb, 2.0);
    }
};

TEST_F(Timeline, BackgroundClearsAndDrawsTheVerticalGradientWithoutDepth) {
    glClearColor(1, 0, 0, 1);
    glClearDepth(0.25);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);

    show::draw_background();
    const std::vector<unsigned char> pixels = read_rgb();
    expect_row(pixels, H - 1, TOP, 2.0);
    expect_row(pixels, 0, BOTTOM, 2.0);
    for (int row : {1, 96, 200, 240, 383, 478}) expect_gradient_row(pixels, row);

    float depth = 0;
    glReadPixels(W / 2, H / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_FLOAT_EQ(depth, 1.0f);  // cleared, and the gradient wrote none
    GLboolean depth_mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    EXPECT_EQ(depth_mask, GL_TRUE);
}

TEST_F(Timeline, FrameHasBlackBarsOf96RowsOverTheGradient) {
    // A texture left enabled (loading textures does that) darkens one frame, not the next.
    GLuint texture = 0;
    const unsigned char dark[4] = {10, 10, 10, 255};
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, dark);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    show::draw_frame();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    show::draw_frame();
    const std::vector<unsigned char> pixels = read_rgb();
    const double black[3] = {0, 0, 0};
    for (int row = 0; row < 96; ++row) expect_row(pixels, row, black, 0.0);
    for (int row = H - 96; row < H; ++row) expect_row(pixels, row, black, 0.0);
    // Just inside the bars the picture is the gradient, untouched.
    expect_gradient_row(pixels, 96);
    expect_gradient_row(pixels, H - 97);
    expect_gradient_row(pixels, H / 2);
}

TEST_F(Timeline, LetterboxBlackensWhateverIsBelowAndRestoresTheMatrices) {
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(2.0f, 3.0f, 4.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5.0f, 6.0f, 7.0f);

    show::draw_letterbox(0.5f);  // inner edges at rows 120 and 360

    const std::vector<unsigned char> pixels = read_rgb();
    const double black[3] = {0, 0, 0};
    const double white[3] = {255, 255, 255};
    expect_row(pixels, 0, black, 0.0);
    expect_row(pixels, 119, black, 0.0);
    expect_row(pixels, 120, white, 0.0);
    expect_row(pixels, 359, white, 0.0);
    expect_row(pixels, 360, black, 0.0);
    expect_row(pixels, H - 1, black, 0.0);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    float projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_FLOAT_EQ(projection[0], 2.0f);
    EXPECT_FLOAT_EQ(projection[10], 4.0f);
    EXPECT_FLOAT_EQ(modelview[12], 5.0f);
    EXPECT_FLOAT_EQ(modelview[14], 7.0f);
}

}  // namespace
