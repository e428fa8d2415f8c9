#pragma once
// Writes 8-bit RGB PNG files (previews of the content and of rendered frames).
#include <cstdint>
#include <string>

namespace tools {

// rgb holds height rows of width pixels, top row first, 3 bytes each. Returns false with the
// reason in `error` when the file cannot be written.
bool write_png_rgb(const std::string& path, int width, int height, const uint8_t* rgb, std::string* error);

}  // namespace tools
