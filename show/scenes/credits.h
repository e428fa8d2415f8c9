#pragma once
// The opening scene: a tumbling cloud of sprites with the credit lines.

namespace show {

constexpr int STAR_COUNT = 400;

// The cloud's points: the first 200 within about 25 units of the centre, the rest within 50.
extern float star_x[STAR_COUNT];
extern float star_y[STAR_COUNT];
extern float star_z[STAR_COUNT];

// Fills the cloud from the shared random sequence: three numbers per point, x, y, z.
void init_star_cloud();

}  // namespace show
