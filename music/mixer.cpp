#include "music/mixer.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "music/song.h"
#include "shell/runtime.h"

namespace music {

Voice voices[VOICE_COUNT];

int32_t mix_rate = 44100;
int32_t block_frames = 884;
int32_t ring_frames = 88400;
int32_t block_count = 100;
int32_t ramp_frames = 128;
float ramp_frames_reciprocal = 1.0f / 128.0f;

float* mix_buffer = nullptr;
int16_t* wave_buffer = nullptr;
BlockInfo* block_info = nullptr;
int32_t fill_index = 0;
Song* current_song = nullptr;

namespace {

// Ping-pong reflections per boundary are bounded by the overshoot of one frame; this only
// guards against a voice whose state no engine update can produce.
constexpr int32_t MAX_REFLECTIONS = 4096;

void stop_voice(Voice& voice) {
    voice.sample = nullptr;
    voice.position_int = 0;
    voice.position_frac = 0;
}

}  // namespace

bool mixer_configure(int32_t rate) {
    if (rate < 1000 || rate > 384000) return false;
    mix_rate = rate;
    block_frames = ((rate * 20) / 1000 + 3) & ~3;
    ring_frames = (BUFFER_MS / 20) * block_frames * 2;
    block_count = ring_frames / block_frames;
    ramp_frames = (rate * 128) / 44100;
    ramp_frames_reciprocal = static_cast<float>(1.0 / ramp_frames);
    reset_voices();
    return true;
}

void reset_voices() {
    runtime::block_fill(voices, 0, static_cast<int32_t>(sizeof(voices)));
    for (int32_t i = 0; i < VOICE_COUNT; ++i) {
        voices[i].index = i;
        voices[i].step_int = 1;
    }
}

void fill_block() {
    Song* song = current_song;
    if (!song || !mix_buffer || !wave_buffer || !block_info) return;
    float* block = mix_buffer + static_cast<int64_t>(fill_index) * block_frames * 2;
    runtime::block_fill(block, 0, block_frames * 2 * static_cast<int32_t>(sizeof(float)));

    int32_t done = 0;
    int32_t pending = song->samples_to_tick;
    while (done < block_frames) {
        if (pending <= 0) {
            // Through the song's own handler (the engine, once loaded): the mixer is the clock
            // and knows nothing of what a tick does.
            if (song->tick_handler) song->tick_handler(song);
            // Read after the call: a tempo change on this tick already sets its length.
            pending = song->samples_per_tick;
            // A tick of no frames could never end the block.
            if (pending < 1) pending = 1;
        }
        const int32_t n = pending < block_frames - done ? pending : block_frames - done;
        mix_voices(block + static_cast<int64_t>(done) * 2, n);
        done += n;
        pending -= n;
    }
    // The show reads these bytes on its own thread, maybe while this block is refilled.
    BlockInfo& info = block_info[fill_index];
    store_block_byte(info.order, static_cast<uint8_t>(song->order));
    store_block_byte(info.row, static_cast<uint8_t>(song->row));
    song->samples_to_tick = pending;
    convert_block(wave_buffer + static_cast<int64_t>(fill_index) * block_frames * 2, block, block_frames);
    fill_index += 1;
    if (fill_index >= block_count) fill_index = 0;
}

namespace {

float interpolate(const int16_t* data, uint64_t position) {
    const uint32_t index = static_cast<uint32_t>(position >> 32);
    const float weight = static_cast<float>(static_cast<uint32_t>(position) >> 1) * 0x1p-31f;
    const float s0 = data[index];
    const float s1 = data[index + 1u];
    return s0 + weight * (s1 - s0);
}

#if defined(__SSE2__)
// data[index] and data[index + 1] as one little-endian 32-bit value.
int32_t sample_pair(const int16_t* data, uint32_t index) {
    int32_t pair;
    std::memcpy(&pair, data + index, sizeof pair);
    return pair;
}
#endif

// Adds `frames` frames of one voice from `position`, ramping the gains. Returns the position
// after the last frame; `gain_left/right` come back as reached.
uint64_t mix_ramp(float* out, int32_t frames, const int16_t* data, uint64_t position,
                  uint64_t increment, float& gain_left, float& gain_right, float step_left,
                  float step_right) {
    for (int32_t i = 0; i < frames; ++i) {
        const float v = interpolate(data, position);
        out[0] += v * gain_left;
        out[1] += v * gain_right;
        out += 2;
        gain_left += step_left;
        gain_right += step_right;
        position = (position & ~uint64_t{1}) + increment;
    }
    return position;
}

// Constant gains, two frames per iteration; an odd last frame uses the current gains.
// Clearing the lowest bit before each advance makes every position after the first equal to
// base + k x (increment with its lowest bit cleared), so the frames of a pair are computed
// from two independent positions instead of one serial chain.
uint64_t mix_constant(float* out, int32_t frames, const int16_t* data, uint64_t position,
                      uint64_t increment, float target_left, float target_right,
                      float current_left, float current_right) {
    if (frames <= 0) return position;
    const uint64_t even = increment & ~uint64_t{1};
    const uint64_t base = (position & ~uint64_t{1}) + (increment & 1);
    const int32_t paired = frames & ~1;
    {
        const float v = interpolate(data, position);  // frame 0 at the position itself
        const float gain_left = paired > 0 ? target_left : current_left;
        const float gain_right = paired > 0 ? target_right : current_right;
        out[0] += v * gain_left;
        out[1] += v * gain_right;
    }
    int32_t k = 1;
#if defined(__SSE2__)
    // Four frames at a time: the reads stay scalar, the arithmetic is the same IEEE single
    // precision in the same order, four lanes wide.
    {
        uint64_t p0 = base + even;
        const uint64_t stride4 = even * 4;
        const __m128 scale = _mm_set1_ps(0x1p-31f);
        const __m128 gain_left = _mm_set1_ps(target_left);
        const __m128 gain_right = _mm_set1_ps(target_right);
        // The low words of the four positions advance on their own, wrapping as they do in 64 bits.
        __m128i low_words = _mm_setr_epi32(static_cast<int32_t>(p0), static_cast<int32_t>(p0 + even),
                                           static_cast<int32_t>(p0 + 2 * even), static_cast<int32_t>(p0 + 3 * even));
        const __m128i low_stride = _mm_set1_epi32(static_cast<int32_t>(stride4));
        for (; k + 3 < paired; k += 4) {
            const uint64_t p1 = p0 + even;
            const uint64_t p2 = p1 + even;
            const uint64_t p3 = p2 + even;
            const uint32_t i0 = static_cast<uint32_t>(p0 >> 32);
            const uint32_t i1 = static_cast<uint32_t>(p1 >> 32);
            const uint32_t i2 = static_cast<uint32_t>(p2 >> 32);
            const uint32_t i3 = static_cast<uint32_t>(p3 >> 32);
            const __m128i fractions = _mm_srli_epi32(low_words, 1);
            low_words = _mm_add_epi32(low_words, low_stride);
            const __m128 weight = _mm_mul_ps(_mm_cvtepi32_ps(fractions), scale);
            // Each frame's two neighbouring values in one load: the lower one in the low half.
            const __m128i pairs = _mm_setr_epi32(sample_pair(data, i0), sample_pair(data, i1),
                                                 sample_pair(data, i2), sample_pair(data, i3));
            const __m128 s0 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16));
            const __m128 s1 = _mm_cvtepi32_ps(_mm_srai_epi32(pairs, 16));
            const __m128 v = _mm_add_ps(s0, _mm_mul_ps(weight, _mm_sub_ps(s1, s0)));
            const __m128 left = _mm_mul_ps(v, gain_left);
            const __m128 right = _mm_mul_ps(v, gain_right);
            float* o = out + 2 * k;
            _mm_storeu_ps(o, _mm_add_ps(_mm_loadu_ps(o), _mm_unpacklo_ps(left, right)));
            _mm_storeu_ps(o + 4, _mm_add_ps(_mm_loadu_ps(o + 4), _mm_unpackhi_ps(left, right)));
            p0 += stride4;
        }
    }
#endif
    uint64_t odd_position = base + static_cast<uint64_t>(k) * even;
    uint64_t even_position = odd_position + even;
    const uint64_t stride = even + even;
    for (; k + 1 < paired; k += 2) {
        const float v1 = interpolate(data, odd_position);
        const float v2 = interpolate(data, even_position);
        out[2 * k] += v1 * target_left;
        out[2 * k + 1] += v1 * target_right;
        out[2 * k + 2] += v2 * target_left;
        out[2 * k + 3] += v2 * target_right;
        odd_position += stride;
        even_position += stride;
    }
    for (; k < frames; ++k) {
        // The last frame of the pairs, and the odd last frame.
        const uint64_t at = base + static_cast<uint64_t>(k) * even;
        const float v = interpolate(data, at);
        const bool pair = k < paired;
        out[2 * k] += v * (pair ? target_left : current_left);
        out[2 * k + 1] += v * (pair ? target_right : current_right);
    }
    return base + static_cast<uint64_t>(frames) * even;
}

