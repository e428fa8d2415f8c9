#include "show/scenes/metaball_scene.h"

#include "music/playback.h"
#include "shell/runtime.h"
#include "show/font.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/metaballs.h"
#include "show/noise.h"
#include "show/textures.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace show {

float title_y = TITLE_REST_Y;

namespace {

// Arguments are rounded to single precision; the sine and the sums are taken in double.
double wave_sin(double argument) { return runtime::sin_double(static_cast<float>(argument)); }
double wave_cos(double argument) { return std::cos(static_cast<double>(static_cast<float>(argument))); }

}  // namespace

void place_blobs(float t) {
    const double time = t;
    const double third = t * 0.33333334f;
    const double a = static_cast<float>(0.05 * wave_cos(time));
    const double s35 = wave_sin(3.5 * time), c35 = wave_cos(3.5 * time);
    const double s2 = wave_sin(2.0 * time), c2 = wave_cos(2.0 * time);
    const double s05 = wave_sin(0.5 * time), c05 = wave_cos(0.5 * time);
    const double s025 = wave_sin(0.25 * time);
    const double centres[4][3] = {
        {-0.2 * wave_cos(third) - 0.01 * s35 - a, 0.5 * wave_sin(third) - 0.02 * c35 - a,
         0.5 * s025 + 0.03 * s35 + a},
        {0.5 * s2 + a, -0.25 * c2 - a, 0.35 * s025 + a},
        {a - 0.25 * (c05 + wave_sin(3.0 * time)), 0.3 * s2 - 0.2 * s05 - a, 0.4 * s2 - 0.1 * s2 + a},
        // This y divides by a: the blob is flung far out (and fades from the field) whenever
        // cos t nears zero.
        {-0.2 * c05 - 0.2 * s2 - a, 0.5 * s2 - 0.2 * wave_sin(third) / a,
         0.6 * wave_cos(1.1 * time) - 0.4 * wave_sin(6.0 * time) + a},
    };
    for (int32_t b = 0; b < 4; ++b) {
        blobs[b].x = static_cast<float>(centres[b][0]);
        blobs[b].y = static_cast<float>(centres[b][1]);
        blobs[b].z = static_cast<float>(centres[b][2]);
    }
}

void advance_title(int32_t (*read_order)(), int32_t (*read_row)(), float delta) {
    if (read_order() >= TITLE_JUMP_ORDER) {
        for (int32_t beat : BEAT_ROWS) {
            if (read_row() == beat) {
                title_y = TITLE_JUMP_Y;
                break;
            }
        }
    }
    if (title_y > TITLE_REST_Y)
        title_y = static_cast<float>(title_y - static_cast<double>(delta) * TITLE_FALL_SPEED);
}

namespace {

int32_t audible_order() { return music::get_order(loaded_song); }
int32_t audible_row() { return music::get_row(loaded_song); }

}  // namespace

void begin_metaball_view() {
    begin_scene(5000.0);
    gluLookAt(0, 0, -4, 0, 0, 0, 0, 1, 0);

    // GL's default light and material: light 0 shines from the viewer's side.
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
}

void draw_metaball_scene() {
    const float t = frame_time;
    begin_metaball_view();

    place_blobs(t);
    update_field();

    glColor4ub(192, 204, 107, 255);
    glRotatef(t * 20, 1, 0, 0);
    glRotatef(t * 40, 0, 1, 0);
    glRotatef(t * 60, 0, 0, 1);

    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glBegin(GL_TRIANGLES);
    polygonise_field();
    glEnd();

    // The cube's edges, still lit with the surface's last colour, darken what lies behind.
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(2.5f * pixel_scale);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    draw_cube(1, 0, 0, 0);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    fill_noise();
    draw_noise_band(1.0f);

    glEnable(GL_TEXTURE_2D);
    glColor4ub(255, 255, 255, 255);
    glBlendFunc(GL_ONE, GL_ONE);
    advance_title(audible_order, audible_row, frame_delta);
    print_text(font_texture, 60, runtime::float_to_int(title_y), ".:: Brusk at Pellan 04 ::.", 1);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

}  // namespace show
