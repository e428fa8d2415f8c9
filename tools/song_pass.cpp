#include "tools/song_pass.h"

#include "music/engine.h"
#include "music/mixer.h"
#include "music/song.h"

namespace tools {
namespace {

int64_t next_tick_frame = 0;
int64_t end_frame = -1;

void pass_watching_tick(music::Song* song) {
    const int32_t last_order = (song->song_length > 256 ? 256 : song->song_length) - 1;
    if (end_frame < 0 && song->tick == 0 && song->next_order >= 0 && song->order >= last_order)
        end_frame = next_tick_frame;
    music::tick_update(song);
    // The mixer takes the tick's length right after this call returns.
    next_tick_frame += song->samples_per_tick < 1 ? 1 : song->samples_per_tick;
}

}  // namespace

void watch_pass(music::Song* song) {
    next_tick_frame = 0;
    end_frame = -1;
    if (song) song->tick_handler = pass_watching_tick;
}

int64_t pass_end_frame() { return end_frame; }

int64_t render_pass_block(int64_t written, int64_t limit, bool whole_pass, const int16_t** pcm) {
    int64_t target = limit;
    if (whole_pass && end_frame >= 0 && end_frame < target) target = end_frame;
    if (written >= target) return 0;
    const int32_t block = music::fill_index;
    music::fill_block();
    // The pass may end inside the block just mixed.
    if (whole_pass && end_frame >= 0 && end_frame < target) target = end_frame;
    int64_t frames = music::block_frames;
    if (written + frames > target) frames = target - written;
    *pcm = music::wave_buffer + static_cast<int64_t>(block) * music::block_frames * 2;
    return frames;
}

int64_t measure_pass(music::Song* song, int64_t cap_frames) {
    if (!song) return -1;
    music::init_play_position(song);
    const music::TickHandler saved = song->tick_handler;
    watch_pass(song);
    // As the mixer runs them: a tick, then as many frames as the tick's length says.
    while (end_frame < 0 && next_tick_frame <= cap_frames) song->tick_handler(song);
    song->tick_handler = saved;
    music::init_play_position(song);
    return end_frame;
}

}  // namespace tools
