#include "music/channel.h"

#include <cmath>
#include <numbers>

#include "music/mixer.h"
#include "music/song.h"
#include "shell/runtime.h"

namespace music {

ChannelState channels[CHANNEL_COUNT];

namespace {

// round(256 x |sin(pi x p / 32)|) for p = 0..16; the rest follows by symmetry.
constexpr int32_t VIBRATO_QUARTER[17] = {0,   25,  50,  74,  98,  121, 142, 162, 181,
                                         198, 213, 226, 237, 245, 251, 255, 256};

// The largest voice volume a valid module reaches: channel volume 255 from the set-volume
// effect at full envelope. Envelope values beyond 64 from a damaged file stop here.
constexpr int32_t MAX_VOICE_VOLUME = 510;

int32_t clamp(int64_t value, int32_t low, int32_t high) {
    return value < low ? low : (value > high ? high : static_cast<int32_t>(value));
}

// An envelope whose points run backwards in x never meets its next point: its tick counts on
// and wraps round, as a 32-bit counter does, instead of overflowing.
int32_t next_tick(int32_t tick) { return static_cast<int32_t>(static_cast<uint32_t>(tick) + 1u); }

}  // namespace

int32_t vibrato_magnitude(int32_t phase) {
    int32_t p = phase < 0 ? -phase : phase;
    p &= 63;
    if (p > 32) p = 64 - p;
    return VIBRATO_QUARTER[p <= 16 ? p : 32 - p];
}

int32_t auto_vibrato_wave(uint8_t type, int32_t phase) {
    const int32_t q = phase & 255;
    switch (type) {
        case 1:
            return q < 128 ? 64 : -64;
        case 2:
            return (128 - ((q + 128) & 255)) >> 1;
        case 3:
            return (128 - ((384 - q) & 255)) >> 1;
        default:  // 0, and the types a valid file never has
            return runtime::float_to_int(64.0 * runtime::sin_double(2.0 * std::numbers::pi * q / 256.0));
    }
}

int32_t amiga_period(int32_t played_note, int8_t finetune) {
    // 1712 at C-4 (8362 Hz through 14317056 / period), halving per octave up; the finetune
    // moves by up to a semitone in 128 steps, as in the linear table.
    const double semitones = (played_note - 48) + finetune / 128.0;
    const int32_t period = runtime::float_to_int(1712.0 * std::exp2(-semitones / 12.0));
    return period < 1 ? 1 : period;
}

namespace {

// Back to its first point, running, at the value it holds until the first tick moves it.
void restart_envelope(EnvelopeState* envelope, int32_t value) {
    envelope->value = value;
    envelope->point = 0;
    envelope->tick = 0;
    envelope->slope = 0;
    envelope->finished = 0;
}

}  // namespace

void reset_for_instrument(ChannelState* channel, const Sample* sample) {
    channel->volume = sample->volume;
    channel->panning = sample->panning;
    restart_envelope(&channel->volume_env, 64);
    restart_envelope(&channel->panning_env, 32);
    channel->key_released = 0;
    channel->fadeout_volume = 65536;
    channel->auto_vibrato_sweep = 0;
    channel->auto_vibrato_position = 0;
    channel->vibrato_position = 0;
    channel->update_flags |= UPDATE_VOLUME | UPDATE_PANNING;
}

void apply_volume_column(ChannelState* channel, uint8_t v) {
    const int32_t x = v & 15;
    if (v >= 0x10 && v <= 0x50) {
        channel->volume = v - 0x10;
        channel->update_flags |= UPDATE_VOLUME;
        return;
    }
    switch (v >> 4) {
        case 0x6:
        case 0x8:
            slide_volume_down(channel, x);
            break;
        case 0x7:
        case 0x9:
            slide_volume_up(channel, x);
            break;
        case 0xA:
            channel->vibrato_speed = static_cast<uint8_t>(x);
            break;
        case 0xB:
            channel->vibrato_depth = static_cast<uint8_t>(x);
            break;
        case 0xC:
            channel->panning = 16 * x;
            channel->update_flags |= UPDATE_PANNING;
            break;
        case 0xD:
            slide_panning(channel, -x);
            break;
        case 0xE:
            slide_panning(channel, x);
            break;
        case 0xF:
            if (x != 0) channel->porta_speed = static_cast<uint8_t>(16 * x);
            channel->porta_target = channel->note_period;
            channel->update_flags &= static_cast<uint8_t>(~UPDATE_TRIGGER);
            break;
        default:  // 0x01-0x0F, 0x51-0x5F
            break;
    }
}

// A volume set above 64 (effect C, a sample's own volume) stays there under a slide down and
// comes to 64 under any slide up.
void slide_volume_up(ChannelState* channel, int32_t x) {
    channel->volume = channel->volume + x > 64 ? 64 : channel->volume + x;
    channel->update_flags |= UPDATE_VOLUME;
}

void slide_volume_down(ChannelState* channel, int32_t x) {
    channel->volume = channel->volume - x < 0 ? 0 : channel->volume - x;
    channel->update_flags |= UPDATE_VOLUME;
}

void slide_panning(ChannelState* channel, int32_t delta) {
    // Not clamped to 0..255, only kept from running out of 32 bits on an endless slide.
    const int64_t panning = static_cast<int64_t>(channel->panning) + delta;
    channel->panning = clamp(panning, INT32_MIN, INT32_MAX);
    channel->update_flags |= UPDATE_PANNING;
}

void envelope_step(ChannelState* channel, EnvelopeState* env, const EnvelopePoint* points, uint8_t count,
                   uint8_t flags, uint8_t sustain, uint8_t loop_start, uint8_t loop_end, uint8_t bit) {
    // An instrument holds 12 points whatever its count says.
    const int32_t n = count > 12 ? 12 : count;
    int32_t i = env->point;
    if (i < 0 || i >= n) {
        env->value = env->value_fixed >> 16;
        env->tick = next_tick(env->tick);
    } else if (env->tick != points[i].x) {
        env->value_fixed = static_cast<int32_t>(static_cast<uint32_t>(env->value_fixed) +
                                                static_cast<uint32_t>(env->slope));
        env->value = env->value_fixed >> 16;
        env->tick = next_tick(env->tick);
    } else {
        // The loop test comes first: a loop ending on the last point never finishes.
        if ((flags & 4) && i == loop_end && loop_start < n) {
            i = env->point = loop_start;
            env->tick = points[i].x;
        }
        const int32_t x0 = points[i].x;
        const int32_t y0 = points[i].y;
        if (i == n - 1) {
            env->value = y0;
            env->finished = 1;
        } else if ((flags & 2) && i == sustain && channel->key_released == 0) {
            env->value = y0;  // held here until the key is released
        } else {
            const int32_t x1 = points[i + 1].x;
            const int32_t y1 = points[i + 1].y;
            env->slope = x1 == x0 ? 0 : static_cast<int32_t>((static_cast<int64_t>(y1) - y0) * 65536 / (x1 - x0));
            env->value_fixed = static_cast<int32_t>(static_cast<uint32_t>(y0) << 16);
            env->point += 1;
            env->value = y0;
            env->tick = next_tick(env->tick);
        }
    }
    channel->update_flags |= bit;
}

void portamento_step(ChannelState* channel) {
    const int32_t speed = 4 * channel->porta_speed;
    if (channel->period < channel->porta_target) {
        channel->period += speed;
        if (channel->period > channel->porta_target) channel->period = channel->porta_target;
    } else if (channel->period > channel->porta_target) {
        channel->period -= speed;
        if (channel->period < channel->porta_target) channel->period = channel->porta_target;
    }
    channel->update_flags |= UPDATE_FREQUENCY;
}

void vibrato_step(ChannelState* channel) {
    const int32_t p = channel->vibrato_position;
    const int32_t a = ((vibrato_magnitude(p) * channel->vibrato_depth) >> 5) & ~3;
    channel->period_offset = p >= 0 ? -a : a;
    channel->update_flags |= UPDATE_FREQUENCY;
}

void auto_vibrato_step(ChannelState* channel, const Instrument* instrument) {
    const int32_t w = auto_vibrato_wave(instrument->vibrato_type, channel->auto_vibrato_position);
    int32_t d = instrument->vibrato_depth * w;
    if (instrument->vibrato_sweep != 0) d = (channel->auto_vibrato_sweep * d) / instrument->vibrato_sweep;
    channel->period_offset += d >> 6;
    channel->auto_vibrato_sweep += 1;
    if (channel->auto_vibrato_sweep > instrument->vibrato_sweep) channel->auto_vibrato_sweep = instrument->vibrato_sweep;
    channel->auto_vibrato_position += instrument->vibrato_rate;
    if (channel->auto_vibrato_position > 255) channel->auto_vibrato_position -= 256;
    channel->update_flags |= UPDATE_FREQUENCY;
}

void update_voice(ChannelState* channel, const Sample* sample, const Song* song) {
    const int32_t period = channel->period + channel->period_offset;
    if (period == 0) channel->update_flags &= static_cast<uint8_t>(~UPDATE_FREQUENCY);
    Voice* v = channel->voice;
    const uint8_t flags = channel->update_flags;

    if (flags & UPDATE_TRIGGER) {
        if (v->sample) {
            // The sounding note fades out on its own voice; the new one starts on the partner.
            const int32_t partner = v->index < 32 ? v->index + 32 : v->index - 32;
            voices[partner] = *v;
            voices[partner].index = partner;
            v->volume = 0;
            v->level_left = 0;
            v->level_right = 0;
            v = &voices[partner];
            channel->voice = v;
        }
        v->sample = sample;
        v->position_int = 0;
        v->position_frac = 0;
        v->direction = DIRECTION_FORWARD;
        v->current_left = 0;
        v->current_right = 0;
        v->ramp_frames_left = 0;
    }

    if (flags & UPDATE_VOLUME) {
        const double product = static_cast<double>(channel->volume) * channel->volume_env.value *
                               channel->fadeout_volume * song->global_volume * 255.0 / 34359738368.0;
        const int32_t volume = product >= MAX_VOICE_VOLUME ? MAX_VOICE_VOLUME
                               : product <= 0.0        ? 0
                                                       : runtime::float_to_int(product);
        v->volume = volume;
        v->level_left = v->panning * volume / 255;
        v->level_right = (255 - v->panning) * volume / 255;
    }

    if (flags & UPDATE_PANNING) {
        // Wide: a slid panning far outside 0..255 times a damaged envelope value would overflow
        // 32 bits; the clamp then gives what the narrow sum gives wherever that one fits.
        const int64_t p = channel->panning;
        const int64_t distance = p > 128 ? p - 128 : 128 - p;
        const int32_t pan =
            clamp(p + ((128 - distance) / 32) * (static_cast<int64_t>(channel->panning_env.value) - 32), 0, 255);
        v->panning = pan;
        v->level_left = pan * v->volume / 255;
        v->level_right = (255 - pan) * v->volume / 255;
    }

    if (flags & UPDATE_FREQUENCY) {
        // The step's integer part stays below 256, the most the mixer's 8.24 boundary
        // arithmetic can take; no song in tune comes near it.
        const int64_t highest = static_cast<int64_t>(mix_rate) * 256 - 1;
        int64_t f;
        if (song->flags & 1) {
            // The offset adds here: a positive one raises the pitch with this table.
            const double exponent = (4608.0 - channel->period + channel->period_offset) / 768.0;
            const double exact = 8363.0 * std::exp2(exponent);
            f = exact >= static_cast<double>(highest) ? highest : runtime::float_to_int(exact);
        } else {
            f = 14317056 / period;
        }
        if (f < 100) f = 100;
        if (f > highest) f = highest;
        const uint64_t frequency = static_cast<uint64_t>(f);
        const uint64_t rate = static_cast<uint64_t>(mix_rate);
        v->step_int = static_cast<uint32_t>(frequency / rate);
        v->step_frac = static_cast<uint32_t>(((frequency % rate) << 32) / rate);
    }
}

}  // namespace music
