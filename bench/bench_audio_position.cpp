// How far ahead of the listener the sound device's reported position runs, on the SDL audio
// driver named by SDL_AUDIODRIVER: bench_audio_position [SECONDS] (default 4).
//
// The device is read every half millisecond. "Before" is what it used to report, the bytes
// handed to SDL; "after" is the heard position it reports now. What the listener hears is taken
// from the driver itself: the disk and dummy drivers play each buffer from the moment it is
// handed out until the next hand-out; a PulseAudio server says how much it still holds (pactl).
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/sdl/wave_probe.h"
#include "platform/wave_out.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int RATE = 44100;
constexpr double BYTES_PER_MS = RATE * 4 / 1000.0;

struct Sample {
    double ms;  // since the device was started
    uint64_t handed, reported;
};

// The server's latency for our stream, in microseconds (buffer plus sink); -1 when unknown.
double pulse_latency_us() {
    FILE* pipe = popen("pactl list sink-inputs 2>/dev/null", "r");
    if (!pipe) return -1;
    char line[512];
    double buffer = -1, sink = -1;
    while (std::fgets(line, sizeof line, pipe)) {
        const char* b = std::strstr(line, "Buffer Latency:");
        const char* s = std::strstr(line, "Sink Latency:");
        if (b) buffer = std::atof(b + 15);
        if (s) sink = std::atof(s + 13);
    }
    pclose(pipe);
    return buffer >= 0 && sink >= 0 ? buffer + sink : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
    platform::WaveOut* device = platform::wave_open(RATE);
    if (!device) {
        std::printf("bench_audio_position: no device: %s\n", platform::wave_error());
        return 0;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    const std::string name = driver ? driver : "?";
    std::vector<int16_t> ring(static_cast<size_t>(RATE) * 2 * 2);  // two seconds of silence
    platform::wave_play_loop(device, ring.data(), static_cast<uint32_t>(ring.size() * 2));
    const auto start = Clock::now();

    std::vector<Sample> samples;
    std::vector<double> pulse_us;
    auto next_pactl = start + std::chrono::milliseconds(500);
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const uint64_t reported = platform::wave_position(device);
        samples.push_back({ms, platform::wave_handed_out(device), reported});
        if (name == "pulseaudio" && Clock::now() > next_pactl) {
            const double us = pulse_latency_us();
            if (us >= 0) pulse_us.push_back(us);
            next_pactl = Clock::now() + std::chrono::milliseconds(250);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    platform::wave_reset(device);
    platform::wave_close(device);

    // The hand-outs, as the reads saw them: the buffer handed out at one is played until the next.
    struct HandOut {
        double ms;
        uint64_t handed;
    };
    std::vector<HandOut> hand_outs;
    for (const Sample& s : samples)
        if (s.handed > 0 && (hand_outs.empty() || s.handed != hand_outs.back().handed)) hand_outs.push_back({s.ms, s.handed});
    double server_ms = 0;
    if (!pulse_us.empty()) {
        std::sort(pulse_us.begin(), pulse_us.end());
        server_ms = pulse_us[pulse_us.size() / 2] / 1000.0;
    } else if (name != "disk" && name != "dummy") {
        std::printf("bench_audio_position: %s: the driver does not say what it holds; nothing to compare with\n",
                    name.c_str());
        return 0;
    }
    double before_sum = 0, after_sum = 0, before_max = 0, after_max = -1e9, after_min = 1e9, jump_before = 0,
           jump_after = 0;
    int counted = 0;
    bool backwards = false;
    size_t k = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        if (hand_outs.size() < 2 || s.ms < hand_outs.front().ms + 500) continue;  // past the start-up
        while (k + 2 < hand_outs.size() && hand_outs[k + 1].ms <= s.ms) ++k;
        if (k + 1 >= hand_outs.size() || hand_outs[k + 1].ms <= s.ms) break;  // past the last hand-out seen
        // What has been played of the buffer handed out last, at the pace the hand-outs came.
        const HandOut& at = hand_outs[k];
        const HandOut& next = hand_outs[k + 1];
        const double size = static_cast<double>(next.handed - at.handed);
        double heard = static_cast<double>(at.handed) - size + size * (s.ms - at.ms) / (next.ms - at.ms);
        // A server holds more: what it says it holds, on average over the buffer's time.
        if (server_ms > 0) heard += size / 2 - server_ms * BYTES_PER_MS;
        const double before = (static_cast<double>(s.handed) - heard) / BYTES_PER_MS;
        const double after = (static_cast<double>(s.reported) - heard) / BYTES_PER_MS;
        before_sum += before;
        after_sum += after;
        before_max = std::max(before_max, before);
        after_max = std::max(after_max, after);
        after_min = std::min(after_min, after);
        jump_before = std::max(jump_before, (static_cast<double>(s.handed) - static_cast<double>(samples[i - 1].handed)) / BYTES_PER_MS);
        jump_after = std::max(jump_after, (static_cast<double>(s.reported) - static_cast<double>(samples[i - 1].reported)) / BYTES_PER_MS);
        backwards |= s.reported < samples[i - 1].reported;
        ++counted;
    }
    if (counted == 0) {
        std::printf("bench_audio_position: %s: the device never played\n", name.c_str());
        return 0;
    }
    std::printf("%s: %d reads; server latency %.2f ms; lead before: mean %.2f ms, max %.2f ms, largest step %.2f ms; "
                "after: mean %.2f ms, from %.2f to %.2f ms, largest step %.2f ms; went back: %s\n",
                name.c_str(), counted, server_ms, before_sum / counted, before_max, jump_before, after_sum / counted,
                after_min, after_max, jump_after, backwards ? "yes" : "no");
    std::printf("= Heard position ahead of the sound, SDL %s (before: bytes handed out) | before %.1f ms, now %.1f ms "
                "(steps <= %.1f ms) | ~0 ms\n",
                name.c_str(), before_sum / counted, after_sum / counted, jump_after);
    return 0;
}
