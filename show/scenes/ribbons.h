#pragma once
// The ribbon scene: three glowing heads on wide Lissajous paths, each dragging a family of 100
// ribbons that relax towards their predecessor once per frame and fan out by a small constant
// offset per ribbon.
#include <cstdint>

namespace show {

constexpr int32_t RIBBON_FAMILIES = 3;
constexpr int32_t RIBBONS_PER_FAMILY = 100;
constexpr int32_t RIBBON_POINTS = 50;
// One unit in the last place below the single-precision 1/2.9: the three weights of a point sum
// to a little over 1, so each family flares outward towards its tails.
constexpr float RIBBON_RELAX_FACTOR = 0.34482756f;
constexpr float RIBBON_HEAD_SIZE = 1500.0f;

// Ribbon k of every family is pushed by trail_offsets[k] (x, y, z), scaled by 250.
extern float trail_offsets[RIBBONS_PER_FAMILY][3];
// ribbon_points[f][k][n]: point n of ribbon k of family f + 1; point 0 is the head end. All zero
// at program start and never reset.
extern float ribbon_points[RIBBON_FAMILIES][RIBBONS_PER_FAMILY][RIBBON_POINTS][3];

// x, then y, then z of each ribbon from the shared random sequence, 300 numbers in all.
void init_trail_offsets();

struct RibbonHead {
    float x, y, z;
};

// Head of family f + 1 at time t: the same path as family 1, 120 * f seconds later.
RibbonHead ribbon_head(float t, int32_t family);

// One frame of the ribbons' motion without drawing: the heads become point 0 of every ribbon of
// their family, then every ribbon relaxes once from its tail towards its head.
void move_ribbons(const RibbonHead heads[RIBBON_FAMILIES]);

// Draws one frame at frame_time.
void draw_ribbon_scene();

}  // namespace show
