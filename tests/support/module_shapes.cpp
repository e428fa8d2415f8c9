#include "tests/support/module_shapes.h"

#include <cmath>
#include <numbers>

namespace test_support {

namespace {

constexpr double LINEAR_TOLERANCE = 0.002;
// The other table's periods are whole numbers: near the top of the range one step is 0.4 %.
constexpr double AMIGA_TOLERANCE = 0.005;

// One cycle of a sine, looped forward.
xm::Sample sine_cycle(int cycle, bool sixteen_bit, int32_t amplitude) {
    xm::Sample s;
    s.sixteen_bit = sixteen_bit;
    for (int i = 0; i < cycle; ++i)
        s.values.push_back(static_cast<int32_t>(std::lround(amplitude * std::sin(2.0 * std::numbers::pi * i / cycle))));
    s.loop = xm::Loop::forward;
    s.loop_start = 0;
    s.loop_length = static_cast<uint32_t>(cycle);
    return s;
}

// A rising ramp whose ping-pong loop plays it up and down: a triangle of twice the loop length.
xm::Sample pingpong_ramp(int lead_in, int loop_length) {
    xm::Sample s;
    for (int i = 0; i < lead_in; ++i) s.values.push_back(0);
    for (int i = 0; i < loop_length; ++i) s.values.push_back(-100 + 200 * i / (loop_length - 1));
    s.loop = xm::Loop::pingpong;
    s.loop_start = static_cast<uint32_t>(lead_in);
    s.loop_length = static_cast<uint32_t>(loop_length);
    return s;
}

xm::Instrument instrument_of(xm::Sample sample) {
    xm::Instrument ins;
    ins.samples.push_back(std::move(sample));
    return ins;
}

xm::Instrument no_samples(uint32_t header_size) {
    xm::Instrument ins;
    ins.header_size = header_size;
    return ins;
}

// One pattern of `rows` rows with `note` of `instrument` on channel 0's first row.
xm::Module one_note(uint8_t note, uint8_t instrument, std::vector<xm::Instrument> instruments, uint16_t rows = 64) {
    xm::Module m;
    m.orders = {0};
    xm::Pattern p;
    p.rows = rows;
    p.cells.resize(static_cast<size_t>(rows) * m.channels);
    p.cells[0] = {note, instrument, 0, 0, 0};
    m.patterns.push_back(p);
    m.instruments = std::move(instruments);
    return m;
}

ModuleShape tone(std::string name, xm::Module m, double hz, double tolerance = LINEAR_TOLERANCE) {
    return {std::move(name), std::move(m), hz, tolerance, false};
}

}  // namespace

double tempered_hz(int played_note, double finetune_steps, int cycle) {
    return 8363.0 * std::exp2((played_note - 48 + finetune_steps / 128.0) / 12.0) / cycle;
}

std::vector<ModuleShape> module_shapes() {
    std::vector<ModuleShape> shapes;

    shapes.push_back(tone("linear table C-4", one_note(49, 1, {instrument_of(sine_cycle(64, true, 12000))}),
                          tempered_hz(48, 0, 64)));

    {
        xm::Module m = one_note(58, 1, {instrument_of(sine_cycle(64, true, 12000))});
        m.flags = 0;
        shapes.push_back(tone("Amiga table A-4", m, tempered_hz(57, 0, 64), AMIGA_TOLERANCE));
    }
    {
        xm::Module m = one_note(1, 1, {instrument_of(sine_cycle(16, false, 100))});
        m.flags = 0;
        shapes.push_back(tone("Amiga table C-0", m, tempered_hz(0, 0, 16), AMIGA_TOLERANCE));
    }
    {
        xm::Module m = one_note(96, 1, {instrument_of(sine_cycle(1024, true, 12000))});
        m.flags = 0;
        shapes.push_back(tone("Amiga table B-7", m, tempered_hz(95, 0, 1024), AMIGA_TOLERANCE));
    }

    shapes.push_back(tone("8-bit ping-pong loop from 0", one_note(61, 1, {instrument_of(pingpong_ramp(0, 128))}),
                          tempered_hz(60, 0, 256)));
    shapes.push_back(tone("8-bit ping-pong loop after a lead-in",
                          one_note(61, 1, {instrument_of(pingpong_ramp(37, 200))}), tempered_hz(60, 0, 400)));
    {
        // Ping-pong with the forward bit set as well, as some trackers store it.
        xm::Instrument ins = instrument_of(pingpong_ramp(0, 128));
        ins.samples[0].type_field = 3;
        shapes.push_back(tone("8-bit ping-pong with both loop bits", one_note(61, 1, {ins}), tempered_hz(60, 0, 256)));
    }

    {
        // Empty instruments of three header sizes, then sample instruments whose headers are
        // longer and shorter than usual and whose sample header size field is not 40.
        xm::Instrument longer = instrument_of(sine_cycle(64, true, 12000));
        longer.header_size = 300;
        longer.sample_header_size = 0;
        xm::Instrument shorter = instrument_of(sine_cycle(32, true, 12000));
        shorter.header_size = 243;
        shorter.sample_header_size = 64;
        xm::Module m = one_note(49, 4, {no_samples(29), no_samples(33), no_samples(263), longer, shorter});
        m.header_size = 300;
        shapes.push_back(tone("instrument headers of 29, 33, 263 and 300 bytes", m, tempered_hz(48, 0, 64)));
        m.patterns[0].cells[0].instrument = 5;
        shapes.push_back(tone("instrument header of 243 bytes, sample header size 64", m, tempered_hz(48, 0, 32)));
    }

    {
        // Notes on an instrument without samples and on one the file does not have.
        xm::Module m = one_note(49, 1, {no_samples(29), no_samples(263)});
        m.patterns[0].cells[1] = {49, 2, 0, 0, 0};
        m.patterns[0].cells[2] = {60, 9, 0, 0, 0};
        m.patterns[0].cells[4 * 8] = {50, 0, 0, 0, 0};
        shapes.push_back({"notes on instruments without samples", m, 0, 0, true});
    }

    {
        // Orders 0, 1, 2: one row, 256 rows, one row; fast, so one pass takes two seconds.
        xm::Module m = one_note(49, 1, {instrument_of(sine_cycle(64, true, 12000))}, 1);
        m.orders = {0, 1, 2};
        m.speed = 1;
        m.bpm = 255;
        xm::Pattern longest;
        longest.rows = 256;
        m.patterns.push_back(longest);
        xm::Pattern shortest;
        shortest.rows = 1;
        m.patterns.push_back(shortest);
        shapes.push_back(tone("patterns of 1 and 256 rows", m, tempered_hz(48, 0, 64)));
    }

    {
        xm::Module m;
        m.channels = 32;
        m.orders = {0};
        xm::Pattern p;
        p.cells.resize(64 * 32);
        for (uint8_t c = 0; c < 32; ++c) p.cells[c] = {49, 1, 0x10 + 4, 0, 0};  // volume 4 each
        m.patterns.push_back(p);
        m.instruments = {instrument_of(sine_cycle(64, true, 12000))};
        shapes.push_back(tone("32 channels", m, tempered_hz(48, 0, 64)));
    }

    shapes.push_back(
        tone("lowest note C-0", one_note(1, 1, {instrument_of(sine_cycle(16, true, 12000))}), tempered_hz(0, 0, 16)));
    shapes.push_back(tone("highest note B-7", one_note(96, 1, {instrument_of(sine_cycle(1024, true, 12000))}),
                          tempered_hz(95, 0, 1024)));
    {
        xm::Instrument down = instrument_of(sine_cycle(64, true, 12000));
        down.samples[0].finetune = -128;
        shapes.push_back(tone("finetune -128", one_note(49, 1, {down}), tempered_hz(48, -128, 64)));
        xm::Instrument up = instrument_of(sine_cycle(64, true, 12000));
        up.samples[0].finetune = 127;
        shapes.push_back(tone("finetune +127", one_note(49, 1, {up}), tempered_hz(48, 126, 64)));
    }
    {
        // Relative notes that carry the played note past either end: no pitch is defined,
        // but they must play without fault.
        xm::Instrument above = instrument_of(sine_cycle(64, true, 12000));
        above.samples[0].relative_note = 127;
        above.samples[0].finetune = 127;
        shapes.push_back({"B-7 raised by 127 semitones", one_note(96, 1, {above}), 0, 0, false});
        xm::Instrument below = instrument_of(sine_cycle(64, true, 12000));
        below.samples[0].relative_note = -128;
        below.samples[0].finetune = -128;
        shapes.push_back({"C-0 lowered by 128 semitones", one_note(1, 1, {below}), 0, 0, false});
        xm::Module amiga = one_note(1, 1, {below});
        amiga.flags = 0;
        shapes.push_back({"C-0 lowered by 128 semitones, Amiga table", amiga, 0, 0, false});
    }
    return shapes;
}

}  // namespace test_support
