#pragma once
// The wave-output device: 16-bit stereo, playing one caller-owned ring in an endless loop.

#include <cstdint>

namespace platform {

struct WaveOut;

// Opens the output at `rate` frames per second, 16-bit stereo; null when no device opens, with
// the reason in wave_error(). The device plays silence until play_loop.
WaveOut* wave_open(int32_t rate);
const char* wave_error();

// Starts playing `ring` (bytes long, a multiple of 4) from its first frame, looping without end.
// The ring stays the caller's and must outlive the playing (until reset or close).
void wave_play_loop(WaveOut* device, const void* ring, uint32_t bytes);

// Bytes played since play_loop, as far as they have reached the listener: a growing count that
// never wraps and never goes back. 0 before play_loop and after reset.
uint64_t wave_position(WaveOut* device);

// Stops playing and forgets the ring; the device plays silence again.
void wave_reset(WaveOut* device);
void wave_close(WaveOut* device);  // null is accepted

}  // namespace platform
