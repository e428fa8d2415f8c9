#pragma once
// Writes 8-bit RGB PNG files (previews of the content and of rendered frames).
#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// rgb holds height rows of width pixels, top row first, 3 bytes each. Returns false with the
// reason in `error` when the file cannot be written. `fast` (for streams of frames) compresses
// lightly without row filters: twice as fast, and no larger on the show's grainy frames.
bool write_png_rgb(const std::string& path, int width, int height, const uint8_t* rgb, std::string* error,
                   bool fast = false);

// Reads an 8-bit RGB PNG (as written above) into `rgb`, top row first. False with the reason in
// `error` for a missing file or any other kind of PNG.
bool read_png_rgb(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb, std::string* error);

}  // namespace tools
