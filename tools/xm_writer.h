#pragma once
// Builds XM module files in code: the song composer's back end and the test fixtures' source.
// Describe the module with plain values (natural sample values, cell grids, envelopes in
// points); write_xm packs the patterns, delta-encodes the samples and lays out the headers.
// The *_field overrides write a value into a header without changing the layout, so tests can
// build files that lie about themselves.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace xm {

struct Cell {
    uint8_t note = 0;  // 1..96, 97 key-off
    uint8_t instrument = 0;
    uint8_t volume_column = 0;
    uint8_t effect = 0;
    uint8_t effect_param = 0;
};

struct Pattern {
    uint16_t rows = 64;
    std::vector<Cell> cells;  // rows x channels, row after row; missing cells are empty
    // Written in place of the packed cells when set (for hand-made byte sequences).
    std::optional<std::vector<uint8_t>> raw_data;
    bool store_empty = false;  // packed size 0 and no cell bytes
    uint32_t header_length = 9;
    std::optional<uint16_t> packed_size_field;
};

struct EnvelopePoint {
    uint16_t x = 0;
    uint16_t y = 0;
};

struct Envelope {
    std::vector<EnvelopePoint> points;  // at most 12 are written
    uint8_t sustain_point = 0;
    uint8_t loop_start = 0;
    uint8_t loop_end = 0;
    uint8_t type = 0;  // bit 0 on, bit 1 sustain, bit 2 loop
    std::optional<uint8_t> point_count_field;
};

enum class Loop : uint8_t { none = 0, forward = 1, pingpong = 2 };

struct Sample {
    std::vector<int32_t> values;  // natural values: -128..127 for 8-bit, -32768..32767 for 16-bit
    bool sixteen_bit = false;
    Loop loop = Loop::none;
    uint32_t loop_start = 0;   // in sample values
    uint32_t loop_length = 0;  // in sample values
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relative_note = 0;
    std::string name;
    // Raw header values in bytes, written instead of the ones derived above.
    std::optional<uint32_t> length_field, loop_start_field, loop_length_field;
    std::optional<uint8_t> type_field;
    // Written in place of the encoded values when set.
    std::optional<std::vector<uint8_t>> raw_data;
};

struct Instrument {
    std::string name;
    std::vector<Sample> samples;
    uint8_t note_to_sample[96] = {};
    Envelope volume_envelope;
    Envelope panning_envelope;
    uint8_t vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
    uint16_t fadeout = 0;
    uint32_t header_size = 0;  // 0: 263 with samples, 29 without; larger sizes are zero-padded
    std::optional<uint32_t> header_size_field;
    uint32_t sample_header_size = 40;
    std::optional<uint16_t> sample_count_field;
};

struct Module {
    std::string name;
    std::string tracker = "brusk";
    uint16_t version = 0x0104;
    uint32_t header_size = 276;  // counted from offset 60; larger sizes are zero-padded
    std::optional<uint32_t> header_size_field;
    std::vector<uint8_t> orders;  // up to 256
    std::optional<uint16_t> song_length_field;  // default: orders.size()
    uint16_t restart_position = 0;
    uint16_t channels = 4;
    uint16_t flags = 1;  // linear frequency table
    uint16_t speed = 6;
    uint16_t bpm = 125;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
    std::optional<uint16_t> pattern_count_field, instrument_count_field;
    std::string identification = "Extended Module: ";  // exactly 17 characters are written
};

std::vector<uint8_t> write_xm(const Module& module);

// The packed form of one pattern's cells (what write_xm stores after the pattern header).
std::vector<uint8_t> pack_cells(const std::vector<Cell>& cells, size_t count);

}  // namespace xm
