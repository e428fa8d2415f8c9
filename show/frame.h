#pragma once
// What the program driver hands the show every frame. Only the driver writes these.

namespace music {
struct Song;
}

namespace show {

extern float frame_time;         // seconds since the clock started, this frame
extern float frame_delta;        // frame_time minus the previous frame's
extern music::Song* loaded_song;  // null when the show runs without music

}  // namespace show
