#include "show/scenes/fountain.h"

#include "show/frame.h"
#include "show/graphics.h"
#include "show/noise.h"
#include "show/particles.h"
#include "show/textures.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace show {

FountainEmitters fountain_emitters(float t) {
    const float u = t * 0.4f;
    const double c = std::cos(static_cast<double>(u));
    const double s = std::sin(static_cast<double>(u));
    const float z = static_cast<float>(78.0 * c);
    return FountainEmitters{
        {static_cast<float>(50.0 * c), static_cast<float>(100.0 * s), z},
        {static_cast<float>(50.0 * s), static_cast<float>(100.0 * c), z},
    };
}

void run_fountain_particles(float t, void (*draw)(const Particle&)) {
    const FountainEmitters e = fountain_emitters(t);
    emit_particle(particle_pool, e.first[0], e.first[1], e.first[2], 255, 255, 255, 255);
    emit_particle(particle_pool, e.second[0], e.second[1], e.second[2], 255, 255, 255, 255);
    update_particles(particle_pool, draw);
}

void draw_fountain_scene() {
    begin_scene(5000.0);
    smooth_lines();

    const FountainEmitters e = fountain_emitters(frame_time);
    // The eye stays put and turns to follow the first emitter.
    gluLookAt(0, 0, 100, e.first[0], e.first[1], e.first[2], 0, 1, 0);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sprite_texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    glDepthMask(GL_FALSE);
    glColor4ub(255, 255, 255, 255);

    run_fountain_particles(frame_time, draw_particle);

    fill_noise();
    draw_noise_band(1.0f);

    end_scene();
}

}  // namespace show
