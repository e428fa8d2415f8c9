#pragma once
// Writes 8-bit RGB PNG files (previews of the content and of rendered frames).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// Why the last write_png_rgb, write_whole_file or read_png_rgb on the calling thread failed: the
// path and the reason. Kept per thread, as the capture's encoder threads write frames at once.
const char* png_file_error();

// rgb holds height rows of width pixels, top row first, 3 bytes each. Returns false (see
// png_file_error()) when the file cannot be written. `fast` (for streams of frames) compresses
// lightly without row filters: twice as fast, and no larger on the show's grainy frames.
bool write_png_rgb(const std::string& path, int width, int height, const uint8_t* rgb, bool fast = false);

// Whole-buffer PNG encoding for streams of frames: one compressor per thread, reused frame after
// frame. Rows are stored unfiltered and deflated at `level` (1 to 12) in a single IDAT chunk.
struct PngEncoder;
PngEncoder* png_encoder_create(int level);
void png_encoder_free(PngEncoder* encoder);

// Encodes height rows of width RGB pixels into `png`: the top row at `top_row`, each next row
// `stride` bytes on (negative for an image stored bottom row first, as GL reads it back).
void encode_png_rgb(PngEncoder* encoder, int width, int height, const uint8_t* top_row, std::ptrdiff_t stride,
                    std::vector<uint8_t>* png);

// Writes `bytes` to `path` through a temporary name and renames it into place, so that `path`
// is either absent or complete; on failure nothing is left behind and png_file_error() says why.
bool write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes);

// Reads an 8-bit RGB PNG (as written above) into `rgb`, top row first. False (see
// png_file_error()) for a missing file or any other kind of PNG.
bool read_png_rgb(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb);

}  // namespace tools
