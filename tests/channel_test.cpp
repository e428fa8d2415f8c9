#include "music/channel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "music/mixer.h"
#include "music/song.h"

namespace {

using music::ChannelState;
using music::EnvelopePoint;
using music::EnvelopeState;

class Channel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(music::mixer_configure(44100));
        channel = ChannelState{};
        channel.voice = &music::voices[0];
        song = music::Song{};
        song.flags = 1;
        song.global_volume = 64;
    }
    void TearDown() override { music::reset_voices(); }

    ChannelState channel;
    music::Song song;
};

// Frequency in Hz that a voice step stands for, recovered from the 32.32 step.
double step_hz(const music::Voice& v) {
    return (v.step_int + v.step_frac / 4294967296.0) * 44100.0;
}

TEST_F(Channel, PeriodToFrequency) {
    struct Case { bool linear; int32_t period, offset; int64_t hz; };
    const Case cases[] = {
        {true, 4608, 0, 8363},    {true, 4544, 0, 8860},   {true, 4608, 64, 8860},  // a positive offset raises
        {true, 3840, 0, 16726},   {false, 1712, 0, 8362},  {false, 1712, -856, 16725},
        {false, 1600, 112, 8362},                          // ... and lowers without the linear table
        {true, 7680 + 4000, 0, 100}, {false, 200000, 0, 100}, {false, -5, 0, 100},  // 100 Hz floor
    };
    for (const Case& c : cases) {
        song.flags = c.linear ? 1 : 0;
        channel.period = c.period;
        channel.period_offset = c.offset;
        channel.update_flags = music::UPDATE_FREQUENCY;
        music::update_voice(&channel, &music::empty_sample, &song);
        const music::Voice& v = music::voices[0];
        const uint64_t expected_frac = (static_cast<uint64_t>(c.hz % 44100) << 32) / 44100;
        EXPECT_EQ(v.step_int, static_cast<uint32_t>(c.hz / 44100)) << c.period;
        EXPECT_EQ(v.step_frac, static_cast<uint32_t>(expected_frac)) << c.period;
    }
}

TEST_F(Channel, MiddleNoteStepIsExact) {
    channel.period = 4608;
    channel.update_flags = music::UPDATE_FREQUENCY;
    music::update_voice(&channel, &music::empty_sample, &song);
    EXPECT_EQ(music::voices[0].step_int, 0u);
    EXPECT_EQ(music::voices[0].step_frac, 814485521u);
}

TEST_F(Channel, ZeroPeriodLeavesTheStepAlone) {
    music::voices[0].step_int = 3;
    music::voices[0].step_frac = 77;
    for (bool linear : {true, false}) {
        song.flags = linear ? 1 : 0;
        channel.period = 100;
        channel.period_offset = -100;
        channel.update_flags = music::UPDATE_FREQUENCY;
        music::update_voice(&channel, &music::empty_sample, &song);
        EXPECT_EQ(music::voices[0].step_int, 3u);
        EXPECT_EQ(music::voices[0].step_frac, 77u);
    }
}

TEST_F(Channel, ExtremePeriodsKeepTheStepUsable) {
    for (int32_t period : {-20000, -8640, 1, 2}) {
        song.flags = period < 0 ? 1 : 0;
        channel.period = period;
        channel.update_flags = music::UPDATE_FREQUENCY;
        music::update_voice(&channel, &music::empty_sample, &song);
        EXPECT_LT(music::voices[0].step_int, 256u) << period;
        EXPECT_GT(step_hz(music::voices[0]), 1e6) << period;
    }
}

