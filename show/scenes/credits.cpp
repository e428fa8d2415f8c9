#include "show/scenes/credits.h"

#include "shell/runtime.h"

namespace show {

float star_x[STAR_COUNT];
float star_y[STAR_COUNT];
float star_z[STAR_COUNT];

namespace {

// -24.9 .. 25.0 (or -49.9 .. 50.0 for the outer half) in steps of 0.1.
float star_coordinate(int32_t half_span) {
    return static_cast<float>(half_span - runtime::rand() % (2 * half_span)) * 0.1f;
}

}  // namespace

void init_star_cloud() {
    for (int k = 0; k < STAR_COUNT; ++k) {
        const int32_t half_span = k < STAR_COUNT / 2 ? 250 : 500;
        star_x[k] = star_coordinate(half_span);
        star_y[k] = star_coordinate(half_span);
        star_z[k] = star_coordinate(half_span);
    }
}

}  // namespace show
