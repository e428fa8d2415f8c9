#include "show/scenes/fountain.h"

#include "platform/offscreen_gl.h"
#include "shell/runtime.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/particles.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

class FountainScene : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
        show::init_graphics();
        ASSERT_NE(show::particle_pool, nullptr);
        show::particle_count = 0;
        show::first_live = 0;
    }
    void TearDown() override {
        show::release_graphics();
        platform::offscreen_gl_close();
    }

    void frame_over_light(float t) {
        glDisable(GL_TEXTURE_2D);
        glClearColor(192 / 255.0f, 207 / 255.0f, 203 / 255.0f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        show::frame_time = t;
        show::draw_fountain_scene();
    }
};

// Billboards handed to GL in feedback mode: (centre x, centre y, width) of each small polygon.
struct Quad {
    float x, y, width;
};

TEST_F(FountainScene, FirstFrameHasTwoLiveParticlesBothDrawn) {
    // At u = pi / 4 the two emitters coincide, so both sprites are in view.
    const float t = static_cast<float>(M_PI / 4 / 0.4);
    std::vector<float> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    frame_over_light(t);
    const GLint used = glRenderMode(GL_RENDER);
    ASSERT_GT(used, 0);

    EXPECT_EQ(show::particle_count, 2);
    EXPECT_EQ(show::first_live, 0);
    const show::FountainEmitters e = show::fountain_emitters(t);
    for (int32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(show::particle_pool[0].position[k], (k == 0   ? e.first[0]
                                                       : k == 1 ? e.first[1]
                                                                : e.first[2]) +
                                                          show::particle_pool[0].velocity[k]);
        EXPECT_EQ(show::particle_pool[1].position[k], (k == 0   ? e.second[0]
                                                       : k == 1 ? e.second[1]
                                                                : e.second[2]) +
                                                          show::particle_pool[1].velocity[k]);
    }

    std::vector<Quad> small;
    int32_t quad_halves = 0;
    for (GLint k = 0; k < used;) {
        const GLint token = static_cast<GLint>(buffer[k++]);
        ASSERT_EQ(token, GL_POLYGON_TOKEN);
        const GLint count = static_cast<GLint>(buffer[k++]);
        float lo_x = 1e9f, hi_x = -1e9f, lo_y = 1e9f, hi_y = -1e9f;
        for (GLint v = 0; v < count; ++v, k += 2) {
            lo_x = std::fmin(lo_x, buffer[k]);
            hi_x = std::fmax(hi_x, buffer[k]);
            lo_y = std::fmin(lo_y, buffer[k + 1]);
            hi_y = std::fmax(hi_y, buffer[k + 1]);
        }
        if (hi_x - lo_x < 100) {
            small.push_back({(lo_x + hi_x) / 2, (lo_y + hi_y) / 2, hi_x - lo_x});
            // GL may hand a quad back whole or as two triangles.
            quad_halves += count == 4 ? 2 : count == 3 ? 1 : 100;
        }
    }
    // The grain band spans the screen; the rest are the two sprites, near the centre where the
    // first emitter sits.
    EXPECT_EQ(quad_halves, 4);
    for (const Quad& q : small) {
        EXPECT_NEAR(q.x, 320, 12);
        EXPECT_NEAR(q.y, 240, 12);
        EXPECT_GT(q.width, 5);
    }
}

TEST_F(FountainScene, EachFrameDrawsEightNumbersForTheParticlesAndOneGrainImage) {
    for (int frame = 0; frame < 3; ++frame) {
        const uint32_t before = runtime::rand_state;
        frame_over_light(1.0f + 0.02f * static_cast<float>(frame));
        const uint32_t after = runtime::rand_state;
        runtime::rand_state = before;
        for (int i = 0; i < 8 + 65536; ++i) runtime::rand();
        EXPECT_EQ(runtime::rand_state, after) << frame;
        runtime::rand_state = after;
    }
    EXPECT_EQ(show::particle_count, 6);
}

TEST_F(FountainScene, DarkensAroundTheCentreWhereTheFirstEmitterSits) {
    for (int frame = 0; frame < 40; ++frame) frame_over_light(5.0f + 0.02f * static_cast<float>(frame));
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    std::vector<uint8_t> rgba(640 * 480 * 4);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    // A sprite's core takes a pixel close to black; the grain alone at most halves it. Count
    // such pixels in a 31 x 31 patch at the centre and at the band's two ends.
    auto near_black = [&](int cx, int cy) {
        int32_t count = 0;
        for (int y = cy - 15; y <= cy + 15; ++y)
            for (int x = cx - 15; x <= cx + 15; ++x) count += rgba[(y * 640 + x) * 4 + 1] < 40;
        return count;
    };
    const int32_t centre = near_black(320, 240);
    RecordProperty("near_black_at_centre", centre);
    EXPECT_GT(centre, 20);
    EXPECT_EQ(near_black(40, 240), 0);
    EXPECT_EQ(near_black(600, 240), 0);
}

TEST_F(FountainScene, LeavesDepthTestBlendingTexturingAndCullingOff) {
    glEnable(GL_CULL_FACE);
    frame_over_light(2.0f);
    for (GLenum off : {GL_DEPTH_TEST, GL_BLEND, GL_TEXTURE_2D, GL_CULL_FACE})
        EXPECT_FALSE(glIsEnabled(off)) << std::hex << off;
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    GLboolean depth_writes = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_writes);
    EXPECT_TRUE(depth_writes);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
