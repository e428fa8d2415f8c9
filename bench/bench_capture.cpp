// Capture speed, the current encoders side by side with the previous ones, at 640 x 480 and
// 1920 x 1440, 60 frames per second: PNG frames (libdeflate on a thread per processor against
// libpng on one thread) and video through ffmpeg (x264 "veryfast" against "medium", CRF 18 both).
// Each capture runs in a process of its own, so every one starts from the show's first frame
// with fresh state. Speed is show time over wall time, from start-up to the last file closed
// (the mux included); per scene, the wall time between frames. On a shared machine the wall
// times say more about the other work than about the capture, so each run also reports the
// processor time it took (ffmpeg's included) per second of show: on an idle machine with P
// processors the capture cannot run faster than P over that figure times real time.
// Lines starting with "= " are the summary that scripts/bench collects.
//   bench_capture [SECONDS|pass [SECONDS_AT_1920x1440|pass]]
// Default: one pass of the song at 640 x 480 and its first 40 seconds (the credits and the first
// metaballs) at 1920 x 1440, where a whole pass would take the better part of an hour per encoder.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/capture.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SceneTimes {
    Clock::time_point last;
    bool started = false;
    double seconds[5] = {};
    long frames[5] = {};
};

void time_frame(const tools::FrameReport& report, void* user) {
    auto* times = static_cast<SceneTimes*>(user);
    const Clock::time_point now = Clock::now();
    // The first frame carries the start-up; every later one is timed from the one before.
    if (times->started) {
        const int scene = static_cast<int>(report.scene);
        times->seconds[scene] += std::chrono::duration<double>(now - times->last).count();
        times->frames[scene] += 1;
    }
    times->started = true;
    times->last = now;
}

struct Run {
    int width, height;
    bool ffmpeg;
    tools::FrameEncoder encoder;
    double seconds;  // of show; <= 0: one pass
};

std::string run_name(const Run& run) {
    const std::string size = std::to_string(run.width) + "x" + std::to_string(run.height);
    if (run.ffmpeg)
        return size + " ffmpeg, " +
               (run.encoder == tools::FrameEncoder::fast ? "x264 veryfast" : "x264 medium (previous)");
    return size + " PNG, " +
           (run.encoder == tools::FrameEncoder::fast ? "libdeflate x " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " threads"
                                                     : "libpng x 1 thread (previous)");
}

// One capture, in this process; prints its lines, writes the frames saved to `report_fd` and
// returns the exit status.
int capture(const Run& run, int report_fd) {
    tools::CaptureSettings settings;
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("brusk-bench-capture-" + std::to_string(getpid()))).string();
    settings.out_dir = dir;
    settings.width = run.width;
    settings.height = run.height;
    settings.encoder = run.encoder;
    if (run.ffmpeg) settings.ffmpeg_output = dir + "/show.mp4";
    if (run.seconds > 0) settings.frame_count = static_cast<int64_t>(run.seconds * 60);
    SceneTimes times;
    tools::CaptureResult result;
    const Clock::time_point start = Clock::now();
    const bool ok = tools::run_capture(settings, time_frame, &times, &result);
    const double total = std::chrono::duration<double>(Clock::now() - start).count();
    uintmax_t bytes = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.path().filename() != "audio.wav") bytes += entry.file_size(ec);
    std::filesystem::remove_all(dir, ec);
    const std::string name = run_name(run);
    if (!ok) {
        std::printf("%s: %s\n", name.c_str(), tools::capture_error());
        return 1;
    }
    const int64_t saved = result.frames_saved;
    if (write(report_fd, &saved, sizeof saved) != static_cast<ssize_t>(sizeof saved)) return 1;
    const double show_seconds = static_cast<double>(result.frames_saved) / 60.0;
    std::printf("%s: %ld frames (%.1f s of show) in %.1f s, %.1f MB of frames\n", name.c_str(),
                static_cast<long>(result.frames_saved), show_seconds, total, static_cast<double>(bytes) / 1e6);
    for (int s = 1; s < 5; ++s) {
        if (times.frames[s] == 0) continue;
        const double fps = static_cast<double>(times.frames[s]) / times.seconds[s];
        std::printf("  %-10s %6ld frames  %6.1f fps  %5.2fx real time  %6.2f ms a frame\n",
                    tools::scene_name(static_cast<show::Scene>(s)), times.frames[s], fps, fps / 60.0,
                    1000.0 * times.seconds[s] / static_cast<double>(times.frames[s]));
    }
    const bool target = run.width == 640 && run.encoder == tools::FrameEncoder::fast;
    std::printf("= brusk-capture %s, %.0f s | %.1f fps, %.2fx real time | %s\n", name.c_str(), show_seconds,
                static_cast<double>(result.frames_saved) / total, show_seconds / total,
                target ? (run.ffmpeg ? ">= 1x" : ">= 1.5x") : "-");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // 0 stands for one pass of the song.
    auto span = [](const char* text, double* seconds) {
        const bool pass = std::string(text) == "pass";
        *seconds = pass ? 0.0 : std::atof(text);
        return pass || (*seconds > 0 && *seconds < 3600);
    };
    double seconds = 0, large_seconds = 40;
    if (argc > 3 || (argc > 1 && !span(argv[1], &seconds)) || (argc > 2 && !span(argv[2], &large_seconds))) {
        std::fprintf(stderr, "usage: bench_capture [SECONDS|pass [SECONDS_AT_1920x1440|pass]]\n");
        return 2;
    }
    if (argc == 2) large_seconds = seconds;
    int failures = 0;
    for (const int large : {0, 1}) {
        for (const bool ffmpeg : {false, true}) {
            for (const tools::FrameEncoder encoder : {tools::FrameEncoder::previous, tools::FrameEncoder::fast}) {
                const Run run{large ? 1920 : 640, large ? 1440 : 480, ffmpeg, encoder, large ? large_seconds : seconds};
                std::fflush(stdout);
                int report[2];
                if (pipe2(report, O_CLOEXEC) != 0) return 1;
                const pid_t pid = fork();
                if (pid == 0) {
                    close(report[0]);
                    const int status = capture(run, report[1]);
                    std::fflush(stdout);
                    _exit(status);
                }
                close(report[1]);
                int64_t saved = 0;
                const bool reported = read(report[0], &saved, sizeof saved) == static_cast<ssize_t>(sizeof saved);
                close(report[0]);
                int status = 0;
                rusage usage{};
                if (pid < 0 || wait4(pid, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
                    !reported || saved <= 0) {
                    ++failures;
                    continue;
                }
                const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                                   1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
                const double show_seconds = static_cast<double>(saved) / 60.0;
                std::printf("= brusk-capture %s, processor time | %.2f s per s of show (%.0f s) | -\n",
                            run_name(run).c_str(), cpu / show_seconds, cpu);
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
