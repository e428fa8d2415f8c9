#pragma once
// The content files of data/, built into the executable by brusk-embed. Every array has one
// zero byte after its content. song_module is followed by its length (32-bit little-endian)
// before that zero byte.

#include <cstdint>

namespace data {

extern const unsigned char song_module[];  // data/song.xm, then its length
extern const int32_t song_module_size;

}  // namespace data
