#include "show/timeline.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/offscreen_gl.h"
#include "shell/runtime.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/metaballs.h"
#include "show/scenes/credits.h"
#include "show/scenes/metaball_scene.h"
#include "show/scenes/ribbons.h"
#include "tests/support/play_position.h"

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
    test_support::PlayPosition position(26, 0);  // past the song's last position: no scene
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

// The whole frame with the show's start-up done, at a song position the test chooses.
class ShowFrame : public Timeline {
protected:
    void SetUp() override {
        Timeline::SetUp();
        runtime::rand_state = runtime::RAND_START;
        show::init_graphics();
        show::init_metaballs();
        show::init_trail_offsets();
        show::frame_time = 0.0f;
        show::frame_delta = 0.0f;
        show::scroll_x = 640.0f;
    }
    void TearDown() override {
        show::release_graphics();
        Timeline::TearDown();
    }
};

TEST(SceneAt, TheOrderPositionAloneChoosesTheScene) {
    using show::Scene;
    struct Case {
        int32_t order;
        Scene scene;
    };
    const Case cases[] = {
        {0, Scene::credits},    {4, Scene::credits},    {5, Scene::metaballs},  {9, Scene::metaballs},
        {10, Scene::ribbons},   {14, Scene::ribbons},   {15, Scene::metaballs}, {19, Scene::metaballs},
        {20, Scene::fountain},  {25, Scene::fountain},  {26, Scene::none},      {255, Scene::none},
        {-1, Scene::none},
    };
    for (const Case& c : cases) EXPECT_EQ(show::scene_at(c.order), c.scene) << "order " << c.order;
}

// The metaball title follows the position the timeline chose the scene by: it rests in order 5
// and jumps on a beat row from order 7, then falls by the frame's delta.
TEST_F(ShowFrame, TheMetaballTitleJumpsOnTheBeatRowHeard) {
    struct Case {
        uint8_t order, row;
        float expected_y;
    };
    const float delta = 0.02f;
    const Case cases[] = {
        {5, 6, 230.0f},
        {7, 7, 230.0f},
        {7, 6, static_cast<float>(310.0f - static_cast<double>(delta) * 180.0)},
        {17, 58, static_cast<float>(310.0f - static_cast<double>(delta) * 180.0)},
    };
    test_support::PlayPosition position(0, 0);
    show::frame_delta = delta;
    for (const Case& c : cases) {
        show::title_y = 230.0f;
        position.set(c.order, c.row);
        show::draw_frame();
        ASSERT_EQ(show::scene_at(c.order), show::Scene::metaballs);
        EXPECT_EQ(show::title_y, c.expected_y) << "order " << int(c.order) << " row " << int(c.row);
    }
}

TEST_F(ShowFrame, WithoutASongEveryFrameIsTheCreditsSceneWithoutScrollText) {
    show::loaded_song = nullptr;
    show::frame_delta = 0.5f;
    const float distance = show::camera_distance;
    for (int frame = 0; frame < 3; ++frame) show::draw_frame();
    EXPECT_EQ(show::scroll_x, 640.0f);  // a printed text would have moved by 50 pixels a frame
    EXPECT_EQ(show::camera_distance, distance + 6.0f);  // the credits scene ran, three times
}

// One step per case from a chosen scroll_x and frame_delta: where the text is printed (if it
// is) and where scroll_x stands afterwards; draw_frame takes the same step.
TEST_F(ShowFrame, ScrollTextMovesFromOrderSevenAndWrapsBelowMinus7000) {
    struct Case {
        const char* what;
        uint8_t order;
        float start, delta;
        bool printed;
        int32_t x;
        float after;
    };
    const Case cases[] = {
        {"order 0 holds it", 0, 640.0f, 0.5f, false, 0, 640.0f},
        {"order 6 holds it where it stopped", 6, -1234.5f, 0.5f, false, 0, -1234.5f},
        {"the first frame at order 7 enters from the right", 7, 640.0f, 0.016f, true, 638, 638.4f},
        {"past the song's end it still runs", 26, 640.0f, 0.25f, true, 615, 615.0f},
        {"-6999.9 is not below the limit", 7, -6999.9f, 0.0f, true, -7000, -6999.9f},
        {"-7000 itself stays", 7, -6999.0f, 0.01f, true, -7000, -7000.0f},
        {"below -7000: printed there, then back to 640", 7, -6999.9f, 0.01f, true, -7001, 640.0f},
        {"halves round to even: 600.5", 7, 602.0625f, 0.015625f, true, 600, 600.5f},
        {"halves round to even: 601.5", 7, 603.0625f, 0.015625f, true, 602, 601.5f},
        {"halves round to even: -0.5", 7, 1.0625f, 0.015625f, true, 0, -0.5f},
        {"halves round to even: -1.5", 7, 0.0625f, 0.015625f, true, -2, -1.5f},
    };
    test_support::PlayPosition position(0, 0);
    for (const Case& c : cases) {
        const show::ScrollStep step = show::scroll_step(c.order, c.start, c.delta);
        EXPECT_EQ(step.printed, c.printed) << c.what;
        if (c.printed) {
            EXPECT_EQ(step.x, c.x) << c.what;
        }
        EXPECT_EQ(step.next, c.after) << c.what;

        position.set(c.order, 0);
        show::scroll_x = c.start;
        show::frame_delta = c.delta;
        show::draw_frame();
        EXPECT_EQ(show::scroll_x, c.after) << c.what;
    }
}

