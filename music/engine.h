#pragma once
// The row and tick engine: the song's tick handler, called by the mixer once per tick.

namespace music {

struct Song;

void tick_update(Song* song);

}  // namespace music
