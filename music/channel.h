#pragma once
// Per-channel music state and the per-tick operations on it: instrument reset, volume column,
// envelopes, portamento, vibrato, auto-vibrato, and the voice update that turns a channel's
// state into its mixer voice's sample, step and levels.

#include <cstdint>

namespace music {

struct Instrument;
struct EnvelopePoint;
struct Sample;
struct Song;
struct Voice;

constexpr uint8_t UPDATE_FREQUENCY = 1;
constexpr uint8_t UPDATE_VOLUME = 2;
constexpr uint8_t UPDATE_PANNING = 4;
constexpr uint8_t UPDATE_TRIGGER = 8;  // start the note on a fresh voice

constexpr int32_t CHANNEL_COUNT = 32;

struct EnvelopeState {
    int32_t tick;         // ticks since the envelope started (the x coordinate)
    int32_t point;        // next envelope point
    int32_t value_fixed;  // 16.16
    int32_t value;        // 0..64
    int32_t slope;        // 16.16 change per tick
    uint8_t finished;     // 1 once the last point is reached
};

struct ChannelState {
    uint8_t map_note;      // note - 1 of the last note taken
    uint8_t update_flags;  // UPDATE_* bits for update_voice this tick
    Voice* voice;          // voice i or i + 32, alternating on each trigger
    int32_t period;        // linear units: 64 per semitone, larger = lower
    int32_t volume;        // 0..64 (set volume may store up to 255)
    int32_t panning;       // 0..255 as set; slides do not clamp it
    int32_t period_offset; // vibrato, arpeggio, auto-vibrato for this tick
    EnvelopeState volume_env;
    EnvelopeState panning_env;
    int32_t fadeout_volume;  // 65536 after a reset, falls once the key is released
    int32_t auto_vibrato_position;  // 0..255
    int32_t auto_vibrato_sweep;     // ticks since the reset, capped at the sweep
    uint8_t key_released;
    uint8_t instrument_index;
    int32_t note_period;  // period of the last note; tone portamento target
    uint8_t volume_slide_param;
    int32_t porta_target;
    uint8_t porta_speed;
    int8_t vibrato_position;  // -32..31
    uint8_t vibrato_speed;
    uint8_t vibrato_depth;
};

extern ChannelState channels[CHANNEL_COUNT];

// round(256 x |sin(pi x p / 32)|) for the vibrato phase p = -32..31.
int32_t vibrato_magnitude(int32_t phase);
// The auto-vibrato waveform value for phase 0..255; types above 3 use the sine.
int32_t auto_vibrato_wave(uint8_t type, int32_t phase);
// Period of a played note (0..255) for songs without the linear table; larger = lower.
int32_t amiga_period(int32_t played_note, int8_t finetune);

void reset_for_instrument(ChannelState* channel, const Sample* sample);
void apply_volume_column(ChannelState* channel, uint8_t volume_column);
// Volume slides by x: up to at most 64, down to at least 0.
void slide_volume_up(ChannelState* channel, int32_t x);
void slide_volume_down(ChannelState* channel, int32_t x);
// Volume-column panning slide by delta: not clamped to 0..255, saturating at the 32-bit range.
void slide_panning(ChannelState* channel, int32_t delta);
void envelope_step(ChannelState* channel, EnvelopeState* env, const EnvelopePoint* points,
                   uint8_t count, uint8_t flags, uint8_t sustain, uint8_t loop_start,
                   uint8_t loop_end, uint8_t bit);
void portamento_step(ChannelState* channel);
void vibrato_step(ChannelState* channel);
void auto_vibrato_step(ChannelState* channel, const Instrument* instrument);
void update_voice(ChannelState* channel, const Sample* sample, const Song* song);

}  // namespace music
