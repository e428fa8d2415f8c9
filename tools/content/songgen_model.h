#pragma once
// The composer's own description of the song: instruments with their synthesised samples,
// patterns of cells and the order table. songgen.cpp hands it to the XM writer.

#include <cstdint>
#include <string>
#include <vector>

namespace songgen {

constexpr int CHANNELS = 14;
constexpr int ROWS = 64;
constexpr int ROWS_PER_BAR = 16;

enum class Loop : uint8_t { none, forward, pingpong };

struct SampleDef {
    std::vector<int16_t> data;  // full 16-bit range; stored as 8-bit when sixteen_bit is false
    bool sixteen_bit = true;
    Loop loop = Loop::none;
    uint32_t loop_start = 0;  // in sample values
    uint32_t loop_length = 0;
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relative_note = 0;
};

struct EnvelopeDef {
    struct Point {
        uint16_t tick;
        uint16_t value;  // 0..64
    };
    std::vector<Point> points;  // none: envelope off
    int sustain = -1;           // point index, -1 for none
    int loop_start = -1, loop_end = -1;
};

struct InstrumentDef {
    std::string name;  // at most 22 characters
    SampleDef sample;
    EnvelopeDef volume_envelope, panning_envelope;
    uint8_t vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
    uint16_t fadeout = 0;  // as stored in the file
};

struct Cell {
    uint8_t note = 0;  // 1..96, 97 key-off
    uint8_t instrument = 0;
    uint8_t volume = 0;  // volume-column byte
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct PatternDef {
    Cell cells[ROWS][CHANNELS];
};

struct SongDef {
    std::string name;
    std::vector<uint8_t> orders;
    uint16_t restart = 0;
    uint16_t speed = 5, bpm = 125;
    bool linear = true;
    std::vector<PatternDef> patterns;
    std::vector<InstrumentDef> instruments;
};

// Builds the whole song; deterministic, depends on nothing but this program.
SongDef compose_song();

}  // namespace songgen
