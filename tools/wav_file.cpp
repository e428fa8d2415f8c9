#include "tools/wav_file.h"

#include <cstring>

namespace tools {
namespace {

void put_u32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void put_u16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

void wav_header(uint8_t* h, uint32_t frames, int32_t rate) {
    const uint32_t data_bytes = frames * 4;
    std::memcpy(h, "RIFF", 4);
    put_u32(h + 4, 36 + data_bytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put_u32(h + 16, 16);
    put_u16(h + 20, 1);  // PCM
    put_u16(h + 22, 2);
    put_u32(h + 24, static_cast<uint32_t>(rate));
    put_u32(h + 28, static_cast<uint32_t>(rate) * 4);
    put_u16(h + 32, 4);
    put_u16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put_u32(h + 40, data_bytes);
}

}  // namespace tools
