// Cost of the shared show pieces at 640 x 480 on the offscreen context: graphics start-up,
// refilling the grain, drawing the grain band, a particle pass at the fountain's steady load
// (two emissions per frame) and a line of text. Each drawing figure ends with glFinish, so it
// includes the rasteriser's work.
#include "platform/offscreen_gl.h"
#include "show/font.h"
#include "show/graphics.h"
#include "show/noise.h"
#include "show/particles.h"
#include "show/textures.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <typename Step>
double mean_ms(int runs, Step step) {
    glFinish();
    const auto start = Clock::now();
    for (int i = 0; i < runs; ++i) step();
    glFinish();
    return milliseconds_since(start) / runs;
}

}  // namespace

int main() {
    if (!platform::offscreen_gl_open(640, 480)) {
        std::fprintf(stderr, "bench_show_foundation: no GL context: %s\n", platform::offscreen_gl_error());
        return 1;
    }
    auto start = Clock::now();
    show::init_graphics();
    glFinish();
    std::printf("init_graphics:                 %8.2f ms\n", milliseconds_since(start));

    std::printf("fill_noise:                    %8.3f ms\n", mean_ms(200, [] { show::fill_noise(); }));

    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    std::printf("draw_noise_band:               %8.3f ms\n", mean_ms(200, [] { show::draw_noise_band(1.0f); }));

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45, 1.33333f, 1, 5000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 30, 0, 0, 0, 0, 1, 0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, show::sprite_texture);
    auto particle_frame = [] {
        show::emit_particle(show::particle_pool, 0, 0, 0, 255, 170, 90, 255);
        show::emit_particle(show::particle_pool, 0, 0, 0, 120, 200, 255, 255);
        show::update_and_draw_particles(show::particle_pool);
    };
    for (int i = 0; i < 400; ++i) particle_frame();  // past the first retirements: steady load
    std::printf("particle frame (%d live):     %8.3f ms\n", show::particle_count - show::first_live,
                mean_ms(200, particle_frame));

    glBlendFunc(GL_ONE, GL_ONE);
    std::printf("print_text, 30 characters:     %8.3f ms\n", mean_ms(200, [] {
        show::print_text(show::font_texture, 10, 100, "The quick brown fox jumps over", 1);
    }));

    show::release_graphics();
    platform::offscreen_gl_close();
    return 0;
}
