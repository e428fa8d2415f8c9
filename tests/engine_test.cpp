#include "music/engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <vector>

#include "music/channel.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"

namespace {

using music::channels;
using music::NoteCell;
using music::voices;

// A song built in code: patterns of empty cells to fill in, instruments with one looping
// sample each (volume and panning per instrument), linear frequencies, speed 6 at 125 BPM.
struct SongBuilder {
    music::Song song{};
    std::vector<std::vector<NoteCell>> cells;
    std::vector<music::Pattern> patterns;
    std::vector<music::Instrument> instruments;
    std::deque<std::vector<int16_t>> data;
    std::deque<music::Sample> samples;

    SongBuilder(int16_t channel_count, std::vector<int32_t> pattern_rows, std::vector<uint8_t> orders) {
        song.channel_count = channel_count;
        song.flags = 1;
        song.default_speed = 6;
        song.default_bpm = 125;
        song.initial_global_volume = 64;
        song.tick_handler = music::tick_update;
        song.song_length = static_cast<int16_t>(orders.size());
        for (size_t i = 0; i < orders.size(); ++i) song.order_table[i] = orders[i];
        for (int32_t rows : pattern_rows) cells.emplace_back(static_cast<size_t>(rows) * channel_count, NoteCell{});
        patterns.resize(pattern_rows.size());
        for (size_t p = 0; p < pattern_rows.size(); ++p) patterns[p].row_count = pattern_rows[p];
    }

    NoteCell& cell(int pattern, int row, int channel) {
        return cells[pattern][static_cast<size_t>(row) * song.channel_count + channel];
    }

    music::Instrument& add_instrument(uint8_t volume, int32_t panning, int8_t relative_note = 0) {
        std::vector<int16_t>& values = data.emplace_back(64 + 8, 1000);
        music::Sample& s = samples.emplace_back();
        s.data = values.data();
        s.length = 64;
        s.loop_start = 0;
        s.loop_length = 64;
        s.loop_type = music::LOOP_FORWARD;
        s.bits = 16;
        s.volume = volume;
        s.panning = panning;
        s.relative_note = relative_note;
        music::Instrument& instrument = instruments.emplace_back();
        instrument.sample_count = 1;
        for (auto& slot : instrument.samples) slot = &music::empty_sample;
        instrument.samples[0] = &s;
        return instrument;
    }

    music::Song* start() {
        for (size_t p = 0; p < patterns.size(); ++p) patterns[p].cells = cells[p].data();
        song.patterns = patterns.data();
        song.pattern_count = static_cast<int32_t>(patterns.size());
        song.instruments = instruments.data();
        song.instrument_count = static_cast<int16_t>(instruments.size());
        music::init_play_position(&song);
        return &song;
    }
};

class Engine : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(music::mixer_configure(44100)); }
    void TearDown() override {
        music::stop_offline();
        music::reset_voices();
    }
};

// The (order, row) of each row tick over `ticks` calls.
std::vector<std::pair<int32_t, int32_t>> row_ticks(music::Song* song, int ticks) {
    std::vector<std::pair<int32_t, int32_t>> seen;
    for (int i = 0; i < ticks; ++i) {
        const bool row_tick = song->tick == 0;
        music::tick_update(song);
        if (row_tick) seen.emplace_back(song->order, song->row);
    }
    return seen;
}

TEST(SetBpm, FramesPerTickAt44100) {
    struct Case {
        int32_t bpm, frames;
    };
    const Case cases[] = {{125, 882}, {255, 432}, {100, 1103}, {36, 3063}, {20, 5513}, {32, 3445}};
    const int32_t rate = music::mix_rate;
    music::mix_rate = 44100;
    for (const Case& c : cases) {
        music::Song song = {};
        music::set_bpm(&song, c.bpm);
        EXPECT_EQ(song.samples_per_tick, c.frames) << c.bpm << " BPM";
        EXPECT_EQ(song.bpm, c.bpm);
    }
    music::mix_rate = rate;
}

