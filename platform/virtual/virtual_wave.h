#pragma once
// A wave-output device with no sound card behind it, for rendering offline: it plays only when
// its owner moves its clock on, and hands the owner every byte it plays. Linked in place of a
// real device; platform/wave_out.h is the rest of its interface.

#include <cstdint>

#include "platform/wave_out.h"

namespace platform {

// Plays the next `bytes` (a multiple of 4): from the ring once play_loop has started it,
// silence before that or after a reset. What it played is copied to `played` (bytes long) when
// that is not null. The position wave_position reports moves on by the same amount.
void wave_advance(WaveOut* device, uint32_t bytes, uint8_t* played);

}  // namespace platform
