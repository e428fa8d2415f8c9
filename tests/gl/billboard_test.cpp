#include "show/particles.h"

#include "platform/offscreen_gl.h"
#include "shell/runtime.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>

namespace {

class Billboard : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-8, 8, -6, 6, -10, 10);  // 40 pixels per unit both ways
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override { platform::offscreen_gl_close(); }

    // 2 x 2 texels: (s, t) = (0, 0) red, (1, 0) green, (0, 1) blue, (1, 1) white.
    void bind_corner_texture() {
        const uint8_t texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glEnable(GL_TEXTURE_2D);
    }

    std::array<uint8_t, 3> pixel(int x, int y) {
        std::array<uint8_t, 4> p{};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        return {p[0], p[1], p[2]};
    }
};

using Rgb = std::array<uint8_t, 3>;

// Whatever the rotation, the square faces the screen, is 2 x size wide, and shows the image
// mirrored across its diagonal: t runs to the right, s runs up.
TEST_F(Billboard, FacesTheViewerAndShowsTheImageMirroredAcrossItsDiagonal) {
    bind_corner_texture();
    glColor4ub(255, 255, 255, 255);
    const float rotations[][4] = {{0, 0, 0, 1}, {90, 0, 0, 1}, {37, 1, 0, 0}, {120, 0.3f, 1, 0.5f}};
    for (const auto& r : rotations) {
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(2, 1, 0);
        glRotatef(r[0], r[1], r[2], r[3]);
        // Model point whose screen position is (2, 1) + rotation of (0, 0, 0): the origin.
        show::draw_billboard(1.5f, 0, 0, 0);
        // The square spans 60 pixels each way around screen (400, 280).
        EXPECT_EQ(pixel(345, 225), (Rgb{255, 0, 0})) << r[0];     // bottom left: (0, 0)
        EXPECT_EQ(pixel(455, 225), (Rgb{0, 0, 255})) << r[0];     // bottom right: (0, 1)
        EXPECT_EQ(pixel(455, 335), (Rgb{255, 255, 255})) << r[0]; // top right: (1, 1)
        EXPECT_EQ(pixel(345, 335), (Rgb{0, 255, 0})) << r[0];     // top left: (1, 0)
        EXPECT_EQ(pixel(338, 280), (Rgb{0, 0, 0})) << r[0];
        EXPECT_EQ(pixel(462, 280), (Rgb{0, 0, 0})) << r[0];
        EXPECT_EQ(pixel(400, 218), (Rgb{0, 0, 0})) << r[0];
        EXPECT_EQ(pixel(400, 342), (Rgb{0, 0, 0})) << r[0];
    }
}

TEST_F(Billboard, ParticlesAreDrawnInTheirOwnColourUntilTheyFade) {
    auto* pool = static_cast<show::Particle*>(
        runtime::heap_alloc_zeroed(static_cast<int32_t>(sizeof(show::Particle)) * show::PARTICLE_CAPACITY));
    ASSERT_NE(pool, nullptr);
    show::particle_count = show::first_live = 0;
    glDisable(GL_TEXTURE_2D);
    glClearColor(1, 1, 1, 1);  // a black square would show on white
    glClear(GL_COLOR_BUFFER_BIT);
    show::emit_particle(pool, 0, 0, 0, 255, 0, 0, 255);
    show::emit_particle(pool, -5, 0, 0, 0, 0, 0, 0);
    show::update_and_draw_particles(pool);
    EXPECT_EQ(pixel(320, 240), (Rgb{255, 0, 0}));  // a 1.6-unit square around the origin
    EXPECT_EQ(pixel(120, 240), (Rgb{255, 255, 255}));  // the blank one is never drawn
    runtime::heap_free(pool);
}

}  // namespace
