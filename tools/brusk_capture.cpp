// brusk-capture: renders the show offline to numbered PNG frames and the sound heard with them,
// or through ffmpeg into one video file, frame-exact and the same bytes on every run.
//
//   brusk-capture --out DIR [--fps R] [--seconds N | --pass] [--from S] [--size WxH] [--supersample N]
//                 [--ffmpeg FILE.mp4] [--log]
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/capture.h"

namespace {

constexpr double MAX_SECONDS = 3.0 * 60.0 * 60.0;  // keeps the WAV's 32-bit sizes well inside

void usage() {
    std::fprintf(stderr,
                 "usage: brusk-capture --out DIR [--fps R] [--seconds N | --pass] [--from S] [--size WxH] "
                 "[--supersample N] [--ffmpeg FILE.mp4] [--log]\n"
                 "  --fps R        frames per second, a whole number or a fraction such as 60000/1001 (default 60)\n"
                 "  --seconds N    capture N seconds of the show\n"
                 "  --pass         capture one pass of the song (the default)\n"
                 "  --from S       start saving at S seconds; the frames before are drawn but not saved\n"
                 "  --size WxH     frames of W x H pixels (default 640x480); the 4:3 picture is drawn as large\n"
                 "                 as fits, centred, with black bars beside or above and below it\n"
                 "  --supersample N  draw at N times the size (1 to 4) and average down, for smooth edges\n"
                 "  --ffmpeg FILE  pipe the frames to ffmpeg and mux them with the sound into FILE\n"
                 "                 (H.264 + AAC) instead of writing DIR/frame_NNNNNN.png\n"
                 "  --log          write DIR/frames.txt: frame, time, order, row and scene of each frame\n"
                 "The sound heard with the frames goes to DIR/audio.wav (44100 Hz, 16-bit stereo).\n");
}

int refuse(const std::string& reason) {
    std::fprintf(stderr, "brusk-capture: %s\n", reason.c_str());
    usage();
    return 2;
}

bool parse_seconds(const char* text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(*value);
}

void on_interrupt(int signal_number) { tools::capture_stop_requested = signal_number; }

struct Progress {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point first_frame;  // the rate shown leaves the start-up out
    std::chrono::steady_clock::time_point last_print;
    bool on_terminal = false;
    tools::FrameRate rate;
};

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

void show_progress(const tools::FrameReport& report, void* user) {
    auto* progress = static_cast<Progress*>(user);
    if (!progress->on_terminal) return;
    const auto now = std::chrono::steady_clock::now();
    if (report.frame == 0) progress->first_frame = progress->last_print = now;
    if (now - progress->last_print < std::chrono::milliseconds(250) && report.frame != report.last_frame) return;
    progress->last_print = now;
    const double elapsed = seconds_since(progress->first_frame);
    const double fps = elapsed > 0 ? static_cast<double>(report.frame) / elapsed : 0.0;
    const double left = fps > 0 ? static_cast<double>(report.last_frame - report.frame) / fps : 0.0;
    const int left_seconds = static_cast<int>(std::lround(left));
    const double real_time = fps / (static_cast<double>(progress->rate.num) / static_cast<double>(progress->rate.den));
    std::fprintf(stderr, "\rbrusk-capture: %lld/%lld frames%s  %.1f s of show  %.1f fps = %.2fx real time  %d:%02d left   ",
                 static_cast<long long>(report.frame + 1), static_cast<long long>(report.last_frame + 1),
                 report.saved ? "" : " (before --from)", static_cast<double>(report.time), fps, real_time,
                 left_seconds / 60, left_seconds % 60);
}

}  // namespace