TEST_F(Channel, AmigaPeriodsAreInTune) {
    struct Case { int32_t note; int8_t finetune; int32_t period; };
    const Case cases[] = {{48, 0, 1712}, {60, 0, 856}, {36, 0, 3424}, {49, 0, 1616},
                          {48, 127, 1617}, {48, -128, 1814}, {255, 0, 1}};
    for (const Case& c : cases) EXPECT_EQ(music::amiga_period(c.note, c.finetune), c.period) << c.note;
    // Each semitone up sounds 2^(1/12) higher through the frequency rule.
    for (int32_t note = 12; note < 95; ++note) {
        const double lower = 14317056.0 / music::amiga_period(note, 0);
        const double upper = 14317056.0 / music::amiga_period(note + 1, 0);
        EXPECT_NEAR(upper / lower, 1.0594630943592953, 0.004) << note;
    }
}

TEST_F(Channel, VibratoMagnitudeAndOffsets) {
    const int32_t quarter[17] = {0, 25, 50, 74, 98, 121, 142, 162, 181, 198, 213, 226, 237, 245, 251, 255, 256};
    for (int32_t p = 0; p <= 16; ++p) {
        EXPECT_EQ(music::vibrato_magnitude(p), quarter[p]) << p;
        EXPECT_EQ(music::vibrato_magnitude(-p), quarter[p]) << p;
        EXPECT_EQ(music::vibrato_magnitude(32 - p), quarter[p]) << p;
    }
    EXPECT_EQ(music::vibrato_magnitude(-32), 0);
    struct Case { uint8_t depth; int8_t phase; int32_t offset; };
    const Case cases[] = {{8, 8, -44}, {8, -8, 44}, {15, 16, -120}, {15, -16, 120}, {15, 0, 0}, {1, 16, -8}, {1, 1, 0}};
    for (const Case& c : cases) {
        channel.vibrato_depth = c.depth;
        channel.vibrato_position = c.phase;
        channel.period_offset = 999;
        channel.update_flags = 0;
        music::vibrato_step(&channel);
        EXPECT_EQ(channel.period_offset, c.offset) << int(c.depth) << " " << int(c.phase);
        EXPECT_EQ(channel.vibrato_position, c.phase);  // the phase does not move here
        EXPECT_EQ(channel.update_flags, music::UPDATE_FREQUENCY);
    }
}

TEST_F(Channel, AutoVibratoWaveforms) {
    const int32_t phases[6] = {0, 64, 127, 128, 192, 255};
    const int32_t expected[5][6] = {
        {0, 64, 2, 0, -64, -2}, {64, 64, 64, -64, -64, -64}, {0, -32, -64, 64, 32, 0},
        {0, 32, 63, 64, -32, -1}, {0, 64, 2, 0, -64, -2},  // type 9 uses the sine
    };
    const uint8_t types[5] = {0, 1, 2, 3, 9};
    for (int t = 0; t < 5; ++t)
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(music::auto_vibrato_wave(types[t], phases[i]), expected[t][i]) << int(types[t]) << " " << phases[i];
}

TEST_F(Channel, AutoVibratoSweepsInAndWrapsItsPhase) {
    music::Instrument instrument{};
    instrument.vibrato_type = 1;  // square: 64 for the first half
    instrument.vibrato_depth = 16;
    instrument.vibrato_sweep = 4;
    instrument.vibrato_rate = 100;
    // Phases 0, 100, 200, 44, 144, 244: the square's sign follows them; the depth grows by a
    // quarter per tick and the first tick adds nothing.
    const int32_t offsets[] = {0, 4, -8, 12, -16, -16};
    const int32_t positions[] = {100, 200, 44, 144, 244, 88};
    for (int i = 0; i < 6; ++i) {
        channel.period_offset = 0;
        channel.update_flags = 0;
        music::auto_vibrato_step(&channel, &instrument);
        EXPECT_EQ(channel.period_offset, offsets[i]) << i;
        EXPECT_EQ(channel.auto_vibrato_position, positions[i]) << i;
        EXPECT_EQ(channel.auto_vibrato_sweep, i + 1 < 4 ? i + 1 : 4) << i;
        EXPECT_EQ(channel.update_flags, music::UPDATE_FREQUENCY);
    }
    instrument.vibrato_sweep = 0;  // no sweep: full depth at once, counter stays 0
    channel.auto_vibrato_position = 0;
    channel.auto_vibrato_sweep = 0;
    channel.period_offset = 5;
    music::auto_vibrato_step(&channel, &instrument);
    EXPECT_EQ(channel.period_offset, 5 + 16);
    EXPECT_EQ(channel.auto_vibrato_sweep, 0);
}

