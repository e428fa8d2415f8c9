#pragma once
// The metaball scene: four blobs on sums of sines, their field drawn as a lit white surface
// tumbling inside a darkening wire cube, the grain band over it and the title line, which from
// order 7 on jumps up on the beat rows and falls back.
#include <cstdint>

namespace show {

constexpr float TITLE_REST_Y = 230.0f;
constexpr float TITLE_JUMP_Y = 310.0f;
constexpr float TITLE_FALL_SPEED = 180.0f;  // text-space units per second
constexpr int32_t TITLE_JUMP_ORDER = 7;
constexpr int32_t BEAT_ROWS[12] = {0, 6, 10, 16, 22, 26, 32, 38, 42, 48, 54, 58};

// Baseline of the title in the 640 x 480 text space; kept between frames and visits.
extern float title_y;

// Writes the four blob centres for time t (seconds).
void place_blobs(float t);

// One frame of the title's motion: up to 310 on a beat row from order 7, then down by
// delta * 180 while above 230. The row is read afresh for each beat row it is compared with,
// as the song may move on meanwhile.
void advance_title(int32_t (*read_order)(), int32_t (*read_row)(), float delta);

// The scene's camera and light: from z = -4 towards the centre, depth tested, lit by GL's
// default light 0 with the colour as material.
void begin_metaball_view();

// Draws one frame at frame_time; the title follows the song heard (loaded_song).
void draw_metaball_scene();

}  // namespace show
