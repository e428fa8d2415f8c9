// Mixer throughput on the built-in song: one pass of it through fill_block on one core, in
// seconds of music per second of processor time, and the cost of one voice-frame. Then
// brusk-wav as a whole process on the song (start, load, render, write). Prints numbers;
// never fails. Lines starting with "= " are the summary that scripts/bench collects.
//   bench_mixer [ROUNDS]
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "music/engine.h"
#include "music/file_access.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "tools/song_pass.h"

extern char** environ;

namespace {

constexpr int32_t RATE = 44100;

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double wall_seconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

int32_t active_voices() {
    int32_t active = 0;
    for (int v = 0; v < music::MIXED_VOICES; ++v) active += music::voices[v].sample != nullptr;
    return active;
}

// Blocks in one pass of the song, found with an untimed render.
int32_t pass_blocks(music::Song* song) {
    music::play_offline(song, RATE);
    tools::watch_pass(song);
    int32_t blocks = 0;
    int64_t frames = 0;
    while ((tools::pass_end_frame() < 0 || frames < tools::pass_end_frame()) &&
           blocks < 20 * 60 * RATE / music::block_frames) {
        music::fill_block();
        ++blocks;
        frames += music::block_frames;
    }
    music::stop_offline();
    song->tick_handler = music::tick_update;
    return blocks;
}

// brusk-wav next to this program's build tree, run to /dev/null's neighbour in /tmp.
double brusk_wav_seconds(const std::string& tool) {
    const std::string out = "/tmp/bench_mixer_" + std::to_string(getpid()) + ".wav";
    char* const args[] = {const_cast<char*>(tool.c_str()), const_cast<char*>(out.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const double start = wall_seconds();
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, tool.c_str(), &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (failed || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
    const double seconds = wall_seconds() - start;
    std::remove(out.c_str());
    return seconds;
}

std::string sibling_tool(const char* self, const char* relative) {
    std::string dir = self;
    const size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    return dir + "/../" + relative;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    music::install_memory_callbacks();
    if (!music::mixer_configure(RATE)) {
        std::printf("bench_mixer: cannot set up the mixer\n");
        return 0;
    }
    music::Song* song = music::load_song("");
    if (!song) {
        std::printf("bench_mixer: the built-in song does not load: %s\n", music::load_error());
        return 0;
    }
    const int32_t blocks = pass_blocks(song);
    const double music_seconds = static_cast<double>(blocks) * music::block_frames / RATE;

    std::vector<double> cpu;
    int64_t voice_frames = 0;
    int32_t peak_voices = 0;
    for (int round = 0; round < rounds; ++round) {
        music::play_offline(song, RATE);
        voice_frames = 0;
        double spent = 0.0;
        for (int32_t b = 0; b < blocks; ++b) {
            const int32_t active = active_voices();
            voice_frames += static_cast<int64_t>(active) * music::block_frames;
            peak_voices = std::max(peak_voices, active);
            const double start = cpu_seconds();
            music::fill_block();
            spent += cpu_seconds() - start;
        }
        music::stop_offline();
        cpu.push_back(spent);
    }
    music::free_song(song);
    std::sort(cpu.begin(), cpu.end());
    const double best = cpu.front(), median = cpu[cpu.size() / 2];
    std::printf("bench_mixer: one pass of the song = %.2f s of music (%d blocks); %d rounds\n", music_seconds, blocks,
                rounds);
    std::printf("bench_mixer: processor time per pass: best %.4f s, median %.4f s\n", best, median);
    std::printf("bench_mixer: %.2f voices on average (peak %d), %.2f ns per voice-frame (median round)\n",
                static_cast<double>(voice_frames) / (static_cast<double>(blocks) * music::block_frames), peak_voices,
                median * 1e9 / static_cast<double>(voice_frames));
    std::printf("= Mixer, one pass of the song on one core | %.0fx real time (best %.0fx) | >= 1000x\n",
                music_seconds / median, music_seconds / best);
    std::printf("= Mixer, per voice-frame | %.2f ns | -\n", median * 1e9 / static_cast<double>(voice_frames));

    const std::string tool = sibling_tool(argv[0], "tools/brusk-wav");
    std::vector<double> wall;
    for (int round = 0; round < 3; ++round) {
        const double s = brusk_wav_seconds(tool);
        if (s < 0) break;
        wall.push_back(s);
    }
    if (wall.empty()) {
        std::printf("bench_mixer: could not run %s\n", tool.c_str());
    } else {
        std::sort(wall.begin(), wall.end());
        std::printf("= brusk-wav, whole process, one pass to a file | %.3f s (%.0fx real time) | -\n",
                    wall[wall.size() / 2], music_seconds / wall[wall.size() / 2]);
    }
    return 0;
}
