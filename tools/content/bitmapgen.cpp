// brusk-bitmapgen: writes the sprite and the font image of the show.
//   brusk-bitmapgen DATA_DIR [PREVIEW_DIR]
// DATA_DIR receives sprite.bmp and font.bmp; PREVIEW_DIR, when given, receives sprite.png and
// font.png, enlarged so the pixels can be judged, the font with sample text as the show draws it.
#include "tools/content/bitmaps.h"
#include "tools/png_file.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "brusk-bitmapgen: cannot open %s for writing\n", path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "brusk-bitmapgen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

struct Canvas {
    int width, height;
    std::vector<uint8_t> rgb;
    Canvas(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3) {}
    uint8_t* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Copies a grey image into the canvas, each pixel as a scale x scale block.
void blit_scaled(Canvas& canvas, const tools::GreyImage& image, int left, int top, int scale) {
    for (int y = 0; y < image.height * scale; ++y)
        for (int x = 0; x < image.width * scale; ++x) {
            const uint8_t v = image.pixels[(y / scale) * image.width + x / scale];
            uint8_t* p = canvas.at(left + x, top + y);
            p[0] = p[1] = p[2] = v;
        }
}

// Text the way the show prints it: each cell doubled to 32 x 32, the pen 20 pixels further
// per character, overlapping cells added together.
void print_sample(Canvas& canvas, const tools::GreyImage& font, int left, int top, const char* text, int set) {
    for (int pen = left; *text; ++text, pen += 20) {
        const int cell = set * 128 + static_cast<unsigned char>(*text) - 32;
        if (cell < 0 || cell > 255) continue;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32 && pen + x < canvas.width; ++x) {
                const int v = font.pixels[((cell / 16) * 16 + y / 2) * 256 + (cell % 16) * 16 + x / 2];
                uint8_t* p = canvas.at(pen + x, top + y);
                for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(p[c] + v > 255 ? 255 : p[c] + v);
            }
    }
}

bool write_previews(const std::string& dir, const tools::GreyImage& sprite, const tools::GreyImage& font) {
    Canvas sprite_view(256, 256);
    blit_scaled(sprite_view, sprite, 0, 0, 8);
    if (!tools::write_png_rgb(dir + "/sprite.png", sprite_view.width, sprite_view.height, sprite_view.rgb.data())) {
        std::fprintf(stderr, "brusk-bitmapgen: %s\n", tools::png_file_error());
        return false;
    }
    static const char* const samples[] = {
        "Brusk.2oo4  Code ::Osk  Gfx ::Ledrin",
        "The quick brown fox jumps over",
        "the lazy dog. 0123456789 (a+b)*c=d?",
        "!\"#$%&'/:;<=>@[\\]^_`{|}~",
    };
    constexpr int SAMPLE_TOP = 512 + 16;
    Canvas font_view(768, SAMPLE_TOP + 8 * 36 + 8);
    blit_scaled(font_view, font, 0, 0, 2);
    // Faint cell borders over the black background show the 16 x 16 grid.
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x)
            if ((x % 32 == 0 || y % 32 == 0) && font_view.at(x, y)[0] == 0) font_view.at(x, y)[2] = 90;
    for (int set = 1, line = 0; set >= 0; --set)
        for (const char* text : samples) print_sample(font_view, font, 8, SAMPLE_TOP + 36 * line++, text, set);
    if (!tools::write_png_rgb(dir + "/font.png", font_view.width, font_view.height, font_view.rgb.data())) {
        std::fprintf(stderr, "brusk-bitmapgen: %s\n", tools::png_file_error());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: brusk-bitmapgen DATA_DIR [PREVIEW_DIR]\n");
        return 2;
    }
    const tools::GreyImage sprite = tools::make_sprite_image();
    tools::GreyImage font;
    if (!tools::make_font_image(&font)) {
        std::fprintf(stderr, "brusk-bitmapgen: %s\n", tools::font_image_error());
        return 1;
    }
    const std::string data_dir = argv[1];
    if (!write_file(data_dir + "/sprite.bmp", tools::bmp_file_of(sprite))) return 1;
    if (!write_file(data_dir + "/font.bmp", tools::bmp_file_of(font))) return 1;
    if (argc == 3 && !write_previews(argv[2], sprite, font)) return 1;
    return 0;
}
