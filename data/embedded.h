#pragma once
// The content files of data/, built into the executable by brusk-embed. Every array has one
// zero byte after its content. song_module is followed by its length (32-bit little-endian)
// before that zero byte.

#include <cstdint>

namespace data {

extern const unsigned char song_module[];  // data/song.xm, then its length
extern const int32_t song_module_size;

// The two bitmaps as BMP files (14-byte file header, then the DIB): data/sprite.bmp (32 x 32)
// and data/font.bmp (256 x 256), both 24 bits per pixel; made by brusk-bitmapgen.
extern const unsigned char sprite_bitmap[];
extern const int32_t sprite_bitmap_size;
extern const unsigned char font_bitmap[];
extern const int32_t font_bitmap_size;

// data/scroll_text.txt: the scroll text, one line without a line break, zero-terminated here.
extern const unsigned char scroll_text_data[];
extern const int32_t scroll_text_data_size;

}  // namespace data
