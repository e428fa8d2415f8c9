#include "tools/songgen.h"

#include <cmath>

// An interim song for the show: a minor four-chord loop (Am F C G) in 18 patterns of 64 rows,
// with synthesised drums, bass, pad, arpeggio and lead. Every sound is computed here, so the
// module needs no recorded material.
namespace songgen {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int CHANNELS = 14;
constexpr int ROWS = 64;

enum Instrument : uint8_t { KICK = 1, SNARE, HAT, BASS, PAD, ARP, LEAD };
enum Channel { CH_KICK, CH_SNARE, CH_HAT, CH_BASS, CH_PAD0, CH_PAD1, CH_PAD2, CH_ARP, CH_LEAD, CH_ECHO };

// A small fixed generator for the noise sounds, so the song never depends on a library's.
struct Noise {
    uint32_t state = 0x1234567u;
    double next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
    }
};

int32_t to_8bit(double v) { return static_cast<int32_t>(std::lrint(std::fmax(-1.0, std::fmin(1.0, v)) * 127.0)); }
int32_t to_16bit(double v) {
    return static_cast<int32_t>(std::lrint(std::fmax(-1.0, std::fmin(1.0, v)) * 32767.0));
}

xm::Instrument one_sample(const char* name, xm::Sample sample) {
    xm::Instrument ins;
    ins.name = name;
    ins.samples.push_back(std::move(sample));
    return ins;
}

xm::Envelope envelope(std::initializer_list<xm::EnvelopePoint> points, uint8_t type, uint8_t sustain = 0) {
    xm::Envelope e;
    e.points = points;
    e.type = type;
    e.sustain_point = sustain;
    return e;
}

// Drums are one-shot 8-bit sounds played at C-4 (8363 values per second).
xm::Instrument kick() {
    xm::Sample s;
    double phase = 0;
    for (int i = 0; i < 3200; ++i) {
        const double t = i / 8363.0;
        phase += 2 * PI * (45.0 + 120.0 * std::exp(-t * 30.0)) / 8363.0;
        s.values.push_back(to_8bit(std::sin(phase) * std::exp(-t * 9.0)));
    }
    return one_sample("kick", s);
}

xm::Instrument snare() {
    xm::Sample s;
    Noise noise;
    for (int i = 0; i < 2400; ++i) {
        const double t = i / 8363.0;
        const double body = std::sin(2 * PI * 185.0 * t) * std::exp(-t * 30.0);
        s.values.push_back(to_8bit(0.6 * noise.next() * std::exp(-t * 14.0) + 0.5 * body));
    }
    s.volume = 48;
    return one_sample("snare", s);
}

xm::Instrument hat() {
    xm::Sample s;
    Noise noise;
    noise.state = 0xBEEFu;
    double previous = 0;
    for (int i = 0; i < 700; ++i) {
        const double n = noise.next();
        s.values.push_back(to_8bit((n - previous) * 0.5 * std::exp(-i / 8363.0 * 40.0)));  // high-passed
        previous = n;
    }
    s.volume = 32;
    return one_sample("hat", s);
}

// Tonal sounds are 16-bit loops of whole cycles, 32 values per cycle: C-4 plays 8363 values
// per second, 261 cycles, so every note sounds at its own pitch.
template <typename Wave>
xm::Sample cycle_loop(Wave wave, int cycles, xm::Loop loop) {
    xm::Sample s;
    s.sixteen_bit = true;
    for (int i = 0; i < 32 * cycles; ++i) s.values.push_back(to_16bit(wave(i / 32.0)));
    s.loop = loop;
    s.loop_start = 0;
    s.loop_length = static_cast<uint32_t>(s.values.size());
    return s;
}

xm::Instrument bass() {
    // A saw with its brightest partials tamed, for a round low end.
    auto wave = [](double x) {
        double v = 0;
        for (int k = 1; k <= 6; ++k) v += std::sin(2 * PI * k * x) / k * (k == 1 ? 1.0 : 0.7);
        return v * 0.5;
    };
    xm::Instrument ins = one_sample("bass", cycle_loop(wave, 1, xm::Loop::forward));
    ins.volume_envelope = envelope({{0, 64}, {6, 48}, {30, 30}, {60, 0}}, 1);
    return ins;
}

xm::Instrument pad() {
    // A triangle swept back and forth by the ping-pong loop.
    auto wave = [](double x) {
        const double f = x - std::floor(x);
        return (f < 0.5 ? 4 * f - 1 : 3 - 4 * f) * 0.6 + std::sin(2 * PI * 2 * x) * 0.15;
    };
    xm::Instrument ins = one_sample("pad", cycle_loop(wave, 4, xm::Loop::pingpong));
    ins.samples[0].volume = 40;
    ins.volume_envelope = envelope({{0, 0}, {40, 64}, {80, 44}}, 3, 2);
    ins.fadeout = 600;
    ins.vibrato_type = 0;
    ins.vibrato_sweep = 40;
    ins.vibrato_depth = 3;
    ins.vibrato_rate = 6;
    return ins;
}

xm::Instrument arp() {
    auto wave = [](double x) { return std::sin(2 * PI * x) * 0.7 + std::sin(2 * PI * 3 * x) * 0.2; };
    xm::Instrument ins = one_sample("arp", cycle_loop(wave, 1, xm::Loop::forward));
    ins.samples[0].volume = 44;
    ins.volume_envelope = envelope({{0, 64}, {8, 30}, {24, 0}}, 1);
    return ins;
}

