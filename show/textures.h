#pragma once
// The show's textures: the two from the program's bitmaps and blank RGBA ones that are filled
// later. Names are plain GL texture names; they live as long as the rendering context.
#include <cstdint>

namespace show {

extern uint32_t sprite_texture;  // from bitmap 102, for billboards
extern uint32_t font_texture;    // from bitmap 105, for the bitmap font

// A new size x size RGBA texture, all zero, linear filtering, no mipmaps; it stays bound and
// GL_TEXTURE_2D stays enabled. 0 when the zeroed pixels cannot be allocated.
uint32_t create_blank_texture(int32_t size);

// Mipmapped RGBA textures from one of the program's bitmaps (platform/bitmaps.h): alpha 255,
// the bitmap's bottom row at t = 0; 0 when there is no such bitmap. Linear: trilinear
// minification, linear magnification. Nearest: nearest both ways.
uint32_t load_bitmap_texture_linear(uint16_t resource_id);
uint32_t load_bitmap_texture_nearest(uint16_t resource_id);

}  // namespace show
