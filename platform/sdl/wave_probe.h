#pragma once
// For measuring the SDL device only (bench/): the bytes it has handed to SDL so far, which is
// where the position it reports stood before it counted what is still queued.
#include <cstdint>

namespace platform {

struct WaveOut;
uint64_t wave_handed_out(WaveOut* device);

}  // namespace platform
