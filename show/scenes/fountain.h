#pragma once
// The closing scene: two emitters circle on slow paths and leave streams of darkening sprites
// that drift off and fade, seen from a fixed eye that keeps the first emitter in the centre.
#include <cstdint>

namespace show {

struct FountainEmitters {
    float first[3];
    float second[3];
};

// Where the two emitters are at time t (seconds); the paths repeat every 2 pi / 0.4 seconds.
FountainEmitters fountain_emitters(float t);

struct Particle;

// The scene's particle work for one frame at time t: a new particle at each emitter (first,
// then second), then one pass over the pool that hands every visible particle to `draw`.
void run_fountain_particles(float t, void (*draw)(const Particle&));

// Draws one frame at frame_time: two new particles (first emitter, then second), one pass over
// the pool, the grain band. Leaves depth testing, blending and texturing off.
void draw_fountain_scene();

}  // namespace show
