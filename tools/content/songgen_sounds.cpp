#include "tools/content/songgen_sounds.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace songgen {

uint32_t Noise::next_bits() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

float Noise::next() { return static_cast<float>(static_cast<int32_t>(next_bits())) / 2147483648.0f; }

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double MIDDLE_C = 261.6255653005986;  // what pattern note C-4 should sound at
constexpr double C4_RATE = 8363.0;               // playback rate of an untransposed C-4

using Wave = std::vector<double>;

// ---- tuning -------------------------------------------------------------------------------

void set_transpose(xm::Sample& s, double semitones) {
    const double whole = std::nearbyint(semitones);
    s.relative_note = static_cast<int8_t>(whole);
    s.finetune = static_cast<int8_t>(std::clamp(std::nearbyint((semitones - whole) * 128.0), -128.0, 127.0));
}

// ---- sample data --------------------------------------------------------------------------

// Scales to `peak` of full scale and quantises to the stored width (natural sample values).
std::vector<int32_t> quantise(const Wave& w, bool sixteen_bit, double peak = 0.97) {
    double top = 1e-12;
    for (double v : w) top = std::max(top, std::fabs(v));
    const double full = sixteen_bit ? 32767.0 : 127.0;
    std::vector<int32_t> out(w.size());
    for (size_t i = 0; i < w.size(); ++i)
        out[i] = static_cast<int32_t>(std::clamp(std::nearbyint(w[i] / top * peak * full), -full, full));
    return out;
}

xm::Sample make_sample(const Wave& w, bool sixteen_bit, uint8_t volume, uint8_t panning) {
    xm::Sample s;
    s.values = quantise(w, sixteen_bit);
    s.sixteen_bit = sixteen_bit;
    s.volume = volume;
    s.panning = panning;
    return s;
}

// A voice stops dead at the end of an unlooped sample, so the last values fade to silence
// rather than leaving a step that clicks.
xm::Sample one_shot(Wave w, bool sixteen_bit, uint8_t volume, uint8_t panning = 128) {
    const size_t fade = std::min<size_t>(w.size() / 4, 128);
    for (size_t i = 0; i < fade; ++i) w[w.size() - 1 - i] *= static_cast<double>(i) / static_cast<double>(fade);
    return make_sample(w, sixteen_bit, volume, panning);
}

// The loop covers everything from `loop_start` to the end.
xm::Sample looped(const Wave& w, bool sixteen_bit, xm::Loop loop, size_t loop_start, uint8_t volume, uint8_t panning = 128) {
    xm::Sample s = make_sample(w, sixteen_bit, volume, panning);
    s.loop = loop;
    s.loop_start = static_cast<uint32_t>(loop_start);
    s.loop_length = static_cast<uint32_t>(w.size() - loop_start);
    return s;
}

// ---- waveforms ----------------------------------------------------------------------------

// One period of `period` values from harmonic amplitudes. Cosine phase makes the cycle
// symmetric about its start, so a ping-pong loop over it plays the same wave as a forward one.
Wave harmonic_cycle(int period, int harmonics, const std::function<double(int)>& amplitude, bool cosine = false) {
    Wave w(static_cast<size_t>(period), 0.0);
    for (int k = 1; k <= harmonics && k < period / 2; ++k) {
        const double a = amplitude(k);
        if (a == 0.0) continue;
        for (int n = 0; n < period; ++n) {
            const double phase = 2.0 * PI * k * n / period;
            w[static_cast<size_t>(n)] += a * (cosine ? std::cos(phase) : std::sin(phase));
        }
    }
    return w;
}

// A gentle two-pole roll-off above harmonic `corner`.
double rolloff(int k, double corner) { return 1.0 / std::sqrt(1.0 + std::pow(k / corner, 4.0)); }

double saw(int k) { return 1.0 / k; }
double square(int k) { return (k % 2) ? 1.0 / k : 0.0; }
double pulse(int k, double width) { return std::sin(PI * k * width) / k; }
double triangle(int k) { return (k % 2) ? ((k / 2) % 2 ? -1.0 : 1.0) / (k * k) : 0.0; }

// Several detuned copies of one waveform in a loop of `cycles` periods of `period` values.
// Copy j runs cycles + offsets[j] periods through the loop, so every copy wraps cleanly and the
// copies beat against each other once per loop.
Wave detuned_loop(int period, int cycles, const std::vector<int>& offsets, int harmonics,
                  const std::function<double(int)>& amplitude) {
    const size_t n = static_cast<size_t>(period) * static_cast<size_t>(cycles);
    Wave w(n, 0.0);
    for (size_t j = 0; j < offsets.size(); ++j) {
        const double c = cycles + offsets[j];
        const double phase0 = 2.0 * PI * static_cast<double>(j) / static_cast<double>(offsets.size());
        for (int k = 1; k <= harmonics; ++k) {
            const double a = amplitude(k);
            if (a == 0.0) continue;
            const double rate = 2.0 * PI * k * c / static_cast<double>(n);
            for (size_t i = 0; i < n; ++i) w[i] += a * std::sin(rate * static_cast<double>(i) + k * phase0);
        }
    }
    return w;
}

