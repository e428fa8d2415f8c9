#pragma once
// One pass of a song as the mixer plays it: from its start until the first row tick that leaves
// the last order position (for the restart position).
#include <cstdint>

namespace music {
struct Song;
}

namespace tools {

// Wraps the song's tick handler so that the frame of every tick is known, counting from the
// next tick on. Call it with the song at its start, before the first block is mixed.
void watch_pass(music::Song* song);

// The output frame at which the pass ends; -1 until the mixer has got there.
int64_t pass_end_frame();

// Mixes the next block of a render that has `written` frames so far and stops at `limit` frames
// or, for a whole pass, where the pass ends: the block's frames that belong to the render are
// the first ones at *pcm (16-bit stereo, little-endian), and their count is returned; 0 once the
// render is complete. The song must be playing offline and watched by watch_pass.
int64_t render_pass_block(int64_t written, int64_t limit, bool whole_pass, const int16_t** pcm);

// The length of one pass in output frames, found by running the song's ticks from its start
// without mixing (only the ticks' lengths matter); -1 when it has not ended within `cap_frames`.
// The ticks leave the channel and voice tables as they run: measure before playback sets them up.
int64_t measure_pass(music::Song* song, int64_t cap_frames);

}  // namespace tools
