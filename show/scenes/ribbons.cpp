#include "show/scenes/ribbons.h"

#include "shell/runtime.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/particles.h"
#include "show/textures.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace show {

float trail_offsets[RIBBONS_PER_FAMILY][3];
float ribbon_points[RIBBON_FAMILIES][RIBBONS_PER_FAMILY][RIBBON_POINTS][3];

namespace {

constexpr uint8_t FAMILY_COLOURS[RIBBON_FAMILIES][3] = {{139, 3, 60}, {217, 91, 102}, {84, 75, 179}};
constexpr double HEAD_PHASES[RIBBON_FAMILIES] = {0.0, 120.0, 240.0};

// The path's arguments are single-precision values; the sine itself is taken in double.
double cos_of(float radians) { return std::cos(static_cast<double>(radians)); }
double sin_of(float radians) { return runtime::sin_double(static_cast<double>(radians)); }

}  // namespace

void init_trail_offsets() {
    for (auto& offset : trail_offsets)
        for (float& c : offset) c = static_cast<float>(100 - runtime::rand() % 200) * 0.001f;
}

RibbonHead ribbon_head(float t, int32_t family) {
    const double time = static_cast<double>(t) + HEAD_PHASES[family];
    return RibbonHead{
        static_cast<float>(2000.0 * cos_of(static_cast<float>(2.5 * time))),
        static_cast<float>(2500.0 * sin_of(static_cast<float>(static_cast<double>(3.55f) * time))),
        static_cast<float>(2000.0 * cos_of(static_cast<float>(2.0 * time))),
    };
}

void move_ribbons(const RibbonHead heads[RIBBON_FAMILIES]) {
    for (int32_t f = 0; f < RIBBON_FAMILIES; ++f) {
        for (auto& ribbon : ribbon_points[f]) {
            ribbon[0][0] = heads[f].x;
            ribbon[0][1] = heads[f].y;
            ribbon[0][2] = heads[f].z;
        }
    }
    const double factor = RIBBON_RELAX_FACTOR;
    for (int32_t k = 0; k < RIBBONS_PER_FAMILY; ++k) {
        const double o[3] = {250.0 * trail_offsets[k][0], 250.0 * trail_offsets[k][1],
                             250.0 * trail_offsets[k][2]};
        // From the tail up, so each point follows where its predecessor was last frame.
        for (int32_t n = RIBBON_POINTS - 1; n >= 1; --n) {
            for (int32_t f = 0; f < RIBBON_FAMILIES; ++f) {
                float* point = ribbon_points[f][k][n];
                const float* before = ribbon_points[f][k][n - 1];
                for (int32_t c = 0; c < 3; ++c)
                    point[c] = static_cast<float>((2.0 * before[c] + point[c]) * factor + o[c]);
            }
        }
    }
}

void draw_ribbon_scene() {
    const float t = frame_time;
    begin_scene(2000000.0);
    smooth_lines();

    RibbonHead heads[RIBBON_FAMILIES];
    for (int32_t f = 0; f < RIBBON_FAMILIES; ++f) heads[f] = ribbon_head(t, f);
    // The camera watches the first head from a point taken from the other two, unrotated.
    gluLookAt(heads[1].x, heads[2].y, -20000, heads[0].x, heads[0].y, heads[0].z, 0, 1, 0);

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glLineWidth(2 * pixel_scale);

    glRotatef(t * 10, 0, 0, 1);
    glRotatef(t * 7, 0, 1, 0);
    glRotatef(t * 13.6f, 1, 0, 0);
    move_ribbons(heads);

    glDepthMask(GL_FALSE);
    for (int32_t f = 0; f < RIBBON_FAMILIES; ++f) {
        const uint8_t* colour = FAMILY_COLOURS[f];
        for (const auto& ribbon : ribbon_points[f]) {
            glBegin(GL_LINE_STRIP);
            for (const auto& point : ribbon) {
                glColor3ub(colour[0], colour[1], colour[2]);
                glVertex3f(point[0], point[1], point[2]);
            }
            glEnd();
        }
    }
    glDepthMask(GL_TRUE);

    // The sprite's alpha is 1 everywhere, so this blend adds it to the picture.
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sprite_texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glColor4ub(255, 255, 255, 255);
    for (const RibbonHead& head : heads) draw_billboard(RIBBON_HEAD_SIZE, head.x, head.y, head.z);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

}  // namespace show