TEST_F(Engine, SpeedZeroAndOneGiveOneTickPerRow) {
    struct Case { int16_t speed; int32_t row_after_12; };
    for (Case c : {Case{0, 11}, Case{1, 11}, Case{2, 5}, Case{6, 1}, Case{31, 0}}) {
        SongBuilder b(1, {64}, {0});
        b.song.default_speed = c.speed;
        music::Song* song = b.start();
        for (int i = 0; i < 12; ++i) music::tick_update(song);
        EXPECT_EQ(song->row, c.row_after_12) << c.speed;
    }
}

TEST_F(Engine, SetSpeedAndTempoHighestChannelWins) {
    SongBuilder b(4, {64}, {0});
    b.cell(0, 0, 0) = {0, 0, 0, 0xF, 0x03};
    b.cell(0, 0, 1) = {0, 0, 0, 0xF, 0x1F};
    b.cell(0, 0, 2) = {0, 0, 0, 0xF, 0x20};
    b.cell(0, 1, 0) = {0, 0, 0, 0xF, 0x90};
    b.cell(0, 1, 3) = {0, 0, 0, 0xF, 0x7D};
    music::Song* song = b.start();
    music::tick_update(song);
    EXPECT_EQ(song->speed, 31);
    EXPECT_EQ(song->bpm, 32);
    EXPECT_EQ(song->samples_per_tick, 3445);
    for (int i = 1; i < 32; ++i) music::tick_update(song);  // the rest of the 31-tick row
    EXPECT_EQ(song->row, 1);
    EXPECT_EQ(song->bpm, 125);
    EXPECT_EQ(song->samples_per_tick, 882);
}

TEST_F(Engine, PatternBreaks) {
    struct Case { uint8_t param; int on_order; std::pair<int32_t, int32_t> next; };
    const Case cases[] = {
        {0x99, 0, {1, 0}},  // 99 is past 63: row 0
        {0x3F, 0, {1, 45}}, // nibbles taken as digits without a check: 3 x 10 + 15
        {0x10, 0, {1, 10}},
        {0x05, 2, {0, 5}},  // on the last order: order 0, not the restart position
        {0x20, 1, {2, 0}},  // order 2 plays a 16-row pattern: a break to row 20 starts it at 0
        {0x00, 1, {2, 0}},
    };
    for (const Case& c : cases) {
        SongBuilder b(2, {64, 64, 16}, {0, 1, 2});
        b.song.restart_position = 1;
        b.cell(c.on_order, 0, 1) = {0, 0, 0, 0xD, c.param};  // order n plays pattern n
        music::Song* song = b.start();
        song->order = c.on_order;
        song->next_order = c.on_order;
        const auto seen = row_ticks(song, 7);
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[1], c.next) << std::hex << int(c.param);
    }
}

TEST_F(Engine, TwoBreaksOnOneRowAdvanceOneOrder) {
    SongBuilder b(3, {64, 64, 64}, {0, 1, 2});
    b.cell(0, 3, 0) = {0, 0, 0, 0xD, 0x10};
    b.cell(0, 3, 2) = {0, 0, 0, 0xD, 0x20};
    b.song.default_speed = 1;
    music::Song* song = b.start();
    const auto seen = row_ticks(song, 5);
    EXPECT_EQ(seen, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 20}}));
}

TEST_F(Engine, EndOfSongContinuesAtTheRestartPosition) {
    struct Case { int16_t restart; int32_t wraps_to; };
    for (Case c : {Case{1, 1}, Case{0, 0}, Case{2, 0}, Case{-3, 0}}) {  // out of range: order 0
        SongBuilder b(1, {2, 2}, {0, 1});
        b.song.restart_position = c.restart;
        b.song.default_speed = 1;
        music::Song* song = b.start();
        const auto seen = row_ticks(song, 6);
        const std::vector<std::pair<int32_t, int32_t>> expected = {
            {0, 0}, {0, 1}, {1, 0}, {1, 1}, {c.wraps_to, 0}, {c.wraps_to, 1}};
        EXPECT_EQ(seen, expected) << c.restart;
    }
}

