#pragma once
// The row and tick engine: the song's tick handler, called by the mixer once per tick. It reads
// each row's cells on the row tick, runs the continuing effects on the other ticks, programs
// every channel's voice, and moves the play position (breaks, next order, restart).

#include <cstdint>

namespace music {

struct Song;

void tick_update(Song* song);
void start_row(Song* song);
void run_tick_effects(Song* song);

// Puts a song at its start: play fields, tempo, and zeroed channel records driving voice i.
// The first tick then runs before the first frame is mixed.
void init_play_position(Song* song);

// Sets the tempo: the song's bpm and the output frames each tick lasts at the mixer's rate.
void set_bpm(Song* song, int32_t bpm);

}  // namespace music
