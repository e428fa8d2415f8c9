// The composed song keeps to the shape the show is timed to and to what the engine plays.
#include "tools/content/songgen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

constexpr int BEAT_ROWS[] = {0, 6, 10, 16, 22, 26, 32, 38, 42, 48, 54, 58};

const xm::Module& song() {
    static const xm::Module m = songgen::compose();
    return m;
}

const xm::Cell& cell(int pattern, int row, int channel) {
    return song().patterns[static_cast<size_t>(pattern)].cells[static_cast<size_t>(row * song().channels + channel)];
}

TEST(SongGen, HeaderIsTheOneTheShowIsLaidOutFor) {
    const xm::Module& m = song();
    EXPECT_EQ(m.orders.size(), 26u);
    EXPECT_EQ(m.restart_position, 0);
    EXPECT_EQ(m.channels, 14);
    EXPECT_EQ(m.patterns.size(), 18u);
    EXPECT_EQ(m.instruments.size(), 61u);
    EXPECT_EQ(m.flags, 1);
    EXPECT_EQ(m.speed, 5);
    EXPECT_EQ(m.bpm, 125);
    for (const xm::Pattern& p : m.patterns) {
        EXPECT_EQ(p.rows, 64);
        EXPECT_EQ(p.cells.size(), 64u * 14u);
    }
    for (uint8_t o : m.orders) EXPECT_LT(o, 18);
}

// Speed and tempo must never change while playing, and only effects the engine plays appear.
TEST(SongGen, UsesOnlyThePlayedEffectsAndVolumeCommands) {
    const std::set<uint8_t> effects = {0x0, 0x3, 0x6, 0xA, 0xC, 0x14};
    for (size_t p = 0; p < song().patterns.size(); ++p)
        for (const xm::Cell& c : song().patterns[p].cells) {
            EXPECT_TRUE(effects.count(c.effect)) << "pattern " << p << " effect " << int(c.effect);
            const uint8_t v = c.volume_column;
            EXPECT_TRUE(v == 0 || (v >= 0x10 && v <= 0x50) || v >= 0x60) << "pattern " << p << " volume " << int(v);
            EXPECT_TRUE(c.note <= 97) << "pattern " << p;
        }
}

TEST(SongGen, EveryInstrumentIsPlayedAndNoneIsACopy) {
    const xm::Module& m = song();
    std::set<int> played;
    for (uint8_t o : m.orders)
        for (const xm::Cell& c : m.patterns[o].cells)
            if (c.instrument) {
                EXPECT_LE(c.instrument, m.instruments.size());
                played.insert(c.instrument);
            }
    for (size_t i = 1; i <= m.instruments.size(); ++i) EXPECT_TRUE(played.count(static_cast<int>(i))) << m.instruments[i - 1].name << " is never played";

    for (size_t a = 0; a < m.instruments.size(); ++a) {
        const xm::Instrument& ia = m.instruments[a];
        ASSERT_EQ(ia.samples.size(), 1u) << ia.name;
        const xm::Sample& s = ia.samples[0];
        EXPECT_FALSE(s.values.empty()) << ia.name;
        if (s.loop != xm::Loop::none) {
            EXPECT_LE(uint64_t(s.loop_start) + s.loop_length, s.values.size()) << ia.name;
        }
        EXPECT_LE(ia.volume_envelope.points.size(), 12u) << ia.name;
        EXPECT_LE(ia.panning_envelope.points.size(), 12u) << ia.name;
        for (size_t b = a + 1; b < m.instruments.size(); ++b)
            EXPECT_NE(s.values, m.instruments[b].samples[0].values) << ia.name << " and " << m.instruments[b].name << " share a sample";
    }
}

