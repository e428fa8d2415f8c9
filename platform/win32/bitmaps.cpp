#include "platform/bitmaps.h"

#include <windows.h>

namespace platform {

bool load_bitmap(uint16_t id, Bitmap* out) {
    // A DIB section keeps the resource's own layout: 24-bit rows, bottom-up, 4-byte aligned.
    HANDLE image = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0,
                              LR_CREATEDIBSECTION);
    if (!image) return false;
    BITMAP info{};
    if (GetObjectA(image, sizeof info, &info) != static_cast<int>(sizeof info) || !info.bmBits ||
        info.bmBitsPixel != 24 || info.bmWidth <= 0 || info.bmHeight <= 0) {
        DeleteObject(image);
        return false;
    }
    out->width = info.bmWidth;
    out->height = info.bmHeight;
    out->stride = info.bmWidthBytes;
    out->bits = static_cast<const uint8_t*>(info.bmBits);
    out->handle = image;
    return true;
}

void delete_bitmap(Bitmap* bitmap) {
    if (!bitmap) return;
    if (bitmap->handle) DeleteObject(static_cast<HGDIOBJ>(bitmap->handle));
    *bitmap = Bitmap{};
}

}  // namespace platform
