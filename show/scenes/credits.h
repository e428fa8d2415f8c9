#pragma once
// The opening scene: a tumbling cloud of sprites with the credit lines.
#include <cstdint>

namespace show {

constexpr int STAR_COUNT = 400;

// The cloud's points: the first 200 within about 25 units of the centre, the rest within 50.
extern float star_x[STAR_COUNT];
extern float star_y[STAR_COUNT];
extern float star_z[STAR_COUNT];

// How far the camera has backed away from the cloud; it grows with every frame of the scene and
// is never reset, so each later pass of the song sees the cloud from farther off.
extern float camera_distance;

constexpr int CREDIT_LINE_COUNT = 7;

// Bit i is set when credit line i (top to bottom, label before name) was printed by the last
// frame of the scene. Plain bookkeeping, so tests can tell what the song position let through.
extern uint32_t credit_lines_printed;

// Fills the cloud from the shared random sequence: three numbers per point, x, y, z.
void init_star_cloud();

// One frame: the cloud darkening the picture, the grain band, and the credit lines the song has
// reached (orders 3 and 4). Leaves blending, texturing, depth testing and culling off and depth
// writes on.
void draw_credits_scene();

}  // namespace show
