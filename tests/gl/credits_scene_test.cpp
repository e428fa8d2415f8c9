#include "show/scenes/credits.h"

#include "platform/offscreen_gl.h"
#include "shell/runtime.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "tests/support/play_position.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int W = 640;
constexpr int H = 480;

class CreditsScene : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::offscreen_gl_open(W, H)) << platform::offscreen_gl_error();
        runtime::rand_state = runtime::RAND_START;
        show::init_graphics();
        show::frame_time = 0.0f;
        show::frame_delta = 0.0f;
        show::camera_distance = 1.0f;
    }
    void TearDown() override {
        show::release_graphics();
        platform::offscreen_gl_close();
    }

    // The scene over a plain grey picture; rows counted from the bottom.
    std::vector<uint8_t> draw_over_grey() {
        glClearColor(0.6f, 0.6f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        show::draw_credits_scene();
        std::vector<uint8_t> rgb(W * H * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }
};

// Bits in table order: "Brusk.2oo4", "Code", "::Osk", "Gfx", "::Ledrin", "Music", "::Marvek (Tavi)".
// Without a song the position reads order 0, row 0: no line (the sprites test below sees no light).
TEST(CreditLines, ArriveWithTheRowsOfOrderThreeAndAllShowInOrderFour) {
    struct Case {
        uint8_t order, row;
        uint32_t lines;
    };
    const Case cases[] = {
        {0, 0, 0},      {1, 40, 0},     {2, 63, 0},     {3, 0, 0x01},  {3, 11, 0x01}, {3, 12, 0x03},
        {3, 15, 0x03},  {3, 16, 0x07},  {3, 48, 0x0F},  {3, 52, 0x1F}, {3, 59, 0x3F}, {3, 60, 0x7F},
        {3, 255, 0x7F}, {4, 0, 0x7F},   {4, 63, 0x7F},  {5, 0, 0},     {25, 60, 0},
    };
    for (const Case& c : cases) {
        uint32_t lines = 0;
        for (int i = 0; i < show::CREDIT_LINE_COUNT; ++i)
            if (show::credit_line_due(i, c.order, c.row)) lines |= 1u << i;
        EXPECT_EQ(lines, c.lines) << "order " << int(c.order) << " row " << int(c.row);
    }
}

// Text adds light only inside the boxes of the lines printed: the same frame at order 2 and at
// order 4 differs nowhere else (the grain band is new each frame, so its rows are left out).
TEST_F(CreditsScene, CreditTextLightensThePictureExactlyWhereItIsPrinted) {
    test_support::PlayPosition position(2, 0);
    show::frame_time = 3.0f;
    const std::vector<uint8_t> without = draw_over_grey();
    position.set(4, 0);
    show::camera_distance = 1.0f;
    const std::vector<uint8_t> with = draw_over_grey();

    struct Box {
        int x, y, characters;
    };
    const Box boxes[] = {{10, 160, 10}, {10, 140, 4}, {90, 140, 5}, {10, 120, 3}, {80, 120, 8}, {10, 100, 5}, {110, 100, 15}};
    auto in_box = [&](int x, int y) {
        for (const Box& b : boxes)
            if (x >= b.x && x < b.x + 20 * (b.characters - 1) + 32 && y >= b.y && y < b.y + 32) return true;
        return false;
    };
    int brighter_outside = 0;
    for (int y = 0; y < H; ++y) {
        if (y >= 192 && y < 288) continue;
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 3; ++c) {
                const int i = (y * W + x) * 3 + c;
                ASSERT_GE(with[i], without[i]) << x << "," << y;
                if (with[i] > without[i] && !in_box(x, y)) ++brighter_outside;
            }
    }
    EXPECT_EQ(brighter_outside, 0);
    // Every line put clearly lit pixels into its own box.
    for (const Box& b : boxes) {
        int lit = 0;
        for (int y = b.y; y < b.y + 32; ++y)
            for (int x = b.x; x < b.x + 20 * (b.characters - 1) + 32; ++x) {
                const int i = (y * W + x) * 3;
                lit += with[i] >= without[i] + 60;
            }
        EXPECT_GT(lit, 10 * b.characters) << "line at " << b.x << "," << b.y;
    }
}

