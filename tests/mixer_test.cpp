#include "music/mixer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "music/playback.h"
#include "music/song.h"
#include "shell/runtime.h"

namespace {

using music::Sample;
using music::Voice;

// A sample built in code: `values` plus the 8 spare values, with the loop guard the loader writes.
struct TestSample {
    std::vector<int16_t> data;
    Sample sample{};

    TestSample(std::vector<int16_t> values, uint8_t loop_type, uint32_t loop_start, uint32_t loop_length) {
        const uint32_t length = static_cast<uint32_t>(values.size());
        data = values;
        data.resize(length + 8, 0);
        sample.data = data.data();
        sample.length = length;
        sample.loop_type = loop_type;
        sample.bits = 16;
        if (loop_type == music::LOOP_NONE) {
            sample.loop_start = 0;
            sample.loop_length = length;
        } else {
            sample.loop_start = loop_start;
            sample.loop_length = loop_length;
            const uint32_t end = loop_start + loop_length;
            data[end] = loop_type == music::LOOP_FORWARD ? data[loop_start] : data[end - 1];
        }
    }
};

std::vector<int16_t> ramp_values(uint32_t length) {
    std::vector<int16_t> values(length);
    for (uint32_t i = 0; i < length; ++i) values[i] = static_cast<int16_t>(i + 1);
    return values;
}

// A voice at steady levels (no ramp pending) playing `sample` from `position` at `step`.
Voice& steady_voice(int slot, const Sample* sample, uint32_t position, uint32_t step_int, uint32_t step_frac,
                    int32_t left, int32_t right) {
    Voice& v = music::voices[slot];
    v.sample = sample;
    v.position_int = position;
    v.position_frac = 0;
    v.step_int = step_int;
    v.step_frac = step_frac;
    v.direction = music::DIRECTION_FORWARD;
    v.level_left = v.ramp_target_left = left;
    v.level_right = v.ramp_target_right = right;
    v.current_left = left * 256;
    v.current_right = right * 256;
    v.ramp_frames_left = 0;
    return v;
}

class Mixer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(music::mixer_configure(44100)); }
    void TearDown() override {
        music::stop_offline();
        music::reset_voices();
    }
};

TEST_F(Mixer, DerivedSizesFollowTheRate) {
    struct Case { int32_t rate, block, ring, count, ramp; };
    for (Case c : {Case{44100, 884, 88400, 100, 128}, Case{22050, 444, 44400, 100, 64},
                   Case{48000, 960, 96000, 100, 139}}) {
        ASSERT_TRUE(music::mixer_configure(c.rate));
        EXPECT_EQ(music::block_frames, c.block) << c.rate;
        EXPECT_EQ(music::ring_frames, c.ring) << c.rate;
        EXPECT_EQ(music::block_count, c.count) << c.rate;
        EXPECT_EQ(music::ramp_frames, c.ramp) << c.rate;
        EXPECT_EQ(music::ramp_frames_reciprocal, static_cast<float>(1.0 / c.ramp)) << c.rate;
    }
    EXPECT_FALSE(music::mixer_configure(0));
    EXPECT_FALSE(music::mixer_configure(-44100));
    EXPECT_EQ(music::mix_rate, 48000);  // a refused rate changes nothing
}

TEST_F(Mixer, ConfigureResetsVoicesToIdleWithUnitStep) {
    music::voices[7].sample = &music::empty_sample;
    music::voices[7].level_left = 99;
    ASSERT_TRUE(music::mixer_configure(44100));
    for (int i = 0; i < music::VOICE_COUNT; ++i) {
        const Voice& v = music::voices[i];
        EXPECT_EQ(v.index, i);
        EXPECT_EQ(v.sample, nullptr);
        EXPECT_EQ(v.step_int, 1u);
        EXPECT_EQ(v.step_frac, 0u);
        EXPECT_EQ(v.level_left, 0);
    }
}

