#pragma once
// Our reader for the device-independent bitmap (DIB) layout, which stands in for the system's
// resource loader where there is none. The reader never copies: a Bitmap points into the bytes
// it was given, so there is nothing to release.
#include <cstdint>

#include "platform/bitmaps.h"

namespace platform {

// Reads a packed DIB (40-byte info header, any palette it declares, then the pixels) of `size`
// bytes. False on a malformed one, with a one-line reason in dib_error(); `out` is set only on
// success.
bool read_dib(const uint8_t* dib, int32_t size, Bitmap* out);

// Reads a BMP file: the 14-byte file header, then the DIB with its pixels at the offset the
// file header gives. The same results as read_dib.
bool read_bmp_file(const uint8_t* file, int32_t size, Bitmap* out);

const char* dib_error();

}  // namespace platform
