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

// Whether credit line `line` (0 to 6, top to bottom, label before name) shows at a song
// position: from its row of order 3 on, and all of them through order 4.
bool credit_line_due(int32_t line, int32_t order, int32_t row);

// Fills the cloud from the shared random sequence: three numbers per point, x, y, z.
void init_star_cloud();

// One frame: the cloud darkening the picture, the grain band, and the credit lines the song has
// reached (orders 3 and 4). Leaves blending, texturing, depth testing and culling off and depth
// writes on.
void draw_credits_scene();

}  // namespace show
