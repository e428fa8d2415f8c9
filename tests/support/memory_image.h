#pragma once
// Test modules loaded from bytes in memory.
#include <cstdint>
#include <vector>

#include "music/file_access.h"
#include "music/playback.h"
#include "music/song.h"

namespace test_support {

// Points the memory file callbacks at a module image of the test's own for as long as the
// object lives, then back at the embedded song.
class MemoryImage {
public:
    explicit MemoryImage(const std::vector<uint8_t>& bytes) : bytes_(bytes) {
        music::install_memory_callbacks();
        music::set_memory_module(bytes_.data(), static_cast<uint32_t>(bytes_.size()));
    }
    ~MemoryImage() { music::set_memory_module(nullptr, 0); }
    MemoryImage(const MemoryImage&) = delete;
    MemoryImage& operator=(const MemoryImage&) = delete;

private:
    std::vector<uint8_t> bytes_;
};

// Loads a module from bytes; null on failure (music::load_error()).
inline music::Song* load_bytes(const std::vector<uint8_t>& bytes) {
    return music::load_song_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

}  // namespace test_support
