#pragma once
// What a queued sound device has really played, from what it has been handed.
//
// A device fed by a callback takes a whole buffer at a time, long before it is heard: the
// buffer just handed out and whatever the sound system still holds lie between the callback
// and the loudspeaker. The position heard is the bytes handed out less that queue, and it moves
// on with the clock between hand-outs. It never goes back, never runs past what has been handed
// out (less what the sound system certainly still holds), and counts whole frames.
//
// Not thread-safe on its own: the device keeps writer and reader apart (SDL's device lock).

#include <cstdint>

namespace platform {

struct PlayedPosition {
    uint64_t buffer = 0;            // bytes one hand-out takes (the callback's buffer)
    uint64_t latency = 0;           // bytes the sound system holds beyond that buffer
    uint64_t bytes_per_second = 0;  // how fast the device plays
    int64_t frequency = 1;          // clock counts per second
    uint64_t handed = 0;            // bytes handed out so far, as of the last hand-out
    int64_t handed_at = 0;          // clock count of that hand-out
    uint64_t reported = 0;          // the last answer
};

// Starts counting again from nothing (a new ring, or a reset), keeping the device's figures.
inline void played_restart(PlayedPosition& p) {
    p.handed = 0;
    p.handed_at = 0;
    p.reported = 0;
}

// A hand-out has just made the total `handed_total` bytes, at clock count `now`.
inline void played_handed(PlayedPosition& p, uint64_t handed_total, int64_t now) {
    p.handed = handed_total;
    p.handed_at = now;
}

// The bytes heard by clock count `now`.
inline uint64_t played_at(PlayedPosition& p, int64_t now) {
    if (p.handed == 0) return p.reported;
    const uint64_t queued = p.buffer + p.latency;
    const uint64_t start = p.handed > queued ? p.handed - queued : 0;
    const uint64_t ceiling = p.handed > p.latency ? p.handed - p.latency : 0;
    uint64_t position = start;
    if (now > p.handed_at && p.frequency > 0) {
        const unsigned __int128 elapsed = static_cast<uint64_t>(now - p.handed_at);
        const unsigned __int128 moved = elapsed * p.bytes_per_second / static_cast<uint64_t>(p.frequency);
        position = moved >= ceiling - start ? ceiling : start + static_cast<uint64_t>(moved);
    }
    position &= ~uint64_t{3};  // whole stereo 16-bit frames
    if (position < p.reported) position = p.reported;
    p.reported = position;
    return position;
}

}  // namespace platform