TEST_F(Channel, VoiceVolumeAndPanning) {
    struct Case { int32_t volume, env, fadeout, panning; int32_t voice_volume, left, right; };
    const Case cases[] = {
        {64, 64, 65536, 128, 128, 64, 63}, {64, 64, 65536, 255, 128, 128, 0}, {64, 64, 65536, 0, 128, 0, 128},
        {32, 64, 65536, 128, 64, 32, 31},  {64, 32, 32768, 128, 32, 16, 15},  {0, 64, 65536, 128, 0, 0, 0},
        {200, 64, 65536, 255, 398, 398, 0},  // set volume may go past 64
    };
    for (const Case& c : cases) {
        channel.volume = c.volume;
        channel.volume_env.value = c.env;
        channel.fadeout_volume = c.fadeout;
        channel.panning = c.panning;
        channel.panning_env.value = 32;
        channel.update_flags = music::UPDATE_PANNING;
        music::update_voice(&channel, &music::empty_sample, &song);  // panning first, at the old volume
        channel.update_flags = music::UPDATE_VOLUME;
        music::update_voice(&channel, &music::empty_sample, &song);
        const music::Voice& v = music::voices[0];
        EXPECT_EQ(v.volume, c.voice_volume) << c.volume;
        EXPECT_EQ(v.level_left, c.left) << c.volume;
        EXPECT_EQ(v.level_right, c.right) << c.volume;
    }
}

TEST_F(Channel, PanningEnvelopeScalesWithRoomToTheEdge) {
    struct Case { int32_t panning, env, result; };
    const Case cases[] = {{0, 64, 0}, {0, 0, 0}, {255, 0, 255}, {255, 64, 255}, {128, 0, 0}, {128, 64, 255},
                          {128, 32, 128}, {64, 48, 96}, {200, 0, 168}, {300, 0, 255}, {-20, 64, 0},
                          // Slid far out with a damaged envelope value: the sum is taken wide.
                          {1500000, 65535, 0}, {-1500000, 65535, 0}, {-1500000, -32768, 255},
                          {INT32_MAX, 65535, 0}, {INT32_MAX, -32768, 255}, {INT32_MIN, 65535, 0},
                          {INT32_MIN, -32768, 255}};
    for (const Case& c : cases) {
        music::voices[0].volume = 128;
        channel.panning = c.panning;
        channel.panning_env.value = c.env;
        channel.update_flags = music::UPDATE_PANNING;
        music::update_voice(&channel, &music::empty_sample, &song);
        EXPECT_EQ(music::voices[0].panning, c.result) << c.panning << " " << c.env;
        EXPECT_EQ(music::voices[0].level_left, c.result * 128 / 255);
        EXPECT_EQ(music::voices[0].level_right, (255 - c.result) * 128 / 255);
    }
}

// Volume-column panning slides are not clamped to 0..255; an endless slide stops at the ends
// of the 32-bit range instead of wrapping round.
TEST_F(Channel, PanningSlidesGoPastTheEdgesAndSaturate) {
    struct Case { int32_t panning; uint8_t column; int32_t result; };
    const Case cases[] = {{300, 0xE5, 305},  {-10, 0xD3, -13}, {INT32_MAX - 3, 0xEF, INT32_MAX},
                          {INT32_MAX, 0xE1, INT32_MAX},   {INT32_MIN + 2, 0xDF, INT32_MIN},
                          {INT32_MIN, 0xD1, INT32_MIN},   {INT32_MAX, 0xDF, INT32_MAX - 15}};
    for (const Case& c : cases) {
        channel.panning = c.panning;
        channel.update_flags = 0;
        music::apply_volume_column(&channel, c.column);
        EXPECT_EQ(channel.panning, c.result) << c.panning << " " << int(c.column);
        EXPECT_EQ(channel.update_flags, music::UPDATE_PANNING);
    }
}