TEST_F(Engine, NoteStartsTheInstrumentsSampleAtItsPeriod) {
    SongBuilder b(2, {64}, {0});
    b.add_instrument(48, 128);
    b.add_instrument(64, 0, 12);  // an octave up by its relative note
    b.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    b.cell(0, 0, 1) = {49, 2, 0, 0, 0};
    music::Song* song = b.start();
    music::tick_update(song);
    EXPECT_EQ(channels[0].period, 4608);
    EXPECT_EQ(channels[1].period, 4608 - 768);
    EXPECT_EQ(voices[0].sample, &b.samples[0]);
    EXPECT_EQ(voices[1].sample, &b.samples[1]);
    EXPECT_EQ(voices[0].step_frac, 814485521u);
    EXPECT_EQ(voices[0].volume, 96);  // 48 / 64 of full level
    EXPECT_EQ(voices[1].level_right, 128);
}

TEST_F(Engine, ToneportamentoSlidesWithoutRestarting) {
    SongBuilder b(1, {64}, {0});
    b.add_instrument(40, 128);
    b.add_instrument(20, 128);
    b.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    b.cell(0, 1, 0) = {61, 2, 0, 0x3, 0x10};  // an octave up, 64 units a tick; names instrument 2
    music::Song* song = b.start();
    for (int i = 0; i < 6; ++i) music::tick_update(song);
    voices[0].position_int = 33;  // where the mixer would have got to
    channels[0].volume = 10;
    music::tick_update(song);  // row 1
    EXPECT_EQ(channels[0].voice, &voices[0]);
    EXPECT_EQ(voices[0].position_int, 33u);
    EXPECT_EQ(voices[0].sample, &b.samples[0]);
    EXPECT_EQ(voices[32].sample, nullptr);
    EXPECT_EQ(channels[0].period, 4608);
    EXPECT_EQ(channels[0].porta_target, 3840);
    EXPECT_EQ(channels[0].instrument_index, 0);  // the instrument number does not switch...
    EXPECT_EQ(channels[0].volume, 40);           // ...but resets from the playing sample
    std::vector<int32_t> periods;
    for (int i = 0; i < 5; ++i) {
        music::tick_update(song);
        periods.push_back(channels[0].period);
    }
    EXPECT_EQ(periods, (std::vector<int32_t>{4544, 4480, 4416, 4352, 4288}));
}

TEST_F(Engine, InstrumentWithoutNoteResetsButKeepsTheVoicePlaying) {
    SongBuilder b(1, {64}, {0});
    b.add_instrument(40, 128);
    b.add_instrument(20, 64);
    b.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    b.cell(0, 1, 0) = {0, 2, 0, 0, 0};
    b.song.default_speed = 1;
    music::Song* song = b.start();
    music::tick_update(song);
    voices[0].position_int = 20;
    channels[0].key_released = 1;
    music::tick_update(song);
    EXPECT_EQ(channels[0].instrument_index, 1);
    EXPECT_EQ(channels[0].volume, 20);
    EXPECT_EQ(channels[0].panning, 64);
    EXPECT_EQ(channels[0].key_released, 0);
    EXPECT_EQ(channels[0].voice, &voices[0]);
    EXPECT_EQ(voices[0].sample, &b.samples[0]);
    EXPECT_EQ(voices[0].position_int, 20u);
    EXPECT_EQ(voices[32].sample, nullptr);
}