// ---- filters ------------------------------------------------------------------------------

struct OnePole {
    double a, y = 0.0;
    OnePole(double cutoff, double rate) : a(1.0 - std::exp(-2.0 * PI * cutoff / rate)) {}
    double low(double x) { return y += a * (x - y); }
    double high(double x) { return x - low(x); }
};

// Two-pole band-pass (constant peak gain).
struct BandPass {
    double b0, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    BandPass(double centre, double q, double rate) {
        const double w0 = 2.0 * PI * centre / rate, alpha = std::sin(w0) / (2.0 * q), a0 = 1.0 + alpha;
        b0 = alpha / a0;
        b2 = -alpha / a0;
        a1 = -2.0 * std::cos(w0) / a0;
        a2 = (1.0 - alpha) / a0;
    }
    double run(double x) {
        const double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

size_t frames(double seconds, double rate) { return static_cast<size_t>(seconds * rate); }

// ---- envelopes ----------------------------------------------------------------------------

// Points (tick, level 0..64) with an optional sustain point and loop, as point indices; -1 for none.
xm::Envelope envelope(std::vector<xm::EnvelopePoint> points, int sustain = -1, int loop_start = -1, int loop_end = -1) {
    xm::Envelope e;
    e.points = std::move(points);
    e.type = 1;
    if (sustain >= 0) {
        e.type |= 2;
        e.sustain_point = static_cast<uint8_t>(sustain);
    }
    if (loop_start >= 0) {
        e.type |= 4;
        e.loop_start = static_cast<uint8_t>(loop_start);
        e.loop_end = static_cast<uint8_t>(loop_end);
    }
    return e;
}

// A slow left-right sway for wide sounds; the loop keeps it moving for as long as the note lasts.
xm::Envelope sway(uint16_t period, uint16_t depth) {
    const uint16_t lo = static_cast<uint16_t>(32 - depth), hi = static_cast<uint16_t>(32 + depth);
    return envelope({{0, 32}, {static_cast<uint16_t>(period / 4), hi}, {static_cast<uint16_t>(3 * period / 4), lo},
                     {period, 32}},
                    -1, 0, 3);
}

// One sample, named as its instrument; the note map left all zeros sends every note to it.
xm::Instrument instrument(const char* name, xm::Sample sample) {
    xm::Instrument i;
    i.name = name;
    sample.name = name;
    i.samples.push_back(std::move(sample));
    return i;
}

// Drums and effects: pattern note C-4 plays the sample at the rate it was made at.
xm::Instrument at_rate(const char* name, double rate, xm::Sample sample) {
    xm::Instrument i = instrument(name, std::move(sample));
    set_transpose(i.samples[0], 12.0 * std::log2(rate / C4_RATE));
    return i;
}

// Pitched sounds repeating every `period` values: every note sounds at its own pitch.
xm::Instrument at_period(const char* name, double period, xm::Sample sample) {
    xm::Instrument i = instrument(name, std::move(sample));
    set_transpose(i.samples[0], 12.0 * std::log2(MIDDLE_C * period / C4_RATE));
    return i;
}

// ---- drums --------------------------------------------------------------------------------

// Sine with a fast exponential pitch drop, plus a short click of filtered noise.
Wave kick_wave(double rate, double seconds, double f_hi, double f_lo, double drop, double decay, double click,
               double drive, uint32_t seed) {
    Wave w(frames(seconds, rate));
    Noise noise(seed);
    OnePole click_filter(3000.0, rate);
    double phase = 0.0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f = f_lo + (f_hi - f_lo) * std::exp(-t / drop);
        phase += 2.0 * PI * f / rate;
        double v = std::sin(phase) * std::exp(-t / decay);
        v += click * click_filter.high(noise.next()) * std::exp(-t / 0.004);
        if (drive > 0.0) v = std::tanh(v * (1.0 + drive)) / std::tanh(1.0 + drive);
        // a 2 ms fade at the end so the one-shot does not stop on a step
        const double left = static_cast<double>(w.size() - i) / rate;
        w[i] = v * std::min(1.0, left / 0.002);
    }
    return w;
}

// Noise burst plus a tone, the tone's pitch sinking a little.
Wave snare_wave(double rate, double seconds, double tone_hz, double tone_decay, double noise_decay, double noise_cut,
                double tone_mix, uint32_t seed) {
    Wave w(frames(seconds, rate));
    Noise noise(seed);
    OnePole hp(noise_cut, rate);
    OnePole lp(9000.0, rate);
    double phase = 0.0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        phase += 2.0 * PI * tone_hz * (1.0 + 0.4 * std::exp(-t / 0.01)) / rate;
        const double tone = std::sin(phase) * std::exp(-t / tone_decay);
        const double n = lp.low(hp.high(noise.next())) * std::exp(-t / noise_decay);
        w[i] = tone_mix * tone + n;
    }
    return w;
}

