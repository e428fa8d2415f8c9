#pragma once
// The song model every part of the music works on, and the XM loader that fills it. Loading
// converts everything the mixer would otherwise redo per frame: 16-bit delta-decoded sample
// data with 8 spare values, loop points in samples, a whole-sample loop region for unlooped
// samples, the key-off marker, the doubled fade-out.

#include <cstdint>

namespace music {

struct ModuleStream;

constexpr uint8_t KEY_OFF = 255;
constexpr uint8_t LOOP_NONE = 1;
constexpr uint8_t LOOP_FORWARD = 2;
constexpr uint8_t LOOP_PINGPONG = 4;

struct EnvelopePoint {
    uint16_t x;  // tick
    uint16_t y;  // value 0..64
};

struct NoteCell {
    uint8_t note;  // 0 none, 1..96 C-0 upward, KEY_OFF
    uint8_t instrument;
    uint8_t volume_column;
    uint8_t effect;
    uint8_t effect_param;
};
static_assert(sizeof(NoteCell) == 5);

struct Pattern {
    int32_t row_count;
    NoteCell* cells;  // row_count x channel_count, row after row
};

struct Sample {
    int16_t* data;  // length + 8 values, delta-decoded; null when length is 0
    uint32_t length;
    uint32_t loop_start;
    uint32_t loop_length;  // never 0 after loading
    uint8_t volume;
    int8_t finetune;
    int32_t panning;
    uint8_t bits;
    uint8_t loop_type;
    int8_t relative_note;
};

struct Instrument {
    int32_t sample_count;
    Sample* samples[16];  // unused slots refer to empty_sample
    uint8_t note_to_sample[96];
    EnvelopePoint volume_envelope[12];
    EnvelopePoint panning_envelope[12];
    // The 16 bytes from here to fadeout are read from the file in one piece.
    uint8_t volume_point_count;
    uint8_t panning_point_count;
    uint8_t volume_sustain_point;
    uint8_t volume_loop_start;
    uint8_t volume_loop_end;
    uint8_t panning_sustain_point;
    uint8_t panning_loop_start;
    uint8_t panning_loop_end;
    uint8_t volume_envelope_type;  // bit 0 on, bit 1 sustain, bit 2 loop
    uint8_t panning_envelope_type;
    uint8_t vibrato_type;
    uint8_t vibrato_sweep;
    uint8_t vibrato_depth;
    uint8_t vibrato_rate;
    uint16_t fadeout;  // the file's value doubled (16-bit wrap)
};

struct Song;
using TickHandler = void (*)(Song*);

struct Song {
    Pattern* patterns;
    Instrument* instruments;
    int32_t samples_to_tick;
    int32_t samples_per_tick;
    int16_t song_length;
    int16_t restart_position;
    int16_t channel_count;
    int32_t used_pattern_count;
    int32_t pattern_count;
    int16_t instrument_count;
    uint16_t flags;  // bit 0: linear frequency table
    int16_t default_speed;
    int16_t default_bpm;
    uint8_t order_table[256];
    uint8_t initial_global_volume;
    int32_t global_volume;
    int32_t tick, speed, bpm, row, order;
    int32_t next_row, next_order;  // -1 for none
    TickHandler tick_handler;  // run by the mixer once per tick; load_song installs the engine
};

extern Sample empty_sample;
extern Instrument empty_instrument;

// Reads a module through the installed file callbacks into a new Song; null on failure (see
// load_error()). The song has no tick handler yet: load_song (playback.h) makes the engine its
// handler, and free_song there ends playback before release_song.
Song* read_song(const void* name);
bool parse_xm(Song* song, ModuleStream* stream);
void release_song(Song* song);  // the song's memory only: nothing may be playing it; null is accepted

// A short reason for the last failed load ("not an XM module", "truncated file", ...).
const char* load_error();

}  // namespace music
