#pragma once
// What the program driver hands the show every frame. Only the driver writes these.

namespace music {
struct Song;
}

namespace show {

extern float frame_time;         // seconds since the clock started, this frame
extern float frame_delta;        // frame_time minus the previous frame's
extern music::Song* loaded_song;  // null when the show runs without music

// Pixels drawn per pixel of the 640 x 480 picture. Line widths are given in picture pixels and
// multiplied by it, so that a picture drawn larger keeps its look; 1 unless drawn larger.
extern float pixel_scale;

}  // namespace show
