#include "platform/bitmaps.h"

#include "data/embedded.h"
#include "platform/dib.h"

namespace platform {

namespace {

struct EmbeddedBitmap {
    uint16_t id;
    const unsigned char* bytes;
    const int32_t* size;
};

// The images are kept as BMP files; their DIB follows the file header.
const EmbeddedBitmap embedded_bitmaps[] = {
    {SPRITE_BITMAP_ID, data::sprite_bitmap, &data::sprite_bitmap_size},
    {FONT_BITMAP_ID, data::font_bitmap, &data::font_bitmap_size},
};

}  // namespace

bool load_bitmap(uint16_t id, Bitmap* out) {
    for (const EmbeddedBitmap& bitmap : embedded_bitmaps)
        if (bitmap.id == id) return read_bmp_file(bitmap.bytes, *bitmap.size, out);
    return false;
}

// The pixels belong to the executable's data: nothing to give back.
void delete_bitmap(Bitmap* bitmap) {
    if (bitmap) *bitmap = Bitmap{};
}

}  // namespace platform
