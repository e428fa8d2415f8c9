#include "music/engine.h"

#include "music/channel.h"
#include "music/mixer.h"
#include "music/song.h"
#include "shell/runtime.h"

namespace music {

// Interim entry until the row and tick engine lands: keeps the play position still.
void tick_update(Song*) {}
void start_row(Song*) {}
void run_tick_effects(Song*) {}

void init_play_position(Song* song) {
    if (!song) return;
    song->next_order = -1;
    song->next_row = -1;
    song->global_volume = song->initial_global_volume;
    song->speed = song->default_speed;
    song->row = 0;
    song->order = 0;
    song->tick = 0;
    song->samples_to_tick = 0;
    set_bpm(song, song->default_bpm);
    int32_t count = song->channel_count;
    if (count > CHANNEL_COUNT) count = CHANNEL_COUNT;
    for (int32_t i = 0; i < count; ++i) {
        runtime::block_fill(&channels[i], 0, static_cast<int32_t>(sizeof(ChannelState)));
        channels[i].voice = &voices[i];
    }
}

}  // namespace music
