#include "tools/capture.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "music/file_access.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "platform/offscreen_gl.h"
#include "platform/virtual/virtual_wave.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "tools/png_file.h"
#include "tools/song_pass.h"
#include "tools/wav_file.h"

extern char** environ;

namespace tools {

volatile std::sig_atomic_t capture_stop_requested = 0;

namespace {

constexpr int64_t PASS_CAP_FRAMES = int64_t{20} * 60 * CAPTURE_RATE;  // a song that never ends stops here
constexpr size_t PNG_QUEUE = 2;  // frames waiting for the encoder before drawing waits for it

// The back buffer as 8-bit RGB, top row first (GL reads from the bottom up).
void read_frame(std::vector<uint8_t>& rgb) {
    const size_t row_bytes = static_cast<size_t>(CAPTURE_WIDTH) * 3;
    rgb.resize(row_bytes * CAPTURE_HEIGHT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, CAPTURE_WIDTH, CAPTURE_HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    std::vector<uint8_t> spare(row_bytes);
    for (int top = 0, bottom = CAPTURE_HEIGHT - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = rgb.data() + static_cast<size_t>(top) * row_bytes;
        uint8_t* b = rgb.data() + static_cast<size_t>(bottom) * row_bytes;
        std::memcpy(spare.data(), a, row_bytes);
        std::memcpy(a, b, row_bytes);
        std::memcpy(b, spare.data(), row_bytes);
    }
}

// Starts `args` with its standard input from `input_fd` (or /dev/null for -1) in a process group
// of its own, so that Ctrl-C on the terminal reaches only the capture, which then finishes cleanly.
bool spawn(const std::vector<std::string>& args, int input_fd, pid_t* pid, std::string* error) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, input_fd, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    const int status = posix_spawnp(pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (status == ENOENT) {
        *error = "ffmpeg was not found on the PATH: install it (apt-get install ffmpeg) or leave out --ffmpeg";
        return false;
    }
    if (status != 0) {
        *error = std::string("cannot start ffmpeg: ") + std::strerror(status);
        return false;
    }
    return true;
}

bool wait_ok(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string rate_text(FrameRate rate) {
    return std::to_string(rate.num) + "/" + std::to_string(rate.den);
}

// Encoding a PNG takes about as long as drawing a frame, so a thread of its own writes each
// frame while the next is drawn. Every file is whole once finish returns.
struct PngWriter {
    std::thread worker;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::pair<std::string, std::vector<uint8_t>>> waiting;
    bool closing = false;
    std::string failure;  // the first file that could not be written

    void start() { worker = std::thread([this] { run(); }); }

    void run() {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            changed.wait(held, [this] { return closing || !waiting.empty(); });
            if (waiting.empty()) return;
            std::pair<std::string, std::vector<uint8_t>> frame = std::move(waiting.front());
            held.unlock();
            std::string error;
            const bool written = write_png_rgb(frame.first, CAPTURE_WIDTH, CAPTURE_HEIGHT, frame.second.data(),
                                               &error, true);
            held.lock();
            waiting.pop_front();
            if (!written && failure.empty()) failure = error;
            changed.notify_all();
        }
    }

    bool put(std::string path, std::vector<uint8_t>&& rgb, std::string* error) {
        std::unique_lock<std::mutex> held(lock);
        changed.wait(held, [this] { return waiting.size() < PNG_QUEUE || !failure.empty(); });
        if (!failure.empty()) {
            *error = failure;
            return false;
        }
        waiting.emplace_back(std::move(path), std::move(rgb));
        changed.notify_all();
        return true;
    }

    bool finish(std::string* error) {
        if (!worker.joinable()) return true;
        {
            std::lock_guard<std::mutex> held(lock);
            closing = true;
        }
        changed.notify_all();
        worker.join();
        if (failure.empty()) return true;
        *error = failure;
        return false;
    }
};

// Where the frames go: numbered PNG files, or raw RGB into ffmpeg's standard input.
struct FrameSink {
    std::string dir;
    bool to_ffmpeg = false;
    std::string video_path;  // ffmpeg's video-only file, muxed with the sound at the end
    pid_t encoder = -1;
    int pipe_fd = -1;
    PngWriter png;

    bool start(const CaptureSettings& settings, std::string* error) {
        dir = settings.out_dir;
        if (settings.ffmpeg_output.empty()) {
            png.start();
            return true;
        }
        to_ffmpeg = true;
        video_path = dir + "/video.mp4";
        int fds[2];
        if (pipe(fds) != 0) {
            *error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
            return false;
        }
        fcntl(fds[1], F_SETFD, FD_CLOEXEC);
        const std::string size = std::to_string(CAPTURE_WIDTH) + "x" + std::to_string(CAPTURE_HEIGHT);
        const std::vector<std::string> args = {
            "ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pixel_format", "rgb24",
            "-video_size", size, "-framerate", rate_text(settings.rate), "-i", "pipe:0", "-c:v", "libx264",
            "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p", video_path};
        const bool started = spawn(args, fds[0], &encoder, error);
        close(fds[0]);
        if (!started) {
            close(fds[1]);
            return false;
        }
        pipe_fd = fds[1];
        return true;
    }

    bool put(int64_t index, std::vector<uint8_t>&& rgb, std::string* error) {
        if (!to_ffmpeg) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame_%06" PRId64 ".png", index);
            return png.put(dir + name, std::move(rgb), error);
        }
        size_t done = 0;
        while (done < rgb.size()) {
            const ssize_t n = write(pipe_fd, rgb.data() + done, rgb.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                *error = "ffmpeg stopped taking frames (its messages are above)";
                return false;
            }
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // Ends the video stream and muxes it with the sound into `output`.
    bool finish(const std::string& wav_path, const std::string& output, bool all_well, std::string* error) {
        if (!to_ffmpeg) return png.finish(error);
        if (pipe_fd >= 0) close(pipe_fd);
        pipe_fd = -1;
        const bool encoded = encoder > 0 && wait_ok(encoder);
        encoder = -1;
        if (!all_well) return false;
        if (!encoded) {
            *error = "ffmpeg could not encode the frames (its messages are above)";
            return false;
        }
        const std::vector<std::string> args = {
            "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", video_path, "-i", wav_path,
            "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-c:a", "aac", "-b:a", "192k", "-movflags",
            "+faststart", output};
        pid_t muxer = -1;
        if (!spawn(args, -1, &muxer, error)) return false;
        if (!wait_ok(muxer)) {
            *error = "ffmpeg could not mux " + video_path + " with " + wav_path + " (its messages are above)";
            return false;
        }
        std::remove(video_path.c_str());
        return true;
    }
};

// DIR/audio.wav: the header first with no frames, then what the device plays, then the
// header again with the count, so that an interrupted capture still leaves a valid file.
struct WavWriter {
    std::FILE* file = nullptr;
    int64_t frames = 0;
    bool ok = true;

    bool open(const std::string& path, std::string* error) {
        file = std::fopen(path.c_str(), "wb");
        if (!file) {
            *error = path + ": " + std::strerror(errno);
            return false;
        }
        uint8_t header[WAV_HEADER_BYTES];
        wav_header(header, 0, CAPTURE_RATE);
        ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
        return true;
    }
    void put(const uint8_t* bytes, uint32_t count) {
        ok = ok && std::fwrite(bytes, 1, count, file) == count;
        frames += count / 4;
    }
    bool close() {
        if (!file) return true;
        uint8_t header[WAV_HEADER_BYTES];
        wav_header(header, static_cast<uint32_t>(frames), CAPTURE_RATE);
        ok = ok && std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(header, 1, sizeof header, file) == sizeof header;
        ok = std::fclose(file) == 0 && ok;
        file = nullptr;
        return ok;
    }
};

// Moves the device's clock on to output frame `target` a block at a time, polling after each
// step as the program's audio thread does every few milliseconds, and keeps what it plays from
// output frame `keep_from` on.
void advance_sound(int64_t* device_frame, int64_t target, int64_t keep_from, WavWriter& wav,
                   std::vector<uint8_t>& played) {
    while (*device_frame < target) {
        int64_t step = target - *device_frame;
        if (step > music::block_frames) step = music::block_frames;
        played.resize(static_cast<size_t>(step) * 4);
        platform::wave_advance(music::wave_out, static_cast<uint32_t>(step) * 4, played.data());
        const int64_t skip = keep_from > *device_frame ? keep_from - *device_frame : 0;
        if (skip < step) wav.put(played.data() + skip * 4, static_cast<uint32_t>(step - skip) * 4);
        *device_frame += step;
        music::audio_poll(platform::wave_position(music::wave_out));
    }
}

// Frames n with n / rate before the pass's end at `pass_frames` output frames.
int64_t frames_in_pass(int64_t pass_frames, FrameRate rate) {
    const __int128 num = static_cast<__int128>(pass_frames) * rate.num;
    const __int128 den = static_cast<__int128>(CAPTURE_RATE) * rate.den;
    return static_cast<int64_t>((num + den - 1) / den);
}

}  // namespace

int64_t audio_frame_at(int64_t n, FrameRate rate) {
    return static_cast<int64_t>(static_cast<__int128>(n) * CAPTURE_RATE * rate.den / rate.num);
}

bool parse_frame_rate(const char* text, FrameRate* rate) {
    auto whole = [](const char*& p, int64_t* value) {
        if (*p < '0' || *p > '9') return false;
        int64_t v = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + (*p++ - '0');
            if (v > 1000000) return false;
        }
        *value = v;
        return true;
    };
    const char* p = text;
    FrameRate r{0, 1};
    if (!whole(p, &r.num)) return false;
    if (*p == '/') {
        ++p;
        if (!whole(p, &r.den)) return false;
    }
    if (*p != '\0' || r.den == 0 || r.num < r.den || r.num > 1000 * r.den) return false;
    *rate = r;
    return true;
}

const char* scene_name(show::Scene scene) {
    switch (scene) {
        case show::Scene::credits: return "credits";
        case show::Scene::metaballs: return "metaballs";
        case show::Scene::ribbons: return "ribbons";
        case show::Scene::fountain: return "fountain";
        case show::Scene::none: break;
    }
    return "none";
}

bool run_capture(const CaptureSettings& settings, FrameObserver observer, void* user, CaptureResult* result,
                 std::string* error) {
    *result = CaptureResult{};
    std::error_code ec;
    std::filesystem::create_directories(settings.out_dir, ec);
    if (!std::filesystem::is_directory(settings.out_dir)) {
        *error = settings.out_dir + ": cannot make the output directory" + (ec ? ": " + ec.message() : "");
        return false;
    }
    const std::string wav_path = settings.out_dir + "/audio.wav";

    music::install_file_callbacks(music::mem_open, music::mem_close, music::mem_read, music::mem_seek,
                                  music::mem_tell);
    // The pass's length first, on a song of its own: playback sets up every table the ticks touch.
    int64_t end_frame = settings.first_frame + settings.frame_count;
    if (settings.frame_count < 0) {
        music::Song* probe = music::mixer_configure(CAPTURE_RATE) ? music::load_song("") : nullptr;
        const int64_t pass = measure_pass(probe, PASS_CAP_FRAMES);
        music::free_song(probe);
        if (pass < 0) {
            *error = "the song does not come back to its restart position within 20 minutes";
            return false;
        }
        end_frame = frames_in_pass(pass, settings.rate);
        if (settings.first_frame >= end_frame) {
            *error = "--from is past the end of one pass of the song";
            return false;
        }
    }

    // ffmpeg first: without it there is nothing to capture for.
    WavWriter wav;
    FrameSink sink;
    std::FILE* log = nullptr;
    if (!sink.start(settings, error)) return false;
    std::string ignored;
    if (!wav.open(wav_path, error)) {
        sink.finish(wav_path, settings.ffmpeg_output, false, &ignored);
        return false;
    }
    if (settings.log) {
        log = std::fopen((settings.out_dir + "/frames.txt").c_str(), "w");
        if (!log) {
            *error = settings.out_dir + "/frames.txt: " + std::strerror(errno);
            wav.close();
            sink.finish(wav_path, settings.ffmpeg_output, false, &ignored);
            return false;
        }
        std::fprintf(log, "# frame time order row scene\n");
    }

    // The program's start-up, in its order, with the offscreen context for the window.
    bool ok = true;
    music::Song* song = nullptr;
    if (!platform::offscreen_gl_open(CAPTURE_WIDTH, CAPTURE_HEIGHT)) {
        *error = std::string("no GL context: ") + platform::offscreen_gl_error();
        ok = false;
    } else if (!music::audio_open(CAPTURE_RATE)) {
        *error = "cannot open the virtual wave device";
        ok = false;
    } else if (!(song = music::load_song(""))) {
        *error = std::string("the built-in song: ") + music::load_error();
        ok = false;
    }

    if (ok) {
        show::loaded_song = song;
        show::init_show();
        ok = music::play_song(song, music::Refill::caller);
        if (!ok) *error = "out of memory";
    }

    std::vector<uint8_t> rgb, played;
    int64_t device_frame = 0;
    const int64_t keep_from = audio_frame_at(settings.first_frame, settings.rate);
    float previous_frame_time = 0.0f;
    int64_t n = 0;
    for (; ok && n < end_frame; ++n) {
        advance_sound(&device_frame, audio_frame_at(n, settings.rate), keep_from, wav, played);

        // As the program's clock does, in seconds: the exact time rounded to a float once.
        const long double t = static_cast<long double>(n) * settings.rate.den / settings.rate.num;
        show::frame_time = static_cast<float>(t);
        show::frame_delta = static_cast<float>(t - previous_frame_time);
        previous_frame_time = static_cast<float>(t);
        show::draw_frame();

        const bool saved = n >= settings.first_frame;
        FrameReport report{n, end_frame - 1, saved, show::frame_time, music::get_order(song),
                           music::get_row(song), show::last_frame.scene};
        if (saved) {
            read_frame(rgb);
            ok = sink.put(n - settings.first_frame, std::move(rgb), error);
            if (log)
                std::fprintf(log, "%" PRId64 " %.6f %d %d %s\n", n - settings.first_frame, report.time, report.order,
                             report.row, scene_name(report.scene));
            if (ok) result->frames_saved += 1;
        }
        platform::offscreen_gl_swap();
        result->frames_drawn += 1;
        if (observer) observer(report, user);
        if (capture_stop_requested && ok) {
            result->interrupted = true;
            break;
        }
    }
    // The sound runs on to the end of the last frame saved.
    if (result->frames_saved > 0)
        advance_sound(&device_frame, audio_frame_at(settings.first_frame + result->frames_saved, settings.rate),
                      keep_from, wav, played);

    show::release_graphics();
    music::stop_song(song);
    music::free_song(song);
    show::loaded_song = nullptr;
    music::audio_close();
    platform::offscreen_gl_close();

    result->audio_frames = wav.frames;
    if (!wav.close() && ok) {
        *error = wav_path + ": could not write the file";
        ok = false;
    }
    if (log && std::fclose(log) != 0 && ok) {
        *error = settings.out_dir + "/frames.txt: could not write the file";
        ok = false;
    }
    std::string sink_error;
    if (!sink.finish(wav_path, settings.ffmpeg_output, ok && result->frames_saved > 0, &sink_error) && ok) {
        *error = sink_error.empty() ? "no frames to encode" : sink_error;
        ok = false;
    }
    return ok;
}

}  // namespace tools
