#pragma once
// The bitmaps built into the program, found by resource id, and our reader for their
// device-independent bitmap (DIB) layout. The reader never copies: a Bitmap points into the
// embedded bytes, so there is nothing to release.
#include <cstdint>

namespace show {

constexpr uint16_t SPRITE_BITMAP_ID = 102;
constexpr uint16_t FONT_BITMAP_ID = 105;

// A readable bitmap: 24 bits per pixel, blue-green-red, rows bottom-up, each row `stride`
// bytes (a multiple of 4).
struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    const uint8_t* bits = nullptr;
};

// Reads a packed DIB (40-byte info header, any palette it declares, then the pixels) of `size`
// bytes. Returns null on success, else a one-line reason; `out` is set only on success.
const char* read_dib(const uint8_t* dib, int32_t size, Bitmap* out);

// Reads a BMP file: the 14-byte file header, then the DIB with its pixels at the offset the
// file header gives. Same result convention as read_dib.
const char* read_bmp_file(const uint8_t* file, int32_t size, Bitmap* out);

// The embedded bitmap with this resource id (102 the sprite, 105 the font). False for an
// unknown id or content that does not read as a bitmap.
bool load_bitmap_resource(uint16_t id, Bitmap* out);

}  // namespace show
