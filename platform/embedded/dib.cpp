#include "platform/dib.h"

namespace platform {

namespace {

constexpr int32_t FILE_HEADER_BYTES = 14;
constexpr int32_t INFO_HEADER_BYTES = 40;
// Far beyond anything we embed, small enough that no size computation can overflow.
constexpr int32_t MAX_SIDE = 16384;

uint32_t u16_at(const uint8_t* p) { return p[0] | (static_cast<uint32_t>(p[1]) << 8); }
uint32_t u32_at(const uint8_t* p) { return u16_at(p) | (u16_at(p + 2) << 16); }

const char* dib_reason = "";

// Null when the pixels were found, else why not.
const char* read_pixels_at(const uint8_t* dib, int32_t size, int64_t pixel_offset, Bitmap* out) {
    if (!dib || size < INFO_HEADER_BYTES) return "shorter than its 40-byte header";
    if (u32_at(dib) != INFO_HEADER_BYTES) return "header is not the 40-byte kind";
    const auto width = static_cast<int32_t>(u32_at(dib + 4));
    const auto height = static_cast<int32_t>(u32_at(dib + 8));
    if (width <= 0 || width > MAX_SIDE) return "width out of range";
    // A negative height marks rows stored top-down, which the textures would show upside down.
    if (height < 0) return "rows stored top-down";
    if (height == 0 || height > MAX_SIDE) return "height out of range";
    if (u16_at(dib + 12) != 1) return "plane count is not 1";
    if (u16_at(dib + 14) != 24) return "not 24 bits per pixel";
    if (u32_at(dib + 16) != 0) return "compressed";
    const uint32_t palette_entries = u32_at(dib + 32);
    if (palette_entries > 256) return "palette too large";
    const int64_t pixels_start = pixel_offset >= 0 ? pixel_offset : INFO_HEADER_BYTES + 4 * static_cast<int64_t>(palette_entries);
    if (pixels_start < INFO_HEADER_BYTES) return "pixels overlap the header";
    const int64_t stride = ((static_cast<int64_t>(width) * 3 + 3) / 4) * 4;
    if (pixels_start + stride * height > size) return "pixel data truncated";
    out->width = width;
    out->height = height;
    out->stride = static_cast<int32_t>(stride);
    out->bits = dib + pixels_start;
    return nullptr;
}

// Null when the file's header holds, else why not; the pixels are then read as a DIB's.
const char* check_file_header(const uint8_t* file, int32_t size) {
    if (!file || size < FILE_HEADER_BYTES) return "shorter than its 14-byte file header";
    if (file[0] != 'B' || file[1] != 'M') return "no BM signature";
    const uint32_t declared_size = u32_at(file + 2);
    if (declared_size > static_cast<uint32_t>(size)) return "file shorter than its header says";
    const uint32_t pixel_offset = u32_at(file + 10);
    if (pixel_offset < FILE_HEADER_BYTES + INFO_HEADER_BYTES || pixel_offset > static_cast<uint32_t>(size))
        return "pixel offset out of range";
    return nullptr;
}

bool succeeded(const char* reason) {
    dib_reason = reason ? reason : "";
    return reason == nullptr;
}

}  // namespace

bool read_dib(const uint8_t* dib, int32_t size, Bitmap* out) { return succeeded(read_pixels_at(dib, size, -1, out)); }

bool read_bmp_file(const uint8_t* file, int32_t size, Bitmap* out) {
    if (const char* reason = check_file_header(file, size)) return succeeded(reason);
    const int64_t pixel_offset = static_cast<int64_t>(u32_at(file + 10)) - FILE_HEADER_BYTES;
    return succeeded(read_pixels_at(file + FILE_HEADER_BYTES, size - FILE_HEADER_BYTES, pixel_offset, out));
}

const char* dib_error() { return dib_reason; }

}  // namespace platform
