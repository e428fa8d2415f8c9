#pragma once
// Points the memory file callbacks at a module image of the test's own for as long as the
// object lives, then back at the embedded song. The image is kept with its 32-bit
// little-endian length after it, the way the memory callbacks expect it.
#include <cstdint>
#include <vector>

#include "music/file_access.h"
#include "music/song.h"

namespace test_support {

class MemoryImage {
public:
    explicit MemoryImage(const std::vector<uint8_t>& bytes) : bytes_(bytes) {
        const auto n = static_cast<uint32_t>(bytes.size());
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(n >> (8 * i)));
        music::install_file_callbacks(music::mem_open, music::mem_close, music::mem_read, music::mem_seek,
                                      music::mem_tell);
        music::set_memory_image(bytes_.data(), bytes_.data() + n);
    }
    ~MemoryImage() { music::set_memory_image(nullptr, nullptr); }
    MemoryImage(const MemoryImage&) = delete;
    MemoryImage& operator=(const MemoryImage&) = delete;

private:
    std::vector<uint8_t> bytes_;
};

// Loads a module from bytes through the memory callbacks; null on failure (music::load_error()).
inline music::Song* load_bytes(const std::vector<uint8_t>& bytes) {
    MemoryImage image(bytes);
    return music::load_song("");
}

}  // namespace test_support
