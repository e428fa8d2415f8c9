#pragma once
// The two images of the show, made from code so they can be regenerated and checked byte for
// byte: the 32 x 32 sprite and the 256 x 256 font image, each as a 24-bit bottom-up BMP file.
#include <cstdint>
#include <vector>

namespace tools {

// A grey-level picture, top row first, one byte per pixel.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

GreyImage make_sprite_image();
// Fails only if the glyph table itself is malformed: false, `font` untouched, and the reason in
// font_image_error().
bool make_font_image(GreyImage* font);
const char* font_image_error();

// The BMP file of a grey picture: 14-byte file header, 40-byte info header, 24 bits per pixel,
// bottom-up rows padded to 4 bytes.
std::vector<uint8_t> bmp_file_of(const GreyImage& image);

// The hand-drawn glyph table (tools/content/font_glyphs.cpp).
extern const char* const FONT_GLYPHS;

// The font's colours: strokes and the shade that trails them down and to the right.
constexpr uint8_t FONT_INK = 255;
constexpr uint8_t FONT_SHADE = 223;

}  // namespace tools
