// brusk-showframe: draws one still frame with the show's shared pieces (the background
// gradient, billboards, particles, the grain band, text and the letterbox) offscreen and saves
// it as a PNG, so the look of these pieces can be judged without running the demo.
//   brusk-showframe OUT.png
#include "platform/offscreen_gl.h"
#include "show/font.h"
#include "show/graphics.h"
#include "show/noise.h"
#include "show/particles.h"
#include "show/scenes/credits.h"
#include "show/textures.h"
#include "show/timeline.h"
#include "tools/png_file.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;

void draw_sprites_and_particles() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45, 1.33333f, 1, 5000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 30, 0, 0, 0, 0, 1, 0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, show::sprite_texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    glDepthMask(GL_FALSE);

    // A tilted ring of sprites of growing size on the right.
    glPushMatrix();
    glTranslatef(6, 2, 0);
    glRotatef(35, 1, 0, 0);
    glColor4ub(255, 255, 255, 255);
    for (int k = 0; k < 10; ++k) {
        const float angle = static_cast<float>(k) * 0.6283185f;
        show::draw_billboard(0.6f + 0.12f * static_cast<float>(k), 7 * std::cos(angle), 7 * std::sin(angle), 0);
    }
    glPopMatrix();

    // A fountain of particles on the left, two per frame for 60 frames; only the last pass draws.
    glPushMatrix();
    glTranslatef(-9, -4, 0);
    for (int frame = 0; frame < 60; ++frame) {
        show::emit_particle(show::particle_pool, 0, 0, 0, 255, 170, 90, 255);
        show::emit_particle(show::particle_pool, 0, 0, 0, 120, 200, 255, 255);
        if (frame + 1 < 60)
            show::update_particles(show::particle_pool, nullptr);
        else
            show::update_and_draw_particles(show::particle_pool);
    }
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glDepthMask(GL_TRUE);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brusk-showframe OUT.png\n");
        return 2;
    }
    if (!platform::offscreen_gl_open(WIDTH, HEIGHT)) {
        std::fprintf(stderr, "brusk-showframe: no GL context: %s\n", platform::offscreen_gl_error());
        return 1;
    }
    show::init_graphics();
    // Start-up leaves texturing on with the blank grain texture bound; the gradient is untextured.
    glDisable(GL_TEXTURE_2D);
    show::draw_background();
    draw_sprites_and_particles();

    glDisable(GL_DEPTH_TEST);
    show::fill_noise();
    show::draw_noise_band(1.0f);

    glColor4ub(255, 255, 255, 255);
    glBlendFunc(GL_ONE, GL_ONE);
    show::print_text(show::font_texture, 10, 340, "Brusk.2oo4  Code ::Osk", 1);
    show::print_text(show::font_texture, 10, 100, "The quick brown fox jumps over", 1);
    show::draw_letterbox(0.6f);

    std::vector<uint8_t> rgb(WIDTH * HEIGHT * 3), flipped(WIDTH * HEIGHT * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    for (int y = 0; y < HEIGHT; ++y)
        std::copy_n(&rgb[(HEIGHT - 1 - y) * WIDTH * 3], WIDTH * 3, &flipped[y * WIDTH * 3]);
    show::release_graphics();
    platform::offscreen_gl_close();

    std::string error;
    if (!tools::write_png_rgb(argv[1], WIDTH, HEIGHT, flipped.data(), &error)) {
        std::fprintf(stderr, "brusk-showframe: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