TEST_F(Channel, TriggerAlternatesBetweenTheTwoVoices) {
    music::Sample first{}, second{}, third{};
    channel.voice = &music::voices[5];
    channel.update_flags = music::UPDATE_TRIGGER;
    music::update_voice(&channel, &first, &song);
    EXPECT_EQ(channel.voice, &music::voices[5]);  // an idle voice is used as it is
    EXPECT_EQ(music::voices[5].sample, &first);

    music::voices[5].position_int = 123;
    music::voices[5].level_left = 40;
    music::voices[5].level_right = 30;
    music::voices[5].volume = 70;
    music::voices[5].current_left = 40 * 256;
    channel.update_flags = music::UPDATE_TRIGGER;
    music::update_voice(&channel, &second, &song);
    EXPECT_EQ(channel.voice, &music::voices[37]);
    const music::Voice& old = music::voices[5];
    EXPECT_EQ(old.sample, &first);  // keeps sounding, fading to its zero levels
    EXPECT_EQ(old.position_int, 123u);
    EXPECT_EQ(old.level_left, 0);
    EXPECT_EQ(old.level_right, 0);
    EXPECT_EQ(old.volume, 0);
    EXPECT_EQ(old.current_left, 40 * 256);
    const music::Voice& fresh = music::voices[37];
    EXPECT_EQ(fresh.index, 37);
    EXPECT_EQ(fresh.sample, &second);
    EXPECT_EQ(fresh.position_int, 0u);
    EXPECT_EQ(fresh.level_left, 40);  // the copy keeps the levels; the ramp starts from 0
    EXPECT_EQ(fresh.current_left, 0);
    EXPECT_EQ(fresh.ramp_frames_left, 0);
    EXPECT_EQ(fresh.direction, music::DIRECTION_FORWARD);

    channel.update_flags = music::UPDATE_TRIGGER;
    music::update_voice(&channel, &third, &song);
    EXPECT_EQ(channel.voice, &music::voices[5]);
    EXPECT_EQ(music::voices[5].index, 5);
    EXPECT_EQ(music::voices[5].sample, &third);
    EXPECT_EQ(music::voices[37].sample, &second);
}

