#include "show/timeline.h"

#include <GL/gl.h>

#include "data/embedded.h"
#include "music/playback.h"
#include "shell/runtime.h"
#include "show/font.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/scenes/credits.h"
#include "show/scenes/fountain.h"
#include "show/scenes/metaball_scene.h"
#include "show/scenes/ribbons.h"
#include "show/textures.h"

namespace show {

float frame_time = 0.0f;
float frame_delta = 0.0f;
music::Song* loaded_song = nullptr;
float pixel_scale = 1.0f;

float scroll_x = 640.0f;
const char* const scroll_text = reinterpret_cast<const char*>(data::scroll_text_data);

namespace {

struct SceneRange {
    int32_t first_order;
    int32_t last_order;
    Scene scene;
    void (*draw)();
};

// The song's order position alone picks the scene; the song has positions 0 to 25.
constexpr SceneRange SCENE_TABLE[] = {
    {0, 4, Scene::credits, draw_credits_scene},
    {5, 9, Scene::metaballs, draw_metaball_scene},
    {10, 14, Scene::ribbons, draw_ribbon_scene},
    {15, 19, Scene::metaballs, draw_metaball_scene},
    {20, 25, Scene::fountain, draw_fountain_scene},
};

constexpr float SCROLL_START_X = 640.0f;
constexpr double SCROLL_SPEED = 100.0;  // pixels per second
constexpr float SCROLL_WRAP_LIMIT = -7000.0f;
constexpr int32_t SCROLL_START_ORDER = 7;
constexpr int32_t SCROLL_BASELINE = 100;

const SceneRange* range_at(int32_t order) {
    for (const SceneRange& range : SCENE_TABLE)
        if (order >= range.first_order && order <= range.last_order) return &range;
    return nullptr;
}

}  // namespace

Scene scene_at(int32_t order) {
    const SceneRange* range = range_at(order);
    return range ? range->scene : Scene::none;
}

ScrollStep scroll_step(int32_t order, float x, float delta) {
    if (order < SCROLL_START_ORDER) return {false, 0, x};
    const float moved = static_cast<float>(static_cast<double>(x) - static_cast<double>(delta) * SCROLL_SPEED);
    // Written as "not at or above" so that a position gone to NaN starts over too.
    return {true, runtime::float_to_int(moved), moved >= SCROLL_WRAP_LIMIT ? moved : SCROLL_START_X};
}

void draw_frame() {
    draw_background();

    const int32_t order = music::get_order(loaded_song);
    if (const SceneRange* range = range_at(order)) range->draw();

    // The text adds its glyphs' light to the picture.
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glColor4ub(255, 255, 255, 255);
    glBlendFunc(GL_ONE, GL_ONE);

    const ScrollStep scroll = scroll_step(order, scroll_x, frame_delta);
    if (scroll.printed) print_text(font_texture, scroll.x, SCROLL_BASELINE, scroll_text, 1);
    scroll_x = scroll.next;

    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    draw_letterbox(0.6f);
}

void draw_background() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDepthMask(GL_FALSE);  // the scene draws over the gradient with a clean depth buffer
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glBegin(GL_QUADS);
    glColor4ub(192, 207, 203, 255);
    glVertex2f(-1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glColor4ub(108, 128, 114, 255);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(-1.0f, -1.0f);
    glEnd();

    glDepthMask(GL_TRUE);
}

void draw_letterbox(float h) {
    // With source colour 0 and alpha 0 the blend leaves 0 + destination x 0: black, whatever lies below.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.0f);

    push_identity_matrices();

    glBegin(GL_QUADS);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(-1.0f, -h);
    glVertex2f(1.0f, -h);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(-1.0f, h);
    glVertex2f(-1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glVertex2f(1.0f, h);
    glEnd();

    glDisable(GL_BLEND);
    pop_matrices();
}

}  // namespace show