TEST_F(Mixer, ForwardLoopWrapsAfterExactlyTheFramesToItsEnd) {
    TestSample s(ramp_values(200), music::LOOP_FORWARD, 100, 50);  // data[i] = i + 1
    steady_voice(0, &s.sample, 140, 1, 0, 255, 255);
    std::vector<float> out(2 * 12, 0.0f);
    music::mix_voices(out.data(), 10);
    EXPECT_EQ(music::voices[0].position_int, 100u);  // reached 150 and wrapped
    EXPECT_EQ(music::voices[0].position_frac, 0u);
    music::mix_voices(out.data() + 20, 2);
    EXPECT_EQ(music::voices[0].position_int, 102u);
    // Level 255 is a gain of exactly 1, so the output is the data: 141..150, then 101, 102.
    const float expected[] = {141, 142, 143, 144, 145, 146, 147, 148, 149, 150, 101, 102};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(out[2 * i], expected[i]) << i;
        EXPECT_EQ(out[2 * i + 1], expected[i]) << i;
    }
}

TEST_F(Mixer, PingPongTurnsAtTheEndJustBelowIt) {
    TestSample s(ramp_values(200), music::LOOP_PINGPONG, 100, 50);
    Voice& v = steady_voice(0, &s.sample, 140, 1, 0, 255, 0);
    std::vector<float> out(2 * 13, 0.0f);
    music::mix_voices(out.data(), 10);
    EXPECT_EQ(v.position_int, 149u);
    EXPECT_EQ(v.position_frac, 0xFFFFFFFFu);
    EXPECT_EQ(v.direction, music::DIRECTION_BACKWARD);
    music::mix_voices(out.data() + 20, 3);
    // Just below 150 the weight of the upper value rounds to 1 in single precision, so the turn
    // plays the guard copy (150), then just below 149 plays data[149] (150), then data[148].
    EXPECT_EQ(out[20], 150.0f);
    EXPECT_EQ(out[22], 150.0f);
    EXPECT_EQ(out[24], 149.0f);
    EXPECT_EQ(v.position_frac, 0xFFFFFFFEu);  // the cleared bit stays cleared
    EXPECT_EQ(v.position_int, 146u);
}

TEST_F(Mixer, UnloopedSampleStopsAtItsEnd) {
    TestSample s(std::vector<int16_t>(1000, 1000), music::LOOP_NONE, 0, 0);
    Voice& v = steady_voice(3, &s.sample, 0, 2, 0, 255, 255);
    std::vector<float> out(2 * 600, 0.0f);
    music::mix_voices(out.data(), 600);
    EXPECT_EQ(v.sample, nullptr);
    EXPECT_EQ(v.position_int, 0u);
    EXPECT_EQ(v.position_frac, 0u);
    EXPECT_EQ(out[2 * 499], 1000.0f);
    for (int i = 500; i < 600; ++i) ASSERT_EQ(out[2 * i], 0.0f) << i;
}

TEST_F(Mixer, EmptySampleStopsWithoutReadingData) {
    Voice& v = steady_voice(0, &music::empty_sample, 0, 1, 0, 255, 255);
    std::vector<float> out(2 * 16, 0.0f);
    music::mix_voices(out.data(), 16);
    EXPECT_EQ(v.sample, nullptr);
    for (float x : out) EXPECT_EQ(x, 0.0f);
}

TEST_F(Mixer, ConstantGainsAndClipping) {
    TestSample s(std::vector<int16_t>(64, 32767), music::LOOP_FORWARD, 0, 64);
    steady_voice(0, &s.sample, 0, 1, 0, 128, 0);
    std::vector<float> out(2 * 5, 0.0f);
    music::mix_voices(out.data(), 5);  // two pairs and the odd frame
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(out[2 * i], 16447.75f) << i;
        EXPECT_EQ(out[2 * i + 1], 0.0f) << i;
    }
    steady_voice(1, &s.sample, 0, 1, 0, 128, 0);
    std::fill(out.begin(), out.end(), 0.0f);
    music::mix_voices(out.data(), 5);
    std::vector<int16_t> pcm(2 * 5);
    music::convert_block(pcm.data(), out.data(), 5);
    EXPECT_EQ(pcm[0], 32767);
    EXPECT_EQ(pcm[1], 0);
}

