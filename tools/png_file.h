#pragma once
// Writes 8-bit RGB PNG files (previews of the content and of rendered frames).
#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// rgb holds height rows of width pixels, top row first, 3 bytes each. Returns false with the
// reason in `error` when the file cannot be written. `compression_level` 0..9 trades size for
// speed (1 for a stream of frames); -1 keeps zlib's default.
bool write_png_rgb(const std::string& path, int width, int height, const uint8_t* rgb, std::string* error,
                   int compression_level = -1);

// Reads an 8-bit RGB PNG (as written above) into `rgb`, top row first. False with the reason in
// `error` for a missing file or any other kind of PNG.
bool read_png_rgb(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb, std::string* error);

}  // namespace tools
