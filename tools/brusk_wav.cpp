// brusk-wav: renders the built-in song, or an XM file, to a 44100 Hz 16-bit stereo WAV with
// the program's own engine and mixer, offline and faster than real time.
//
//   brusk-wav [--xm FILE] [--seconds N] OUT.wav
//
// Without --seconds it renders one pass of the song: from its start until playback leaves the
// last order position (for the restart position), capped at 20 minutes.
//
// Stopped by Ctrl+C or SIGTERM, or by a write that fails (a full disk), it leaves a WAV whose
// header counts exactly the frames it holds, says what happened and exits non-zero.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "music/file_access.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "tools/song_pass.h"
#include "tools/wav_file.h"

namespace {

constexpr int32_t RATE = 44100;
constexpr double PASS_CAP_SECONDS = 20.0 * 60.0;
// A WAV file counts its bytes in 32 bits; three hours of 16-bit stereo stays well inside.
constexpr double MAX_SECONDS = 3.0 * 60.0 * 60.0;
constexpr size_t MAX_MODULE_BYTES = 0x7FFFFFF0u;
constexpr char XM_ID[] = "Extended Module: ";

volatile std::sig_atomic_t stop_signal = 0;

void on_stop_signal(int signal) { stop_signal = signal; }

void usage() {
    std::fprintf(stderr, "usage: brusk-wav [--xm FILE] [--seconds N] OUT.wav\n");
}

const char* read_reason = "";

// Why the last read_module failed.
const char* read_module_error() { return read_reason; }

// Reads a whole module, refusing what is no XM from its first bytes, before the rest is read
// (a device such as /dev/zero would otherwise be read for gigabytes first).
bool read_module(const char* path, std::vector<uint8_t>& bytes) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        read_reason = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        read_reason = "is a directory";
        return false;
    }
    uint8_t chunk[65536];
    bool checked = false;
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR && !stop_signal) continue;
            read_reason = stop_signal ? "interrupted" : std::strerror(errno);
            close(fd);
            return false;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (!checked && bytes.size() >= sizeof XM_ID - 1) {
            if (std::memcmp(bytes.data(), XM_ID, sizeof XM_ID - 1) != 0) {
                close(fd);
                read_reason = "not an XM module";
                return false;
            }
            checked = true;
        }
        if (bytes.size() > MAX_MODULE_BYTES) {
            close(fd);
            read_reason = "file too large";
            return false;
        }
    }
    close(fd);
    return true;  // a file shorter than the identification goes to the loader, which names it
}

bool parse_seconds(const char* text, double& seconds) {
    char* end = nullptr;
    errno = 0;
    seconds = std::strtod(text, &end);
    // At least one frame: a shorter span would be an empty file that looks like a success.
    return errno == 0 && end != text && *end == '\0' && seconds * RATE >= 0.5 && seconds <= MAX_SECONDS;
}

// The output file, written through its descriptor so that what has landed on disk is known
// exactly: when a write fails, the header is made to count just the whole frames that did.
struct WavOut {
    int fd = -1;
    uint64_t data_bytes = 0;  // bytes of samples on disk
    std::vector<uint8_t> pending;
    int error = 0;  // errno of the first failure