// The title jumps on the beat rows: from order 7 on, every main-section pattern has its kick
// there and nowhere else.
TEST(SongGen, MainSectionKickIsOnTheBeatRows) {
    const std::set<int> beats(std::begin(BEAT_ROWS), std::end(BEAT_ROWS));
    for (int order : {7, 8, 9, 15, 16, 17, 18, 19}) {
        const int p = song().orders[static_cast<size_t>(order)];
        for (int row = 0; row < 64; ++row) {
            const bool struck = cell(p, row, 0).note != 0 && cell(p, row, 0).note != 97;
            EXPECT_EQ(struck, beats.count(row) == 1) << "order " << order << " row " << row;
        }
    }
}

// The song is also the engine's showcase: every effect, volume command, envelope kind, loop
// kind and sample width the engine plays is heard somewhere.
TEST(SongGen, ExercisesEveryFeatureTheEnginePlays) {
    const xm::Module& m = song();
    auto any_cell = [&m](auto predicate) {
        for (const xm::Pattern& p : m.patterns)
            for (const xm::Cell& c : p.cells)
                if (predicate(c)) return true;
        return false;
    };
    auto any_instrument = [&m](auto predicate) {
        for (const xm::Instrument& i : m.instruments)
            if (predicate(i)) return true;
        return false;
    };
    auto volume_command = [&any_cell](int low, int high) {
        return any_cell([=](const xm::Cell& c) { return c.volume_column >= low && c.volume_column <= high; });
    };
    auto effect = [&any_cell](int number) {
        return any_cell([=](const xm::Cell& c) { return c.effect == number && (number != 0 || c.effect_param != 0); });
    };
    const struct {
        const char* feature;
        bool used;
    } features[] = {
        {"arpeggio", effect(0x0)},
        {"tone portamento", effect(0x3)},
        {"vibrato with volume slide", effect(0x6)},
        {"volume slide", effect(0xA)},
        {"set volume", effect(0xC)},
        {"key-off effect", effect(0x14)},
        {"key-off note", any_cell([](const xm::Cell& c) { return c.note == 97; })},
        {"volume column: set volume", volume_command(0x10, 0x50)},
        {"volume column: slide down", volume_command(0x60, 0x6F)},
        {"volume column: slide up", volume_command(0x70, 0x7F)},
        {"volume column: fine slide down", volume_command(0x80, 0x8F)},
        {"volume column: fine slide up", volume_command(0x90, 0x9F)},
        {"volume column: vibrato speed", volume_command(0xA0, 0xAF)},
        {"volume column: vibrato depth", volume_command(0xB0, 0xBF)},
        {"volume column: set panning", volume_command(0xC0, 0xCF)},
        {"volume column: panning slide", volume_command(0xD0, 0xDF)},
        {"volume column: panning slide the other way", volume_command(0xE0, 0xEF)},
        {"volume column: tone portamento", volume_command(0xF0, 0xFF)},
        {"volume envelope with sustain", any_instrument([](const xm::Instrument& i) { return (i.volume_envelope.type & 3) == 3; })},
        {"volume envelope with loop", any_instrument([](const xm::Instrument& i) { return (i.volume_envelope.type & 5) == 5; })},
        {"panning envelope", any_instrument([](const xm::Instrument& i) { return i.panning_envelope.type & 1; })},
        {"fade-out", any_instrument([](const xm::Instrument& i) { return i.fadeout != 0; })},
        {"auto-vibrato", any_instrument([](const xm::Instrument& i) { return i.vibrato_depth != 0 && i.vibrato_rate != 0; })},
        {"forward loop", any_instrument([](const xm::Instrument& i) { return i.samples[0].loop == xm::Loop::forward; })},
        {"ping-pong loop", any_instrument([](const xm::Instrument& i) { return i.samples[0].loop == xm::Loop::pingpong; })},
        {"8-bit sample", any_instrument([](const xm::Instrument& i) { return !i.samples[0].sixteen_bit; })},
        {"16-bit sample", any_instrument([](const xm::Instrument& i) { return i.samples[0].sixteen_bit; })},
    };
    for (const auto& f : features) EXPECT_TRUE(f.used) << f.feature << " is never used";
}

}  // namespace
