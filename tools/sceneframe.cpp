// brusk-sceneframe: runs one scene offscreen for a number of frames at a steady frame rate,
// from start-up, between the show's background and letterbox, and saves the last frame as a
// PNG, so a scene can be judged without the song.
//   brusk-sceneframe metaballs|ribbons|fountain SECONDS FRAMES_PER_SECOND OUT.png
#include "platform/offscreen_gl.h"
#include "show/frame.h"
#include "show/graphics.h"
#include "show/metaballs.h"
#include "show/scenes/fountain.h"
#include "show/scenes/metaball_scene.h"
#include "show/scenes/ribbons.h"
#include "show/timeline.h"
#include "tools/png_file.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: brusk-sceneframe metaballs|ribbons|fountain SECONDS FPS OUT.png\n");
        return 2;
    }
    const std::string scene = argv[1];
    void (*draw)() = scene == "metaballs" ? show::draw_metaball_scene
                     : scene == "ribbons" ? show::draw_ribbon_scene
                     : scene == "fountain" ? show::draw_fountain_scene
                                           : nullptr;
    const float seconds = std::strtof(argv[2], nullptr);
    const float fps = std::strtof(argv[3], nullptr);
    if (!draw || !(seconds >= 0 && seconds < 100000) || !(fps >= 1 && fps <= 1000)) {
        std::fprintf(stderr, "brusk-sceneframe: unknown scene or bad time / frame rate\n");
        return 2;
    }
    if (!platform::offscreen_gl_open(WIDTH, HEIGHT)) {
        std::fprintf(stderr, "brusk-sceneframe: no GL context: %s\n", platform::offscreen_gl_error());
        return 1;
    }
    show::init_show();
    const int frames = std::max(1, static_cast<int>(seconds * fps));
    for (int k = 1; k <= frames; ++k) {
        const float t = static_cast<float>(k) / fps;
        show::frame_delta = t - show::frame_time;
        show::frame_time = t;
        glDisable(GL_TEXTURE_2D);  // as every frame of the show ends
        show::draw_background();
        draw();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        show::draw_letterbox(0.6f);
    }

    std::vector<uint8_t> rgb(WIDTH * HEIGHT * 3), flipped(WIDTH * HEIGHT * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    for (int y = 0; y < HEIGHT; ++y)
        std::copy_n(&rgb[(HEIGHT - 1 - y) * WIDTH * 3], WIDTH * 3, &flipped[y * WIDTH * 3]);
    show::release_graphics();
    platform::offscreen_gl_close();

    std::string error;
    if (!tools::write_png_rgb(argv[4], WIDTH, HEIGHT, flipped.data(), &error)) {
        std::fprintf(stderr, "brusk-sceneframe: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
