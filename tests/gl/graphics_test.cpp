#include "show/graphics.h"

#include "platform/offscreen_gl.h"
#include "shell/runtime.h"
#include "show/font.h"
#include "show/noise.h"
#include "show/particles.h"
#include "show/scenes/credits.h"
#include "show/textures.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace {

TEST(Graphics, StartUpMakesEverythingTheScenesShareAndDrawsOnlyTheStarCloudsNumbers) {
    ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
    runtime::rand_state = runtime::RAND_START;
    // The grain image lives until the process ends, and a start-up replaces one an earlier
    // test left: count from the heap as it would be without it.
    const int32_t blocks_before = runtime::heap_live_blocks() - (show::noise_pixels ? 1 : 0);
    show::init_graphics();

    EXPECT_NE(show::sprite_texture, 0u);
    EXPECT_NE(show::font_texture, 0u);
    EXPECT_NE(show::sprite_texture, show::font_texture);
    EXPECT_NE(show::font_list_base, 0u);
    EXPECT_TRUE(glIsList(show::font_list_base + 255));
    EXPECT_NE(show::noise_pixels, nullptr);
    EXPECT_NE(show::noise_texture, 0u);
    ASSERT_NE(show::particle_pool, nullptr);
    EXPECT_EQ(show::particle_pool[show::PARTICLE_CAPACITY - 1].age, 0.0f);
    EXPECT_EQ(runtime::heap_live_blocks(), blocks_before + 2);  // the noise image and the pool

    // The star cloud received the first numbers of the run, and nothing else drew any.
    EXPECT_EQ(show::star_x[0], -13.2f);
    const uint32_t after = runtime::rand_state;
    runtime::rand_state = runtime::RAND_START;
    for (int i = 0; i < 1200; ++i) runtime::rand();
    EXPECT_EQ(runtime::rand_state, after);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    show::release_graphics();
    EXPECT_EQ(show::particle_pool, nullptr);
    EXPECT_EQ(runtime::heap_live_blocks(), blocks_before + 1);
    show::release_graphics();  // nothing left to release
    EXPECT_EQ(runtime::heap_live_blocks(), blocks_before + 1);
    platform::offscreen_gl_close();
}

// Without room for the pool the show goes on: emitting and drawing particles do nothing.
TEST(Graphics, StartUpWithoutMemoryForThePoolLeavesParticlesInert) {
    ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
    show::particle_count = 0;  // as the process starts, whatever an earlier test emitted
    show::first_live = 0;
    runtime::heap_fail_after(2);  // the grain image and the blank texture's pixels, then no more
    show::init_graphics();
    runtime::heap_fail_after(-1);
    EXPECT_NE(show::noise_pixels, nullptr);
    EXPECT_NE(show::noise_texture, 0u);
    EXPECT_EQ(show::particle_pool, nullptr);
    show::emit_particle(show::particle_pool, 0, 0, 0, 255, 255, 255, 255);
    show::update_and_draw_particles(show::particle_pool);
    EXPECT_EQ(show::particle_count, 0);
    show::release_graphics();
    platform::offscreen_gl_close();
}

TEST(Graphics, ReleaseWithoutStartUpDoesNothing) {
    const int32_t blocks_before = runtime::heap_live_blocks();
    show::release_graphics();
    EXPECT_EQ(show::particle_pool, nullptr);
    EXPECT_EQ(runtime::heap_live_blocks(), blocks_before);
}

}  // namespace