// Three quick bursts of band-passed noise and a tail, as hands clapping slightly apart.
Wave clap_wave(double rate, double tail, double centre, uint32_t seed) {
    Wave w(frames(0.03 + tail * 4.0, rate));
    Noise noise(seed);
    BandPass bp(centre, 1.2, rate);
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        double env = 0.0;
        for (double start : {0.0, 0.011, 0.022})
            if (t >= start && t < start + 0.011) env = std::max(env, std::exp(-(t - start) / 0.003));
        if (t >= 0.022) env = std::max(env, std::exp(-(t - 0.022) / tail));
        w[i] = bp.run(noise.next()) * env;
    }
    return w;
}

Wave hat_wave(double rate, double seconds, double decay, double cut, uint32_t seed) {
    Wave w(frames(seconds, rate));
    Noise noise(seed);
    OnePole hp1(cut, rate), hp2(cut, rate);
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        w[i] = hp2.high(hp1.high(noise.next())) * std::exp(-t / decay) * std::min(1.0, t / 0.0005);
    }
    return w;
}

// Endless filtered noise for sounds shaped by their volume envelope (crash, risers, wind).
Wave noise_loop(size_t length, double rate, double low_cut, double high_cut, uint32_t seed) {
    Wave w(length + 2048);
    Noise noise(seed);
    OnePole hp(low_cut, rate), lp(high_cut, rate);
    for (double& v : w) v = lp.low(hp.high(noise.next()));
    // drop the filters' settling time, then cross-fade the end into the start so the loop is seamless
    Wave out(w.begin() + 2048, w.end());
    const size_t fade = length / 8;
    for (size_t i = 0; i < fade; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(fade);
        out[length - fade + i] = out[length - fade + i] * (1.0 - x) + w[2048 - fade + i] * x;
    }
    return out;
}

Wave metal_loop(size_t length, double rate, const std::vector<double>& partials, double noise_mix, uint32_t seed) {
    Wave w = noise_loop(length, rate, 4000.0, 14000.0, seed);
    for (double& v : w) v *= noise_mix;
    // square partials, each with a whole number of cycles through the loop so the loop stays seamless
    for (double f : partials) {
        const double cycles = std::nearbyint(f * static_cast<double>(length) / rate);
        for (size_t i = 0; i < length; ++i) {
            const double s = std::sin(2.0 * PI * cycles * static_cast<double>(i) / static_cast<double>(length));
            w[i] += s >= 0 ? 0.18 : -0.18;
        }
    }
    OnePole hp(3000.0, rate);
    for (int pass = 0; pass < 2; ++pass)
        for (double& v : w) v = hp.high(v);
    return w;
}

Wave pitched_drop(double rate, double seconds, double f_hi, double f_lo, double drop, double decay, double noise_mix,
                  uint32_t seed) {
    Wave w(frames(seconds, rate));
    Noise noise(seed);
    double phase = 0.0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        phase += 2.0 * PI * (f_lo + (f_hi - f_lo) * std::exp(-t / drop)) / rate;
        w[i] = (std::sin(phase) + noise_mix * noise.next()) * std::exp(-t / decay) * std::min(1.0, t / 0.001);
    }
    return w;
}

// ---- bells --------------------------------------------------------------------------------

// Partials at quarter multiples of the fundamental repeat every four periods, so the sound
// can end in a short loop; the bright partials die away during the strike before it.
Wave bell_wave(int period, int strike_periods, const std::vector<std::pair<int, double>>& quarter_partials,
               const std::vector<double>& decays, const std::vector<double>& sustain) {
    const int loop = 4 * period;
    const size_t n = static_cast<size_t>(strike_periods * period + loop);
    Wave w(n, 0.0);
    const double strike = static_cast<double>(strike_periods * period);
    for (size_t p = 0; p < quarter_partials.size(); ++p) {
        const auto [quarters, amp] = quarter_partials[p];
        for (size_t i = 0; i < n; ++i) {
            const double t = std::min(static_cast<double>(i), strike) / strike;  // held once the strike is over
            const double level = sustain[p] + (1.0 - sustain[p]) * std::exp(-t / decays[p]);
            w[i] += amp * level * std::sin(2.0 * PI * quarters * static_cast<double>(i) / loop);
        }
    }
    return w;
}

// ---- the instruments, in number order ------------------------------------------------------

using Maker = xm::Instrument (*)();

xm::Instrument kick() {
    return at_rate("kick", 11025, one_shot(kick_wave(11025, 0.24, 160, 50, 0.028, 0.065, 0.35, 0.0, 11), true, 64));
}

xm::Instrument kick_soft() {
    return at_rate("kick soft", 11025, one_shot(kick_wave(11025, 0.45, 110, 42, 0.045, 0.16, 0.0, 0.0, 12), false, 58));
}

xm::Instrument kick_hard() {
    return at_rate("kick hard", 11025, one_shot(kick_wave(11025, 0.24, 190, 52, 0.022, 0.07, 0.6, 0.8, 13), true, 64));
}