xm::Instrument lead() {
    auto wave = [](double x) {
        double v = 0;
        for (int k = 1; k <= 9; k += 2) v += std::sin(2 * PI * k * x) / k;  // a soft square
        return v * 0.6;
    };
    xm::Instrument ins = one_sample("lead", cycle_loop(wave, 1, xm::Loop::forward));
    ins.samples[0].volume = 50;
    ins.volume_envelope = envelope({{0, 64}, {10, 52}, {40, 40}}, 3, 2);
    ins.fadeout = 1200;
    ins.vibrato_type = 0;
    ins.vibrato_sweep = 20;
    ins.vibrato_depth = 4;
    ins.vibrato_rate = 10;
    return ins;
}

uint8_t note(int octave, int semitone) { return static_cast<uint8_t>(octave * 12 + semitone + 1); }

// The loop Am F C G: chord tones as semitones above C.
struct Chord {
    int root;
    int third;
    int fifth;
};
constexpr Chord CHORDS[4] = {{9, 12, 16}, {5, 9, 12}, {0, 4, 7}, {7, 11, 14}};
constexpr int SCALE[7] = {9, 11, 12, 14, 16, 17, 19};  // A minor, from A

// Pattern kinds in song order: intro, groove, full, breakdown, build.
enum Kind { INTRO, GROOVE, FULL, BREAK, BUILD };

Kind kind_of(int pattern) {
    if (pattern < 4) return INTRO;
    if (pattern < 8) return GROOVE;
    if (pattern < 12) return FULL;
    if (pattern < 16) return BREAK;
    return BUILD;
}

xm::Pattern make_pattern(int index) {
    xm::Pattern p;
    p.rows = ROWS;
    p.cells.resize(ROWS * CHANNELS);
    auto at = [&](int row, int channel) -> xm::Cell& { return p.cells[row * CHANNELS + channel]; };
    const Chord chord = CHORDS[index % 4];
    const Kind kind = kind_of(index);
    const bool drums = kind == GROOVE || kind == FULL || kind == BUILD;

    // Pad: the chord held for the whole pattern, released near its end.
    const int pad_notes[3] = {chord.root, chord.third, chord.fifth};
    for (int v = 0; v < 3; ++v) {
        at(0, CH_PAD0 + v) = {note(4, pad_notes[v]), PAD, static_cast<uint8_t>(kind == BREAK ? 0x50 : 0x40), 0, 0};
        at(60, CH_PAD0 + v).note = 97;
    }

    for (int row = 0; row < ROWS; ++row) {
        const int beat = row % 16;
        if (drums) {
            if (beat == 0 || beat == 8 || (kind == BUILD && row % 4 == 0) || (kind == FULL && beat == 10))
                at(row, CH_KICK) = {note(4, 0), KICK, 0, 0, 0};
            if (beat == 4 || beat == 12 || (kind == BUILD && row >= 48 && row % 2 == 0))
                at(row, CH_SNARE) = {note(4, 0), SNARE, static_cast<uint8_t>(kind == BUILD ? 0x10 + 24 + row / 2 : 0), 0, 0};
            if (row % 2 == 0) at(row, CH_HAT) = {note(4, 12), HAT, static_cast<uint8_t>(row % 4 == 0 ? 0x40 : 0x28), 0, 0};
            // Bass on the eighths, octave jumps on the off-beats.
            if (row % 4 == 0 || row % 8 == 6)
                at(row, CH_BASS) = {note(row % 8 == 6 ? 3 : 2, chord.root), BASS, 0, 0, 0};
        }
        // Arpeggio up and down the chord in sixteenths, not in the groove patterns.
        if (kind != GROOVE && row % 2 == 0) {
            static constexpr int ORDER[4] = {0, 1, 2, 1};
            const int tone = pad_notes[ORDER[(row / 2) % 4]];
            const int octave = kind == BREAK ? 6 : 5;
            at(row, CH_ARP) = {note(octave, tone), ARP, static_cast<uint8_t>(kind == INTRO ? 0x10 + 16 + row / 2 : 0), 0, 0};
        }
    }

    // Lead: a phrase of chord tones and passing notes, a fresh variation in each pattern.
    if (kind == FULL || kind == BUILD) {
        static constexpr int RHYTHM[8] = {0, 6, 12, 16, 24, 32, 40, 52};
        for (int i = 0; i < 8; ++i) {
            const int degree = (index * 3 + i * 2 + (i == 7 ? 1 : 0)) % 7;
            const int pitch = i % 2 == 0 ? pad_notes[(i / 2) % 3] : SCALE[degree];
            at(RHYTHM[i], CH_LEAD) = {note(5, pitch), LEAD, 0, 0, 0};
            at(RHYTHM[i] + 3, CH_ECHO) = {note(5, pitch), LEAD, 0x10 + 20, 0, 0};  // a quiet echo
        }
        at(62, CH_LEAD).note = 97;
    }
    return p;
}

}  // namespace

xm::Module compose() {
    xm::Module m;
    m.name = "brusk interim";
    m.tracker = "brusk-songgen";
    m.channels = CHANNELS;
    m.flags = 1;
    m.speed = 5;
    m.bpm = 125;
    m.restart_position = 0;
    // 26 order positions over 18 patterns: intro, groove, full, breakdown, build, groove, full.
    for (int i = 0; i < 18; ++i) m.orders.push_back(static_cast<uint8_t>(i));
    for (int i = 4; i < 12; ++i) m.orders.push_back(static_cast<uint8_t>(i));
    for (int i = 0; i < 18; ++i) m.patterns.push_back(make_pattern(i));
    m.instruments = {kick(), snare(), hat(), bass(), pad(), arp(), lead()};  // every note maps to sample 0
    return m;
}

}  // namespace songgen