TEST_F(Mixer, ConvertRoundsHalvesToEvenAndClamps) {
    struct Case { float in; int16_t out; };
    const Case cases[] = {{-32768.6f, -32768}, {1.5f, 2}, {2.5f, 2}, {-2.5f, -2}, {3.5f, 4},
                          {0.49f, 0}, {32767.4f, 32767}, {32767.5f, 32767}, {1e9f, 32767},
                          {-1e9f, -32768}, {-32767.5f, -32768}, {-0.5f, 0}};
    std::vector<float> block;
    for (const Case& c : cases) {
        const float source[2] = {c.in, -c.in};
        int16_t destination[2] = {7, 7};
        music::convert_block(destination, source, 1);
        EXPECT_EQ(destination[0], c.out) << c.in;
        block.push_back(c.in);
    }
    // The same values converted as one longer block give the same results.
    std::vector<int16_t> converted(block.size(), 7);
    music::convert_block(converted.data(), block.data(), static_cast<int32_t>(block.size() / 2));
    for (size_t i = 0; i < block.size(); ++i) EXPECT_EQ(converted[i], cases[i].out) << cases[i].in;
}

// Mixes a raise of level_left from 0 to 100 in the given chunks and reports current_left after
// each chunk; the ramp must land on 25600 at frame 128 whatever the chunking.
TEST_F(Mixer, RampReachesItsTargetExactlyAfterRampFrames) {
    struct Case { std::vector<int32_t> chunks; };
    const Case cases[] = {{{128}}, {{1, 127}}, {{50, 30, 47, 1}}, {{127, 1}}, {{64, 64}}, {{3, 5, 7, 113}}};
    TestSample s(ramp_values(100), music::LOOP_FORWARD, 10, 37);  // loop turns every 37 frames
    for (const Case& c : cases) {
        Voice& v = steady_voice(0, &s.sample, 0, 1, 0, 0, 0);
        v.level_left = 100;
        std::vector<float> out(2 * 128, 0.0f);
        int32_t done = 0;
        for (int32_t n : c.chunks) {
            music::mix_voices(out.data() + 2 * done, n);
            done += n;
            if (done < 128) {
                EXPECT_NE(v.current_left, 25600) << done;
                EXPECT_EQ(v.ramp_frames_left, 128 - done) << done;
            }
        }
        EXPECT_EQ(v.current_left, 25600);
        EXPECT_EQ(v.current_right, 0);
        EXPECT_EQ(v.ramp_frames_left, 0);
        EXPECT_EQ(v.ramp_step_left, 0.0f);
    }
}

TEST_F(Mixer, RampOnOneSideLeavesTheOtherGainConstant) {
    TestSample s(std::vector<int16_t>(256, 1000), music::LOOP_FORWARD, 0, 256);
    Voice& v = steady_voice(0, &s.sample, 0, 1, 0, 0, 50);
    v.level_left = 200;
    std::vector<float> out(2 * 128, 0.0f);
    music::mix_voices(out.data(), 128);
    EXPECT_EQ(v.ramp_step_right, 0.0f);
    const float right = out[1];
    EXPECT_GT(right, 0.0f);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(out[2 * i + 1], right) << i;
    EXPECT_LT(out[0], out[2 * 127]);  // the left side rose
    EXPECT_EQ(out[0], 0.0f);          // from a gain of 0
}

TEST_F(Mixer, NewTargetDuringARampRestartsItFromTheLevelReached) {
    TestSample s(std::vector<int16_t>(256, 1000), music::LOOP_FORWARD, 0, 256);
    Voice& v = steady_voice(0, &s.sample, 0, 1, 0, 0, 0);
    v.level_left = 255;
    std::vector<float> out(2 * 300, 0.0f);
    music::mix_voices(out.data(), 64);
    const int32_t halfway = v.current_left;
    EXPECT_NEAR(halfway, 255 * 128, 2);
    v.level_left = 0;
    music::mix_voices(out.data() + 128, 1);
    EXPECT_EQ(v.ramp_frames_left, 127);  // a full ramp again
    music::mix_voices(out.data() + 130, 127);
    EXPECT_EQ(v.current_left, 0);
}

