// Mixer throughput: seconds of music rendered per second of CPU on one core, for a 14-channel
// module with notes on every channel (retriggered notes fade out on the partner voices, so up
// to 28 voices sound at once), and the cost of one voice-frame. Prints numbers; never fails.

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "music/channel.h"
#include "music/engine.h"
#include "music/mixer.h"
#include "music/song.h"

namespace {

constexpr int16_t CHANNELS = 14;
constexpr int32_t ROWS = 64;

struct BenchSong {
    music::Song song{};
    std::vector<music::NoteCell> cells;
    music::Pattern pattern{};
    std::vector<music::Instrument> instruments;
    std::vector<std::vector<int16_t>> data;
    std::vector<music::Sample> samples;

    BenchSong() {
        // Four instruments: forward loops, a ping-pong loop and a one-shot, with real lengths.
        const uint32_t lengths[4] = {16384, 4410, 22050, 30000};
        const uint8_t loops[4] = {music::LOOP_FORWARD, music::LOOP_PINGPONG, music::LOOP_FORWARD, music::LOOP_NONE};
        data.resize(4);
        samples.resize(4);
        instruments.resize(4);
        for (int i = 0; i < 4; ++i) {
            const uint32_t n = lengths[i];
            data[i].resize(n + 8);
            for (uint32_t k = 0; k < n; ++k)
                data[i][k] = static_cast<int16_t>(9000.0 * std::sin(k * (0.05 + 0.03 * i)) + 3000.0 * std::sin(k * 0.31));
            music::Sample& s = samples[i];
            s.data = data[i].data();
            s.length = n;
            s.loop_type = loops[i];
            s.loop_start = loops[i] == music::LOOP_NONE ? 0 : n / 4;
            s.loop_length = loops[i] == music::LOOP_NONE ? n : n - n / 4;
            data[i][s.loop_start + s.loop_length] =
                data[i][loops[i] == music::LOOP_PINGPONG ? s.loop_start + s.loop_length - 1 : s.loop_start];
            s.volume = 48;
            s.panning = 40 + 50 * i;
            s.bits = 16;
            music::Instrument& ins = instruments[i];
            ins.sample_count = 1;
            for (auto& slot : ins.samples) slot = &music::empty_sample;
            ins.samples[0] = &s;
            ins.volume_envelope[0] = {0, 64};
            ins.volume_envelope[1] = {20, 40};
            ins.volume_envelope[2] = {80, 0};
            ins.volume_point_count = 3;
            ins.volume_envelope_type = 1;
            ins.vibrato_depth = 4;
            ins.vibrato_rate = 20;
        }
        cells.resize(static_cast<size_t>(ROWS) * CHANNELS);
        for (int r = 0; r < ROWS; ++r) {
            for (int c = 0; c < CHANNELS; ++c) {
                music::NoteCell& cell = cells[static_cast<size_t>(r) * CHANNELS + c];
                if ((r + c) % 4 == 0) {
                    cell.note = static_cast<uint8_t>(30 + (r * 7 + c * 5) % 40);
                    cell.instrument = static_cast<uint8_t>(1 + c % 4);
                }
                if (c % 3 == 1) {
                    cell.effect = 0x6;  // vibrato with a slow volume slide
                    cell.volume_column = r % 8 == 0 ? 0xB4 : 0;
                }
                if (c % 5 == 2) {
                    cell.effect = 0x0;
                    cell.effect_param = 0x37;  // arpeggio
                }
            }
        }
        pattern.row_count = ROWS;
        pattern.cells = cells.data();
        song.patterns = &pattern;
        song.pattern_count = 1;
        song.instruments = instruments.data();
        song.instrument_count = 4;
        song.channel_count = CHANNELS;
        song.song_length = 1;
        song.flags = 1;
        song.default_speed = 6;
        song.default_bpm = 125;
        song.initial_global_volume = 64;
        song.tick_handler = music::tick_update;
    }
};

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

}  // namespace

int main() {
    BenchSong bench;
    if (!music::mixer_start_offline(&bench.song, 44100)) {
        std::printf("bench_mixer: could not start the mixer\n");
        return 0;
    }
    // Seven rounds of 60 s of music; the machine is shared, so the best round is the one
    // least disturbed by other work, and the median shows the spread.
    const int32_t blocks = static_cast<int32_t>(60.0 * 44100 / music::block_frames);
    for (int b = 0; b < 50; ++b) music::fill_block();  // warm up: all voices sounding

    std::vector<double> rounds;
    int64_t voice_frames = 0;
    int64_t peak_voices = 0;
    for (int round = 0; round < 7; ++round) {
        double cpu = 0.0;
        voice_frames = 0;
        for (int b = 0; b < blocks; ++b) {
            int32_t active = 0;
            for (int v = 0; v < music::MIXED_VOICES; ++v) active += music::voices[v].sample != nullptr;
            voice_frames += static_cast<int64_t>(active) * music::block_frames;
            if (active > peak_voices) peak_voices = active;
            const double start = cpu_seconds();
            music::fill_block();
            cpu += cpu_seconds() - start;
        }
        rounds.push_back(cpu);
    }
    std::sort(rounds.begin(), rounds.end());
    const double rendered = static_cast<double>(blocks) * music::block_frames / 44100.0;
    std::printf("bench_mixer: %d channels, %.1f s of music per round: best %.3f s CPU = %.0fx real time "
                "(median %.0fx)\n",
                CHANNELS, rendered, rounds.front(), rendered / rounds.front(), rendered / rounds[rounds.size() / 2]);
    std::printf("bench_mixer: %.2f voices on average (peak %lld), %.2f ns per voice-frame (best round)\n",
                static_cast<double>(voice_frames) / (static_cast<double>(blocks) * music::block_frames),
                static_cast<long long>(peak_voices), rounds.front() * 1e9 / static_cast<double>(voice_frames));
    music::mixer_stop_offline();
    return 0;
}
