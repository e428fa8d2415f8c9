#pragma once
// One complete frame of the show: the background gradient, the scene, the overlays and the
// letterbox bars. Needs a current GL context.

namespace show {

void draw_frame();

// Clears colour and depth, then draws the vertical gradient without writing depth.
void draw_background();

// Black bars over everything from normalised height +h to the top and from -h to the bottom.
void draw_letterbox(float h);

}  // namespace show
