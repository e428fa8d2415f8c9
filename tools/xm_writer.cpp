#include "tools/xm_writer.h"

#include <algorithm>

namespace xm {

namespace {

struct Out {
    std::vector<uint8_t> bytes;
    void u8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) { u8(v); u8(v >> 8); }
    void u32(uint32_t v) { u16(v); u16(v >> 16); }
    void text(const std::string& s, size_t width, char pad = 0) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : static_cast<uint8_t>(pad));
    }
    void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
    // Pads with zeros until `size` bytes lie after `start`.
    void pad_to(size_t start, size_t size) {
        if (bytes.size() < start + size) zeros(start + size - bytes.size());
    }
};

void write_envelope_points(Out& out, const Envelope& e) {
    for (size_t i = 0; i < 12; ++i) {
        const EnvelopePoint p = i < e.points.size() ? e.points[i] : EnvelopePoint{};
        out.u16(p.x);
        out.u16(p.y);
    }
}

uint8_t point_count(const Envelope& e) {
    return e.point_count_field ? *e.point_count_field : static_cast<uint8_t>(std::min<size_t>(e.points.size(), 12));
}

// Delta encoding in the stored width: each stored value is the difference to the previous one.
std::vector<uint8_t> encode_sample(const Sample& s) {
    if (s.raw_data) return *s.raw_data;
    std::vector<uint8_t> bytes;
    int32_t previous = 0;
    for (int32_t v : s.values) {
        const uint32_t delta = static_cast<uint32_t>(v) - static_cast<uint32_t>(previous);
        previous = v;
        bytes.push_back(static_cast<uint8_t>(delta));
        if (s.sixteen_bit) bytes.push_back(static_cast<uint8_t>(delta >> 8));
    }
    return bytes;
}

}  // namespace

std::vector<uint8_t> pack_cells(const std::vector<Cell>& cells, size_t count) {
    Out out;
    for (size_t i = 0; i < count; ++i) {
        const Cell c = i < cells.size() ? cells[i] : Cell{};
        const uint8_t fields[5] = {c.note, c.instrument, c.volume_column, c.effect, c.effect_param};
        uint8_t mask = 0x80;
        for (int f = 0; f < 5; ++f)
            if (fields[f]) mask = static_cast<uint8_t>(mask | (1u << f));
        if (mask == 0x9F && c.note < 0x80) {
            for (uint8_t f : fields) out.u8(f);  // all five present: the unpacked form is as short
            continue;
        }
        out.u8(mask);
        for (int f = 0; f < 5; ++f)
            if (fields[f]) out.u8(fields[f]);
    }
    return out.bytes;
}

std::vector<uint8_t> write_xm(const Module& m) {
    Out out;
    out.text(m.identification, 17);
    out.text(m.name, 20, ' ');
    out.u8(0x1A);
    out.text(m.tracker, 20, ' ');
    out.u16(m.version);

    const size_t header_start = out.bytes.size();  // 60
    out.u32(m.header_size_field ? *m.header_size_field : m.header_size);
    out.u16(m.song_length_field ? *m.song_length_field : static_cast<uint16_t>(m.orders.size()));
    out.u16(m.restart_position);
    out.u16(m.channels);
    out.u16(m.pattern_count_field ? *m.pattern_count_field : static_cast<uint16_t>(m.patterns.size()));
    out.u16(m.instrument_count_field ? *m.instrument_count_field : static_cast<uint16_t>(m.instruments.size()));
    out.u16(m.flags);
    out.u16(m.speed);
    out.u16(m.bpm);
    for (size_t i = 0; i < 256; ++i) out.u8(i < m.orders.size() ? m.orders[i] : 0);
    out.pad_to(header_start, m.header_size);
    if (out.bytes.size() > header_start + m.header_size) out.bytes.resize(header_start + m.header_size);

    for (const Pattern& p : m.patterns) {
        const std::vector<uint8_t> packed =
            p.store_empty ? std::vector<uint8_t>{}
                          : p.raw_data ? *p.raw_data : pack_cells(p.cells, static_cast<size_t>(p.rows) * m.channels);
        out.u32(p.header_length);
        out.u8(0);
        out.u16(p.rows);
        out.u16(p.packed_size_field ? *p.packed_size_field : static_cast<uint16_t>(packed.size()));
        out.bytes.insert(out.bytes.end(), packed.begin(), packed.end());
    }

    for (const Instrument& ins : m.instruments) {
        const size_t start = out.bytes.size();
        const bool has_samples = !ins.samples.empty();
        const uint32_t size = ins.header_size ? ins.header_size : has_samples ? 263 : 29;
        out.u32(ins.header_size_field ? *ins.header_size_field : size);
        out.text(ins.name, 22);
        out.u8(0);  // type
        out.u16(ins.sample_count_field ? *ins.sample_count_field : static_cast<uint16_t>(ins.samples.size()));
        if (has_samples) {
            out.u32(ins.sample_header_size);
            for (uint8_t n : ins.note_to_sample) out.u8(n);
            write_envelope_points(out, ins.volume_envelope);
            write_envelope_points(out, ins.panning_envelope);
            out.u8(point_count(ins.volume_envelope));
            out.u8(point_count(ins.panning_envelope));
            for (const Envelope* e : {&ins.volume_envelope, &ins.panning_envelope}) {
                out.u8(e->sustain_point);
                out.u8(e->loop_start);
                out.u8(e->loop_end);
            }
            out.u8(ins.volume_envelope.type);
            out.u8(ins.panning_envelope.type);
            out.u8(ins.vibrato_type);
            out.u8(ins.vibrato_sweep);
            out.u8(ins.vibrato_depth);
            out.u8(ins.vibrato_rate);
            out.u16(ins.fadeout);
        }
        out.pad_to(start, size);
        if (out.bytes.size() > start + size) out.bytes.resize(start + size);

        std::vector<std::vector<uint8_t>> data;
        for (const Sample& s : ins.samples) {
            const uint32_t unit = s.sixteen_bit ? 2 : 1;
            const size_t header = out.bytes.size();
            out.u32(s.length_field ? *s.length_field : static_cast<uint32_t>(s.values.size()) * unit);
            out.u32(s.loop_start_field ? *s.loop_start_field : s.loop_start * unit);
            out.u32(s.loop_length_field ? *s.loop_length_field : s.loop_length * unit);
            out.u8(s.volume);
            out.u8(static_cast<uint8_t>(s.finetune));
            out.u8(s.type_field ? *s.type_field : static_cast<uint8_t>(static_cast<uint8_t>(s.loop) | (s.sixteen_bit ? 0x10 : 0)));
            out.u8(s.panning);
            out.u8(static_cast<uint8_t>(s.relative_note));
            out.u8(0);  // reserved
            out.text(s.name, 22);
            out.pad_to(header, 40);
            data.push_back(encode_sample(s));
        }
        for (const auto& d : data) out.bytes.insert(out.bytes.end(), d.begin(), d.end());
    }
    return out.bytes;
}

}  // namespace xm