xm::Instrument snare() {
    return at_rate("snare", 22050, one_shot(snare_wave(22050, 0.22, 180, 0.045, 0.1, 1200, 0.6, 21), false, 64));
}

xm::Instrument snare_ghost() {
    return at_rate("snare ghost", 22050, one_shot(snare_wave(22050, 0.07, 200, 0.012, 0.018, 2500, 0.4, 22), false, 40));
}

xm::Instrument snare_big() {
    return at_rate("snare big", 22050, one_shot(snare_wave(22050, 0.26, 175, 0.07, 0.08, 900, 1.1, 23), false, 62));
}

xm::Instrument clap() {
    return at_rate("clap", 22050, one_shot(clap_wave(22050, 0.035, 1400, 31), false, 58));
}

// A wider, longer clap that travels across the stereo field.
xm::Instrument clap_wide() {
    xm::Instrument i = at_rate("clap wide", 22050, one_shot(clap_wave(22050, 0.05, 1100, 32), false, 56));
    i.volume_envelope = envelope({{0, 64}, {40, 64}});
    i.panning_envelope = envelope({{0, 12}, {6, 52}, {14, 32}});
    return i;
}

xm::Instrument hat_closed() {
    return at_rate("hat closed", 33452, one_shot(hat_wave(33452, 0.09, 0.022, 6000, 41), false, 48, 150));
}

xm::Instrument hat_tick() {
    return at_rate("hat tick", 33452, one_shot(hat_wave(33452, 0.035, 0.007, 9000, 42), false, 36, 100));
}

xm::Instrument hat_open() {
    return at_rate("hat open", 22050, one_shot(hat_wave(22050, 0.28, 0.10, 5000, 43), false, 34, 96));
}

// An open hat that rings until a key-off chokes it.
xm::Instrument hat_choke() {
    xm::Instrument i = at_rate("hat choke", 33452, looped(noise_loop(3000, 33452, 6500, 15000, 44), false, xm::Loop::forward, 0, 30, 170));
    i.volume_envelope = envelope({{0, 64}, {3, 44}, {10, 36}, {60, 0}}, 2);
    i.fadeout = 4000;
    return i;
}

xm::Instrument shaker() {
    const double rate = 33452;
    Wave w(frames(0.09, rate));
    Noise noise(51);
    BandPass bp(7000, 1.5, rate);
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        w[n] = bp.run(noise.next()) * std::min(1.0, t / 0.012) * std::exp(-t / 0.03);
    }
    return at_rate("shaker", rate, one_shot(w, false, 32, 80));
}

xm::Instrument rim() {
    const double rate = 22050;
    Wave w(frames(0.05, rate));
    Noise noise(52);
    BandPass bp(1700, 4.0, rate);
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        w[n] = (bp.run(noise.next()) * 2.0 + std::sin(2.0 * PI * 830 * t)) * std::exp(-t / 0.008);
    }
    return at_rate("rim", rate, one_shot(w, false, 40, 160));
}

xm::Instrument tom_low() {
    return at_rate("tom low", 11025, one_shot(pitched_drop(11025, 0.35, 150, 82, 0.05, 0.12, 0.05, 53), false, 52, 150));
}

xm::Instrument tom_high() {
    return at_rate("tom high", 11025, one_shot(pitched_drop(11025, 0.28, 230, 130, 0.04, 0.09, 0.05, 54), false, 50, 100));
}

// Metallic noise shaped entirely by its volume envelope, which keeps the sample short.
xm::Instrument crash() {
    xm::Instrument i = at_rate("crash", 33452, looped(metal_loop(4096, 33452, {563, 871, 1297, 2043}, 0.8, 55), false, xm::Loop::forward, 0, 44, 110));
    i.volume_envelope = envelope({{0, 64}, {4, 44}, {30, 20}, {80, 6}, {140, 0}});
    return i;
}

xm::Instrument ride() {
    xm::Instrument i = at_rate("ride", 33452, looped(metal_loop(2048, 33452, {3200, 4750, 6100}, 0.35, 56), false, xm::Loop::forward, 0, 28, 180));
    i.volume_envelope = envelope({{0, 64}, {2, 34}, {20, 14}, {50, 0}});
    return i;
}

// White noise swelling over four bars; the score bends it up with a slow tone portamento.
xm::Instrument riser() {
    xm::Instrument i = at_rate("riser", 22050, looped(noise_loop(4096, 22050, 500, 9000, 57), false, xm::Loop::forward, 0, 44));
    i.volume_envelope = envelope({{0, 0}, {160, 18}, {280, 46}, {318, 64}, {330, 0}});
    i.panning_envelope = envelope({{0, 32}, {80, 16}, {160, 48}, {240, 20}, {300, 32}});
    return i;
}

xm::Instrument riser_dark() {
    xm::Instrument i = at_rate("riser dark", 22050, looped(noise_loop(4096, 22050, 150, 2500, 58), false, xm::Loop::forward, 0, 48));
    i.volume_envelope = envelope({{0, 0}, {100, 10}, {200, 36}, {310, 64}, {322, 0}});
    return i;
}

