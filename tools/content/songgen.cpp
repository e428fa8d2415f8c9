#include "tools/content/songgen.h"

#include "tools/content/songgen_model.h"

// Hands the composition (songgen_score.cpp, with the sounds of songgen_sounds.cpp) to the XM
// writer: one sample per instrument, every note mapped to it.
namespace songgen {

namespace {

xm::Envelope to_xm(const EnvelopeDef& e) {
    xm::Envelope out;
    if (e.points.empty()) return out;
    for (const EnvelopeDef::Point& p : e.points) out.points.push_back({p.tick, p.value});
    out.type = 1;
    if (e.sustain >= 0) {
        out.type |= 2;
        out.sustain_point = static_cast<uint8_t>(e.sustain);
    }
    if (e.loop_start >= 0) {
        out.type |= 4;
        out.loop_start = static_cast<uint8_t>(e.loop_start);
        out.loop_end = static_cast<uint8_t>(e.loop_end);
    }
    return out;
}

xm::Sample to_xm(const SampleDef& s, const std::string& name) {
    xm::Sample out;
    // 8-bit samples were quantised to their high byte when they were made
    for (int16_t v : s.data) out.values.push_back(s.sixteen_bit ? v : v / 256);
    out.sixteen_bit = s.sixteen_bit;
    out.loop = s.loop == Loop::forward ? xm::Loop::forward : s.loop == Loop::pingpong ? xm::Loop::pingpong : xm::Loop::none;
    out.loop_start = s.loop == Loop::none ? 0 : s.loop_start;
    out.loop_length = s.loop == Loop::none ? 0 : s.loop_length;
    out.volume = s.volume;
    out.finetune = s.finetune;
    out.panning = s.panning;
    out.relative_note = s.relative_note;
    out.name = name;
    return out;
}

}  // namespace

xm::Module compose() {
    const SongDef song = compose_song();
    xm::Module m;
    m.name = song.name;
    m.orders = song.orders;
    m.restart_position = song.restart;
    m.channels = CHANNELS;
    m.flags = song.linear ? 1 : 0;
    m.speed = song.speed;
    m.bpm = song.bpm;
    for (const PatternDef& p : song.patterns) {
        xm::Pattern out;
        out.rows = ROWS;
        for (const auto& row : p.cells)
            for (const Cell& c : row) out.cells.push_back({c.note, c.instrument, c.volume, c.effect, c.param});
        m.patterns.push_back(std::move(out));
    }
    for (const InstrumentDef& i : song.instruments) {
        xm::Instrument out;
        out.name = i.name;
        out.samples.push_back(to_xm(i.sample, i.name));
        out.volume_envelope = to_xm(i.volume_envelope);
        out.panning_envelope = to_xm(i.panning_envelope);
        out.vibrato_type = i.vibrato_type;
        out.vibrato_sweep = i.vibrato_sweep;
        out.vibrato_depth = i.vibrato_depth;
        out.vibrato_rate = i.vibrato_rate;
        out.fadeout = i.fadeout;
        m.instruments.push_back(std::move(out));
    }
    return m;
}

}  // namespace songgen