float level_gain(int32_t level) {
    return static_cast<float>(static_cast<double>(level) * static_cast<double>(GAIN_PER_LEVEL));
}

float current_gain(int32_t current) {
    return static_cast<float>(static_cast<double>(current) * static_cast<double>(GAIN_PER_CURRENT) *
                              static_cast<double>(GAIN_PER_LEVEL));
}

float ramp_step(int32_t difference) {
    if (difference == 0) return 0.0f;
    return static_cast<float>(static_cast<double>(difference) * static_cast<double>(GAIN_PER_LEVEL) *
                              static_cast<double>(ramp_frames_reciprocal));
}

// Moves a voice that reached its boundary back into its loop; false when it must stop.
bool handle_boundary(Voice& voice, const Sample& sample, uint64_t& position) {
    const uint32_t loop_start = sample.loop_start;
    const uint32_t loop_length = sample.loop_length;
    const uint32_t loop_end = loop_start + loop_length;
    if (sample.loop_type & LOOP_FORWARD) {
        // A pass whose rounded frame count stopped a fraction short of the end counts as
        // having reached it; wrapping from there could otherwise land below a loop start of 0.
        if (position < (static_cast<uint64_t>(loop_end) << 32)) position = static_cast<uint64_t>(loop_end) << 32;
        // Subtracting the length until the position is inside again, done in one step.
        uint32_t integer = static_cast<uint32_t>(position >> 32) - loop_length;
        if (integer >= loop_end) integer -= loop_length * ((integer - loop_end) / loop_length + 1);
        position = (static_cast<uint64_t>(integer) << 32) | static_cast<uint32_t>(position);
        return true;
    }
    if (sample.loop_type & LOOP_PINGPONG) {
        const uint64_t twice_start = static_cast<uint64_t>(loop_start) << 33;
        const uint64_t twice_end = static_cast<uint64_t>(loop_end) << 33;
        for (int32_t i = 0; i < MAX_REFLECTIONS; ++i) {
            if (voice.direction == DIRECTION_BACKWARD) {
                position = twice_start - position - 1;
                voice.direction = DIRECTION_FORWARD;
                if (static_cast<int32_t>(position >> 32) >= static_cast<int32_t>(loop_end)) continue;
            } else {
                position = twice_end - position - 1;
                voice.direction = DIRECTION_BACKWARD;
                if (static_cast<int32_t>(position >> 32) < static_cast<int32_t>(loop_start)) continue;
            }
            // A loop from 0 turned at its start lands just below 0 (index -1, whose weight in
            // the interpolation is nil); start from 0 instead of reading before the data.
            if (loop_start == 0 && static_cast<int32_t>(position >> 32) < 0) position = 0;
            return true;
        }
        return false;
    }
    return false;
}