// A band of noise that falls away after a section change.
xm::Instrument sweep() {
    xm::Instrument i = at_rate("sweep", 22050, looped(noise_loop(4096, 22050, 1200, 4000, 59), false, xm::Loop::forward, 0, 56));
    i.volume_envelope = envelope({{0, 64}, {20, 40}, {100, 12}, {160, 0}});
    i.panning_envelope = envelope({{0, 52}, {100, 12}, {160, 32}});
    return i;
}

// A low sine whose pitch the score drops with a tone portamento; the envelope gives the decay.
xm::Instrument sub_boom() {
    xm::Instrument i = at_period("sub boom", 64, looped(harmonic_cycle(64, 2, [](int k) { return k == 1 ? 1.0 : 0.15; }), true, xm::Loop::forward, 0, 64));
    i.volume_envelope = envelope({{0, 64}, {25, 44}, {75, 14}, {110, 0}});
    return i;
}

// ---- bass: single cycles in forward loops, released by key-off -----------------------------

xm::Envelope bass_envelope() { return envelope({{0, 64}, {4, 54}, {12, 46}, {20, 0}}, 2); }

xm::Instrument bass_saw() {
    xm::Instrument i = at_period("bass saw", 256, looped(harmonic_cycle(256, 60, [](int k) { return saw(k) * rolloff(k, 9); }), true, xm::Loop::forward, 0, 52));
    i.volume_envelope = bass_envelope();
    i.fadeout = 1800;
    return i;
}

xm::Instrument bass_square() {
    xm::Instrument i = at_period("bass square", 256, looped(harmonic_cycle(256, 40, [](int k) { return square(k) * rolloff(k, 7); }), true, xm::Loop::forward, 0, 26));
    i.volume_envelope = envelope({{0, 64}, {8, 50}}, 1);
    i.fadeout = 1200;
    return i;
}

xm::Instrument bass_sub() {
    xm::Instrument i = at_period("bass sub", 128, looped(harmonic_cycle(128, 3, [](int k) { return k == 1 ? 1.0 : k == 2 ? 0.25 : 0.08; }), true, xm::Loop::forward, 0, 56));
    i.volume_envelope = envelope({{0, 0}, {10, 64}, {40, 56}}, 2);
    i.fadeout = 600;
    return i;
}

xm::Instrument bass_growl() {
    xm::Instrument i = at_period("bass growl", 256, looped(harmonic_cycle(256, 80, [](int k) { return (saw(k) + 0.6 * square(k)) * rolloff(k, 16); }), true, xm::Loop::forward, 0, 50));
    i.volume_envelope = bass_envelope();
    i.fadeout = 1800;
    return i;
}

xm::Instrument bass_pluck() {
    xm::Instrument i = at_period("bass pluck", 256, looped(harmonic_cycle(256, 50, [](int k) { return saw(k) * rolloff(k, 12); }), false, xm::Loop::forward, 0, 56));
    i.volume_envelope = envelope({{0, 64}, {6, 36}, {16, 16}, {30, 0}});
    return i;
}

// Two saws a little apart: the slow beating gives the contrasting section its moving low end.
xm::Instrument bass_reese() {
    xm::Instrument i = at_period("bass reese", 64, looped(detuned_loop(64, 60, {0, 1}, 20, [](int k) { return saw(k) * rolloff(k, 6); }), false, xm::Loop::forward, 0, 50));
    i.volume_envelope = envelope({{0, 0}, {3, 64}, {20, 54}}, 2);
    i.fadeout = 1500;
    return i;
}

// ---- pads: long loops of detuned cycles, slow envelopes, width from a panning sway ---------

xm::Instrument pad(const char* name, Wave w, bool sixteen_bit, uint8_t volume, xm::Envelope vol, uint16_t fadeout,
                  int period, xm::Envelope pan) {
    xm::Instrument i = at_period(name, period, looped(w, sixteen_bit, xm::Loop::forward, 0, volume));
    i.volume_envelope = std::move(vol);
    i.panning_envelope = std::move(pan);
    i.fadeout = fadeout;
    return i;
}

xm::Instrument pad_warm() {
    return pad("pad warm", detuned_loop(32, 100, {-1, 0, 1}, 14, [](int k) { return saw(k) * rolloff(k, 6); }), false, 40,
               envelope({{0, 0}, {14, 52}, {40, 44}, {100, 0}}, 2), 220, 32, sway(300, 14));
}

xm::Instrument pad_dark() {
    return pad("pad dark", detuned_loop(32, 80, {-1, 0, 1}, 8, [](int k) { return saw(k) * rolloff(k, 3); }), false, 44,
               envelope({{0, 0}, {30, 56}, {70, 48}, {150, 0}}, 2), 160, 32, sway(420, 12));
}