TEST_F(ShowFrame, ScrollTextAdvancesWithTheSumOfFrameDeltas) {
    test_support::PlayPosition position(8, 0);
    show::frame_delta = 0.016f;
    const int32_t printed_at[] = {638, 637, 635, 634};  // 638.4, 636.8, 635.2, 633.6
    for (int32_t x : printed_at) {
        const show::ScrollStep step = show::scroll_step(8, show::scroll_x, show::frame_delta);
        EXPECT_EQ(step.x, x);
        show::draw_frame();
        EXPECT_EQ(show::scroll_x, step.next);
    }
    EXPECT_NEAR(show::scroll_x, 633.6f, 1e-3f);
}

TEST_F(ShowFrame, AScrollPositionThatIsNotANumberStartsOverAtTheRightEdge) {
    test_support::PlayPosition position(7, 0);
    show::scroll_x = std::nanf("");
    show::frame_delta = 0.016f;
    EXPECT_TRUE(show::scroll_step(7, show::scroll_x, show::frame_delta).printed);
    show::draw_frame();
    EXPECT_EQ(show::scroll_x, 640.0f);
    EXPECT_EQ(show::scroll_step(7, show::scroll_x, show::frame_delta).x, 638);
}

// The text shows on the baseline y = 100, from the printed x on, lighter than the gradient.
TEST_F(ShowFrame, ScrollTextIsDrawnOnItsBaselineFromThePrintedX) {
    test_support::PlayPosition position(26, 0);  // no scene, only the overlays
    show::draw_frame();  // start-up leaves the blank grain texture bound; one frame clears that
    show::scroll_x = 300.0f;
    show::draw_frame();
    const std::vector<unsigned char> pixels = read_rgb();
    auto lit_in = [&](int x0, int x1, int y0, int y1) {
        int lit = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) lit += pixels[(y * W + x) * 3 + 1] > gradient(y, 1) + 30;
        return lit;
    };
    EXPECT_EQ(lit_in(0, 300, 96, 384), 0);
    EXPECT_EQ(lit_in(300, W, 132, 384), 0);
    EXPECT_EQ(lit_in(300, W, 96, 100), 0);
    EXPECT_GT(lit_in(300, W, 100, 132), 1000);
}

// The opening frame: sprites darken the gradient on both sides of the grain band, the credits
// add light where they are printed, and the bars cover both edges.
TEST_F(ShowFrame, AFrameAtOrderFourShowsSpritesGrainCreditsAndBars) {
    test_support::PlayPosition position(4, 0);
    show::frame_time = 3.0f;
    show::draw_frame();
    show::camera_distance = 1.0f;
    show::draw_frame();
    const std::vector<unsigned char> pixels = read_rgb();
    const double black[3] = {0, 0, 0};
    for (int row : {0, 95, H - 96, H - 1}) expect_row(pixels, row, black, 0.0);

    int darker_below = 0, darker_above = 0, text = 0;
    for (int y = 96; y < H - 96; ++y)
        for (int x = 0; x < W; ++x) {
            const double g = pixels[(y * W + x) * 3 + 1];
            if (g < gradient(y, 1) - 20) {
                darker_below += y < 192;
                darker_above += y >= 288;
            }
            // The credit lines lie in 10..422 x 100..192; the text lifts green well above the gradient.
            if (g > gradient(y, 1) + 30) {
                EXPECT_TRUE(x >= 10 && x < 422 && y >= 100 && y < 192) << x << "," << y;
                ++text;
            }
        }
    EXPECT_GT(darker_below, 2000);
    EXPECT_GT(darker_above, 2000);
    EXPECT_GT(text, 1000);
}

}  // namespace