// The frame-by-frame rule, written plainly: interpolate, add with the pair's gains (the odd
// last frame with the current ones), clear the lowest fraction bit, advance.
TEST_F(Mixer, ConstantGainFramesMatchTheFrameByFrameRule) {
    std::vector<int16_t> values(5000);
    uint32_t seed = 99;
    for (auto& x : values) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<int16_t>(seed >> 16);
    }
    TestSample s(values, music::LOOP_PINGPONG, 0, 5000);
    struct Case { uint32_t step_int, step_frac, position_frac; int32_t direction; };
    const Case cases[] = {
        {1, 0, 0, music::DIRECTION_FORWARD},           {0, 0x2E5F1C7Fu, 0x80000001u, music::DIRECTION_FORWARD},
        {2, 0x12345679u, 0xFFFFFFFFu, music::DIRECTION_FORWARD}, {0, 0x0000FFFFu, 3, music::DIRECTION_BACKWARD},
        {1, 0xFFFFFFFFu, 0x7FFFFFFEu, music::DIRECTION_BACKWARD}, {3, 0x80000000u, 1, music::DIRECTION_FORWARD},
    };
    for (const Case& c : cases) {
        for (int32_t frames = 1; frames <= 23; ++frames) {
            Voice& v = steady_voice(0, &s.sample, 2500, c.step_int, c.step_frac, 91, 200);
            v.position_frac = c.position_frac;
            v.direction = c.direction;
            v.current_left = 91 * 256 + 77;  // levels reached by an interrupted ramp
            v.current_right = 200 * 256 + 201;
            const float target_left = static_cast<float>(91 * static_cast<double>(music::GAIN_PER_LEVEL));
            const float target_right = static_cast<float>(200 * static_cast<double>(music::GAIN_PER_LEVEL));
            const float current_left = static_cast<float>(v.current_left * static_cast<double>(music::GAIN_PER_CURRENT) *
                                                          static_cast<double>(music::GAIN_PER_LEVEL));
            const float current_right = static_cast<float>(v.current_right * static_cast<double>(music::GAIN_PER_CURRENT) *
                                                           static_cast<double>(music::GAIN_PER_LEVEL));
            std::vector<float> expected(2 * frames, 0.5f), actual(2 * frames, 0.5f);
            const uint64_t step = (uint64_t{c.step_int} << 32) | c.step_frac;
            const uint64_t increment = c.direction == music::DIRECTION_FORWARD ? step : uint64_t{0} - step;
            uint64_t position = (uint64_t{2500} << 32) | c.position_frac;
            for (int32_t k = 0; k < frames; ++k) {
                const uint32_t index = static_cast<uint32_t>(position >> 32);
                const float weight = static_cast<float>(static_cast<uint32_t>(position) >> 1) * 0x1p-31f;
                const float s0 = s.data[index];
                const float s1 = s.data[index + 1];
                const float value = s0 + weight * (s1 - s0);
                const bool pair = k < (frames & ~1);
                expected[2 * k] += value * (pair ? target_left : current_left);
                expected[2 * k + 1] += value * (pair ? target_right : current_right);
                position = (position & ~uint64_t{1}) + increment;
            }
            music::mix_voices(actual.data(), frames);
            ASSERT_EQ(actual, expected) << c.step_frac << " frames " << frames;
            ASSERT_EQ((uint64_t{v.position_int} << 32) | v.position_frac, position) << c.step_frac << " " << frames;
        }
    }
}

// Tick handler for the block tests: records where in the stream of frames it was called, read
// from a voice that advances one sample per frame.
std::vector<uint32_t> tick_frames;
int32_t tempo_on_first_tick = 0;
void recording_tick(music::Song* song) {
    tick_frames.push_back(music::voices[0].position_int);
    if (tick_frames.size() == 1 && tempo_on_first_tick > 0) song->samples_per_tick = tempo_on_first_tick;
    song->row += 1;
    if (song->row == 300) song->order += 1;
}