    bool write_all(const uint8_t* data, size_t length, bool count) {
        while (length > 0) {
            const ssize_t n = write(fd, data, length);
            if (n < 0) {
                if (errno == EINTR) continue;
                error = errno;
                return false;
            }
            if (count) data_bytes += static_cast<uint64_t>(n);
            data += n;
            length -= static_cast<size_t>(n);
        }
        return true;
    }
    bool flush() {
        const bool ok = write_all(pending.data(), pending.size(), true);
        pending.clear();
        return ok;
    }
    bool add(const void* data, size_t length) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        pending.insert(pending.end(), bytes, bytes + length);
        return pending.size() < (size_t{1} << 16) || flush();
    }
    // Puts the header right for the whole frames on disk and drops a torn last frame.
    bool finish() {
        const uint64_t frames = data_bytes / 4;
        bool ok = true;
        if (frames * 4 != data_bytes) {
            ok = ftruncate(fd, static_cast<off_t>(tools::WAV_HEADER_BYTES + frames * 4)) == 0;
            if (!ok && !error) error = errno;
        }
        uint8_t header[tools::WAV_HEADER_BYTES];
        tools::wav_header(header, static_cast<uint32_t>(frames), RATE);
        if (pwrite(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header)) {
            if (!error) error = errno ? errno : EIO;
            ok = false;
        }
        if (close(fd) != 0) {
            if (!error) error = errno;
            ok = false;
        }
        fd = -1;
        return ok;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const char* xm_path = nullptr;
    const char* out_path = nullptr;
    double seconds = 0.0;
    bool fixed_length = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--xm" && i + 1 < argc) {
            xm_path = argv[++i];
        } else if (arg == "--seconds" && i + 1 < argc) {
            if (!parse_seconds(argv[++i], seconds)) {
                std::fprintf(stderr, "brusk-wav: --seconds wants a number of at least one frame (1/%d s) and at most %.0f\n",
                             RATE, MAX_SECONDS);
                return 2;
            }
            fixed_length = true;
        } else if (arg == "-h" || arg == "--help") {
            usage();
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "brusk-wav: unknown option %s\n", arg.c_str());
            usage();
            return 2;
        } else if (!out_path) {
            out_path = argv[i];
        } else {
            usage();
            return 2;
        }
    }
    if (!out_path) {
        usage();
        return 2;
    }

    struct sigaction stop {};
    stop.sa_handler = on_stop_signal;
    sigemptyset(&stop.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &stop, nullptr);

    // The file's bytes, or the built-in song.
    std::vector<uint8_t> image;
    const char* name = xm_path ? xm_path : "the built-in song";
    if (xm_path) {
        if (!read_module(xm_path, image)) {
            std::fprintf(stderr, "brusk-wav: %s: %s\n", xm_path, read_module_error());
            return 1;
        }
    }
    if (!music::mixer_configure(RATE)) {
        std::fprintf(stderr, "brusk-wav: cannot set up the mixer\n");
        return 1;
    }
    music::Song* song = nullptr;
    if (xm_path) {
        song = music::load_song_from_memory(image.data(), static_cast<uint32_t>(image.size()));
    } else {
        music::install_memory_callbacks();
        song = music::load_song("");
    }
    if (!song) {
        std::fprintf(stderr, "brusk-wav: %s: %s\n", name, music::load_error());
        return 1;
    }
    if (!music::play_offline(song, RATE)) {
        std::fprintf(stderr, "brusk-wav: out of memory\n");
        music::free_song(song);
        return 1;
    }
    tools::watch_pass(song);

    WavOut out;
    out.fd = open(out_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out.fd < 0) {
        std::fprintf(stderr, "brusk-wav: %s: %s\n", out_path, std::strerror(errno));
        music::stop_offline();
        music::free_song(song);
        return 1;
    }

    const int64_t limit = static_cast<int64_t>((fixed_length ? seconds : PASS_CAP_SECONDS) * RATE + 0.5);
    uint8_t header[tools::WAV_HEADER_BYTES];
    tools::wav_header(header, 0, RATE);
    bool ok = out.write_all(header, sizeof header, false);

    const bool progress = isatty(STDERR_FILENO) != 0;
    int64_t written = 0;
    int32_t blocks_since_progress = 0;
    while (ok && !stop_signal) {
        const int16_t* pcm = nullptr;
        const int64_t frames = tools::render_pass_block(written, limit, !fixed_length, &pcm);
        if (frames == 0) break;
        // WAV samples are little-endian; so is every machine this builds for.
        ok = out.add(pcm, static_cast<size_t>(frames) * 4);
        written += frames;
        if (progress && ++blocks_since_progress == 250) {
            blocks_since_progress = 0;
            std::fprintf(stderr, "\rbrusk-wav: %.1f s rendered", static_cast<double>(written) / RATE);
        }
    }
    ok = ok && out.flush();
    ok = out.finish() && ok;
    const double kept = static_cast<double>(out.data_bytes / 4) / RATE;
    if (progress) std::fprintf(stderr, "\rbrusk-wav: %.1f s rendered\n", kept);
    music::stop_offline();
    music::free_song(song);
    if (!ok) {
        std::fprintf(stderr, "brusk-wav: %s: %s (the file holds the first %.2f s)\n", out_path,
                     std::strerror(out.error ? out.error : EIO), kept);
        return 1;
    }
    if (stop_signal) {
        std::fprintf(stderr, "brusk-wav: stopped by %s; %s holds the first %.2f s\n",
                     stop_signal == SIGINT ? "SIGINT" : stop_signal == SIGTERM ? "SIGTERM" : "SIGHUP", out_path, kept);
        return 128 + stop_signal;
    }
    if (!fixed_length && tools::pass_end_frame() < 0) {
        std::printf("brusk-wav: the song had not come back to its restart position after %.0f minutes; "
                    "stopped there\n",
                    PASS_CAP_SECONDS / 60.0);
    }
    std::printf("brusk-wav: wrote %.2f s (%lld frames) to %s\n", static_cast<double>(written) / RATE,
                static_cast<long long>(written), out_path);
    return 0;
}
