#include "show/graphics.h"

#include "platform/bitmaps.h"
#include "shell/runtime.h"
#include "show/font.h"
#include "show/noise.h"
#include "show/particles.h"
#include "show/scenes/credits.h"
#include "show/textures.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace show {

void init_graphics() {
    sprite_texture = load_bitmap_texture_linear(platform::SPRITE_BITMAP_ID);
    font_texture = load_bitmap_texture_nearest(platform::FONT_BITMAP_ID);
    init_star_cloud();  // the first 1200 numbers of the run's random sequence
    build_font(font_texture);
    create_noise_texture();
    particle_pool = static_cast<Particle*>(
        runtime::heap_alloc_zeroed(static_cast<int32_t>(sizeof(Particle)) * PARTICLE_CAPACITY));
    clear_particles(particle_pool);
}

void release_graphics() {
    if (!particle_pool) return;
    runtime::heap_free(particle_pool);
    particle_pool = nullptr;
}

void begin_scene(double far_plane) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(1.33333f), 1.0, far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
}

void smooth_lines() {
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
}

void end_scene() {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}

void push_identity_matrices() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void pop_matrices() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
}

}  // namespace show
