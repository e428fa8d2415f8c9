#include "show/scenes/ribbons.h"

#include "shell/runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

void clear_ribbons() { std::memset(show::ribbon_points, 0, sizeof show::ribbon_points); }

TEST(TrailOffsets, Take300NumbersAsThousandthsFromMinus99To100) {
    runtime::rand_state = runtime::RAND_START;
    show::init_trail_offsets();
    const uint32_t after = runtime::rand_state;
    runtime::rand_state = runtime::RAND_START;
    for (int i = 0; i < 300; ++i) runtime::rand();
    EXPECT_EQ(after, runtime::rand_state);

    // The first number of the sequence, 64382, leaves 182 mod 200: x of ribbon 0 is -0.082.
    EXPECT_EQ(show::trail_offsets[0][0], -0.082f);
    bool negative = false, positive = false;
    for (const auto& offset : show::trail_offsets) {
        for (float v : offset) {
            const double thousandths = std::round(v * 1000.0);
            EXPECT_GE(thousandths, -99);
            EXPECT_LE(thousandths, 100);
            EXPECT_EQ(v, static_cast<float>(thousandths) * 0.001f);
            negative |= v < 0;
            positive |= v > 0;
        }
    }
    EXPECT_TRUE(negative && positive);
}

TEST(RibbonHeads, FollowOnePathWithPhasesOf120And240Seconds) {
    struct Case {
        float t;
        int32_t family;
        double x_arg, y_arg, z_arg;  // the single-precision arguments, worked out by hand
    } cases[] = {
        {0.0f, 0, 0.0, 0.0, 0.0},
        {0.0f, 1, 300.0, 426.0, 240.0},  // 3.5499999523 * 120 rounds to 426
        {0.0f, 2, 600.0, 852.0, 480.0},
        // At t = 1 the single-precision 3.55 shows: sin(3.5499999523), not sin(3.55).
        {1.0f, 0, 2.5, static_cast<double>(3.55f), 2.0},
    };
    for (const Case& c : cases) {
        const show::RibbonHead h = show::ribbon_head(c.t, c.family);
        EXPECT_EQ(h.x, static_cast<float>(2000 * std::cos(c.x_arg))) << c.t << " " << c.family;
        EXPECT_EQ(h.y, static_cast<float>(2500 * std::sin(c.y_arg))) << c.t << " " << c.family;
        EXPECT_EQ(h.z, static_cast<float>(2000 * std::cos(c.z_arg))) << c.t << " " << c.family;
    }
    const show::RibbonHead h1 = show::ribbon_head(0, 0);
    EXPECT_EQ(h1.x, 2000.0f);
    EXPECT_EQ(h1.y, 0.0f);
    EXPECT_EQ(h1.z, 2000.0f);
    EXPECT_NE(show::ribbon_head(1, 0).y, static_cast<float>(2500 * std::sin(3.55)));
}

TEST(RibbonRelaxation, APointMovesTwoThirdsTowardsItsPredecessorPlusItsOffset) {
    clear_ribbons();
    for (auto& offset : show::trail_offsets) offset[0] = offset[1] = offset[2] = 0;
    show::trail_offsets[0][0] = 0.1f;
    show::trail_offsets[0][1] = -0.099f;
    float* p1 = show::ribbon_points[0][0][1];
    p1[0] = 10;
    p1[1] = 20;
    p1[2] = -30;
    const show::RibbonHead heads[3] = {{2000, 0, 2000}, {1, 1, 1}, {2, 2, 2}};
    show::move_ribbons(heads);
    // (2 * head + p1) * 0.34482756 + 250 * offset:
    //   x: 4010 * 0.34482756 + 25 = 1407.7585; y: 20 * 0.34482756 - 24.75 = -17.853449;
    //   z: 3970 * 0.34482756 = 1368.9654
    EXPECT_FLOAT_EQ(p1[0], 1407.7585f);
    EXPECT_FLOAT_EQ(p1[1], -17.853449f);
    EXPECT_FLOAT_EQ(p1[2], 1368.9654f);
    // Point 2 followed point 1 as it was before this frame: (2 * (10, 20, -30) + 0) * factor + o.
    const float* p2 = show::ribbon_points[0][0][2];
    EXPECT_FLOAT_EQ(p2[0], 20 * 0.34482756f + 25);
    EXPECT_FLOAT_EQ(p2[1], 40 * 0.34482756f - 24.75f);
    EXPECT_FLOAT_EQ(p2[2], -60 * 0.34482756f);
    EXPECT_EQ(show::RIBBON_RELAX_FACTOR, std::nextafter(static_cast<float>(1 / 2.9), 0.0f));
}

TEST(RibbonRelaxation, FirstFrameFansEveryFamilyFromTheOriginInTheSamePattern) {
    clear_ribbons();
    runtime::rand_state = runtime::RAND_START;
    show::init_trail_offsets();
    show::RibbonHead heads[3];
    for (int32_t f = 0; f < 3; ++f) heads[f] = show::ribbon_head(0, f);
    show::move_ribbons(heads);

    const double factor = show::RIBBON_RELAX_FACTOR;
    for (int32_t f = 0; f < 3; ++f) {
        const float head[3] = {heads[f].x, heads[f].y, heads[f].z};
        for (int32_t k = 0; k < show::RIBBONS_PER_FAMILY; ++k) {
            const auto& ribbon = show::ribbon_points[f][k];
            for (int32_t c = 0; c < 3; ++c) {
                const double o = 250.0 * show::trail_offsets[k][c];
                EXPECT_EQ(ribbon[0][c], head[c]);
                EXPECT_EQ(ribbon[1][c], static_cast<float>(2.0 * head[c] * factor + o));
                // The rest only took their offset: a fan out of the origin, the same in each
                // family since ribbon k of every family shares offset k.
                for (int32_t n = 2; n < show::RIBBON_POINTS; ++n) {
                    EXPECT_EQ(ribbon[n][c], static_cast<float>(o)) << f << " " << k << " " << n;
                    EXPECT_LE(std::fabs(ribbon[n][c]), 25.0f);
                }
            }
        }
    }
    // A second frame moves point 2 towards where point 1 was after the first.
    const float p1x = show::ribbon_points[0][7][1][0];
    const float p2x = show::ribbon_points[0][7][2][0];
    show::move_ribbons(heads);
    EXPECT_EQ(show::ribbon_points[0][7][2][0],
              static_cast<float>((2.0 * p1x + p2x) * factor + 250.0 * show::trail_offsets[7][0]));
}

}  // namespace
