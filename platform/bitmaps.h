#pragma once
// The program's bitmap resources, found by id: 24 bits per pixel, blue-green-red, rows stored
// bottom-up, each row `stride` bytes (a multiple of 4). Windows loads them from the executable's
// resources; the other builds carry the same images as embedded DIBs (platform/dib.h).
#include <cstdint>

namespace platform {

constexpr uint16_t SPRITE_BITMAP_ID = 102;  // 32 x 32
constexpr uint16_t FONT_BITMAP_ID = 105;    // 256 x 256

struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    const uint8_t* bits = nullptr;
    void* handle = nullptr;  // what delete_bitmap gives back to the system, if anything
};

// The bitmap with this resource id; false (and `out` untouched) when there is none.
bool load_bitmap(uint16_t id, Bitmap* out);

// Gives back what load_bitmap obtained; the bits are gone afterwards.
void delete_bitmap(Bitmap* bitmap);

}  // namespace platform
