#include "show/scenes/credits.h"

#include "music/playback.h"
#include "shell/runtime.h"
#include "show/font.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/noise.h"
#include "show/particles.h"
#include "show/textures.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace show {

float star_x[STAR_COUNT];
float star_y[STAR_COUNT];
float star_z[STAR_COUNT];
float camera_distance = 1.0f;

namespace {

// -24.9 .. 25.0 (or -49.9 .. 50.0 for the outer half) in steps of 0.1.
float star_coordinate(int32_t half_span) {
    return static_cast<float>(half_span - runtime::rand() % (2 * half_span)) * 0.1f;
}

struct CreditLine {
    const char* text;
    int32_t x;
    int32_t y;
    int32_t first_row;  // the row of order 3 from which the line shows
};

// Each label at x = 10 with its name after it on the same baseline; they arrive on the song's rows.
constexpr CreditLine CREDIT_LINES[CREDIT_LINE_COUNT] = {
    {"Brusk.2oo4", 10, 160, 0},  {"Code", 10, 140, 12},  {"::Osk", 90, 140, 16},
    {"Gfx", 10, 120, 48},        {"::Ledrin", 80, 120, 52}, {"Music", 10, 100, 56},
    {"::Marvek (Tavi)", 110, 100, 60},
};

}  // namespace

bool credit_line_due(int32_t line, int32_t order, int32_t row) {
    if (order == 4) return true;
    return order == 3 && row >= CREDIT_LINES[line].first_row;
}

void init_star_cloud() {
    for (int k = 0; k < STAR_COUNT; ++k) {
        const int32_t half_span = k < STAR_COUNT / 2 ? 250 : 500;
        star_x[k] = star_coordinate(half_span);
        star_y[k] = star_coordinate(half_span);
        star_z[k] = star_coordinate(half_span);
    }
}

void draw_credits_scene() {
    begin_scene(5000.0);
    smooth_lines();

    // The camera backs away 4 units per second of real time, however fast the frames come.
    camera_distance = static_cast<float>(static_cast<double>(camera_distance) + static_cast<double>(frame_delta) * 4.0);
    gluLookAt(0.0, 0.0, camera_distance, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sprite_texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);  // each sprite darkens what lies behind it
    glDepthMask(GL_FALSE);

    const double t = frame_time;
    glRotatef(static_cast<float>(t * 10.0), 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(t * 20.0), 0.0f, 1.0f, 0.0f);
    glRotatef(static_cast<float>(t * 30.0), 0.0f, 0.0f, 1.0f);

    glColor4ub(255, 255, 255, 255);
    for (int k = 0; k < STAR_COUNT; ++k) draw_billboard(1.0f, star_x[k], star_y[k], star_z[k]);

    fill_noise();
    draw_noise_band(1.0f);

    // Text adds its glyphs' light to the picture.
    glColor4ub(255, 255, 255, 255);
    glBlendFunc(GL_ONE, GL_ONE);
    for (int i = 0; i < CREDIT_LINE_COUNT; ++i) {
        // The audio thread may move the position between two lines, so every line asks afresh.
        const int32_t order = music::get_order(loaded_song);
        if (!credit_line_due(i, order, music::get_row(loaded_song))) continue;
        const CreditLine& line = CREDIT_LINES[i];
        print_text(font_texture, line.x, line.y, line.text, 1);
    }

    end_scene();
}

}  // namespace show
