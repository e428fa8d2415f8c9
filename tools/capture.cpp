#include "tools/capture.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
#include "shell/lifecycle.h"
#include "show/frame.h"
#include "show/timeline.h"
#include "tools/png_file.h"
#include "tools/song_pass.h"
#include "tools/wav_file.h"

extern char** environ;

namespace tools {

volatile std::sig_atomic_t capture_stop_requested = 0;

namespace {

constexpr int64_t PASS_CAP_FRAMES = int64_t{20} * 60 * CAPTURE_RATE;  // a song that never ends stops here
constexpr int PNG_LEVEL = 1;  // libdeflate's quickest: the show's grain hardly packs at any level

std::string capture_reason;  // the first thing that went wrong in this run_capture

// Keeps the first reason: what fails while a failed capture shuts down says less.
bool fail(const std::string& why) {
    if (capture_reason.empty()) capture_reason = why;
    return false;
}

// The frame as drawn, and where the picture lies in it.
struct Geometry {
    int width, height;  // the frame written
    int factor;         // drawn at this many times the frame's size
    int drawn_width, drawn_height;
    PictureBox box;  // in drawn pixels
    bool bars;       // the picture does not fill the frame
};

Geometry geometry_of(const CaptureSettings& settings) {
    Geometry g{};
    g.width = settings.width;
    g.height = settings.height;
    g.factor = settings.supersample;
    g.drawn_width = g.width * g.factor;
    g.drawn_height = g.height * g.factor;
    const PictureBox box = picture_box(g.width, g.height);
    g.box = {box.x * g.factor, box.y * g.factor, box.width * g.factor, box.height * g.factor};
    g.bars = box.width != g.width || box.height != g.height;
    return g;
}

// The back buffer as 8-bit RGB, bottom row first, as GL reads it.
void read_frame(const Geometry& g, std::vector<uint8_t>& rgb) {
    rgb.resize(static_cast<size_t>(g.drawn_width) * g.drawn_height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, g.drawn_width, g.drawn_height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
}

// Starts `args` with its standard input from `input_fd` (or /dev/null for -1) in a process group
// of its own, so that Ctrl-C on the terminal reaches only the capture, which then finishes cleanly.
bool spawn(const std::vector<std::string>& args, int input_fd, pid_t* pid) {
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
    if (status == ENOENT)
        return fail("ffmpeg was not found on the PATH: install it (apt-get install ffmpeg) or leave out --ffmpeg");
    if (status != 0) return fail(std::string("cannot start ffmpeg: ") + std::strerror(status));
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

bool write_all(int fd, const uint8_t* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Frames read back wait here for the threads that turn them into files (or into ffmpeg's input),
// so that drawing the next frame overlaps encoding the last ones. The frame buffers go round:
// a finished frame's buffer is the next one read into.
struct FramePipeline {
    struct Frame {
        int64_t index;
        std::vector<uint8_t> pixels;  // drawn size, bottom row first
    };

    Geometry geometry{};
    FrameEncoder encoder = FrameEncoder::fast;
    std::string dir;
    int pipe_fd = -1;  // frames in order into ffmpeg; -1: PNG files
    size_t limit = 2;  // frames waiting before drawing waits

    std::vector<std::thread> workers;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Frame> waiting;
    std::vector<std::vector<uint8_t>> spare;
    bool closing = false;
    std::string failure;  // the first frame that could not be written

    void start(int threads) {
        limit = static_cast<size_t>(threads) + 1;
        for (int t = 0; t < threads; ++t) workers.emplace_back([this] { run(); });
    }

    // A buffer to read the next frame into.
    std::vector<uint8_t> buffer() {
        std::lock_guard<std::mutex> held(lock);
        if (spare.empty()) return {};
        std::vector<uint8_t> b = std::move(spare.back());
        spare.pop_back();
        return b;
    }

    bool put(int64_t index, std::vector<uint8_t>&& pixels) {
        std::unique_lock<std::mutex> held(lock);
        changed.wait(held, [this] { return waiting.size() < limit || !failure.empty(); });
        if (!failure.empty()) return fail(failure);
        waiting.push_back({index, std::move(pixels)});
        changed.notify_all();
        return true;
    }

    // Waits until every frame put is written; false with the first failure.
    bool finish() {
        {
            std::lock_guard<std::mutex> held(lock);
            closing = true;
        }
        changed.notify_all();
        for (std::thread& worker : workers) worker.join();
        workers.clear();
        return failure.empty() || fail(failure);
    }

    void run() {
        PngEncoder* png = encoder == FrameEncoder::fast && pipe_fd < 0 ? png_encoder_create(PNG_LEVEL) : nullptr;
        std::vector<uint8_t> small, bytes;
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            changed.wait(held, [this] { return closing || !waiting.empty(); });
            if (waiting.empty()) break;
            Frame frame = std::move(waiting.front());
            waiting.pop_front();
            changed.notify_all();
            const bool skip = !failure.empty();  // after a failure the rest would fail too
            held.unlock();
            const bool written = skip || write_frame(frame, png, small, bytes);
            // The reason this thread's PNG writer left, or the pipe's.
            const std::string reason =
                written ? "" : pipe_fd >= 0 ? "ffmpeg stopped taking frames (its messages are above)" : png_file_error();
            held.lock();
            if (!written && failure.empty()) failure = reason;
            spare.push_back(std::move(frame.pixels));
            changed.notify_all();
        }
        held.unlock();
        png_encoder_free(png);
    }

    bool write_frame(const Frame& frame, PngEncoder* png, std::vector<uint8_t>& small,
                     std::vector<uint8_t>& bytes) const {
        const Geometry& g = geometry;
        const uint8_t* rgb = frame.pixels.data();
        if (g.factor > 1) {
            small.resize(static_cast<size_t>(g.width) * g.height * 3);
            downsample_rgb(rgb, g.width, g.height, g.factor, small.data());
            rgb = small.data();
        }
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(g.width) * 3;
        const uint8_t* top = rgb + row * (g.height - 1);
        if (pipe_fd >= 0 || !png) {
            // ffmpeg and libpng both take the rows top first.
            bytes.resize(static_cast<size_t>(row) * g.height);
            for (int y = 0; y < g.height; ++y) std::memcpy(bytes.data() + row * y, top - row * y, row);
        }
        if (pipe_fd >= 0) return write_all(pipe_fd, bytes.data(), bytes.size());
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06" PRId64 ".png", frame.index);
        if (!png) return write_png_rgb(dir + name, g.width, g.height, bytes.data(), true);
        encode_png_rgb(png, g.width, g.height, top, -row, &bytes);
        return write_whole_file(dir + name, bytes);
    }
};

// Where the frames go: numbered PNG files, or raw RGB into ffmpeg's standard input.
struct FrameSink {
    bool to_ffmpeg = false;
    std::string video_path;  // ffmpeg's video-only file, muxed with the sound at the end
    pid_t encoder = -1;
    FramePipeline pipeline;

    bool start(const CaptureSettings& settings, const Geometry& geometry) {
        pipeline.geometry = geometry;
        pipeline.encoder = settings.encoder;
        pipeline.dir = settings.out_dir;
        if (settings.ffmpeg_output.empty()) {
            int threads = settings.encoder_threads;
            if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
            if (settings.encoder == FrameEncoder::previous || threads < 1) threads = 1;
            pipeline.start(threads);
            return true;
        }
        to_ffmpeg = true;
        video_path = settings.out_dir + "/video.mp4";
        int fds[2];
        if (pipe(fds) != 0) return fail(std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno));
        fcntl(fds[1], F_SETFD, FD_CLOEXEC);
        fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);  // a frame or more per write, where the system allows it
        const std::string size = std::to_string(geometry.width) + "x" + std::to_string(geometry.height);
        // x264 spreads its work over every processor by itself; "veryfast" keeps up with the
        // drawing at CRF 18 where "medium" took half as long again as the show.
        const char* preset = settings.encoder == FrameEncoder::previous ? "medium" : "veryfast";
        const std::vector<std::string> args = {
            "ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pixel_format", "rgb24",
            "-video_size", size, "-framerate", rate_text(settings.rate), "-i", "pipe:0", "-c:v", "libx264",
            "-preset", preset, "-crf", "18", "-pix_fmt", "yuv420p", video_path};
        const bool started = spawn(args, fds[0], &encoder);
        close(fds[0]);
        if (!started) {
            close(fds[1]);
            return false;
        }
        pipeline.pipe_fd = fds[1];
        pipeline.start(1);  // one writer keeps the frames in order
        return true;
    }

    // Ends the video stream and muxes it with the sound into `output`.
    bool finish(const std::string& wav_path, const std::string& output, bool all_well) {
        const bool written = pipeline.finish();
        if (!to_ffmpeg) return written;
        if (pipeline.pipe_fd >= 0) close(pipeline.pipe_fd);
        pipeline.pipe_fd = -1;
        const bool encoded = encoder > 0 && wait_ok(encoder);
        encoder = -1;
        if (!all_well || !written) return false;
        if (!encoded) return fail("ffmpeg could not encode the frames (its messages are above)");
        const std::vector<std::string> args = {
            "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", video_path, "-i", wav_path,
            "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-c:a", "aac", "-b:a", "192k", "-movflags",
            "+faststart", output};
        pid_t muxer = -1;
        if (!spawn(args, -1, &muxer)) return false;
        if (!wait_ok(muxer))
            return fail("ffmpeg could not mux " + video_path + " with " + wav_path + " (its messages are above)");
        std::remove(video_path.c_str());
        return true;
    }
};

// DIR/audio.wav: the header first with no frames, then what the device plays, then the
// header again with the count, so that an interrupted capture still leaves a valid file. A write
// that fails (a full disk) cuts the file back to the whole frames before it, and the header
// counts exactly those.
struct WavWriter {
    std::string path;
    int fd = -1;
    int64_t frames = 0;
    std::string failure;

    bool open(const std::string& file_path) {
        path = file_path;
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return fail(path + ": " + std::strerror(errno));
        uint8_t header[WAV_HEADER_BYTES];
        wav_header(header, 0, CAPTURE_RATE);
        if (!write_all(fd, header, sizeof header)) {
            fail(path + ": " + std::strerror(errno));
            ::close(fd);
            fd = -1;
            unlink(path.c_str());
            return false;
        }
        return true;
    }
    bool ok() const { return failure.empty(); }
    void put(const uint8_t* bytes, uint32_t count) {
        if (fd < 0 || !ok()) return;
        if (write_all(fd, bytes, count)) {
            frames += count / 4;
            return;
        }
        failure = path + ": " + std::strerror(errno);
        if (ftruncate(fd, WAV_HEADER_BYTES + frames * 4) != 0) failure += " (and a part frame stays at its end)";
    }
    bool close() {
        if (fd < 0) return true;
        uint8_t header[WAV_HEADER_BYTES];
        wav_header(header, static_cast<uint32_t>(frames), CAPTURE_RATE);
        bool written = pwrite(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
        if (!written && ok()) failure = path + ": " + std::strerror(errno);
        if (::close(fd) != 0 && ok()) failure = path + ": " + std::strerror(errno);
        fd = -1;
        return ok() || fail(failure);
    }
};

// The sound the virtual device plays, kept from output frame `keep_from` on.
struct SoundTap {
    WavWriter* wav;
    int64_t keep_from;
    std::vector<uint8_t> played;
};

bool play_into_wav(int64_t from, uint32_t frames, void* user) {
    SoundTap& tap = *static_cast<SoundTap*>(user);
    tap.played.resize(static_cast<size_t>(frames) * 4);
    platform::wave_advance(music::wave_out, frames * 4, tap.played.data());
    const int64_t skip = tap.keep_from > from ? tap.keep_from - from : 0;
    if (skip < frames) tap.wav->put(tap.played.data() + skip * 4, static_cast<uint32_t>(frames - skip) * 4);
    return tap.wav->ok();
}

// Black where the picture does not reach; the show's own clearing then stays inside the box.
void clear_bars() {
    glDisable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
}

// Divides by d = factor squared, rounding to nearest with ties to even.
inline uint8_t rounded_quotient(uint32_t sum, uint32_t d) {
    uint32_t q = sum / d;
    const uint32_t twice_rest = 2 * (sum - q * d);
    if (twice_rest > d || (twice_rest == d && (q & 1))) ++q;
    return static_cast<uint8_t>(q);
}

// Frames n with n / rate before the pass's end at `pass_frames` output frames.
int64_t frames_in_pass(int64_t pass_frames, FrameRate rate) {
    const __int128 num = static_cast<__int128>(pass_frames) * rate.num;
    const __int128 den = static_cast<__int128>(CAPTURE_RATE) * rate.den;
    return static_cast<int64_t>((num + den - 1) / den);
}

}  // namespace

PictureBox picture_box(int width, int height) {
    PictureBox box{0, 0, width, height};
    // Ties to even: a third never ties; a quarter ties on halves.
    auto share = [](int64_t numerator, int64_t denominator) {
        int64_t q = numerator / denominator;
        const int64_t twice_rest = 2 * (numerator - q * denominator);
        if (twice_rest > denominator || (twice_rest == denominator && (q & 1))) ++q;
        return static_cast<int>(q);
    };
    if (int64_t{width} * 3 >= int64_t{height} * 4)
        box.width = share(int64_t{height} * 4, 3);
    else
        box.height = share(int64_t{width} * 3, 4);
    box.x = (width - box.width) / 2;
    box.y = (height - box.height) / 2;
    return box;
}

bool parse_frame_size(const char* text, int* width, int* height) {
    auto side = [](const char*& p, int* value) {
        if (*p < '1' || *p > '9') return false;
        int v = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + (*p++ - '0');
            if (v > MAX_FRAME_SIDE) return false;
        }
        if (v < MIN_FRAME_SIDE) return false;
        *value = v;
        return true;
    };
    const char* p = text;
    int w = 0, h = 0;
    if (!side(p, &w) || *p++ != 'x' || !side(p, &h) || *p != '\0') return false;
    *width = w;
    *height = h;
    return true;
}

void downsample_rgb(const uint8_t* in, int width, int height, int factor, uint8_t* out) {
    const size_t in_row = static_cast<size_t>(width) * factor * 3;
    const uint32_t d = static_cast<uint32_t>(factor * factor);
    std::vector<uint32_t> sums(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int r = 0; r < factor; ++r) {
            const uint8_t* p = in + (static_cast<size_t>(y) * factor + r) * in_row;
            for (int x = 0; x < width; ++x)
                for (int f = 0; f < factor; ++f)
                    for (int c = 0; c < 3; ++c) sums[static_cast<size_t>(x) * 3 + c] += *p++;
        }
        uint8_t* o = out + static_cast<size_t>(y) * width * 3;
        for (size_t i = 0; i < sums.size(); ++i) o[i] = rounded_quotient(sums[i], d);
    }
}

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

const char* capture_error() { return capture_reason.c_str(); }

bool run_capture(const CaptureSettings& settings, FrameObserver observer, void* user, CaptureResult* result) {
    *result = CaptureResult{};
    capture_reason.clear();
    std::error_code ec;
    std::filesystem::create_directories(settings.out_dir, ec);
    if (!std::filesystem::is_directory(settings.out_dir))
        return fail(settings.out_dir + ": cannot make the output directory" + (ec ? ": " + ec.message() : ""));
    const std::string wav_path = settings.out_dir + "/audio.wav";

    music::install_memory_callbacks();
    // The pass's length first, on a song of its own: playback sets up every table the ticks touch.
    int64_t end_frame = settings.first_frame + settings.frame_count;
    if (settings.frame_count < 0) {
        music::Song* probe = music::mixer_configure(CAPTURE_RATE) ? music::load_song("") : nullptr;
        const int64_t pass = measure_pass(probe, PASS_CAP_FRAMES);
        music::free_song(probe);
        if (pass < 0) return fail("the song does not come back to its restart position within 20 minutes");
        end_frame = frames_in_pass(pass, settings.rate);
        if (settings.first_frame >= end_frame) return fail("--from is past the end of one pass of the song");
    }

    // ffmpeg first: without it there is nothing to capture for.
    const Geometry geometry = geometry_of(settings);
    WavWriter wav;
    FrameSink sink;
    std::FILE* log = nullptr;
    if (!sink.start(settings, geometry)) return false;
    if (!wav.open(wav_path)) {
        sink.finish(wav_path, settings.ffmpeg_output, false);
        return false;
    }
    if (settings.log) {
        log = std::fopen((settings.out_dir + "/frames.txt").c_str(), "w");
        if (!log) {
            fail(settings.out_dir + "/frames.txt: " + std::strerror(errno));
            wav.close();
            sink.finish(wav_path, settings.ffmpeg_output, false);
            return false;
        }
        std::fprintf(log, "# frame time order row scene\n");
    }

    // The program's start-up, in its order, with the offscreen context for the window.
    bool ok = true;
    bool started = false;
    if (!platform::offscreen_gl_open(geometry.drawn_width, geometry.drawn_height)) {
        ok = fail(std::string("no GL context: ") + platform::offscreen_gl_error());
    } else {
        // Lines keep their width in pixels of the 640 x 480 picture; the picture's height sets the scale.
        show::pixel_scale = static_cast<float>(geometry.box.height) / static_cast<float>(CAPTURE_HEIGHT);
        if (geometry.bars) {
            glViewport(geometry.box.x, geometry.box.y, geometry.box.width, geometry.box.height);
            glScissor(geometry.box.x, geometry.box.y, geometry.box.width, geometry.box.height);
        }
        started = true;
        switch (shell::start_show(music::Refill::caller)) {
            case shell::ShowStart::playing: break;
            case shell::ShowStart::no_sound_device:
                ok = fail("cannot open the virtual wave device");
                break;
            case shell::ShowStart::no_song:
                ok = fail(std::string("the built-in song: ") + music::load_error());
                break;
            case shell::ShowStart::no_playback:
                ok = fail("out of memory");
                break;
        }
    }

    int64_t device_frame = 0;
    SoundTap tap{&wav, audio_frame_at(settings.first_frame, settings.rate), {}};
    int64_t n = 0;
    for (; ok && n < end_frame; ++n) {
        if (!shell::play_until(&device_frame, audio_frame_at(n, settings.rate), play_into_wav, &tap)) {
            ok = fail(wav.failure);
            break;
        }

        if (geometry.bars) clear_bars();
        // As the program's clock does, in seconds: the exact time, rounded to a float once.
        shell::show_frame(static_cast<long double>(n) * settings.rate.den / settings.rate.num);

        const bool saved = n >= settings.first_frame;
        const int32_t order = music::get_order(show::loaded_song);
        FrameReport report{n, end_frame - 1, saved, show::frame_time, order, music::get_row(show::loaded_song),
                           show::scene_at(order)};
        if (saved) {
            std::vector<uint8_t> rgb = sink.pipeline.buffer();
            read_frame(geometry, rgb);
            ok = sink.pipeline.put(n - settings.first_frame, std::move(rgb));
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
    if (result->frames_saved > 0 &&
        !shell::play_until(&device_frame, audio_frame_at(settings.first_frame + result->frames_saved, settings.rate),
                           play_into_wav, &tap) &&
        ok)
        ok = fail(wav.failure);

    if (started) {
        shell::stop_show();
        show::pixel_scale = 1.0f;
        platform::offscreen_gl_close();
    }

    result->audio_frames = wav.frames;
    if (!wav.close()) ok = false;
    if (log && std::fclose(log) != 0) ok = fail(settings.out_dir + "/frames.txt: could not write the file");
    if (!sink.finish(wav_path, settings.ffmpeg_output, ok && result->frames_saved > 0)) ok = fail("no frames to encode");
    return ok;
}

}  // namespace tools
