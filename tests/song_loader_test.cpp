#include "music/song.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "music/engine.h"
#include "music/file_access.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "shell/runtime.h"
#include "tests/support/memory_image.h"
#include "tests/support/paths.h"
#include "tools/content/songgen.h"
#include "tools/xm_writer.h"

namespace {

using namespace music;
using test_support::load_bytes;

// Frees the song at the end of a test and checks that every block the load made is gone.
struct Loaded {
    Song* song;
    int32_t blocks_before;
    explicit Loaded(const std::vector<uint8_t>& bytes) : blocks_before(runtime::heap_live_blocks()) {
        song = load_bytes(bytes);
    }
    ~Loaded() {
        free_song(song);
        EXPECT_EQ(runtime::heap_live_blocks(), blocks_before) << "leaked blocks";
    }
    Song* operator->() const { return song; }
};

// Loads bytes that must be refused; returns the reason and checks that nothing leaked.
std::string refusal(const std::vector<uint8_t>& bytes) {
    const int32_t before = runtime::heap_live_blocks();
    Song* song = load_bytes(bytes);
    EXPECT_EQ(song, nullptr);
    free_song(song);
    EXPECT_EQ(runtime::heap_live_blocks(), before) << "a failed load leaked";
    return load_error();
}

xm::Sample sample8(std::vector<int32_t> values) {
    xm::Sample s;
    s.values = std::move(values);
    return s;
}

std::vector<int32_t> ramp(int n, int step) {
    std::vector<int32_t> v;
    for (int i = 0; i < n; ++i) v.push_back((i * step) % 100 - 50);
    return v;
}

// One channel, one pattern, one instrument with one sample: the base every fixture edits.
xm::Module small_module() {
    xm::Module m;
    m.channels = 2;
    m.orders = {0};
    xm::Pattern p;
    p.rows = 4;
    p.cells = {{49, 1, 0x40, 0, 0}, {}, {}, {97, 0, 0, 0, 0}};
    m.patterns = {p};
    xm::Instrument ins;
    ins.samples = {sample8({10, 20, 30, 40})};
    m.instruments = {ins};
    return m;
}

TEST(SongLoader, HeaderFieldsAndRestartClamp) {
    xm::Module m = small_module();
    m.orders = {0, 0, 0};
    m.restart_position = 2;
    m.flags = 1;
    m.speed = 5;
    m.bpm = 140;
    Loaded song(xm::write_xm(m));
    ASSERT_NE(song.song, nullptr) << load_error();
    EXPECT_EQ(song->song_length, 3);
    EXPECT_EQ(song->restart_position, 2);
    EXPECT_EQ(song->channel_count, 2);
    EXPECT_EQ(song->flags, 1);
    EXPECT_EQ(song->default_speed, 5);
    EXPECT_EQ(song->default_bpm, 140);
    EXPECT_EQ(song->initial_global_volume, 64);
    EXPECT_EQ(song->tick_handler, &tick_update);
    EXPECT_EQ(song->instrument_count, 1);

    // A restart position that names no order position would leave playback nowhere.
    for (uint16_t restart : {3, 200}) {
        m.restart_position = restart;
        Loaded clamped(xm::write_xm(m));
        ASSERT_NE(clamped.song, nullptr);
        EXPECT_EQ(clamped->restart_position, 0) << restart;
    }
}

TEST(SongLoader, CellsDecodeFromPackedAndPlainForms) {
    xm::Module m = small_module();
    m.channels = 1;
    xm::Pattern p;
    p.rows = 7;
    p.raw_data = std::vector<uint8_t>{
        0x80,                       // mask with no fields: an empty cell, one byte
        0, 1, 2, 3, 4,              // a plain cell whose note byte is 0
        97, 129, 0x10, 0x0F, 0x20,  // key-off and an instrument beyond 128
        0x80 | 0x02 | 0x10, 128, 0x33,  // instrument 128 stays, effect parameter only
        0x9F, 12, 5, 0x50, 0x0D, 0x3F,  // a full mask
        0x81, 97,                       // key-off in packed form
        0x88, 0x0C,
    };
    p.packed_size_field = 1;  // the size field does not limit decoding
    m.patterns = {p};
    m.orders = {0};
    Loaded song(xm::write_xm(m));
    ASSERT_NE(song.song, nullptr) << load_error();
    const NoteCell expected[7] = {{0, 0, 0, 0, 0},        {0, 1, 2, 3, 4},       {255, 0, 0x10, 0x0F, 0x20},
                                  {0, 128, 0, 0, 0x33},   {12, 5, 0x50, 0x0D, 0x3F}, {255, 0, 0, 0, 0},
                                  {0, 0, 0, 0x0C, 0}};
    ASSERT_EQ(song->patterns[0].row_count, 7);
    for (int i = 0; i < 7; ++i) {
        const NoteCell& c = song->patterns[0].cells[i];
        EXPECT_EQ(c.note, expected[i].note) << i;
        EXPECT_EQ(c.instrument, expected[i].instrument) << i;
        EXPECT_EQ(c.volume_column, expected[i].volume_column) << i;
        EXPECT_EQ(c.effect, expected[i].effect) << i;
        EXPECT_EQ(c.effect_param, expected[i].effect_param) << i;
    }
    EXPECT_EQ(song->instruments[0].samples[0]->length, 4u) << "instruments read right after the cells";
}

TEST(SongLoader, PatternCountsEmptyAndMissingPatterns) {
    xm::Module m = small_module();
    m.channels = 3;
    xm::Pattern empty;
    empty.rows = 64;
    empty.store_empty = true;  // packed size 0: no cell bytes follow its 9-byte header
    xm::Pattern notes;
    notes.rows = 2;
    notes.cells = {{1, 1, 0, 0, 0}, {}, {}, {}, {}, {96, 1, 0, 0, 0}};
    m.patterns = {empty, notes, notes};
    m.orders = {5, 1, 0, 5};
    {
        Loaded song(xm::write_xm(m));
        ASSERT_NE(song.song, nullptr) << load_error();
        EXPECT_EQ(song->used_pattern_count, 6);
        EXPECT_EQ(song->pattern_count, 6);
        EXPECT_EQ(song->patterns[0].row_count, 64);
        for (int i = 0; i < 64 * 3; ++i) EXPECT_EQ(song->patterns[0].cells[i].note, 0);
        EXPECT_EQ(song->patterns[1].cells[0].note, 1);
        EXPECT_EQ(song->patterns[1].cells[5].note, 96);
        for (int p = 3; p < 6; ++p) {
            EXPECT_EQ(song->patterns[p].row_count, 64) << p;
            ASSERT_NE(song->patterns[p].cells, nullptr);
            for (int i = 0; i < 64 * 3; ++i) EXPECT_EQ(song->patterns[p].cells[i].instrument, 0);
        }
    }
    // Patterns the orders never name are kept; entries past the song length do not count.
    m.orders = {1, 0};
    m.orders.resize(10, 200);
    m.song_length_field = 2;
    Loaded song(xm::write_xm(m));
    ASSERT_NE(song.song, nullptr) << load_error();
    EXPECT_EQ(song->used_pattern_count, 2);
    EXPECT_EQ(song->pattern_count, 3);
    EXPECT_EQ(song->patterns[2].cells[5].note, 96);
}

TEST(SongLoader, SampleConversions) {
    xm::Module m = small_module();
    xm::Instrument ins;
    // 0: the bytes 10, 5, FBh delta-decode to 10, 15, 10 and widen to the high byte.
    xm::Sample delta;
    delta.raw_data = std::vector<uint8_t>{10, 5, 0xFB};
    delta.length_field = 3;
    // 1: 16-bit, 1000 bytes, loop start 200 and loop length 0: a whole-sample unlooped region.
    xm::Sample zero_loop;
    zero_loop.sixteen_bit = true;
    zero_loop.values = ramp(500, 7);
    zero_loop.loop = xm::Loop::forward;
    zero_loop.loop_start = 100;
    zero_loop.loop_length = 0;
    // 2, 3: forward and ping-pong loops from 100, 50 long, get their guard values.
    xm::Sample forward = sample8(ramp(200, 3));
    forward.loop = xm::Loop::forward;
    forward.loop_start = 100;
    forward.loop_length = 50;
    xm::Sample pingpong = forward;
    pingpong.type_field = 3;  // both loop bits: ping-pong wins
    // 4: 16-bit values through the whole range.
    xm::Sample wide;
    wide.sixteen_bit = true;
    wide.values = {1000, -1000, 32767, -32768, 0, 1};
    // 5: unlooped 8-bit; its extremes.
    xm::Sample plain = sample8({127, -128, 0, -1});
    plain.volume = 33;
    plain.finetune = -16;
    plain.panning = 200;
    plain.relative_note = -12;
    ins.samples = {delta, zero_loop, forward, pingpong, wide, plain};
    m.instruments = {ins};
    Loaded song(xm::write_xm(m));
    ASSERT_NE(song.song, nullptr) << load_error();
    const Instrument& loaded = song->instruments[0];
    ASSERT_EQ(loaded.sample_count, 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(loaded.samples[i]->bits, 16) << i;
    for (int i = 6; i < 16; ++i) EXPECT_EQ(loaded.samples[i], &empty_sample) << i;

    const Sample& d = *loaded.samples[0];
    EXPECT_EQ(d.data[0], 2560);
    EXPECT_EQ(d.data[1], 3840);
    EXPECT_EQ(d.data[2], 2560);

    const Sample& z = *loaded.samples[1];
    EXPECT_EQ(z.length, 500u);
    EXPECT_EQ(z.loop_start, 0u);
    EXPECT_EQ(z.loop_length, 500u);
    EXPECT_EQ(z.loop_type, LOOP_NONE);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(z.data[i], zero_loop.values[i]) << i;
    for (int i = 500; i < 508; ++i) EXPECT_EQ(z.data[i], 0) << "spare value " << i;

    const Sample& f = *loaded.samples[2];
    EXPECT_EQ(f.loop_type, LOOP_FORWARD);
    EXPECT_EQ(f.loop_start, 100u);
    EXPECT_EQ(f.loop_length, 50u);
    EXPECT_EQ(f.data[149], forward.values[149] * 256);
    EXPECT_EQ(f.data[150], f.data[100]);
    EXPECT_NE(f.data[150], forward.values[150] * 256) << "the fixture must tell the guard from the data";
    const Sample& pp = *loaded.samples[3];
    EXPECT_EQ(pp.loop_type, LOOP_PINGPONG);
    EXPECT_EQ(pp.data[150], pp.data[149]);

    const Sample& w = *loaded.samples[4];
    for (size_t i = 0; i < wide.values.size(); ++i) EXPECT_EQ(w.data[i], wide.values[i]) << i;

    const Sample& p = *loaded.samples[5];
    EXPECT_EQ(p.loop_type, LOOP_NONE);
    EXPECT_EQ(p.loop_start, 0u);
    EXPECT_EQ(p.loop_length, 4u);
    EXPECT_EQ(p.data[0], 127 * 256);
    EXPECT_EQ(p.data[1], -128 * 256);
    EXPECT_EQ(p.data[3], -256);
    EXPECT_EQ(p.data[4], 0) << "no guard for unlooped samples";
    EXPECT_EQ(p.volume, 33);
    EXPECT_EQ(p.finetune, -16);
    EXPECT_EQ(p.panning, 200);
    EXPECT_EQ(p.relative_note, -12);
}

TEST(SongLoader, LoopsPastTheSampleEndAreCut) {
    struct Case {
        uint32_t start_bytes, length_bytes;
        uint8_t type;
        uint32_t loop_start, loop_length;
        uint8_t loop_type;
    };
    const Case cases[] = {
        {80, 50, 1, 80, 20, LOOP_FORWARD},            // runs 30 past the end
        {120, 10, 2, 0, 100, LOOP_NONE},              // starts past the end: no loop left
        {100, 5, 1, 0, 100, LOOP_NONE},               // starts at the end
        {0xFFFFFFF0u, 0x20, 1, 0, 100, LOOP_NONE},    // start + length wraps in 32 bits
        {10, 0xFFFFFFFFu, 2, 10, 90, LOOP_PINGPONG},
        {90, 10, 1, 90, 10, LOOP_FORWARD},            // ends exactly at the end: untouched
    };
    for (const Case& c : cases) {
        xm::Module m = small_module();
        xm::Sample s = sample8(ramp(100, 9));
        s.loop_start_field = c.start_bytes;
        s.loop_length_field = c.length_bytes;
        s.type_field = c.type;
        m.instruments[0].samples = {s};
        Loaded song(xm::write_xm(m));
        ASSERT_NE(song.song, nullptr) << load_error();
        const Sample& loaded = *song->instruments[0].samples[0];
        EXPECT_EQ(loaded.loop_start, c.loop_start) << c.start_bytes << "+" << c.length_bytes;
        EXPECT_EQ(loaded.loop_length, c.loop_length) << c.start_bytes << "+" << c.length_bytes;
        EXPECT_EQ(loaded.loop_type, c.loop_type) << c.start_bytes << "+" << c.length_bytes;
    }
}

// A 16-bit sample of an odd byte length occupies all its bytes: the odd one is no value, and
// what follows (a second sample of the same instrument, the next instrument) starts after it.
TEST(SongLoader, OddLengthSixteenBitSamplesTakeTheirWholeByteLength) {
    struct Case {
        std::vector<uint8_t> stored;  // the first sample's data bytes as stored (delta-encoded)
        std::vector<int16_t> values;  // what it decodes to
    };
    const Case cases[] = {
        {{0xE8, 0x03, 0x00, 0x00, 0x18, 0xFC, 0x55}, {1000, 1000, 0}},  // 7 bytes: 3 values and 55h
        {{0x77}, {}},                                                   // 1 byte: no value at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.size());
        xm::Module m = small_module();
        m.patterns[0].cells = {{49, 1, 0, 0, 0}, {49, 3, 0, 0, 0}};  // one note per instrument
        xm::Sample odd;
        odd.sixteen_bit = true;
        odd.raw_data = c.stored;
        odd.length_field = static_cast<uint32_t>(c.stored.size());
        odd.loop_length_field = static_cast<uint32_t>(c.stored.size());  // a forward loop over it all
        odd.type_field = 0x11;
        odd.panning = 255;  // left only
        xm::Sample after_odd = sample8({40, 40});  // second sample of the same instrument
        xm::Instrument first;
        first.samples = {odd, after_odd};
        xm::Sample tone = sample8({90, 90, 90, 90});
        tone.loop = xm::Loop::forward;
        tone.loop_length = 4;
        tone.panning = 0;  // right only
        xm::Instrument second;  // instrument 2 has no samples, instrument 3 follows it
        xm::Instrument third;
        third.samples = {tone};
        m.instruments = {first, second, third};
        Loaded song(xm::write_xm(m));
        ASSERT_NE(song.song, nullptr) << load_error();
        ASSERT_EQ(song->instrument_count, 3);
        const Sample& a = *song->instruments[0].samples[0];
        ASSERT_EQ(a.length, c.values.size());
        for (size_t i = 0; i < c.values.size(); ++i) EXPECT_EQ(a.data[i], c.values[i]) << i;
        const Sample& b = *song->instruments[0].samples[1];
        ASSERT_EQ(b.length, 2u);
        EXPECT_EQ(b.data[0], 40 * 256);
        EXPECT_EQ(b.data[1], 40 * 256);
        EXPECT_EQ(song->instruments[1].sample_count, 0);
        const Sample& t = *song->instruments[2].samples[0];
        ASSERT_EQ(t.length, 4u);
        EXPECT_EQ(t.data[0], 90 * 256);
        EXPECT_EQ(t.data[3], 90 * 256);

        // Both notes sound: the odd sample on the left (where it has values), the tone on the right.
        ASSERT_TRUE(play_offline(song.song, 44100));
        fill_block();
        double left = 0, right = 0;
        for (int32_t f = 200; f < block_frames; ++f) {
            left += std::abs(wave_buffer[2 * f]);
            right += std::abs(wave_buffer[2 * f + 1]);
        }
        stop_offline();
        EXPECT_EQ(left > 0, !c.values.empty());
        EXPECT_GT(right, 0);
    }
}

TEST(SongLoader, InstrumentFieldsEnvelopesAndHeaderSizes) {
    xm::Module m = small_module();
    xm::Instrument full;
    full.samples = {sample8({1, 2, 3})};
    for (int i = 0; i < 96; ++i) full.note_to_sample[i] = static_cast<uint8_t>(i % 3);
    full.volume_envelope.points = {{0, 64}, {10, 32}, {20, 16}};
    full.volume_envelope.sustain_point = 1;
    full.volume_envelope.loop_start = 0;
    full.volume_envelope.loop_end = 2;
    full.volume_envelope.type = 7;
    full.panning_envelope.points = {{0, 32}};
    full.panning_envelope.type = 1;  // one point: no envelope
    full.vibrato_type = 1;
    full.vibrato_sweep = 2;
    full.vibrato_depth = 3;
    full.vibrato_rate = 4;
    full.fadeout = 4000;
    full.header_size = 300;  // more than usual: the sample headers start after it
    xm::Instrument none;     // no samples: consumes exactly its header size
    none.header_size = 45;
    xm::Instrument bad = full;
    bad.header_size = 0;
    bad.fadeout = 40000;  // doubled in 16 bits
    bad.volume_envelope.points.resize(12, {30, 1});
    bad.volume_envelope.point_count_field = 14;  // more points than are stored
    bad.volume_envelope.sustain_point = 12;      // past the 12 points: sustain is off
    bad.volume_envelope.loop_end = 12;
    bad.panning_envelope.points = {{0, 1}, {5, 2}, {9, 3}};
    bad.panning_envelope.type = 7;
    bad.panning_envelope.sustain_point = 2;
    bad.panning_envelope.loop_start = 3;  // loop past the 3 points: loop is off, sustain stays
    bad.panning_envelope.loop_end = 1;
    m.instruments = {full, none, bad};
    Loaded song(xm::write_xm(m));
    ASSERT_NE(song.song, nullptr) << load_error();
    ASSERT_EQ(song->instrument_count, 3);

    const Instrument& a = song->instruments[0];
    for (int i = 0; i < 96; ++i) EXPECT_EQ(a.note_to_sample[i], i % 3);
    EXPECT_EQ(a.volume_envelope[1].x, 10);
    EXPECT_EQ(a.volume_envelope[1].y, 32);
    EXPECT_EQ(a.volume_point_count, 3);
    EXPECT_EQ(a.volume_envelope_type, 7);
    EXPECT_EQ(a.volume_sustain_point, 1);
    EXPECT_EQ(a.volume_loop_end, 2);
    EXPECT_EQ(a.panning_point_count, 1);
    EXPECT_EQ(a.panning_envelope_type, 0);
    EXPECT_EQ(a.vibrato_type, 1);
    EXPECT_EQ(a.vibrato_sweep, 2);
    EXPECT_EQ(a.vibrato_depth, 3);
    EXPECT_EQ(a.vibrato_rate, 4);
    EXPECT_EQ(a.fadeout, 8000);
    EXPECT_EQ(a.samples[0]->data[2], 3 * 256);

    const Instrument& b = song->instruments[1];
    EXPECT_EQ(b.sample_count, 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(b.samples[i], &empty_sample);
    EXPECT_EQ(b.fadeout, 0);

    const Instrument& c = song->instruments[2];
    EXPECT_EQ(c.fadeout, static_cast<uint16_t>(80000));
    EXPECT_EQ(c.volume_point_count, 12);
    EXPECT_EQ(c.volume_envelope_type, 1);
    EXPECT_EQ(c.panning_envelope_type, 3);
    EXPECT_EQ(c.samples[0]->data[0], 256) << "samples read after a 263-byte header";
}

// Bytes of the small module with one header field overwritten.
std::vector<uint8_t> patched(std::vector<uint8_t> bytes, size_t offset, std::vector<uint8_t> values) {
    for (size_t i = 0; i < values.size(); ++i) bytes[offset + i] = values[i];
    return bytes;
}

TEST(SongLoader, MalformedFilesAreRefusedWithAReason) {
    const std::vector<uint8_t> good = xm::write_xm(small_module());
    auto with = [](auto edit) {
        xm::Module m = small_module();
        edit(m);
        return xm::write_xm(m);
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string reason;
    };
    const Case cases[] = {
        {"17th byte not a space", patched(good, 16, {'_'}), "not an XM module"},
        {"too short to identify", std::vector<uint8_t>(good.begin(), good.begin() + 10), "not an XM module"},
        {"no channels", patched(good, 68, {0, 0}), "no channels"},
        {"40 channels", patched(good, 68, {40, 0}), "too many channels (40 > 32)"},
        {"empty order table", patched(good, 64, {0, 0}), "empty order table"},
        {"257 orders", patched(good, 64, {1, 1}), "song too long (257 > 256 orders)"},
        {"BPM 0", patched(good, 78, {0, 0}), "bad tempo (0 BPM)"},
        {"BPM beyond 16-bit signed", patched(good, 78, {0, 0x80}), "bad tempo (32768 BPM)"},
        {"header size past the end", patched(good, 60, {0, 0, 1, 0}), "header size (65536) runs past the end of the file"},
        {"more patterns than fit", patched(good, 70, {200, 0}), "truncated file"},
        {"300 patterns", patched(good, 70, {0x2C, 1}), "too many patterns (300 > 256)"},
        {"more instruments than fit", patched(good, 72, {9, 0}), "truncated file"},
        {"pattern without rows", with([](xm::Module& m) { m.patterns[0].rows = 0; }), "pattern 0 has 0 rows"},
        {"pattern of 300 rows", with([](xm::Module& m) { m.patterns[0].rows = 300; }), "pattern 0 has 300 rows"},
        {"17 samples", with([](xm::Module& m) { m.instruments[0].sample_count_field = 17; }),
         "too many samples in instrument 1 (17 > 16)"},
        {"instrument header size past the end",
         with([](xm::Module& m) { m.instruments[0].header_size_field = 5000; }),
         "instrument 1 header size (5000) runs past the end of the file"},
        {"sample longer than the file",
         with([](xm::Module& m) { m.instruments[0].samples[0].length_field = 0x7FFFFFF0u; }),
         "sample 0 of instrument 1 is longer than the file"},
        {"samples together longer than the file",
         with([](xm::Module& m) {
             xm::Sample s = sample8(ramp(60, 1));
             s.length_field = 0x50;
             m.instruments[0].samples = {s, s, s};
         }),
         "sample 2 of instrument 1 is longer than the file"},
        {"cut inside the sample data", std::vector<uint8_t>(good.begin(), good.end() - 1),
         "sample 0 of instrument 1 is longer than the file"},
        {"cut inside the cells", std::vector<uint8_t>(good.begin(), good.begin() + 60 + 276 + 9 + 3),
         "truncated file"},
    };
    for (const Case& c : cases) EXPECT_EQ(refusal(c.bytes), c.reason) << c.what;
}

TEST(SongLoader, EveryCutOfAFileIsRefused) {
    xm::Module m = small_module();
    xm::Instrument second;
    second.samples = {sample8({5, 6}), sample8({7})};
    second.samples[1].sixteen_bit = true;
    m.instruments.push_back(second);
    m.instruments.push_back(xm::Instrument{});
    const std::vector<uint8_t> bytes = xm::write_xm(m);
    {
        Loaded whole(bytes);
        ASSERT_NE(whole.song, nullptr) << load_error();
    }
    for (size_t n = 0; n < bytes.size(); ++n) {
        const std::string reason = refusal(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_FALSE(reason.empty()) << n;
    }
}

TEST(SongLoader, CorruptBytesNeverCrashOrLeak) {
    xm::Module m = small_module();
    m.instruments[0].volume_envelope.points = {{0, 64}, {4, 0}};
    m.instruments[0].volume_envelope.type = 1;
    m.instruments[0].samples[0].loop = xm::Loop::pingpong;
    m.instruments[0].samples[0].loop_start = 1;
    m.instruments[0].samples[0].loop_length = 2;
    const std::vector<uint8_t> bytes = xm::write_xm(m);
    for (size_t i = 0; i < bytes.size(); ++i) {
        for (uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
            std::vector<uint8_t> corrupt = bytes;
            corrupt[i] = value;
            const int32_t before = runtime::heap_live_blocks();
            Song* song = load_bytes(corrupt);
            if (!song) {
                EXPECT_STRNE(load_error(), "") << i;
            } else {
                // Whatever loaded keeps the promises the player relies on.
                EXPECT_GE(song->channel_count, 1);
                EXPECT_LE(song->channel_count, 32);
                EXPECT_LT(song->restart_position, song->song_length);
                for (int k = 0; k < song->instrument_count; ++k) {
                    const Instrument& ins = song->instruments[k];
                    EXPECT_LE(ins.volume_point_count, 12);
                    for (int s = 0; s < ins.sample_count; ++s) {
                        const Sample& smp = *ins.samples[s];
                        EXPECT_LE(static_cast<uint64_t>(smp.loop_start) + smp.loop_length, smp.length) << i;
                    }
                }
            }
            free_song(song);
            EXPECT_EQ(runtime::heap_live_blocks(), before) << "byte " << i << " = " << int(value);
        }
    }
}

TEST(SongLoader, FailedAllocationsFailTheLoadAndFreeEverything) {
    xm::Module m = small_module();
    m.orders = {0, 2};  // one missing pattern
    m.instruments.push_back(m.instruments[0]);
    m.instruments[1].samples.push_back(sample8({3, 4}));
    const std::vector<uint8_t> bytes = xm::write_xm(m);
    test_support::MemoryImage image(bytes);
    const int32_t before = runtime::heap_live_blocks();
    bool loaded = false, parser_ran_out = false;
    for (int32_t n = 0; n < 100 && !loaded; ++n) {
        runtime::heap_fail_after(n);
        Song* song = load_song("");
        runtime::heap_fail_after(-1);
        if (song) {
            loaded = true;
        } else {
            const std::string reason = load_error();
            EXPECT_TRUE(reason == "out of memory" || reason == "cannot open the module") << n << ": " << reason;
            parser_ran_out = parser_ran_out || reason == "out of memory";
        }
        free_song(song);
        EXPECT_EQ(runtime::heap_live_blocks(), before) << "after failing allocation " << n;
    }
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(parser_ran_out);
}

TEST(SongLoader, NullArguments) {
    EXPECT_FALSE(free_song(nullptr));
    install_file_callbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    const int32_t before = runtime::heap_live_blocks();
    EXPECT_EQ(load_song(""), nullptr);
    EXPECT_STREQ(load_error(), "cannot open the module");
    EXPECT_EQ(runtime::heap_live_blocks(), before);
}

TEST(EmbeddedSong, IsTheComposersOutput) {
    const std::vector<uint8_t> bytes = xm::write_xm(songgen::compose());
    const std::string file = test_support::read_file(test_support::source_path("data/song.xm"));
    const std::vector<uint8_t> committed(file.begin(), file.end());
    EXPECT_TRUE(committed == bytes) << "data/song.xm differs from the composer's output: run "
                                       "brusk-songgen data/song.xm";
}

TEST(EmbeddedSong, LoadsThroughTheMemoryCallbacks) {
    install_memory_callbacks();
    set_memory_module(nullptr, 0);
    const int32_t before = runtime::heap_live_blocks();
    Song* song = load_song("");
    ASSERT_NE(song, nullptr) << load_error();
    // The header shape the show is timed to.
    EXPECT_EQ(song->song_length, 26);
    EXPECT_EQ(song->restart_position, 0);
    EXPECT_EQ(song->channel_count, 14);
    EXPECT_EQ(song->pattern_count, 18);
    EXPECT_EQ(song->flags & 1, 1);
    EXPECT_EQ(song->default_speed, 5);
    EXPECT_EQ(song->default_bpm, 125);

    // Everything the composer wrote comes back: cells and sample values.
    const xm::Module m = songgen::compose();
    ASSERT_EQ(song->instrument_count, static_cast<int>(m.instruments.size()));
    for (int p = 0; p < 18; ++p) {
        ASSERT_EQ(song->patterns[p].row_count, m.patterns[p].rows);
        for (size_t i = 0; i < m.patterns[p].cells.size(); ++i) {
            const xm::Cell& c = m.patterns[p].cells[i];
            const NoteCell& l = song->patterns[p].cells[i];
            ASSERT_EQ(l.note, c.note == 97 ? KEY_OFF : c.note) << p << ":" << i;
            ASSERT_EQ(l.instrument, c.instrument) << p << ":" << i;
            ASSERT_EQ(l.volume_column, c.volume_column) << p << ":" << i;
        }
    }
    for (size_t k = 0; k < m.instruments.size(); ++k) {
        const xm::Sample& written = m.instruments[k].samples[0];
        const Sample& loaded = *song->instruments[k].samples[0];
        ASSERT_EQ(loaded.length, written.values.size());
        const int scale = written.sixteen_bit ? 1 : 256;
        for (size_t i = 0; i < written.values.size(); ++i) ASSERT_EQ(loaded.data[i], written.values[i] * scale) << k;
    }
    EXPECT_TRUE(free_song(song));
    EXPECT_EQ(runtime::heap_live_blocks(), before);
}

}  // namespace