TEST_F(Engine, KeyOffCutsOrReleases) {
    // Instrument 1 has no volume envelope: the key-off silences it on that tick.
    // Instrument 2 holds at a sustain point until the key-off, then falls and fades out.
    SongBuilder b(2, {64}, {0});
    b.add_instrument(64, 128);
    music::Instrument& enveloped = b.add_instrument(64, 128);
    enveloped.volume_envelope[0] = {0, 64};
    enveloped.volume_envelope[1] = {2, 32};
    enveloped.volume_envelope[2] = {10, 0};
    enveloped.volume_point_count = 3;
    enveloped.volume_sustain_point = 1;
    enveloped.volume_envelope_type = 1 | 2;
    enveloped.fadeout = 1000;
    b.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    b.cell(0, 0, 1) = {49, 2, 0, 0, 0};
    b.cell(0, 1, 0) = {music::KEY_OFF, 0, 0, 0, 0};
    b.cell(0, 1, 1) = {0, 0, 0, 0x14, 0};
    music::Song* song = b.start();
    for (int i = 0; i < 6; ++i) music::tick_update(song);
    EXPECT_EQ(voices[0].volume, 128);
    EXPECT_EQ(channels[1].volume_env.value, 32);  // held
    EXPECT_EQ(channels[1].fadeout_volume, 65536);
    music::tick_update(song);  // row 1
    EXPECT_EQ(voices[0].volume, 0);
    EXPECT_EQ(voices[0].sample, &b.samples[0]);  // still running, silent
    EXPECT_EQ(channels[1].key_released, 1);
    EXPECT_EQ(channels[1].volume_env.value, 32);
    EXPECT_EQ(channels[1].fadeout_volume, 64536);
    music::tick_update(song);
    EXPECT_EQ(channels[1].volume_env.value, 28);
    EXPECT_EQ(channels[1].fadeout_volume, 63536);
}

TEST_F(Engine, SetVolumeAboveRangeThenSlideClamps) {
    SongBuilder b(1, {64}, {0});
    b.add_instrument(64, 128);
    b.cell(0, 0, 0) = {49, 1, 0, 0xC, 0x80};
    b.cell(0, 1, 0) = {0, 0, 0, 0xA, 0x10};
    music::Song* song = b.start();
    music::tick_update(song);
    EXPECT_EQ(channels[0].volume, 128);
    for (int i = 0; i < 6; ++i) music::tick_update(song);
    EXPECT_EQ(channels[0].volume, 128);  // the slide acts on later ticks only
    music::tick_update(song);
    EXPECT_EQ(channels[0].volume, 64);
}

TEST_F(Engine, ArpeggioCyclesOnLinearSongsOnly) {
    for (bool linear : {true, false}) {
        SongBuilder b(1, {64}, {0});
        b.song.flags = linear ? 1 : 0;
        b.song.default_speed = 8;
        b.add_instrument(64, 128);
        b.cell(0, 0, 0) = {49, 1, 0, 0x0, 0x47};
        music::Song* song = b.start();
        std::vector<int32_t> offsets;
        for (int i = 0; i < 7; ++i) {
            music::tick_update(song);
            offsets.push_back(channels[0].period_offset);
        }
        const std::vector<int32_t> expected =
            linear ? std::vector<int32_t>{0, 256, 448, 0, 256, 448, 0} : std::vector<int32_t>(7, 0);
        EXPECT_EQ(offsets, expected) << linear;
    }
}

TEST_F(Engine, VibratoPhaseHoldsOnTheRowTickAndAdvancesAfter) {
    SongBuilder b(1, {64}, {0});
    b.add_instrument(64, 128);
    b.cell(0, 0, 0) = {49, 1, 0xA8, 0, 0};    // vibrato speed 8
    b.cell(0, 1, 0) = {0, 0, 0xB8, 0x6, 0};   // depth 8, vibrato on
    b.cell(0, 2, 0) = {0, 0, 0, 0, 0};        // no vibrato: plain period, phase kept
    b.cell(0, 3, 0) = {0, 0, 0, 0x6, 0};
    music::Song* song = b.start();
    for (int i = 0; i < 6; ++i) music::tick_update(song);
    std::vector<int32_t> offsets;
    for (int i = 0; i < 6; ++i) {
        music::tick_update(song);
        offsets.push_back(channels[0].period_offset);
    }
    // Phases 0, 0, 8, 16, 24, 32 -> -32: magnitudes 0, 0, 181, 256, 181, 0 at depth 8.
    EXPECT_EQ(offsets, (std::vector<int32_t>{0, 0, -44, -64, -44, 0}));
    EXPECT_EQ(channels[0].vibrato_position, -24);
    music::tick_update(song);  // row 2
    EXPECT_EQ(channels[0].period_offset, 0);
    for (int i = 0; i < 5; ++i) music::tick_update(song);
    EXPECT_EQ(channels[0].vibrato_position, -24);
    music::tick_update(song);  // row 3 continues the phase
    EXPECT_EQ(channels[0].period_offset, 44);
}

