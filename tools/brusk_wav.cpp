// brusk-wav: renders the built-in song, or an XM file, to a 44100 Hz 16-bit stereo WAV with
// the program's own engine and mixer, offline and faster than real time.
//
//   brusk-wav [--xm FILE] [--seconds N] OUT.wav
//
// Without --seconds it renders one pass of the song: from its start until playback leaves the
// last order position (for the restart position), capped at 20 minutes.

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "music/file_access.h"
#include "music/mixer.h"
#include "music/song.h"
#include "tools/song_pass.h"
#include "tools/wav_file.h"

namespace {

constexpr int32_t RATE = 44100;
constexpr double PASS_CAP_SECONDS = 20.0 * 60.0;
// A WAV file counts its bytes in 32 bits; three hours of 16-bit stereo stays well inside.
constexpr double MAX_SECONDS = 3.0 * 60.0 * 60.0;

void usage() {
    std::fprintf(stderr, "usage: brusk-wav [--xm FILE] [--seconds N] OUT.wav\n");
}

bool read_file(const char* path, std::vector<uint8_t>& bytes, std::string& error) {
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (bytes.size() > 0x7FFFFFF0u) {
            std::fclose(f);
            error = "file too large";
            return false;
        }
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = "read error";
        return false;
    }
    return true;
}

bool parse_seconds(const char* text, double& seconds) {
    char* end = nullptr;
    errno = 0;
    seconds = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && seconds > 0.0 && seconds <= MAX_SECONDS;
}

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
                std::fprintf(stderr, "brusk-wav: --seconds wants a number above 0 and at most %.0f\n", MAX_SECONDS);
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

    // The loader reads through the memory callbacks: point them at the file's bytes, followed
    // by their length, or leave them on the built-in song.
    std::vector<uint8_t> image;
    const char* name = xm_path ? xm_path : "the built-in song";
    if (xm_path) {
        std::string error;
        if (!read_file(xm_path, image, error)) {
            std::fprintf(stderr, "brusk-wav: %s: %s\n", xm_path, error.c_str());
            return 1;
        }
        const uint32_t length = static_cast<uint32_t>(image.size());
        for (int i = 0; i < 4; ++i) image.push_back(static_cast<uint8_t>(length >> (8 * i)));
        music::set_memory_image(image.data(), image.data() + length);
    }
    music::install_file_callbacks(music::mem_open, music::mem_close, music::mem_read, music::mem_seek,
                                  music::mem_tell);
    if (!music::mixer_configure(RATE)) {
        std::fprintf(stderr, "brusk-wav: cannot set up the mixer\n");
        return 1;
    }
    music::Song* song = music::load_song("");
    if (!song) {
        std::fprintf(stderr, "brusk-wav: %s: %s\n", name, music::load_error());
        return 1;
    }
    if (!music::mixer_start_offline(song, RATE)) {
        std::fprintf(stderr, "brusk-wav: out of memory\n");
        music::free_song(song);
        return 1;
    }
    tools::watch_pass(song);

    FILE* out = std::fopen(out_path, "wb");
    if (!out) {
        std::fprintf(stderr, "brusk-wav: %s: %s\n", out_path, std::strerror(errno));
        music::mixer_stop_offline();
        music::free_song(song);
        return 1;
    }

    const int64_t limit = static_cast<int64_t>((fixed_length ? seconds : PASS_CAP_SECONDS) * RATE + 0.5);
    uint8_t header[tools::WAV_HEADER_BYTES];
    tools::wav_header(header, 0, RATE);
    bool ok = std::fwrite(header, 1, sizeof header, out) == sizeof header;

    const bool progress = isatty(STDERR_FILENO) != 0;
    int64_t written = 0;
    int32_t blocks_since_progress = 0;
    while (ok) {
        int64_t target = limit;
        const int64_t pass_end = tools::pass_end_frame();
        if (!fixed_length && pass_end >= 0 && pass_end < target) target = pass_end;
        if (written >= target) break;
        const int32_t block = music::fill_index;
        music::fill_block();
        const int64_t pass_end_now = tools::pass_end_frame();
        if (!fixed_length && pass_end_now >= 0 && pass_end_now < target) target = pass_end_now;
        int64_t frames = music::block_frames;
        if (written + frames > target) frames = target - written;
        const int16_t* pcm = music::wave_buffer + static_cast<int64_t>(block) * music::block_frames * 2;
        // WAV samples are little-endian; so is every machine this builds for.
        ok = std::fwrite(pcm, 4, static_cast<size_t>(frames), out) == static_cast<size_t>(frames);
        written += frames;
        if (progress && ++blocks_since_progress == 250) {
            blocks_since_progress = 0;
            std::fprintf(stderr, "\rbrusk-wav: %.1f s rendered", static_cast<double>(written) / RATE);
        }
    }
    if (progress) std::fprintf(stderr, "\rbrusk-wav: %.1f s rendered\n", static_cast<double>(written) / RATE);

    if (ok) {
        tools::wav_header(header, static_cast<uint32_t>(written), RATE);
        ok = std::fseek(out, 0, SEEK_SET) == 0 && std::fwrite(header, 1, sizeof header, out) == sizeof header;
    }
    ok = std::fclose(out) == 0 && ok;
    music::mixer_stop_offline();
    music::free_song(song);
    if (!ok) {
        std::fprintf(stderr, "brusk-wav: %s: could not write the file\n", out_path);
        return 1;
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