TEST_F(CreditsScene, SpritesDarkenThePictureAboveAndBelowTheGrainBand) {
    show::loaded_song = nullptr;  // order 0: no text, so nothing may add light
    show::frame_time = 2.5f;
    const std::vector<uint8_t> rgb = draw_over_grey();
    int darker_below = 0, darker_above = 0, lighter = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const uint8_t r = rgb[(y * W + x) * 3];  // the grey reads 153
            lighter += r > 154;
            if (r >= 140) continue;
            darker_below += y < 192;
            darker_above += y >= 288;
        }
    EXPECT_EQ(lighter, 0);
    EXPECT_GT(darker_below, 2000);
    EXPECT_GT(darker_above, 2000);
}

TEST_F(CreditsScene, TheCameraBacksAwayFourUnitsPerSecondAndNeverComesBack) {
    show::frame_delta = 0.25f;
    show::draw_credits_scene();
    EXPECT_EQ(show::camera_distance, 2.0f);
    show::draw_credits_scene();
    EXPECT_EQ(show::camera_distance, 3.0f);

    show::frame_delta = 0.016f;
    float expected = 3.0f;
    for (int frame = 0; frame < 5; ++frame) {
        show::draw_credits_scene();
        expected = static_cast<float>(static_cast<double>(expected) + 0.016f * 4.0);
        EXPECT_EQ(show::camera_distance, expected) << frame;
    }
    // The scene's own start does not reset it; a pause of the clock only holds it.
    show::frame_delta = 0.0f;
    show::draw_credits_scene();
    EXPECT_EQ(show::camera_distance, expected);
}

// Projection from the single-precision aspect 1.33333; the camera on +z looking at the origin,
// then the tumble about x, y and z by 10, 20 and 30 degrees per second.
TEST_F(CreditsScene, SetsItsProjectionAndTheTumblingCamera) {
    show::frame_time = 1.7f;
    show::frame_delta = 0.5f;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(3.0f, 3.0f, 3.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(9.0f, 9.0f, 9.0f);
    show::draw_credits_scene();

    float projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    // 1.33333 and 4/3 lead to x scales about 4.5e-6 apart; GL keeps the matrix in floats.
    EXPECT_NEAR(projection[0], f / static_cast<double>(1.33333f), 3e-7);
    EXPECT_FLOAT_EQ(projection[5], static_cast<float>(f));
    EXPECT_FLOAT_EQ(projection[10], static_cast<float>(-5001.0 / 4999.0));
    EXPECT_FLOAT_EQ(projection[14], static_cast<float>(-10000.0 / 4999.0));

    // Expected model-view: translate(0, 0, -3) * Rx(17) * Ry(34) * Rz(51), column-major.
    auto rotation = [](double degrees, int axis) {
        const double a = degrees * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
        std::vector<double> m(16, 0.0);
        m[0] = m[5] = m[10] = m[15] = 1.0;
        const int i = (axis + 1) % 3, j = (axis + 2) % 3;
        m[i * 4 + i] = c;
        m[j * 4 + j] = c;
        m[i * 4 + j] = s;   // column i, row j
        m[j * 4 + i] = -s;  // column j, row i
        return m;
    };
    auto multiply = [](const std::vector<double>& a, const std::vector<double>& b) {
        std::vector<double> m(16, 0.0);
        for (int col = 0; col < 4; ++col)
            for (int row = 0; row < 4; ++row)
                for (int k = 0; k < 4; ++k) m[col * 4 + row] += a[k * 4 + row] * b[col * 4 + k];
        return m;
    };
    std::vector<double> expected(16, 0.0);
    expected[0] = expected[5] = expected[10] = expected[15] = 1.0;
    expected[14] = -3.0;
    expected = multiply(expected, rotation(17.0, 0));
    expected = multiply(expected, rotation(34.0, 1));
    expected = multiply(expected, rotation(51.0, 2));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(modelview[i], expected[i], 2e-5) << i;
}

TEST_F(CreditsScene, LeavesBlendingTexturingDepthTestAndCullingOffAndDepthWritesOn) {
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    show::draw_credits_scene();
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    GLboolean depth_mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    EXPECT_EQ(depth_mask, GL_TRUE);
    GLint depth_func = 0, blend_dst = 0, blend_src = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depth_func);
    glGetIntegerv(GL_BLEND_SRC, &blend_src);
    glGetIntegerv(GL_BLEND_DST, &blend_dst);
    EXPECT_EQ(depth_func, GL_LESS);
    EXPECT_EQ(blend_src, GL_ONE);  // the text's additive blend stays selected
    EXPECT_EQ(blend_dst, GL_ONE);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