xm::Instrument pad_hollow() {
    return pad("pad hollow", detuned_loop(32, 90, {-1, 1}, 13, [](int k) { return square(k) * rolloff(k, 5); }), false, 26,
               envelope({{0, 0}, {25, 50}, {60, 44}, {120, 0}}, 2), 200, 32, sway(360, 10));
}

// Brighter detuned saws with a gentle tremolo from a looping volume envelope.
xm::Instrument pad_strings() {
    return pad("pad strings", detuned_loop(32, 110, {-1, 0, 2}, 15, [](int k) { return saw(k) * rolloff(k, 9); }), false, 38,
               envelope({{0, 0}, {20, 56}, {30, 48}, {38, 54}, {46, 48}}, -1, 2, 4), 300, 32, sway(260, 16));
}

xm::Instrument pad_organ() {
    const std::vector<double> bars = {1.0, 0.7, 0.35, 0.45, 0.0, 0.25, 0.0, 0.2};
    return pad("pad organ", harmonic_cycle(64, 8, [bars](int k) { return bars[static_cast<size_t>(k - 1)]; }), true, 36,
               envelope({{0, 0}, {4, 60}, {12, 52}}, 2), 500, 64, sway(400, 8));
}

xm::Instrument pad_swell() {
    return pad("pad swell", detuned_loop(32, 70, {-1, 0, 1}, 10, [](int k) { return square(k) * 0.6 + saw(k) * 0.4 * rolloff(k, 4); }), false, 30,
               envelope({{0, 0}, {150, 60}, {200, 50}, {300, 0}}, 2), 120, 32, sway(500, 16));
}

// Vowel-like peaks around the third and fifth harmonics give the pad a sung colour.
xm::Instrument pad_choir() {
    return pad("pad choir", detuned_loop(32, 95, {-1, 0, 1}, 14, [](int k) {
                   return saw(k) * (0.3 + std::exp(-std::pow((k - 3.0) / 1.2, 2.0)) + 0.6 * std::exp(-std::pow((k - 6.0) / 1.5, 2.0)));
               }), false, 40,
               envelope({{0, 0}, {20, 54}, {50, 46}, {110, 0}}, 2), 200, 32, sway(340, 12));
}

// ---- leads -------------------------------------------------------------------------------

xm::Instrument lead(const char* name, Wave w, xm::Loop loop, uint8_t volume, uint16_t fadeout, uint8_t vtype, uint8_t sweep,
                   uint8_t depth, uint8_t rate, int period) {
    xm::Instrument i = at_period(name, period, looped(w, true, loop, 0, volume));
    i.volume_envelope = envelope({{0, 0}, {1, 64}, {8, 52}, {30, 0}}, 2);
    i.fadeout = fadeout;
    i.vibrato_type = vtype;
    i.vibrato_sweep = sweep;
    i.vibrato_depth = depth;
    i.vibrato_rate = rate;
    return i;
}

// Pulse waves built from cosines are symmetric, so the ping-pong loop keeps their shape.
xm::Instrument lead_pulse() {
    return lead("lead pulse", harmonic_cycle(64, 18, [](int k) { return pulse(k, 0.25) * rolloff(k, 10); }, true), xm::Loop::pingpong, 46,
                900, 0, 24, 5, 12, 64);
}

xm::Instrument lead_thin() {
    return lead("lead thin", harmonic_cycle(64, 20, [](int k) { return pulse(k, 0.14) * rolloff(k, 13); }, true), xm::Loop::pingpong, 54,
                900, 0, 16, 7, 14, 64);
}

xm::Instrument lead_saw() {
    return lead("lead saw", harmonic_cycle(64, 20, [](int k) { return saw(k) * rolloff(k, 8); }), xm::Loop::forward, 36, 900, 3, 30, 4, 10, 64);
}

xm::Instrument lead_soft() {
    return lead("lead soft", harmonic_cycle(64, 12, [](int k) { return square(k) * rolloff(k, 4); }, true), xm::Loop::pingpong, 42,
                500, 0, 60, 6, 9, 64);
}

xm::Instrument lead_echo() {
    return lead("lead echo", harmonic_cycle(64, 10, [](int k) { return pulse(k, 0.25) * rolloff(k, 4); }, true), xm::Loop::pingpong, 22,
                350, 0, 24, 5, 12, 64);
}

xm::Instrument lead_flute() {
    xm::Instrument i = lead("lead flute", harmonic_cycle(64, 4, [](int k) { return k == 1 ? 1.0 : k == 2 ? 0.12 : k == 3 ? 0.1 : 0.03; }, true),
                           xm::Loop::pingpong, 40, 400, 2, 40, 6, 8, 64);
    i.volume_envelope = envelope({{0, 0}, {6, 64}, {14, 54}}, 2);
    return i;
}

xm::Instrument counter_tri() {
    xm::Instrument i = lead("counter tri", harmonic_cycle(64, 15, triangle, true), xm::Loop::pingpong, 48, 700, 0, 0, 0, 0, 64);
    i.samples[0].panning = 96;  // counter-lines sit off to one side
    return i;
}

