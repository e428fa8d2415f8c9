#include "show/particles.h"

#include "shell/runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A fresh pool of full capacity, allocated like the real one so a write past it is caught by
// the sanitizer build.
class Particles : public ::testing::Test {
protected:
    void SetUp() override {
        pool = static_cast<show::Particle*>(
            runtime::heap_alloc_zeroed(static_cast<int32_t>(sizeof(show::Particle)) * show::PARTICLE_CAPACITY));
        ASSERT_NE(pool, nullptr);
        reset();
    }
    void TearDown() override { runtime::heap_free(pool); }

    void reset() {
        show::clear_particles(pool);
        show::particle_count = 0;
        show::first_live = 0;
        runtime::rand_state = runtime::RAND_START;
        drawn.clear();
    }

    static void record(const show::Particle& p) { drawn.push_back(p); }
    void pass() { show::update_particles(pool, record); }

    show::Particle* pool = nullptr;
    static std::vector<show::Particle> drawn;
};
std::vector<show::Particle> Particles::drawn;

TEST_F(Particles, EmissionDrawsFourNumbersAndTakesTheLastThreeAsVelocity) {
    show::emit_particle(pool, 1.5f, -2.0f, 3.0f, 10, 20, 30, 40);
    const uint32_t after = runtime::rand_state;
    runtime::rand_state = runtime::RAND_START;
    EXPECT_EQ(runtime::rand(), 64382);  // discarded
    EXPECT_EQ(runtime::rand(), 56888);  // 56888 mod 8 = 0: +4/30
    EXPECT_EQ(runtime::rand(), 51920);  // 51920 mod 8 = 0: +4/30
    const int32_t fourth = runtime::rand();
    EXPECT_EQ(runtime::rand_state, after);

    ASSERT_EQ(show::particle_count, 1);
    const show::Particle& p = pool[0];
    EXPECT_EQ(p.position[0], 1.5f);
    EXPECT_EQ(p.position[1], -2.0f);
    EXPECT_EQ(p.position[2], 3.0f);
    EXPECT_EQ(p.velocity[0], 0.13333334f);
    EXPECT_EQ(p.velocity[1], 0.13333334f);
    EXPECT_EQ(p.velocity[2], static_cast<float>(4 - fourth % 8) * 0.033333335f);
    EXPECT_EQ(p.color[0], 10);
    EXPECT_EQ(p.color[3], 40);
    EXPECT_EQ(p.age, 0.0f);
}

TEST_F(Particles, VelocitiesRangeFromMinusThreeToFourThirtieths) {
    bool seen[8] = {};
    for (int i = 0; i < 400; ++i) show::emit_particle(pool, 0, 0, 0, 1, 1, 1, 1);
    for (int i = 0; i < 400; ++i)
        for (float v : pool[i].velocity) {
            const int step = static_cast<int>(std::lround(v * 30));
            ASSERT_GE(step, -3);
            ASSERT_LE(step, 4);
            EXPECT_EQ(v, static_cast<float>(step) * 0.033333335f);
            seen[step + 3] = true;
        }
    for (bool s : seen) EXPECT_TRUE(s);
}

// How long a particle lives, per colour: passes on which it is drawn, and the pass that retires it.
TEST_F(Particles, FadeStartsOnPass76AndEachChannelFadesOnItsOwn) {
    struct Case {
        uint8_t color[4];
        int drawn_passes;
    };
    const Case cases[] = {
        {{255, 255, 255, 255}, 329},  // fade from pass 76, zero on pass 330
        {{0, 0, 0, 0}, 0},            // retired on its first pass
        {{1, 0, 0, 0}, 75},
        {{0, 0, 0, 2}, 76},
        {{10, 255, 0, 3}, 329},  // the brightest channel decides
    };
    for (const Case& c : cases) {
        reset();
        show::emit_particle(pool, 0, 0, 0, c.color[0], c.color[1], c.color[2], c.color[3]);
        const float vx = pool[0].velocity[0];
        int passes = 0;
        while (show::first_live == 0 && passes < 1000) {
            const size_t before = drawn.size();
            pass();
            ++passes;
            if (drawn.size() > before) {
                const show::Particle& d = drawn.back();
                for (int k = 0; k < 4; ++k) {
                    const int faded = passes > 75 ? passes - 75 : 0;
                    EXPECT_EQ(d.color[k], c.color[k] > faded ? c.color[k] - faded : 0) << "pass " << passes;
                }
            }
        }
        EXPECT_EQ(static_cast<int>(drawn.size()), c.drawn_passes);
        EXPECT_EQ(passes, c.drawn_passes + 1) << "retired on the pass after the last drawing";
        EXPECT_EQ(show::first_live, 1);
        // Motion went on every pass, drawn or not.
        EXPECT_NEAR(pool[0].position[0], vx * static_cast<float>(passes), 1e-3);
        // A retired particle is no longer visited.
        pass();
        EXPECT_EQ(static_cast<int>(drawn.size()), c.drawn_passes);
    }
}

