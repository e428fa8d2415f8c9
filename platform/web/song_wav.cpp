// The song as a WAV file made in the page, for its download link: one pass rendered offline by
// the same loader, engine and mixer, block by block, as brusk-wav renders it. It uses the
// mixer's tables, so the page renders it in an instance of its own, never beside the demo.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "music/file_access.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "show/frame.h"
#include "tools/song_pass.h"
#include "tools/wav_file.h"

namespace {

constexpr int32_t RATE = 44100;
constexpr int64_t PASS_CAP_FRAMES = int64_t{20} * 60 * RATE;

std::vector<uint8_t> wav;

}  // namespace

extern "C" {

// The file's bytes, their count in *size; null (size 0) when it cannot be made.
EMSCRIPTEN_KEEPALIVE const uint8_t* brusk_render_wav(uint32_t* size) {
    *size = 0;
    wav.clear();
    if (show::loaded_song) return nullptr;  // the demo owns the mixer
    music::install_memory_callbacks();
    if (!music::mixer_configure(RATE)) return nullptr;
    music::Song* song = music::load_song("");
    if (!song) return nullptr;
    if (!music::play_offline(song, RATE)) {
        music::free_song(song);
        return nullptr;
    }
    tools::watch_pass(song);
    wav.resize(tools::WAV_HEADER_BYTES);
    int64_t written = 0;
    for (;;) {
        const int16_t* pcm = nullptr;
        const int64_t frames = tools::render_pass_block(written, PASS_CAP_FRAMES, true, &pcm);
        if (frames == 0) break;
        const auto* bytes = reinterpret_cast<const uint8_t*>(pcm);
        wav.insert(wav.end(), bytes, bytes + frames * 4);  // little-endian, as WAV wants
        written += frames;
    }
    tools::wav_header(wav.data(), static_cast<uint32_t>(written), RATE);
    music::stop_offline();
    music::free_song(song);
    *size = static_cast<uint32_t>(wav.size());
    return wav.data();
}

}  // extern "C"