// ---- plucks and arpeggios: cycles with decaying envelopes ------------------------------------

xm::Instrument pluck(const char* name, Wave w, bool sixteen_bit, uint8_t volume, xm::Envelope env, int period, uint8_t pan = 128) {
    xm::Instrument i = at_period(name, period, looped(w, sixteen_bit, xm::Loop::forward, 0, volume, pan));
    i.volume_envelope = std::move(env);
    return i;
}

xm::Instrument pluck_saw() {
    return pluck("pluck saw", harmonic_cycle(64, 20, [](int k) { return saw(k) * rolloff(k, 7); }), false, 44,
                 envelope({{0, 64}, {5, 34}, {16, 12}, {34, 0}}), 64, 80);
}

xm::Instrument pluck_square() {
    return pluck("pluck square", harmonic_cycle(64, 15, [](int k) { return square(k) * rolloff(k, 6); }), false, 42,
                 envelope({{0, 64}, {8, 30}, {24, 10}, {44, 0}}), 64, 176);
}

xm::Instrument pluck_bright() {
    return pluck("pluck bright", harmonic_cycle(64, 24, [](int k) { return saw(k) * rolloff(k, 14); }), false, 40,
                 envelope({{0, 64}, {3, 30}, {10, 10}, {22, 0}}), 64, 70);
}

xm::Instrument marimba() {
    return pluck("marimba", harmonic_cycle(64, 10, [](int k) { return k == 1 ? 1.0 : k == 4 ? 0.4 : k == 10 ? 0.1 : 0.0; }), true, 50,
                 envelope({{0, 64}, {4, 36}, {14, 12}, {30, 0}}), 64, 150);
}

xm::Instrument arp_chip() {
    return pluck("arp chip", harmonic_cycle(32, 15, [](int k) { return pulse(k, 0.5); }), false, 34,
                 envelope({{0, 64}, {10, 40}, {20, 0}}), 32, 190);
}

xm::Instrument stab() {
    return pluck("stab", detuned_loop(32, 50, {0, 1}, 15, [](int k) { return saw(k) * rolloff(k, 10); }), false, 42,
                 envelope({{0, 64}, {6, 40}, {14, 10}, {20, 0}}), 32);
}

xm::Instrument pizz() {
    return pluck("pizz", harmonic_cycle(64, 14, [](int k) { return saw(k) * rolloff(k, 4); }), false, 48,
                 envelope({{0, 64}, {3, 28}, {10, 6}, {16, 0}}), 64, 90);
}

// ---- bells -------------------------------------------------------------------------------

xm::Instrument bell_like(const char* name, Wave w, bool sixteen_bit, uint8_t volume, int period, int strike, xm::Envelope env,
                        uint16_t fadeout, uint8_t pan) {
    xm::Instrument i = at_period(name, period, looped(w, sixteen_bit, xm::Loop::forward, static_cast<size_t>(strike * period), volume, pan));
    i.volume_envelope = std::move(env);
    i.fadeout = fadeout;
    return i;
}

xm::Instrument bell() {
    return bell_like("bell", bell_wave(64, 40, {{4, 1.0}, {11, 0.5}, {21, 0.35}, {8, 0.3}, {35, 0.2}}, {1.0, 0.3, 0.12, 0.5, 0.06}, {0.5, 0.15, 0.0, 0.2, 0.0}),
                     true, 48, 64, 40, envelope({{0, 64}, {20, 36}, {80, 14}, {160, 0}}, -1), 0, 170);
}

xm::Instrument bell_soft() {
    return bell_like("bell soft", bell_wave(64, 24, {{4, 1.0}, {8, 0.4}, {14, 0.25}}, {1.0, 0.4, 0.15}, {0.6, 0.3, 0.0}), false, 48, 64, 24,
                     envelope({{0, 64}, {30, 38}, {110, 12}, {200, 0}}, 1), 300, 90);
}

xm::Instrument glass() {
    return bell_like("glass", bell_wave(32, 30, {{4, 1.0}, {12, 0.5}, {17, 0.3}}, {1.0, 0.25, 0.1}, {0.4, 0.05, 0.0}), false, 36, 32, 30,
                     envelope({{0, 64}, {10, 30}, {40, 8}, {70, 0}}), 0, 200);
}

xm::Instrument music_box() {
    return bell_like("music box", bell_wave(32, 16, {{4, 1.0}, {16, 0.3}}, {1.0, 0.2}, {0.7, 0.0}), true, 40, 32, 16,
                     envelope({{0, 64}, {6, 40}, {30, 12}, {60, 0}}), 0, 60);
}

// ---- colour ------------------------------------------------------------------------------