TEST_F(Particles, APassWithNothingLiveDrawsNothing) {
    show::emit_particle(pool, 0, 0, 0, 255, 255, 255, 255);
    show::first_live = 1;
    pass();
    EXPECT_TRUE(drawn.empty());
    EXPECT_EQ(pool[0].age, 0.0f);
}

TEST_F(Particles, AFullPoolMovesTheLiveRunToTheFrontInOrder) {
    constexpr int32_t C = show::PARTICLE_CAPACITY;
    for (int32_t i = C - 6; i < C - 3; ++i) pool[i].position[0] = static_cast<float>(i);
    show::first_live = C - 6;
    show::particle_count = C - 3;
    for (int j = 0; j < 5; ++j) show::emit_particle(pool, 1000.0f + j, 0, 0, 255, 255, 255, 255);
    EXPECT_EQ(show::first_live, 0);
    ASSERT_EQ(show::particle_count, 8);
    const float expected[8] = {C - 6, C - 5, C - 4, 1000, 1001, 1002, 1003, 1004};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(pool[i].position[0], expected[i]) << i;
}

TEST_F(Particles, APoolFullOfLiveParticlesDropsTheOldest) {
    constexpr int32_t C = show::PARTICLE_CAPACITY;
    for (int32_t i = 0; i < C; ++i) pool[i].position[0] = static_cast<float>(i);
    show::particle_count = C;
    show::emit_particle(pool, -1.0f, 0, 0, 255, 255, 255, 255);
    EXPECT_EQ(show::particle_count, C);
    EXPECT_EQ(show::first_live, 0);
    EXPECT_EQ(pool[0].position[0], 1.0f);
    EXPECT_EQ(pool[C - 2].position[0], static_cast<float>(C - 1));
    EXPECT_EQ(pool[C - 1].position[0], -1.0f);
}

// Two emissions per frame, as the fountain does, across the end of the pool: once the first
// particles retire, every frame draws the same number, before and after the move.
TEST_F(Particles, EmittingPastTheEndOfThePoolNeverStopsTheShow) {
    constexpr int32_t C = show::PARTICLE_CAPACITY;
    show::particle_count = show::first_live = C - 1000;
    std::vector<size_t> per_frame;
    bool wrapped = false;
    for (int frame = 0; frame < 2000; ++frame) {
        show::emit_particle(pool, 0, 0, 0, 255, 255, 255, 255);
        show::emit_particle(pool, 0, 0, 0, 255, 255, 255, 255);
        drawn.clear();
        pass();
        per_frame.push_back(drawn.size());
        ASSERT_LE(show::particle_count, C);
        ASSERT_LE(show::first_live, show::particle_count);
        wrapped |= show::particle_count < C - 1000;
    }
    EXPECT_TRUE(wrapped);
    for (size_t frame = 400; frame < per_frame.size(); ++frame) ASSERT_EQ(per_frame[frame], 658u) << frame;
}

TEST_F(Particles, ClearZeroesEveryRecord) {
    pool[0].age = 3;
    pool[show::PARTICLE_CAPACITY - 1].color[2] = 9;
    show::clear_particles(pool);
    EXPECT_EQ(pool[0].age, 0.0f);
    EXPECT_EQ(pool[show::PARTICLE_CAPACITY - 1].color[2], 0);
}

}  // namespace