music::Song make_block_song() {
    music::Song song{};
    song.tick_handler = recording_tick;
    song.samples_per_tick = 882;
    song.samples_to_tick = 0;
    return song;
}

TEST_F(Mixer, FillBlockTicksOnExactFramesAndCarriesTheRest) {
    TestSample s(std::vector<int16_t>(4096, 0), music::LOOP_FORWARD, 0, 4096);
    music::Song song = make_block_song();
    tick_frames.clear();
    tempo_on_first_tick = 0;
    ASSERT_TRUE(music::allocate_output());
    music::current_song = &song;
    music::fill_index = 0;
    steady_voice(0, &s.sample, 0, 1, 0, 0, 0);
    music::fill_block();
    EXPECT_EQ(tick_frames, (std::vector<uint32_t>{0, 882}));
    EXPECT_EQ(song.samples_to_tick, 880);
    EXPECT_EQ(music::fill_index, 1);
    music::fill_block();  // the straddling tick finishes 880 frames into the next block
    EXPECT_EQ(tick_frames, (std::vector<uint32_t>{0, 882, 1764}));
    EXPECT_EQ(song.samples_to_tick, 882 - 4);
}

TEST_F(Mixer, TempoChangeOnATickSetsThatTicksLength) {
    TestSample s(std::vector<int16_t>(4096, 0), music::LOOP_FORWARD, 0, 4096);
    music::Song song = make_block_song();
    tick_frames.clear();
    tempo_on_first_tick = 300;
    ASSERT_TRUE(music::allocate_output());
    music::current_song = &song;
    steady_voice(0, &s.sample, 0, 1, 0, 0, 0);
    music::fill_block();
    EXPECT_EQ(tick_frames, (std::vector<uint32_t>{0, 300, 600}));
    EXPECT_EQ(song.samples_to_tick, 300 - 284);
    tempo_on_first_tick = 0;
}

TEST_F(Mixer, BlocksRecordPositionAndWrapTheRing) {
    music::Song song = make_block_song();
    tick_frames.clear();
    tempo_on_first_tick = 0;
    song.samples_per_tick = 442;  // two ticks per block
    ASSERT_TRUE(music::allocate_output());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(music::mix_buffer) % 16, 0u);
    music::current_song = &song;
    music::fill_index = 0;
    for (int b = 0; b < music::block_count; ++b) music::fill_block();
    EXPECT_EQ(music::fill_index, 0);
    // Row counts ticks here; block b ends after 2(b + 1) ticks, and order steps at row 300.
    EXPECT_EQ(music::block_info[0].row, 2);
    EXPECT_EQ(music::block_info[0].order, 0);
    EXPECT_EQ(music::block_info[99].row, 200);
    music::fill_block();
    for (int b = 1; b < music::block_count; ++b) music::fill_block();
    EXPECT_EQ(music::block_info[49].row, static_cast<uint8_t>(300));
    EXPECT_EQ(music::block_info[49].order, 1);
    EXPECT_EQ(music::block_info[99].row, static_cast<uint8_t>(400));
}

TEST_F(Mixer, BlockIsConvertedIntoTheWaveRing) {
    TestSample s(std::vector<int16_t>(64, 1000), music::LOOP_FORWARD, 0, 64);
    music::Song song = make_block_song();
    tick_frames.clear();
    ASSERT_TRUE(music::allocate_output());
    music::current_song = &song;
    music::fill_index = 5;
    steady_voice(0, &s.sample, 0, 1, 0, 255, 0);
    music::fill_block();
    const int16_t* block = music::wave_buffer + 5 * music::block_frames * 2;
    for (int i = 0; i < music::block_frames; ++i) {
        ASSERT_EQ(block[2 * i], 1000) << i;
        ASSERT_EQ(block[2 * i + 1], 0) << i;
    }
    EXPECT_EQ(music::wave_buffer[4 * music::block_frames * 2], 0);  // other blocks untouched
}

