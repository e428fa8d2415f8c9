#include "show/particles.h"

#include "shell/runtime.h"

#include <GL/gl.h>

#include <cstring>

namespace show {

Particle* particle_pool = nullptr;
int32_t particle_count = 0;
int32_t first_live = 0;

void clear_particles(Particle* pool) {
    if (!pool) return;
    runtime::block_fill(pool, 0, static_cast<int32_t>(sizeof(Particle)) * PARTICLE_CAPACITY);
}

namespace {

// A full pool would have us write past its end. Particles retire in emission order, so the
// live ones are the run from first_live on: move that run to the front, in order, and go on.
// Should every record still be live, the oldest one gives way.
void make_room(Particle* pool) {
    if (first_live <= 0) first_live = 1;
    if (first_live > particle_count) first_live = particle_count;
    const int32_t live = particle_count - first_live;
    std::memmove(pool, pool + first_live, sizeof(Particle) * static_cast<size_t>(live));
    particle_count = live;
    first_live = 0;
}

// The pool and its indices as a caller may have left them: never visit outside the pool.
bool indices_in_pool() {
    return particle_count >= 0 && particle_count <= PARTICLE_CAPACITY && first_live >= 0;
}

}  // namespace

void draw_particle(const Particle& p) {
    glColor4ub(p.color[0], p.color[1], p.color[2], p.color[3]);
    draw_billboard(0.8f, p.position[0], p.position[1], p.position[2]);
}

void emit_particle(Particle* pool, float x, float y, float z, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    runtime::rand();  // one number is drawn and discarded before the velocity
    float velocity[3];
    for (float& v : velocity) v = static_cast<float>(4 - runtime::rand() % 8) * 0.033333335f;
    if (!pool || !indices_in_pool()) return;
    if (particle_count == PARTICLE_CAPACITY) make_room(pool);
    Particle& p = pool[particle_count];
    p.position[0] = x;
    p.position[1] = y;
    p.position[2] = z;
    for (int i = 0; i < 3; ++i) p.velocity[i] = velocity[i];
    p.color[0] = r;
    p.color[1] = g;
    p.color[2] = b;
    p.color[3] = a;
    p.age = 0.0f;
    ++particle_count;
}

void update_particles(Particle* pool, void (*draw)(const Particle&)) {
    if (!pool || !indices_in_pool()) return;
    const int32_t end = particle_count;
    for (int32_t i = first_live; i < end; ++i) {
        Particle& p = pool[i];
        p.age = static_cast<float>(p.age + 0.2);
        for (int k = 0; k < 3; ++k) p.position[k] += p.velocity[k];
        if (p.age > 15.0f)
            for (uint8_t& channel : p.color)
                if (channel > 0) --channel;
        // Particles fade in the order they were born, so a faded one stands for the oldest.
        if ((p.color[0] | p.color[1] | p.color[2] | p.color[3]) == 0)
            ++first_live;
        else if (draw)
            draw(p);
    }
}

void update_and_draw_particles(Particle* pool) { update_particles(pool, draw_particle); }

void draw_billboard(float size, float x, float y, float z) {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    // The first two rows of the rotation: the screen's right and up in model space.
    const float right[3] = {m[0], m[4], m[8]};
    const float up[3] = {m[1], m[5], m[9]};
    const float p[3] = {x, y, z};
    float corner[3];
    auto vertex = [&](float s, float t, float along_right, float along_up) {
        for (int k = 0; k < 3; ++k) corner[k] = p[k] + along_right * size * right[k] + along_up * size * up[k];
        glTexCoord2f(s, t);
        glVertex3f(corner[0], corner[1], corner[2]);
    };
    glBegin(GL_QUADS);
    vertex(0, 0, -1, -1);
    vertex(0, 1, 1, -1);
    vertex(1, 1, 1, 1);
    vertex(1, 0, -1, 1);
    glEnd();
}

}  // namespace show