TEST_F(Channel, InstrumentResetAndVolumeColumn) {
    music::Sample sample{};
    sample.volume = 40;
    sample.panning = 100;
    channel.key_released = 1;
    channel.fadeout_volume = 7;
    channel.vibrato_position = 9;
    channel.auto_vibrato_sweep = 3;
    channel.volume_env.value_fixed = 12345;
    music::reset_for_instrument(&channel, &sample);
    EXPECT_EQ(channel.volume, 40);
    EXPECT_EQ(channel.panning, 100);
    EXPECT_EQ(channel.volume_env.value, 64);
    EXPECT_EQ(channel.panning_env.value, 32);
    EXPECT_EQ(channel.volume_env.value_fixed, 12345);  // kept
    EXPECT_EQ(channel.key_released, 0);
    EXPECT_EQ(channel.fadeout_volume, 65536);
    EXPECT_EQ(channel.vibrato_position, 0);
    EXPECT_EQ(channel.auto_vibrato_sweep, 0);
    EXPECT_EQ(channel.update_flags, music::UPDATE_VOLUME | music::UPDATE_PANNING);

    struct Case { uint8_t column; int32_t volume_before; int32_t volume, panning; uint8_t flags; };
    const Case cases[] = {
        {0x10, 40, 0, 100, music::UPDATE_VOLUME},  {0x50, 40, 64, 100, music::UPDATE_VOLUME},
        {0x05, 40, 40, 100, 0},                    {0x55, 40, 40, 100, 0},
        {0x63, 40, 37, 100, music::UPDATE_VOLUME}, {0x83, 40, 37, 100, music::UPDATE_VOLUME},
        {0x6F, 10, 0, 100, music::UPDATE_VOLUME},  {0x7F, 60, 64, 100, music::UPDATE_VOLUME},
        {0x95, 40, 45, 100, music::UPDATE_VOLUME}, {0x71, 90, 64, 100, music::UPDATE_VOLUME},
        {0xC8, 40, 40, 128, music::UPDATE_PANNING}, {0xD5, 40, 40, 95, music::UPDATE_PANNING},
        {0xE5, 40, 40, 105, music::UPDATE_PANNING},
    };
    for (const Case& c : cases) {
        channel.volume = c.volume_before;
        channel.panning = 100;
        channel.update_flags = 0;
        music::apply_volume_column(&channel, c.column);
        EXPECT_EQ(channel.volume, c.volume) << std::hex << int(c.column);
        EXPECT_EQ(channel.panning, c.panning) << std::hex << int(c.column);
        EXPECT_EQ(channel.update_flags, c.flags) << std::hex << int(c.column);
    }
    music::apply_volume_column(&channel, 0xA7);
    music::apply_volume_column(&channel, 0xB9);
    EXPECT_EQ(channel.vibrato_speed, 7);
    EXPECT_EQ(channel.vibrato_depth, 9);

    channel.note_period = 3000;
    channel.porta_speed = 5;
    channel.update_flags = music::UPDATE_TRIGGER | music::UPDATE_VOLUME;
    music::apply_volume_column(&channel, 0xF0);  // no speed: the old one stays
    EXPECT_EQ(channel.porta_speed, 5);
    EXPECT_EQ(channel.porta_target, 3000);
    EXPECT_EQ(channel.update_flags, music::UPDATE_VOLUME);
    music::apply_volume_column(&channel, 0xF3);
    EXPECT_EQ(channel.porta_speed, 48);
}

TEST_F(Channel, PortamentoSlidesAndStopsOnTheTarget) {
    struct Case { int32_t period, target; uint8_t speed; int32_t after; };
    const Case cases[] = {{1000, 1100, 10, 1040}, {1000, 1030, 10, 1030}, {1100, 1000, 10, 1060},
                          {1100, 1090, 10, 1090}, {1000, 1000, 10, 1000}, {1000, 2000, 0, 1000}};
    for (const Case& c : cases) {
        channel.period = c.period;
        channel.porta_target = c.target;
        channel.porta_speed = c.speed;
        channel.update_flags = 0;
        music::portamento_step(&channel);
        EXPECT_EQ(channel.period, c.after) << c.period << "->" << c.target;
        EXPECT_EQ(channel.update_flags, music::UPDATE_FREQUENCY);
    }
}

// Runs the envelope for `ticks` ticks and returns the values it produced.
std::vector<int32_t> run_envelope(ChannelState& channel, EnvelopeState& env, const EnvelopePoint* points, uint8_t count,
                                  uint8_t flags, uint8_t sustain, uint8_t loop_start, uint8_t loop_end, int ticks) {
    std::vector<int32_t> values;
    for (int i = 0; i < ticks && !env.finished; ++i) {
        music::envelope_step(&channel, &env, points, count, flags, sustain, loop_start, loop_end, music::UPDATE_VOLUME);
        values.push_back(env.value);
    }
    return values;
}

TEST_F(Channel, EnvelopeInterpolatesAndFinishesOnItsLastPoint) {
    const EnvelopePoint points[3] = {{0, 64}, {4, 32}, {6, 0}};
    EnvelopeState env{};
    const auto values = run_envelope(channel, env, points, 3, 1, 0, 0, 0, 20);
    EXPECT_EQ(values, (std::vector<int32_t>{64, 56, 48, 40, 32, 16, 0}));
    EXPECT_EQ(env.finished, 1);
    EXPECT_EQ(channel.update_flags & music::UPDATE_VOLUME, music::UPDATE_VOLUME);
}