void mix_voice(Voice& voice, float* destination, int32_t count) {
    const Sample& sample = *voice.sample;
    const uint32_t loop_start = sample.loop_start;
    const uint64_t loop_end = static_cast<uint64_t>(loop_start) + sample.loop_length;
    // The frame loop reads one value past any position inside the loop region, so the region
    // must lie inside the data and its spare values.
    if (!sample.data || sample.loop_length == 0 || loop_end + 1 >= static_cast<uint64_t>(sample.length) + 8) {
        stop_voice(voice);
        return;
    }
    const uint64_t step = (static_cast<uint64_t>(voice.step_int) << 32) | voice.step_frac;
    const uint32_t step8 = static_cast<uint32_t>(step >> 8);
    uint64_t position = (static_cast<uint64_t>(voice.position_int) << 32) | voice.position_frac;
    float* out = destination;
    int32_t remaining = count;

    while (remaining > 0) {
        int32_t frames = remaining;
        const bool backward = voice.direction == DIRECTION_BACKWARD;

        // Frames to the boundary, with one division per pass.
        bool boundary = false;
        const uint64_t distance =
            backward ? position - (static_cast<uint64_t>(loop_start) << 32) : (loop_end << 32) - position;
        if (static_cast<int64_t>(distance) < 0) {
            // Already past the boundary (the last pass overshot it by a fraction): turn now.
            frames = 0;
            boundary = true;
        } else if ((distance >> 32) < 16777216u) {
            const uint64_t distance8 = distance >> 8;
            uint64_t to_boundary;
            if (step8 != 0) {
                to_boundary = distance8 / step8 + (distance8 % step8 != 0 ? 1 : 0);
            } else if (step != 0) {
                // A step too small or too large for the 8.24 form: divide in full.
                to_boundary = distance / step + (distance % step != 0 ? 1 : 0);
            } else {
                to_boundary = UINT64_MAX;  // a voice that does not move never gets there
            }
            if (to_boundary <= static_cast<uint64_t>(frames)) {
                frames = static_cast<int32_t>(to_boundary);
                boundary = true;
                // Moving down to a loop start of 0, the rounded count may read just below
                // index 0 on its last frame; stop one frame earlier and turn on the next pass.
                if (backward && loop_start == 0 && frames >= 2 &&
                    static_cast<uint64_t>(frames - 1) * (step + 1) > distance) {
                    frames -= 1;
                    boundary = false;
                }
            }
        }

        // Ramp: a change of the target levels starts a new one from the levels reached.
        if (voice.ramp_frames_left == 0 || voice.level_left != voice.ramp_target_left ||
            voice.level_right != voice.ramp_target_right) {
            voice.ramp_target_left = voice.level_left;
            voice.ramp_target_right = voice.level_right;
            const int32_t d_left =
                voice.level_left - static_cast<int32_t>(static_cast<uint32_t>(voice.current_left) >> 8);
            const int32_t d_right =
                voice.level_right - static_cast<int32_t>(static_cast<uint32_t>(voice.current_right) >> 8);
            voice.ramp_step_left = ramp_step(d_left);
            voice.ramp_step_right = ramp_step(d_right);
            voice.ramp_frames_left = (d_left != 0 || d_right != 0) ? ramp_frames : 0;
        }
        const bool ramping = voice.ramp_frames_left != 0;
        if (ramping && frames > voice.ramp_frames_left) {
            frames = voice.ramp_frames_left;  // the pass ends where the ramp ends
            boundary = false;
        }

        const uint64_t increment = backward ? uint64_t{0} - step : step;
        float gain_left = current_gain(voice.current_left);
        float gain_right = current_gain(voice.current_right);
        if (ramping) {
            position = mix_ramp(out, frames, sample.data, position, increment, gain_left, gain_right,
                                voice.ramp_step_left, voice.ramp_step_right);
            if (frames > 0) {
                voice.current_left = runtime::float_to_int(static_cast<double>(gain_left) * 255.0 * 256.0);
                voice.current_right = runtime::float_to_int(static_cast<double>(gain_right) * 255.0 * 256.0);
            }
            voice.ramp_frames_left -= frames;
            if (voice.ramp_frames_left == 0) {
                // The ramp ends exactly on its targets.
                voice.ramp_step_left = 0.0f;
                voice.ramp_step_right = 0.0f;
                voice.current_left = voice.level_left * 256;
                voice.current_right = voice.level_right * 256;
            }
        } else {
            position = mix_constant(out, frames, sample.data, position, increment, level_gain(voice.level_left),
                                    level_gain(voice.level_right), gain_left, gain_right);
        }
        out += static_cast<int64_t>(frames) * 2;
        remaining -= frames;

        if (boundary) {
            if (!handle_boundary(voice, sample, position)) {
                stop_voice(voice);
                return;
            }
            continue;
        }
        // Otherwise the pass produced everything, or was cut short by a ramp's end (or just
        // before a turn) and the next pass goes on from here.
    }
    voice.position_int = static_cast<uint32_t>(position >> 32);
    voice.position_frac = static_cast<uint32_t>(position);
}

}  // namespace

void mix_voices(float* destination, int32_t count) {
    if (count < 1) return;
    for (int32_t i = 0; i < MIXED_VOICES; ++i) {
        if (voices[i].sample) mix_voice(voices[i], destination, count);
    }
}

void convert_block(int16_t* destination, const float* source, int32_t frames) {
    const int64_t values = static_cast<int64_t>(frames) * 2;
    int64_t i = 0;
#if defined(__SSE2__)
    // Clamp first (a float beyond 32 bits would convert to the integer indefinite), then
    // round with the default nearest-even mode, four values at a time.
    const __m128 low = _mm_set1_ps(-32768.0f);
    const __m128 high = _mm_set1_ps(32767.0f);
    for (; i + 8 <= values; i += 8) {
        const __m128 a = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(source + i), low), high);
        const __m128 b = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(source + i + 4), low), high);
        const __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), packed);
    }
#endif
    for (; i < values; ++i) {
        const float x = source[i];
        int32_t y;
        if (x >= 32767.0f) {
            y = 32767;
        } else if (x <= -32768.0f) {
            y = -32768;
        } else {
            y = static_cast<int32_t>(std::lrint(x));  // nearest, halves to even
        }
        destination[i] = static_cast<int16_t>(y);
    }
}

}  // namespace music
