#include "show/scenes/metaball_scene.h"

#include "show/metaballs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(BlobPaths, StartInsideTheCubeAtTimeZero) {
    show::place_blobs(0);
    // A = 0.05 at t = 0; blob 3's y is 0.5 sin 0 - 0.2 sin 0 / 0.05 = 0.
    const float expected[4][3] = {
        {-0.25f, -0.07f, 0.05f}, {0.05f, -0.3f, 0.05f}, {-0.2f, -0.05f, 0.05f}, {-0.25f, 0.0f, 0.65f}};
    for (int32_t b = 0; b < 4; ++b) {
        EXPECT_FLOAT_EQ(show::blobs[b].x, expected[b][0]) << b;
        EXPECT_FLOAT_EQ(show::blobs[b].y, expected[b][1]) << b;
        EXPECT_FLOAT_EQ(show::blobs[b].z, expected[b][2]) << b;
    }
}

TEST(BlobPaths, BlobThreesHeightDividesByA) {
    // 0.5 sin 2t - 4 sin(t/3) / cos t: near cos t = 0 the blob is thrown far out.
    for (float t : {0.7f, 1.5f, 1.57f, 4.0f}) {
        show::place_blobs(t);
        const double closed = 0.5 * std::sin(2.0 * t) - 4.0 * std::sin(t / 3.0) / std::cos(t);
        EXPECT_NEAR(show::blobs[3].y, closed, 1e-4 * std::fabs(closed) + 1e-5) << t;
    }
    show::place_blobs(1.57f);
    EXPECT_GT(std::fabs(show::blobs[3].y), 1000.0f);
}

// Scripted song position for the title: the row reader returns the next scripted row on each
// call and stays on the last one.
int32_t scripted_order = 0;
std::vector<int32_t> scripted_rows;
size_t row_reads = 0;
int32_t read_order() { return scripted_order; }
int32_t read_row() {
    const size_t k = row_reads < scripted_rows.size() ? row_reads : scripted_rows.size() - 1;
    ++row_reads;
    return scripted_rows[k];
}

float title_after(float start, int32_t order, std::vector<int32_t> rows, float delta) {
    show::title_y = start;
    scripted_order = order;
    scripted_rows = std::move(rows);
    row_reads = 0;
    show::advance_title(read_order, read_row, delta);
    return show::title_y;
}

TEST(Title, JumpsOnBeatRowsFromOrderSevenAndFallsBackTo230) {
    struct Case {
        const char* what;
        float start;
        int32_t order;
        std::vector<int32_t> rows;
        float delta;
        float expected;
    } cases[] = {
        {"order 5 rests on a beat row", 230, 5, {0}, 0.02f, 230},
        {"order 6 rests on a beat row", 230, 6, {6}, 0.02f, 230},
        {"order 6 still falls from a jump", 300, 6, {6}, 0.02f, static_cast<float>(300 - 0.02f * 180.0)},
        {"order 7 row 6 jumps and falls one step", 230, 7, {6}, 0.02f, static_cast<float>(310 - 0.02f * 180.0)},
        {"order 7 last beat row 58", 230, 7, {58}, 0.02f, static_cast<float>(310 - 0.02f * 180.0)},
        {"order 7 row 7 keeps falling", 306.4f, 7, {7}, 0.02f, static_cast<float>(306.4f - 0.02f * 180.0)},
        {"order 7 off-beat row rests", 230, 7, {7}, 0.02f, 230},
        {"order 25 row 0 jumps", 230, 25, {0}, 0.01f, static_cast<float>(310 - 0.01f * 180.0)},
        {"at or below 230 it rests", 229.5f, 7, {1}, 0.02f, 229.5f},
        {"delta above 80/180 s drops below 230 at once", 230, 7, {6}, 0.5f, 220},
        // The row is read afresh for each beat row: it has reached 6 by the second comparison.
        {"row read per comparison", 230, 7, {5, 6}, 0.02f, static_cast<float>(310 - 0.02f * 180.0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(title_after(c.start, c.order, c.rows, c.delta), c.expected) << c.what;
}

TEST(Title, RestsBelow230AfterABigStepUntilTheNextBeatRow) {
    title_after(230, 7, {6}, 0.5f);
    EXPECT_EQ(show::title_y, 220.0f);
    for (int32_t row = 7; row < 10; ++row) {
        scripted_rows = {row};
        row_reads = 0;
        show::advance_title(read_order, read_row, 0.5f);
        EXPECT_EQ(show::title_y, 220.0f) << row;
    }
    scripted_rows = {10};
    row_reads = 0;
    show::advance_title(read_order, read_row, 0.016f);
    EXPECT_EQ(show::title_y, static_cast<float>(310 - 0.016f * 180.0));
}

}  // namespace