TEST_F(Engine, ToneportaWithVolumeSlideKeepsSliding) {
    SongBuilder b(1, {64}, {0});
    b.add_instrument(40, 128);
    b.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    b.cell(0, 1, 0) = {61, 0, 0, 0x3, 0x04};  // 16 units a tick toward 3840
    b.cell(0, 2, 0) = {0, 0, 0, 0x5, 0x02};   // keep going, volume down 2 a tick
    music::Song* song = b.start();
    for (int i = 0; i < 12; ++i) music::tick_update(song);
    EXPECT_EQ(channels[0].period, 4608 - 5 * 16);
    music::tick_update(song);  // row 2
    EXPECT_EQ(channels[0].voice, &voices[0]);
    EXPECT_EQ(voices[32].sample, nullptr);  // no note start
    EXPECT_EQ(channels[0].porta_target, 3840);
    for (int i = 0; i < 5; ++i) music::tick_update(song);
    EXPECT_EQ(channels[0].period, 4608 - 10 * 16);
    EXPECT_EQ(channels[0].volume, 30);
}

TEST_F(Engine, ToneportaWithVolumeSlideOnANewNoteDoesNotRestart) {
    SongBuilder b(1, {64}, {0});
    b.add_instrument(40, 128);
    b.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    b.cell(0, 1, 0) = {0, 0, 0, 0x3, 0x08};   // sets the speed: 32 units a tick
    b.cell(0, 2, 0) = {37, 0, 0, 0x5, 0x10};  // an octave down, volume up 1 a tick
    music::Song* song = b.start();
    for (int i = 0; i < 12; ++i) music::tick_update(song);
    voices[0].position_int = 9;
    music::tick_update(song);
    EXPECT_EQ(voices[0].position_int, 9u);
    EXPECT_EQ(channels[0].porta_target, 4608 + 768);
    for (int i = 0; i < 5; ++i) music::tick_update(song);
    EXPECT_EQ(channels[0].period, 4608 + 5 * 32);
    EXPECT_EQ(channels[0].volume, 45);
}

TEST_F(Engine, NotesPastTheFormatAreNoNotes) {
    SongBuilder b(3, {64}, {0});
    b.add_instrument(64, 128);
    b.cell(0, 0, 0) = {98, 1, 0, 0, 0};
    b.cell(0, 0, 1) = {254, 1, 0, 0, 0};
    b.cell(0, 0, 2) = {96, 1, 0, 0, 0};
    music::Song* song = b.start();
    music::tick_update(song);
    EXPECT_EQ(voices[0].sample, nullptr);
    EXPECT_EQ(voices[1].sample, nullptr);
    EXPECT_EQ(channels[0].map_note, 0);
    EXPECT_EQ(voices[2].sample, &b.samples[0]);
    EXPECT_EQ(channels[2].map_note, 95);
}

TEST_F(Engine, MissingInstrumentsAndSamplesPlaySilence) {
    SongBuilder b(3, {64}, {0});
    music::Instrument& instrument = b.add_instrument(64, 128);
    for (auto& entry : instrument.note_to_sample) entry = 0;
    instrument.note_to_sample[59] = 16;  // beyond the 16 slots
    instrument.note_to_sample[60] = 3;   // an unused slot
    b.cell(0, 0, 0) = {49, 2, 0, 0, 0};  // instrument 2 of 1
    b.cell(0, 0, 1) = {60, 1, 0, 0, 0};
    b.cell(0, 0, 2) = {61, 1, 0, 0, 0};
    music::Song* song = b.start();
    music::tick_update(song);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(voices[c].sample, &music::empty_sample) << c;
    std::vector<float> out(2 * 32, 0.0f);
    music::mix_voices(out.data(), 32);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(voices[c].sample, nullptr) << c;
    for (float x : out) EXPECT_EQ(x, 0.0f);
}

