// The heard position of a queued sound device, under a clock the test moves by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/played_position.h"

namespace {

constexpr uint64_t BUFFER = 2048;                 // 512 frames a hand-out
constexpr uint64_t BYTES_PER_SECOND = 44100 * 4;  // 16-bit stereo at 44100 Hz
constexpr int64_t US = 1000000;                   // the test's clock counts microseconds

platform::PlayedPosition device(uint64_t latency) {
    platform::PlayedPosition p;
    p.buffer = BUFFER;
    p.latency = latency;
    p.bytes_per_second = BYTES_PER_SECOND;
    p.frequency = US;
    return p;
}

TEST(PlayedPosition, IsWhatWasHandedOutLessTheQueueMovingOnWithTheClock) {
    struct Step {
        uint64_t handed_total;  // 0: no hand-out at this step
        int64_t handed_at;
        int64_t read_at;
        uint64_t expected;
    };
    // Latency of one more buffer: 4096 bytes between a hand-out and the loudspeaker.
    const std::vector<Step> steps = {
        {0, 0, 0, 0},                // nothing handed out yet
        {2048, 1000, 1000, 0},       // the first buffer is all still queued
        {4096, 12610, 12610, 0},     // so is the second
        {6144, 24220, 24220, 2048},  // the third pushes the first one out
        {0, 0, 29220, 2928},         // 5 ms later: 882 bytes on, down to a whole frame
        {0, 0, 35830, 4096},         // one buffer's time later: all it can have played
        {0, 0, 124220, 4096},        // a late callback: the position waits at the ceiling
        {7168, 125000, 125000, 4096},  // a short hand-out does not take the position back
        {0, 0, 130000, 4096},        // start 3072 + 882: still not past what was reported
        {0, 0, 200000, 5120},        // and on to the new ceiling, 7168 less the latency
    };
    platform::PlayedPosition p = device(BUFFER);
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        if (s.handed_total) platform::played_handed(p, s.handed_total, s.handed_at);
        EXPECT_EQ(platform::played_at(p, s.read_at), s.expected) << "step " << i;
    }
    platform::played_restart(p);
    EXPECT_EQ(platform::played_at(p, 300000), 0u) << "a new ring starts from nothing";
}

// A steady device read every millisecond: the position never goes back, never passes what was
// handed out, moves in small steps rather than a buffer at a time, and keeps to the time the
// sound really reaches the listener.
TEST(PlayedPosition, FollowsASteadyDeviceSmoothly) {
    struct Case {
        uint64_t latency;
    };
    for (const Case c : {Case{0}, Case{BUFFER}, Case{3 * BUFFER}}) {
        platform::PlayedPosition p = device(c.latency);
        const int64_t start = 5000;
        const double interval_us = 512.0 / 44100.0 * US;
        uint64_t handed = 0, last = 0;
        int next_callback = 0;
        for (int64_t now = start; now < start + 2 * US; now += 1000) {
            while (start + next_callback * interval_us <= static_cast<double>(now)) {
                handed += BUFFER;
                platform::played_handed(p, handed, start + static_cast<int64_t>(next_callback * interval_us));
                ++next_callback;
            }
            const uint64_t position = platform::played_at(p, now);
            ASSERT_GE(position, last) << "at " << now;
            ASSERT_LE(position, handed) << "at " << now;
            ASSERT_EQ(position % 4, 0u);
            if (handed > BUFFER + c.latency) {
                // The first hand-out's bytes reach the listener once everything queued before
                // them has played.
                const double heard = static_cast<double>(now - start) * BYTES_PER_SECOND / US +
                                     static_cast<double>(BUFFER) - static_cast<double>(BUFFER + c.latency);
                EXPECT_NEAR(static_cast<double>(position), heard, 8.0) << "at " << now << ", latency " << c.latency;
                EXPECT_LE(position - last, 180u) << "a millisecond is 176.4 bytes";
            }
            last = position;
        }
        EXPECT_GT(last, 0u);
    }
}

}  // namespace
