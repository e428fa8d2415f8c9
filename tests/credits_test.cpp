#include "show/scenes/credits.h"

#include "shell/runtime.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(StarCloud, TakesTheFirst1200NumbersInXYZOrder) {
    runtime::rand_state = runtime::RAND_START;
    show::init_star_cloud();
    const uint32_t after = runtime::rand_state;
    // The first point from the first three numbers: 64382, 56888, 51920 (mod 500: 382, 388, 420).
    EXPECT_EQ(show::star_x[0], -13.2f);
    EXPECT_EQ(show::star_y[0], -13.8f);
    EXPECT_EQ(show::star_z[0], -17.0f);

    runtime::rand_state = runtime::RAND_START;
    for (int i = 0; i < 1200; ++i) runtime::rand();
    EXPECT_EQ(runtime::rand_state, after);

    // Inner points within -24.9..25.0, outer ones within -49.9..50.0, all in tenths.
    for (int k = 0; k < show::STAR_COUNT; ++k) {
        const float limit = k < 200 ? 25.0f : 50.0f;
        for (float v : {show::star_x[k], show::star_y[k], show::star_z[k]}) {
            EXPECT_LE(v, limit) << k;
            EXPECT_GE(v, -limit + 0.1f - 1e-4f) << k;
            const double tenths = std::round(v * 10.0);
            EXPECT_EQ(v, static_cast<float>(tenths) * 0.1f) << k;
        }
    }
    // The outer half really reaches beyond the inner one.
    float widest = 0;
    for (int k = 200; k < show::STAR_COUNT; ++k) widest = std::fmax(widest, std::fabs(show::star_x[k]));
    EXPECT_GT(widest, 30.0f);

    // The same start always gives the same cloud.
    const float x399 = show::star_x[399];
    runtime::rand_state = runtime::RAND_START;
    show::init_star_cloud();
    EXPECT_EQ(show::star_x[399], x399);
}

}  // namespace
