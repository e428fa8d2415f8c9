#pragma once
// The software mixer: voices resampled into 16-bit stereo blocks, and the music's clock.

#include <cstdint>

namespace music {

// Output frames per second; set when the output opens (44100 for the demo).
extern int32_t mix_rate;

}  // namespace music