// Loops that start at 0, played at many steps in both directions for thousands of frames:
// every position stays inside the data (the sanitizers watch the reads) and the mixer never
// stalls on a turn.
TEST_F(Mixer, LoopsFromZeroStayInsideTheData) {
    struct Case { uint8_t type; uint32_t length; uint32_t step_int, step_frac; };
    const Case cases[] = {
        {music::LOOP_PINGPONG, 64, 1, 0},          {music::LOOP_PINGPONG, 64, 0, 0x9E3779B9u},
        {music::LOOP_PINGPONG, 5, 3, 0x12345601u}, {music::LOOP_PINGPONG, 1, 0, 0xFFu},
        {music::LOOP_FORWARD, 64, 1, 0xFFFFFF01u}, {music::LOOP_FORWARD, 1, 7, 0x801u},
        {music::LOOP_FORWARD, 128, 0, 0x2E5F1C7Fu}, {music::LOOP_PINGPONG, 3, 255, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        TestSample s(ramp_values(c.length), c.type, 0, c.length);
        Voice& v = steady_voice(0, &s.sample, 0, c.step_int, c.step_frac, 255, 255);
        std::vector<float> out(2 * 1000, 0.0f);
        for (int round = 0; round < 50; ++round) {
            std::fill(out.begin(), out.end(), 0.0f);
            music::mix_voices(out.data(), 997);
            ASSERT_NE(v.sample, nullptr);
            ASSERT_LE(v.position_int, c.length) << c.type << " " << c.length << " round " << round;
        }
        for (float x : out) ASSERT_LE(x, 2.0f * (c.length + 1)) << c.length;
    }
}

TEST_F(Mixer, RegionOutsideTheDataStopsTheVoice) {
    TestSample s(ramp_values(100), music::LOOP_FORWARD, 90, 10);
    s.sample.loop_length = 40;  // ends 30 values past the data
    Voice& v = steady_voice(0, &s.sample, 95, 1, 0, 255, 255);
    std::vector<float> out(2 * 64, 0.0f);
    music::mix_voices(out.data(), 64);
    EXPECT_EQ(v.sample, nullptr);
    for (float x : out) EXPECT_EQ(x, 0.0f);
}

TEST_F(Mixer, OfflineStartAllocatesAndStopReleases) {
    const int32_t before = runtime::heap_live_blocks();
    music::Song song{};
    song.default_speed = 6;
    song.default_bpm = 125;
    song.initial_global_volume = 64;
    song.tick_handler = recording_tick;
    ASSERT_TRUE(music::play_offline(&song, 44100));
    EXPECT_EQ(music::current_song, &song);
    EXPECT_EQ(song.samples_per_tick, 882);
    EXPECT_EQ(song.samples_to_tick, 0);
    EXPECT_EQ(song.next_row, -1);
    EXPECT_EQ(song.next_order, -1);
    EXPECT_EQ(song.global_volume, 64);
    EXPECT_EQ(song.speed, 6);
    EXPECT_NE(music::mix_buffer, nullptr);
    EXPECT_NE(music::wave_buffer, nullptr);
    EXPECT_NE(music::block_info, nullptr);
    EXPECT_GT(runtime::heap_live_blocks(), before);
    music::stop_offline();
    EXPECT_EQ(music::current_song, nullptr);
    EXPECT_EQ(music::mix_buffer, nullptr);
    EXPECT_EQ(runtime::heap_live_blocks(), before);
    music::fill_block();  // nothing to fill: harmless
}

TEST_F(Mixer, OfflineStartFailsCleanlyWhenMemoryRunsOut) {
    const int32_t before = runtime::heap_live_blocks();
    music::Song song{};
    song.default_bpm = 125;
    for (int32_t allowed = 0; allowed < 3; ++allowed) {
        runtime::heap_fail_after(allowed);
        EXPECT_FALSE(music::play_offline(&song, 44100)) << allowed;
        runtime::heap_fail_after(-1);
        EXPECT_EQ(runtime::heap_live_blocks(), before) << allowed;
        EXPECT_EQ(music::mix_buffer, nullptr);
    }
    EXPECT_FALSE(music::play_offline(nullptr, 44100));
}

}  // namespace
