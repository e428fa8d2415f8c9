#pragma once
// Billboards (camera-facing textured squares) and the particle pool: an append-only run of
// short-lived sprites that move and fade once per frame and are retired from the front.
#include <cstdint>

namespace show {

struct Particle {
    float position[3];
    float velocity[3];  // added to the position once per frame
    uint8_t color[4];   // r, g, b, a; each fades by 1 per frame once the particle is old
    float age;          // grows by 0.2 per frame
};

constexpr int32_t PARTICLE_CAPACITY = 128000;

extern Particle* particle_pool;  // PARTICLE_CAPACITY records, allocated at start-up
extern int32_t particle_count;   // index of the next free record
extern int32_t first_live;       // first record an update pass visits

void clear_particles(Particle* pool);

// Appends one particle at (x, y, z) with a random velocity; draws four random numbers. When
// the pool is full the live particles are moved to its front first (see particles.cpp).
void emit_particle(Particle* pool, float x, float y, float z, uint8_t r, uint8_t g, uint8_t b, uint8_t a);

// Ages, moves and fades every particle from first_live on, retires the fully faded ones and
// draws the rest as billboards of half-size 0.8. Texture, blending, depth and matrices are
// the caller's.
void update_and_draw_particles(Particle* pool);

// The same pass with the drawing left to `draw`, which receives each particle still visible.
void update_particles(Particle* pool, void (*draw)(const Particle&));

// Draws one particle as the pass above does: a billboard of half-size 0.8 in its colour.
void draw_particle(const Particle& p);

// A textured square of half-width `size` centred on (x, y, z), facing the viewer of the current
// model-view matrix, in the current colour and texture.
void draw_billboard(float size, float x, float y, float z);

}  // namespace show
