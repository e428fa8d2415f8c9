#pragma once
// One complete frame of the show: the background gradient, the scene, the overlays and the
// letterbox bars. Needs a current GL context.
#include <cstdint>

namespace show {

// Left edge of the scroll text in the font's 640 x 480 text space. It runs from order 7 on and
// keeps its place while the song is before that.
extern float scroll_x;

// The scroll text: one zero-terminated line of 282 printable characters, the last a blank.
extern const char* const scroll_text;

enum class Scene : int32_t { none, credits, metaballs, ribbons, fountain };

// What the last draw_frame chose: plain bookkeeping that tests read back.
struct FrameRecord {
    Scene scene;                // the scene of the order position heard (none outside 0..25)
    bool scroll_text_printed;
    int32_t scroll_text_x;      // where the scroll text was printed, when it was
};
extern FrameRecord last_frame;

void draw_frame();

// The show's start-up in the order that decides which random numbers each part receives:
// init_graphics, init_metaballs, init_trail_offsets. For programs that run the show offscreen.
void init_show();

// Clears colour and depth, then draws the vertical gradient without writing depth.
void draw_background();

// Black bars over everything from normalised height +h to the top and from -h to the bottom.
void draw_letterbox(float h);

}  // namespace show
