#pragma once
// The software mixer: voices resampled into 16-bit stereo blocks, and the music's clock. While a
// block is filled the song's tick handler runs each time a tick's worth of frames is done, so
// effects land on exact frames.

#include <cstdint>

namespace music {

struct Sample;
struct Song;

constexpr int32_t DIRECTION_FORWARD = 1;
constexpr int32_t DIRECTION_BACKWARD = 2;

constexpr int32_t VOICE_COUNT = 256;
constexpr int32_t MIXED_VOICES = 64;  // only slots 0..63 are ever mixed
constexpr int32_t BUFFER_MS = 1000;

struct Voice {
    int32_t index;    // own slot number in `voices`
    int32_t volume;   // final volume 0..128, kept so a panning change can recompute the levels
    int32_t panning;  // final panning 0..255
    const Sample* sample;  // null: idle, skipped
    int32_t level_left;    // target levels, 0..255 scale
    int32_t level_right;
    uint32_t position_int;  // 32.32 position in the sample's data
    uint32_t position_frac;
    uint32_t step_frac;  // 32.32 step per output frame
    uint32_t step_int;
    int32_t direction;
    int32_t ramp_target_left;  // the levels the running ramp was computed for
    int32_t ramp_target_right;
    int32_t current_left;  // applied levels x 256
    int32_t current_right;
    float ramp_step_left;  // gain change per frame
    float ramp_step_right;
    int32_t ramp_frames_left;  // 0 when no ramp runs
};

struct BlockInfo {
    uint8_t order;  // low bytes of the play position when the block's last frame was mixed
    uint8_t row;
};

// The show reads a block's record on its own thread while the audio thread may refill it: each
// byte is stored and loaded whole, as an atomic (the compiler's own, which every toolchain that
// builds this has, where std::atomic_ref is not in every standard library yet).
inline void store_block_byte(uint8_t& byte, uint8_t value) { __atomic_store_n(&byte, value, __ATOMIC_RELAXED); }
inline uint8_t load_block_byte(const uint8_t& byte) { return __atomic_load_n(&byte, __ATOMIC_RELAXED); }

// Gain constants, single precision on purpose: the sound is defined by these exact values.
constexpr float GAIN_PER_LEVEL = 1.0f / 255.0f;
constexpr float GAIN_PER_CURRENT = 1.0f / 256.0f;

extern Voice voices[VOICE_COUNT];

extern int32_t mix_rate;       // output frames per second
extern int32_t block_frames;   // frames per block (20 ms, a multiple of 4)
extern int32_t ring_frames;    // frames in the whole output ring
extern int32_t block_count;    // blocks in the ring
extern int32_t ramp_frames;    // length of every level ramp
extern float ramp_frames_reciprocal;

// The output the mixer fills; playback (playback.h) allocates and releases all of it.
extern float* mix_buffer;       // ring_frames stereo float frames, 16-byte aligned
extern int16_t* wave_buffer;    // ring_frames stereo 16-bit frames
extern BlockInfo* block_info;   // block_count records
extern int32_t fill_index;      // the block fill_block fills next
extern Song* current_song;

// Sets the rate and everything derived from it, and resets the voices. False (nothing
// changed) for a rate the block and ramp arithmetic cannot work with.
bool mixer_configure(int32_t rate);
// Zero-fills every voice, then gives each its slot number and a step of 1.0.
void reset_voices();

// Mixes block fill_index of the current song, ticking it through its tick handler, and
// advances fill_index; nothing without a song and its output.
void fill_block();
void mix_voices(float* destination, int32_t count);
void convert_block(int16_t* destination, const float* source, int32_t frames);

}  // namespace music
