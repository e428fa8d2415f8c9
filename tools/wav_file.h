#pragma once
// The 44-byte header of a 16-bit stereo PCM WAV file, for the tools that write rendered sound.
#include <cstdint>

namespace tools {

constexpr int WAV_HEADER_BYTES = 44;

// Fills `header` for `frames` stereo frames at `rate` frames per second. Written first with 0
// frames and again with the count once the data is all out.
void wav_header(uint8_t* header, uint32_t frames, int32_t rate);

}  // namespace tools
