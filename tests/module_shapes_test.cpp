// Modules in the shapes real files take load, play without fault and play in tune.
#include "tests/support/module_shapes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "music/engine.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "shell/runtime.h"
#include "tests/support/memory_image.h"

namespace {

constexpr int32_t RATE = 44100;

struct Rendering {
    std::vector<int16_t> left;
    std::vector<std::pair<int32_t, int32_t>> positions;  // each (order, row) in the order reached
    int32_t voices_sounding = 0;                         // after the first row
};

std::vector<std::pair<int32_t, int32_t>>* watched = nullptr;

void watching_tick(music::Song* song) {
    music::tick_update(song);
    const std::pair<int32_t, int32_t> now{song->order, song->row};
    if (watched->empty() || watched->back() != now) watched->push_back(now);
}

Rendering render(music::Song* song, double seconds) {
    Rendering r;
    EXPECT_TRUE(music::play_offline(song, RATE));
    song->tick_handler = watching_tick;
    watched = &r.positions;
    const int64_t frames = static_cast<int64_t>(seconds * RATE);
    while (static_cast<int64_t>(r.left.size()) < frames) {
        const int32_t block = music::fill_index;
        music::fill_block();
        const int16_t* pcm = music::wave_buffer + static_cast<int64_t>(block) * music::block_frames * 2;
        for (int32_t i = 0; i < music::block_frames; ++i) r.left.push_back(pcm[2 * i]);
        if (r.voices_sounding == 0)
            for (const music::Voice& v : music::voices) r.voices_sounding += v.sample != nullptr;
    }
    music::stop_offline();
    watched = nullptr;
    return r;
}

// Rising zero crossings, placed between samples by linear interpolation, from `skip` on:
// cycles over the time they span.
double measured_hz(const std::vector<int16_t>& pcm, size_t skip) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = skip + 1; i < pcm.size(); ++i) {
        if (pcm[i - 1] < 0 && pcm[i] >= 0) {
            const double t = static_cast<double>(i - 1) + static_cast<double>(-pcm[i - 1]) / (pcm[i] - pcm[i - 1]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) * RATE / (last - first);
}

int32_t peak(const std::vector<int16_t>& pcm) {
    int32_t p = 0;
    for (int16_t v : pcm) p = std::max(p, std::abs(static_cast<int32_t>(v)));
    return p;
}

TEST(ModuleShapes, EachLoadsPlaysWithoutFaultAndInTune) {
    for (const test_support::ModuleShape& shape : test_support::module_shapes()) {
        SCOPED_TRACE(shape.name);
        const int32_t blocks_before = runtime::heap_live_blocks();
        music::Song* song = test_support::load_bytes(xm::write_xm(shape.module));
        ASSERT_NE(song, nullptr) << music::load_error();
        const Rendering r = render(song, 2.0);
        EXPECT_TRUE(music::free_song(song));
        EXPECT_EQ(runtime::heap_live_blocks(), blocks_before);

        if (shape.silent) {
            EXPECT_EQ(peak(r.left), 0);
            continue;
        }
        EXPECT_GT(peak(r.left), 0);
        if (shape.expected_hz > 0) {
            const double hz = measured_hz(r.left, RATE / 10);
            EXPECT_NEAR(hz / shape.expected_hz, 1.0, shape.tolerance) << hz << " Hz, want " << shape.expected_hz;
        }
    }
}

const test_support::ModuleShape& shape_named(const std::vector<test_support::ModuleShape>& shapes,
                                             const std::string& name) {
    for (const auto& s : shapes)
        if (s.name == name) return s;
    std::abort();
}

TEST(ModuleShapes, OneRowAndTwoHundredFiftySixRowPatternsPlayEveryRowOnce) {
    const auto shapes = test_support::module_shapes();
    music::Song* song = test_support::load_bytes(xm::write_xm(shape_named(shapes, "patterns of 1 and 256 rows").module));
    ASSERT_NE(song, nullptr) << music::load_error();
    EXPECT_EQ(song->patterns[0].row_count, 1);
    EXPECT_EQ(song->patterns[1].row_count, 256);
    // 258 rows of one 432-frame tick each: 2.53 s, then the song starts over.
    const Rendering r = render(song, 2.7);
    music::free_song(song);

    std::vector<std::pair<int32_t, int32_t>> expected{{0, 0}};
    for (int32_t row = 0; row < 256; ++row) expected.emplace_back(1, row);
    expected.emplace_back(2, 0);
    expected.emplace_back(0, 0);
    ASSERT_GE(r.positions.size(), expected.size());
    EXPECT_EQ(std::vector(r.positions.begin(), r.positions.begin() + static_cast<ptrdiff_t>(expected.size())), expected);
}

TEST(ModuleShapes, ThirtyTwoChannelsAllSound) {
    const auto shapes = test_support::module_shapes();
    music::Song* song = test_support::load_bytes(xm::write_xm(shape_named(shapes, "32 channels").module));
    ASSERT_NE(song, nullptr) << music::load_error();
    EXPECT_EQ(song->channel_count, 32);
    const Rendering r = render(song, 0.1);
    music::free_song(song);
    EXPECT_EQ(r.voices_sounding, 32);
}

}  // namespace