xm::Instrument organ_perc() {
    const std::vector<double> bars = {1.0, 0.5, 0.6, 0.0, 0.0, 0.0, 0.0, 0.3};
    Wave body = harmonic_cycle(64, 8, [bars](int k) { return bars[static_cast<size_t>(k - 1)]; });
    Wave click = harmonic_cycle(64, 4, [](int k) { return k == 4 ? 1.0 : 0.0; });
    // the percussive fourth harmonic fades over the first 24 periods, then the body loops alone
    Wave w;
    for (int p = 0; p < 25; ++p)
        for (int n = 0; n < 64; ++n) {
            const double fade = p < 24 ? std::exp(-p / 6.0) : 0.0;
            w.push_back(body[static_cast<size_t>(n)] + 0.9 * fade * click[static_cast<size_t>(n)]);
        }
    xm::Instrument i = at_period("organ perc", 64, looped(w, false, xm::Loop::forward, 24 * 64, 44, 100));
    i.volume_envelope = envelope({{0, 64}, {10, 48}, {30, 40}}, 2);
    i.fadeout = 900;
    return i;
}

// The attack is brighter than the held part, as a brass section's lips open.
xm::Instrument brass() {
    Wave w;
    for (int p = 0; p < 21; ++p) {
        const double corner = 4.0 + 10.0 * std::exp(-p / 5.0);
        Wave c = harmonic_cycle(64, 22, [corner](int k) { return saw(k) * rolloff(k, corner); });
        w.insert(w.end(), c.begin(), c.end());
    }
    xm::Instrument i = at_period("brass", 64, looped(w, true, xm::Loop::forward, 20 * 64, 42));
    i.volume_envelope = envelope({{0, 20}, {3, 64}, {10, 50}}, 2);
    i.fadeout = 1400;
    return i;
}

xm::Instrument zap() {
    return at_rate("zap", 22050, one_shot(pitched_drop(22050, 0.12, 2400, 120, 0.03, 0.05, 0.0, 61), false, 34, 60));
}

// Filtered noise breathing through a looping volume envelope, drifting across the field.
xm::Instrument wind() {
    xm::Instrument i = at_rate("wind", 22050, looped(noise_loop(4096, 22050, 300, 1800, 62), false, xm::Loop::forward, 0, 28));
    i.volume_envelope = envelope({{0, 0}, {80, 40}, {160, 20}, {240, 48}, {320, 20}}, -1, 1, 4);
    i.panning_envelope = sway(600, 20);
    i.fadeout = 200;
    return i;
}

xm::Instrument cowbell() {
    const double rate = 22050;
    Wave w(frames(0.12, rate));
    BandPass bp(800, 2.0, rate);
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        const double sq = (std::sin(2.0 * PI * 540 * t) > 0 ? 1.0 : -1.0) + (std::sin(2.0 * PI * 800 * t) > 0 ? 1.0 : -1.0);
        w[n] = bp.run(sq) * std::exp(-t / 0.05);
    }
    return at_rate("cowbell", rate, one_shot(w, false, 30, 190));
}

xm::Instrument bongo() {
    return at_rate("bongo", 16726, one_shot(pitched_drop(16726, 0.16, 420, 330, 0.02, 0.05, 0.08, 63), false, 44, 70));
}

xm::Instrument tambourine() {
    const double rate = 33452;
    Wave w(frames(0.10, rate));
    Noise noise(64);
    OnePole hp(7000, rate);
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        // the jingles: a fast flutter on top of the decay
        const double jingle = 0.6 + 0.4 * std::sin(2.0 * PI * 70 * t);
        w[n] = hp.high(noise.next()) * jingle * std::exp(-t / 0.045) * std::min(1.0, t / 0.002);
    }
    return at_rate("tambourine", rate, one_shot(w, false, 30, 70));
}

xm::Instrument snap() {
    const double rate = 22050;
    Wave w(frames(0.06, rate));
    Noise noise(65);
    BandPass bp(2600, 2.5, rate);
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        w[n] = bp.run(noise.next()) * std::exp(-t / 0.01);
    }
    return at_rate("snap", rate, one_shot(w, false, 44, 140));
}

constexpr Maker MAKERS[] = {
    kick, kick_soft, kick_hard, snare, snare_ghost, snare_big, clap, clap_wide,
    hat_closed, hat_tick, hat_open, hat_choke, shaker, rim, tom_low, tom_high,
    crash, ride, riser, riser_dark, sweep, sub_boom,
    bass_saw, bass_square, bass_sub, bass_growl, bass_pluck, bass_reese,
    pad_warm, pad_dark, pad_hollow, pad_strings, pad_organ, pad_swell, pad_choir,
    lead_pulse, lead_thin, lead_saw, lead_soft, lead_echo, lead_flute, counter_tri,
    pluck_saw, pluck_square, pluck_bright, marimba, arp_chip, stab, pizz,
    bell, bell_soft, glass, music_box,
    organ_perc, brass, zap, wind, cowbell, bongo, tambourine, snap,
};
static_assert(sizeof MAKERS / sizeof MAKERS[0] == INSTRUMENT_COUNT, "one maker per instrument number");

}  // namespace

std::vector<xm::Instrument> make_instruments() {
    std::vector<xm::Instrument> all;
    for (Maker make : MAKERS) all.push_back(make());
    return all;
}

}  // namespace songgen
