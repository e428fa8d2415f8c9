// Loads arbitrary bytes as a module through the real loader and, when they load, plays a stretch
// of the song through the engine and the mixer, then frees everything. A refused file must leave
// no block behind, and so must one that plays. Built twice: a short render that tries many
// inputs, and (BRUSK_LONG_RENDER) a long one at the lowest rate that reaches the state only
// long play builds up: slides run far, envelopes and counters go on for 100,000 ticks.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "music/engine.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "shell/runtime.h"

namespace {

// A low rate keeps each input cheap: the engine runs the same ticks at any rate, and the
// mixer's steps reach the same largest values (they are capped relative to the rate).
#if defined(BRUSK_LONG_RENDER)
constexpr int32_t RATE = 1000;  // the lowest the mixer takes: 20 frames a tick at 125 BPM
constexpr int64_t RENDER_FRAMES = int64_t{RATE} * 60 * 40;  // 40 minutes of song, for slow tempos
constexpr int32_t TICK_CAP = 100000;
#else
constexpr int32_t RATE = 4000;
constexpr int64_t RENDER_FRAMES = RATE * 3;  // three seconds of song
// The fastest tempo ticks every few frames; the tick cap keeps such a file from costing more
// than a slow one.
constexpr int32_t TICK_CAP = 500;
#endif
constexpr size_t MAX_INPUT_BYTES = 1 << 20;

int32_t ticks = 0;

void counting_tick(music::Song* song) {
    ++ticks;
    music::tick_update(song);
}

void fail(const char* what, int32_t before, int32_t after) {
    std::fprintf(stderr, "module_fuzz: %s: %d heap blocks before, %d after\n", what, before, after);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > MAX_INPUT_BYTES) return -1;
    const int32_t before = runtime::heap_live_blocks();
    music::Song* song = music::load_song_from_memory(data, static_cast<uint32_t>(size));
    if (!song) {
        if (runtime::heap_live_blocks() != before) fail("refused module leaked", before, runtime::heap_live_blocks());
        if (music::load_error()[0] == '\0') {
            std::fprintf(stderr, "module_fuzz: a module was refused without a reason\n");
            std::abort();
        }
        return 0;
    }
    if (music::play_offline(song, RATE)) {
        song->tick_handler = counting_tick;
        ticks = 0;
        for (int64_t frames = 0; frames < RENDER_FRAMES && ticks < TICK_CAP; frames += music::block_frames)
            music::fill_block();
        music::stop_offline();
    }
    music::free_song(song);
    if (runtime::heap_live_blocks() != before) fail("played module leaked", before, runtime::heap_live_blocks());
    return 0;
}