TEST_F(Channel, EnvelopeHoldsOnSustainUntilRelease) {
    const EnvelopePoint points[3] = {{0, 64}, {2, 32}, {4, 0}};
    EnvelopeState env{};
    auto values = run_envelope(channel, env, points, 3, 1 | 2, 1, 0, 0, 8);
    EXPECT_EQ(values, (std::vector<int32_t>{64, 48, 32, 32, 32, 32, 32, 32}));
    EXPECT_EQ(env.tick, 2);  // held: the tick does not move
    channel.key_released = 1;
    values = run_envelope(channel, env, points, 3, 1 | 2, 1, 0, 0, 8);
    EXPECT_EQ(values, (std::vector<int32_t>{32, 16, 0}));
    EXPECT_EQ(env.finished, 1);
}

TEST_F(Channel, EnvelopeLoopEndingOnTheLastPointNeverFinishes) {
    const EnvelopePoint points[3] = {{0, 0}, {2, 64}, {4, 32}};
    EnvelopeState env{};
    const auto values = run_envelope(channel, env, points, 3, 1 | 4, 0, 1, 2, 12);
    EXPECT_EQ(values, (std::vector<int32_t>{0, 32, 64, 48, 64, 48, 64, 48, 64, 48, 64, 48}));
    EXPECT_EQ(env.finished, 0);
}

TEST_F(Channel, SustainOnLoopEndHoldsOnlyWhenItIsAlsoTheLoopStart) {
    const EnvelopePoint points[4] = {{0, 0}, {2, 64}, {4, 32}, {8, 0}};
    EnvelopeState env{};
    // Sustain 2 = loop end: the loop jumps back to 1 first, so nothing holds.
    auto values = run_envelope(channel, env, points, 4, 1 | 2 | 4, 2, 1, 2, 8);
    EXPECT_EQ(values, (std::vector<int32_t>{0, 32, 64, 48, 64, 48, 64, 48}));
    env = EnvelopeState{};
    values = run_envelope(channel, env, points, 4, 1 | 2 | 4, 2, 2, 2, 8);  // loop of one point
    EXPECT_EQ(values, (std::vector<int32_t>{0, 32, 64, 48, 32, 32, 32, 32}));
}

TEST_F(Channel, EnvelopeCountsAndSegmentsFromDamagedFilesStayInside) {
    EnvelopePoint points[12];
    for (int i = 0; i < 12; ++i) points[i] = {static_cast<uint16_t>(i * 2), static_cast<uint16_t>(i * 5)};
    EnvelopeState env{};
    const auto values = run_envelope(channel, env, points, 200, 1 | 4, 0, 250, 220, 100);
    EXPECT_EQ(env.finished, 1);
    EXPECT_EQ(values.back(), 55);  // point 11 is the last one the instrument holds

    // A segment of zero width gets slope 0 instead of a division by zero.
    const EnvelopePoint flat[3] = {{0, 10}, {0, 60}, {5, 0}};
    env = EnvelopeState{};
    const auto held = run_envelope(channel, env, flat, 3, 1, 0, 0, 0, 4);
    EXPECT_EQ(held, (std::vector<int32_t>{10, 10, 10, 10}));
    EXPECT_EQ(env.slope, 0);

    // Points that run backwards in x are never met again: the tick counts on and wraps round
    // at the end of 32 bits instead of overflowing.
    const EnvelopePoint backwards[2] = {{10, 20}, {5, 40}};
    env = EnvelopeState{};
    env.point = 1;
    env.tick = INT32_MAX;
    music::envelope_step(&channel, &env, backwards, 2, 1, 0, 0, 0, music::UPDATE_PANNING);
    EXPECT_EQ(env.tick, INT32_MIN);
    EXPECT_EQ(env.point, 1);
}

}  // namespace