int main(int argc, char** argv) {
    tools::CaptureSettings settings;
    bool have_seconds = false, have_pass = false, have_out = false;
    double seconds = 0.0, from = 0.0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takes_value = arg == "--out" || arg == "--fps" || arg == "--seconds" || arg == "--from" ||
                                 arg == "--ffmpeg" || arg == "--size" || arg == "--supersample";
        if (takes_value && i + 1 >= argc) return refuse(arg + " needs a value");
        if (arg == "--out") {
            settings.out_dir = argv[++i];
            if (settings.out_dir.empty()) return refuse("--out needs a directory");
            have_out = true;
        } else if (arg == "--fps") {
            if (!tools::parse_frame_rate(argv[++i], &settings.rate))
                return refuse(std::string("--fps wants a whole number or a fraction such as 60000/1001 from 1 to "
                                          "1000 frames per second, not \"") +
                              argv[i] + "\"");
        } else if (arg == "--seconds") {
            if (!parse_seconds(argv[++i], &seconds) || seconds <= 0)
                return refuse(std::string("--seconds wants a number of seconds above 0, not \"") + argv[i] + "\"");
            have_seconds = true;
        } else if (arg == "--from") {
            if (!parse_seconds(argv[++i], &from) || from < 0)
                return refuse(std::string("--from wants a number of seconds, 0 or more, not \"") + argv[i] + "\"");
        } else if (arg == "--size") {
            if (!tools::parse_frame_size(argv[++i], &settings.width, &settings.height))
                return refuse(std::string("--size wants WxH, each side from ") + std::to_string(tools::MIN_FRAME_SIDE) +
                              " to " + std::to_string(tools::MAX_FRAME_SIDE) + " pixels, such as 1920x1080, not \"" +
                              argv[i] + "\"");
        } else if (arg == "--supersample") {
            const std::string value = argv[++i];
            if (value.size() != 1 || value[0] < '1' || value[0] > '0' + tools::MAX_SUPERSAMPLE)
                return refuse("--supersample wants a whole number from 1 to " + std::to_string(tools::MAX_SUPERSAMPLE) +
                              ", not \"" + value + "\"");
            settings.supersample = value[0] - '0';
        } else if (arg == "--pass") {
            have_pass = true;
        } else if (arg == "--ffmpeg") {
            settings.ffmpeg_output = argv[++i];
            if (settings.ffmpeg_output.empty()) return refuse("--ffmpeg needs a file name");
        } else if (arg == "--log") {
            settings.log = true;
        } else if (arg == "-h" || arg == "--help") {
            usage();
            return 0;
        } else {
            return refuse("unknown argument \"" + arg + "\"");
        }
    }
    if (!have_out) return refuse("--out DIR is required");
    if (have_seconds && have_pass) return refuse("--seconds and --pass exclude each other");
    if (from + (have_seconds ? seconds : 0.0) > MAX_SECONDS)
        return refuse("--from and --seconds may reach at most 3 hours into the show");
    if (std::max(settings.width, settings.height) * settings.supersample > tools::MAX_DRAWN_SIDE)
        return refuse("--size times --supersample may draw at most " + std::to_string(tools::MAX_DRAWN_SIDE) +
                      " pixels a side");
    if (!settings.ffmpeg_output.empty() && (settings.width % 2 != 0 || settings.height % 2 != 0))
        return refuse("--ffmpeg needs an even width and height (H.264 halves the colour resolution)");

    // Frame n is shown at n / R: the first saved is the first at or after S, the last the last before S + N.
    const double r = static_cast<double>(settings.rate.num) / static_cast<double>(settings.rate.den);
    settings.first_frame = static_cast<int64_t>(std::ceil(from * r - 1e-9));
    if (have_seconds) {
        const int64_t end = static_cast<int64_t>(std::ceil((from + seconds) * r - 1e-9));
        settings.frame_count = end > settings.first_frame ? end - settings.first_frame : 1;
    }

    // Ctrl-C, `kill` or `timeout`, and a closed terminal all stop the capture after the frame it
    // is on. Installed before the GL start-up, so SDL keeps its hands off them.
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int stop_signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(stop_signal, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);  // a vanished ffmpeg shows as a failed write, reported as such

    Progress progress;
    progress.on_terminal = isatty(STDERR_FILENO) != 0;
    progress.rate = settings.rate;
    tools::CaptureResult result;
    const bool ok = tools::run_capture(settings, show_progress, &progress, &result);
    if (progress.on_terminal && result.frames_drawn > 0) std::fprintf(stderr, "\n");
    if (!ok) {
        std::fprintf(stderr, "brusk-capture: %s\n", tools::capture_error());
        return 1;
    }
    const double elapsed = seconds_since(progress.start);
    const double show_seconds = static_cast<double>(result.frames_saved) / r;
    const std::string rate = settings.rate.den == 1 ? std::to_string(settings.rate.num)
                                                    : std::to_string(settings.rate.num) + "/" +
                                                          std::to_string(settings.rate.den);
    const int64_t before = result.frames_drawn - result.frames_saved;
    const double fps = elapsed > 0 ? static_cast<double>(result.frames_drawn) / elapsed : 0.0;
    std::printf("brusk-capture: %s%lld frames of %dx%d (%.3f s of show at %s fps) to %s; %lld frames drawn%s in "
                "%.1f s: %.1f frames per second, %.2fx real time\n",
                result.interrupted ? "interrupted after " : "", static_cast<long long>(result.frames_saved),
                settings.width, settings.height, show_seconds, rate.c_str(),
                settings.ffmpeg_output.empty() ? settings.out_dir.c_str() : settings.ffmpeg_output.c_str(),
                static_cast<long long>(result.frames_drawn),
                before > 0 ? (" (" + std::to_string(before) + " before --from)").c_str() : "", elapsed, fps, fps / r);
    return result.interrupted ? 128 + static_cast<int>(tools::capture_stop_requested) : 0;
}
