// brusk-frameat: draws the show's frame for a chosen song position and time offscreen and
// saves it as a PNG, so a scene can be looked at without playing the song up to it.
//   brusk-frameat OUT.png ORDER ROW SECONDS
// The position is handed to the show as the block being heard, exactly as playback reports it;
// the clock jumps to SECONDS in one frame, so time-driven state (the credits camera, the scroll
// text) stands where it would after that long.
#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "platform/offscreen_gl.h"
#include "show/frame.h"
#include "show/graphics.h"
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

bool parse_number(const char* text, double low, double high, double* value) {
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && *value >= low && *value <= high;
}

}  // namespace

int main(int argc, char** argv) {
    double order = 0, row = 0, seconds = 0;
    if (argc != 5) {
        std::fprintf(stderr, "usage: brusk-frameat OUT.png ORDER ROW SECONDS\n");
        return 2;
    }
    if (!parse_number(argv[2], 0, 255, &order) || !parse_number(argv[3], 0, 255, &row) ||
        !parse_number(argv[4], 0.1, 100000, &seconds)) {
        std::fprintf(stderr, "brusk-frameat: ORDER and ROW must be 0..255, SECONDS 0.1..100000\n");
        return 2;
    }
    if (!platform::offscreen_gl_open(WIDTH, HEIGHT)) {
        std::fprintf(stderr, "brusk-frameat: no GL context: %s\n", platform::offscreen_gl_error());
        return 1;
    }

    static music::Song song{};
    music::BlockInfo heard{static_cast<uint8_t>(order), static_cast<uint8_t>(row)};
    music::block_info = &heard;
    music::audible_index = 0;
    show::loaded_song = &song;
    show::init_show();

    // Two frames: start-up leaves texturing on, which only the first frame of a run sees.
    const float last_delta = 0.05f;
    show::frame_time = static_cast<float>(seconds) - last_delta;
    show::frame_delta = show::frame_time;
    show::draw_frame();
    show::frame_time = static_cast<float>(seconds);
    show::frame_delta = last_delta;
    show::draw_frame();

    std::vector<uint8_t> rgb(WIDTH * HEIGHT * 3), flipped(WIDTH * HEIGHT * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    for (int y = 0; y < HEIGHT; ++y)
        std::copy_n(&rgb[(HEIGHT - 1 - y) * WIDTH * 3], WIDTH * 3, &flipped[y * WIDTH * 3]);
    show::release_graphics();
    platform::offscreen_gl_close();
    show::loaded_song = nullptr;
    music::block_info = nullptr;

    std::string error;
    if (!tools::write_png_rgb(argv[1], WIDTH, HEIGHT, flipped.data(), &error)) {
        std::fprintf(stderr, "brusk-frameat: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
