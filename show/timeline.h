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

// The scene draw_frame draws at an order position: the position alone decides (none outside 0..25).
Scene scene_at(int32_t order);

// One frame's move of the scroll text, from where it stands and the frame's delta: whether it is
// printed at this order, where, and where it stands afterwards.
struct ScrollStep {
    bool printed;
    int32_t x;  // where it is printed, when it is
    float next;
};
ScrollStep scroll_step(int32_t order, float x, float delta);

void draw_frame();

// Clears colour and depth, then draws the vertical gradient without writing depth.
void draw_background();

// Black bars over everything from normalised height +h to the top and from -h to the bottom.
void draw_letterbox(float h);

}  // namespace show
