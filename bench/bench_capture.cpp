// Capture speed at 640 x 480, 60 frames per second, PNG frames: the wall time of each frame
// (sound advanced and mixed, frame drawn, read back and written as a PNG), summed per scene.
// Lines starting with "= " are the summary that scripts/bench collects.
//   bench_capture [SECONDS]     default: one pass of the song
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

}  // namespace

int main(int argc, char** argv) {
    tools::CaptureSettings settings;
    settings.out_dir = (std::filesystem::temp_directory_path() / ("brusk-bench-capture-" + std::to_string(getpid()))).string();
    if (argc > 1) {
        const double seconds = std::atof(argv[1]);
        if (!(seconds > 0 && seconds < 3600)) {
            std::fprintf(stderr, "usage: bench_capture [SECONDS]\n");
            return 2;
        }
        settings.frame_count = static_cast<int64_t>(seconds * 60);
    }
    SceneTimes times;
    tools::CaptureResult result;
    std::string error;
    const Clock::time_point start = Clock::now();
    const bool ok = tools::run_capture(settings, time_frame, &times, &result, &error);
    const double total = std::chrono::duration<double>(Clock::now() - start).count();
    std::filesystem::remove_all(settings.out_dir);
    if (!ok) {
        std::fprintf(stderr, "bench_capture: %s\n", error.c_str());
        return 1;
    }
    std::printf("capture at 640x480, 60 fps, PNG frames: %ld frames (%.1f s of show) in %.1f s\n",
                static_cast<long>(result.frames_saved), static_cast<double>(result.frames_saved) / 60.0, total);
    double timed = 0;
    long timed_frames = 0;
    for (int s = 1; s < 5; ++s) {
        if (times.frames[s] == 0) continue;
        timed += times.seconds[s];
        timed_frames += times.frames[s];
        const double fps = static_cast<double>(times.frames[s]) / times.seconds[s];
        std::printf("= brusk-capture, %s frames (%ld) | %.1f fps, %.2fx real time, %.2f ms a frame | -\n",
                    tools::scene_name(static_cast<show::Scene>(s)), times.frames[s], fps, fps / 60.0,
                    1000.0 * times.seconds[s] / static_cast<double>(times.frames[s]));
    }
    if (timed_frames > 0) {
        const double fps = static_cast<double>(timed_frames) / timed;
        std::printf("= brusk-capture at 60 fps with PNG frames, overall (%ld) | %.1f fps, %.2fx real time | > 1x\n",
                    timed_frames, fps, fps / 60.0);
    }
    return 0;
}