TEST_F(Engine, FirstBlockPlaysRowZeroFromItsFirstFrame) {
    SongBuilder b(1, {64}, {0});
    b.add_instrument(64, 255);
    b.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    b.start();
    ASSERT_TRUE(music::play_offline(&b.song, 44100));
    music::fill_block();
    EXPECT_EQ(b.song.tick, 2);  // ticks at frames 0 and 882
    EXPECT_EQ(b.song.samples_to_tick, 880);
    EXPECT_EQ(music::block_info[0].order, 0);
    EXPECT_EQ(music::block_info[0].row, 0);
    // The note fades in over the first 128 frames, then holds 1000 x 128/255 on the left.
    const int16_t* pcm = music::wave_buffer;
    EXPECT_EQ(pcm[0], 0);
    EXPECT_GT(pcm[2 * 64], 0);
    EXPECT_LT(pcm[2 * 64], pcm[2 * 200]);
    EXPECT_EQ(pcm[2 * 200], 502);
    EXPECT_EQ(pcm[2 * 200 + 1], 0);
}

// Damaged or unusual songs the engine must play without reading outside its tables: too many
// channels, orders naming absent patterns, empty patterns, odd lengths, wild notes, instruments,
// note maps and envelopes. Every cell is drawn from a fixed pseudo-random sequence.
TEST_F(Engine, DamagedSongsPlayWithoutFaults) {
    struct Case { int16_t channels; int16_t length; int16_t restart; std::vector<int32_t> rows; };
    const Case cases[] = {
        {40, 3, 1, {64, 0, 5}}, {4, 0, 0, {64}}, {8, 300, 500, {1, 2, 3}}, {1, 2, -1, {0, 0}}, {32, 1, 0, {256}},
    };
    uint32_t state = 12345;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return static_cast<uint8_t>(state >> 16);
    };
    for (const Case& c : cases) {
        SongBuilder b(c.channels, c.rows, {});
        b.song.song_length = c.length;
        b.song.restart_position = c.restart;
        for (auto& entry : b.song.order_table) entry = static_cast<uint8_t>(next() % 6);  // some past the patterns
        for (int i = 0; i < 3; ++i) {
            music::Instrument& ins = b.add_instrument(next(), next(), static_cast<int8_t>(next()));
            for (auto& entry : ins.note_to_sample) entry = next() % 20;
            for (auto& point : ins.volume_envelope) point = {static_cast<uint16_t>(next()), static_cast<uint16_t>(next())};
            for (auto& point : ins.panning_envelope) point = {static_cast<uint16_t>(next() % 8), next()};
            ins.volume_point_count = next();
            ins.panning_point_count = next() % 14;
            ins.volume_envelope_type = next();
            ins.panning_envelope_type = next();
            ins.volume_sustain_point = next() % 14;
            ins.volume_loop_start = next() % 14;
            ins.volume_loop_end = next() % 14;
            ins.panning_loop_start = next();
            ins.panning_loop_end = next() % 13;
            ins.vibrato_type = next();
            ins.vibrato_depth = next();
            ins.vibrato_rate = next();
            ins.vibrato_sweep = next();
            ins.fadeout = static_cast<uint16_t>(next() * 7);
        }
        b.samples[1].loop_type = music::LOOP_PINGPONG;
        b.samples[2].loop_type = music::LOOP_NONE;
        for (auto& pattern : b.cells)
            for (NoteCell& cell : pattern) cell = {next(), next(), next(), static_cast<uint8_t>(next() % 24), next()};
        b.start();
        b.song.default_bpm = 255;
        ASSERT_TRUE(music::play_offline(&b.song, 44100));
        for (int block = 0; block < 400; ++block) {
            music::fill_block();
            ASSERT_GE(b.song.order, 0);
            ASSERT_LT(b.song.order, 256);
            ASSERT_GE(b.song.row, 0);
            ASSERT_GE(b.song.samples_to_tick, 0);
        }
        music::stop_offline();
    }
}

}  // namespace
