#include "music/playback.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "music/file_access.h"
#include "music/mixer.h"
#include "music/song.h"
#include "platform/fake/fake_platform.h"
#include "platform/wave_out.h"
#include "shell/runtime.h"

namespace {

namespace fake = platform::fake;
using music::Song;

constexpr int32_t BLOCK_BYTES = 884 * 4;

// What the mixer makes of the embedded song, block after block, rendered without a device:
// each block's 16-bit frames and the position recorded for it.
struct Reference {
    std::vector<std::vector<int16_t>> audio;
    std::vector<music::BlockInfo> info;
};

Reference render_reference(int blocks) {
    Reference reference;
    Song* song = music::load_song("");
    if (!song || !music::play_offline(song, 44100)) return reference;
    for (int b = 0; b < blocks; ++b) {
        const int32_t index = music::fill_index;
        music::fill_block();
        const int16_t* frames = music::wave_buffer + index * 884 * 2;
        reference.audio.emplace_back(frames, frames + 884 * 2);
        reference.info.push_back(music::block_info[index]);
    }
    music::stop_offline();
    music::free_song(song);
    return reference;
}

std::vector<int16_t> ring_block(const int16_t* ring, int block) {
    const int16_t* frames = ring + block * 884 * 2;
    return std::vector<int16_t>(frames, frames + 884 * 2);
}

// Waits on what the audio thread publishes: true once it shows `block` as audible with no fill
// under way (it publishes a block after mixing the one before, so what it mixed is visible
// then), false if the thread ended first. `each_look` runs between looks.
template <typename Look>
bool wait_for_audible(int32_t block, Look each_look) {
    while (music::audible_index.load(std::memory_order_acquire) != block ||
           music::busy.load(std::memory_order_acquire) != 0) {
        if (music::thread_exited.load(std::memory_order_acquire) != 0) return false;
        each_look();
    }
    return true;
}

bool wait_for_audible(int32_t block) {
    return wait_for_audible(block, [] { std::this_thread::yield(); });
}

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        music::install_memory_callbacks();
        song = music::load_song("");
        ASSERT_NE(song, nullptr) << music::load_error();
    }
    void TearDown() override {
        music::stop_song(song);
        music::free_song(song);
        music::audio_close();
        fake::reset();
    }
    Song* song = nullptr;
};

TEST_F(Playback, SizesFollowTheRate) {
    struct Row {
        int32_t rate, block_frames, ring_frames, block_count, ramp_frames;
    };
    const Row table[] = {
        {44100, 884, 88400, 100, 128},
        {22050, 444, 44400, 100, 64},
        {48000, 960, 96000, 100, 139},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.rate);
        fake::reset();
        ASSERT_TRUE(music::audio_open(row.rate));
        EXPECT_EQ(fake::state().wave_rate, row.rate);
        EXPECT_EQ(music::block_frames, row.block_frames);
        EXPECT_EQ(music::ring_frames, row.ring_frames);
        EXPECT_EQ(music::block_count, row.block_count);
        EXPECT_EQ(music::ramp_frames, row.ramp_frames);
        ASSERT_TRUE(music::play_song(song));
        EXPECT_EQ(fake::state().ring_bytes, static_cast<uint32_t>(row.ring_frames) * 4);  // 353600 at 44100
        EXPECT_EQ(music::wave_header.length, static_cast<uint32_t>(row.ring_frames) * 4);
        EXPECT_EQ(music::wave_header.loops, 0xFFFFFFFFu);
        music::stop_song(song);
        music::audio_close();
    }
}

TEST_F(Playback, OpenNeedsEveryFileCallbackAndADevice) {
    music::install_file_callbacks(music::mem_open, music::mem_close, music::mem_read, music::mem_seek, nullptr);
    EXPECT_FALSE(music::audio_open(44100));
    EXPECT_TRUE(fake::calls_matching({"wave_"}).empty()) << "the device was opened";

    music::install_memory_callbacks();
    fake::state().failing = {"wave_open"};
    EXPECT_FALSE(music::audio_open(44100));
    fake::state().failing.clear();
    EXPECT_TRUE(music::audio_open(44100));
}

TEST_F(Playback, NullSongDoesNothing) {
    ASSERT_TRUE(music::audio_open(44100));
    EXPECT_EQ(music::get_order(song), 0);  // nothing played yet
    EXPECT_FALSE(music::play_song(nullptr));
    EXPECT_FALSE(music::stop_song(nullptr));
    EXPECT_TRUE(fake::calls_matching({"wave_play_loop", "raise_thread_priority"}).empty());

    ASSERT_TRUE(music::play_song(song));
    EXPECT_EQ(music::get_order(nullptr), 0);
    EXPECT_EQ(music::get_row(nullptr), 0);
    EXPECT_FALSE(music::stop_song(nullptr));
    EXPECT_EQ(music::thread_exited.load(), 0) << "a stop without a song ended the thread";
}

TEST_F(Playback, DevicePositionGivesTheBlockBeingPlayed) {
    ASSERT_TRUE(music::audio_open(44100));
    struct Row {
        uint64_t bytes;
        int32_t block;
    };
    const Row table[] = {
        {0, 0},
        {4 * 883, 0},
        {4 * 884, 1},
        {4 * 88399, 99},
        {4 * 88400, 0},
        {4ull * 88400 * 3 + 4 * 1000, 1},
        {(1ull << 32) + 4 * 884, 41},  // past 32 bits the count keeps counting
        {1ull << 40, 58},
    };
    for (const Row& row : table) EXPECT_EQ(music::play_block_at(row.bytes), row.block) << row.bytes;
}

// One poll at a time, without the thread: blocks are mixed again exactly when the device has
// left them, and the audible block follows the device.
TEST_F(Playback, PollRefillsExactlyTheBlocksTheDeviceHasLeft) {
    const Reference reference = render_reference(200);
    ASSERT_EQ(reference.audio.size(), 200u);

    ASSERT_TRUE(music::play_offline(song, 44100));
    do {
        music::fill_block();
    } while (music::fill_index != 0);
    music::audible_index = 0;
    const int16_t* ring = music::wave_buffer;

    struct Step {
        uint64_t bytes;
        int32_t audible;
        int refilled_up_to;  // ring blocks [0, refilled_up_to) hold the second pass
    };
    const Step steps[] = {
        {0, 0, 0},
        {BLOCK_BYTES - 4, 0, 0},
        {BLOCK_BYTES, 1, 1},
        {BLOCK_BYTES * 5 + 8, 5, 5},
        {BLOCK_BYTES * 5 + 12, 5, 5},
        {4 * 88400 + 40, 0, 100},  // the device went round: every block is new
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.bytes);
        music::audio_poll(step.bytes);
        EXPECT_EQ(music::audible_index.load(), step.audible);
        EXPECT_EQ(music::fill_index, step.audible);
        for (int block : {0, 1, 4, 5, 6, 50, 99}) {
            const int pass = block < step.refilled_up_to ? 100 : 0;
            EXPECT_EQ(ring_block(ring, block), reference.audio[block + pass]) << "block " << block;
        }
        const int32_t audible = step.audible;
        const int pass = audible < step.refilled_up_to ? 100 : 0;
        EXPECT_EQ(music::get_order(song), reference.info[audible + pass].order);
        EXPECT_EQ(music::get_row(song), reference.info[audible + pass].row);
    }
    music::stop_offline();
}

TEST_F(Playback, PlayMixesTwoSecondsThenStartsTheDeviceAndTheThread) {
    const Reference reference = render_reference(103);
    ASSERT_EQ(reference.audio.size(), 103u);
    const int32_t live_before = runtime::heap_live_blocks();

    ASSERT_TRUE(music::audio_open(44100));
    ASSERT_TRUE(music::play_song(song));
    EXPECT_EQ(fake::calls_matching({"wave_", "raise_thread_priority"}),
              (std::vector<std::string>{"wave_open 44100", "wave_play_loop 353600", "raise_thread_priority"}));

    // Heard now is the first block, although the mixer is two seconds ahead.
    EXPECT_EQ(music::get_order(song), reference.info[0].order);
    EXPECT_EQ(music::get_row(song), reference.info[0].row);
    EXPECT_NE(std::make_pair(int(song->order), int(song->row)),
              std::make_pair(int(reference.info[0].order), int(reference.info[0].row)));
    const int16_t* ring = static_cast<const int16_t*>(fake::state().ring);
    ASSERT_EQ(ring, music::wave_buffer);
    for (int block : {0, 1, 50, 99}) EXPECT_EQ(ring_block(ring, block), reference.audio[block]) << block;

    // The device moves three blocks on: the thread mixes them again, in order.
    fake::state().position = 3 * BLOCK_BYTES + 100;
    ASSERT_TRUE(wait_for_audible(3));
    for (int block : {0, 1, 2}) EXPECT_EQ(ring_block(ring, block), reference.audio[100 + block]) << block;
    EXPECT_EQ(ring_block(ring, 3), reference.audio[3]);
    EXPECT_EQ(music::get_order(song), reference.info[3].order);
    EXPECT_EQ(music::get_row(song), reference.info[3].row);

    // Stopping ends the thread and releases the mixing buffers once, twice over; the device
    // keeps looping its ring until it is closed.
    EXPECT_TRUE(music::stop_song(song));
    EXPECT_EQ(music::thread_exited.load(), 1);
    EXPECT_EQ(music::get_order(song), 0);
    EXPECT_EQ(runtime::heap_live_blocks(), live_before + 1);
    EXPECT_TRUE(music::stop_song(song));
    EXPECT_EQ(runtime::heap_live_blocks(), live_before + 1);
    EXPECT_TRUE(fake::calls_matching({"wave_reset"}).empty());
    EXPECT_EQ(fake::state().ring, ring);

    music::audio_close();
    EXPECT_EQ(runtime::heap_live_blocks(), live_before);
    EXPECT_EQ(fake::calls_matching({"wave_reset", "wave_close"}),
              (std::vector<std::string>{"wave_reset", "wave_close"}));
}

// The device may loop the ring it was given for as long as it is open: no stop, no offline
// render in between and no release lets go of that ring or writes into it; only a newer ring on
// the device, or closing it, does.
TEST_F(Playback, TheRingTheDeviceLoopsGoesOnlyWhenTheDeviceLetsGo) {
    const int32_t live_before = runtime::heap_live_blocks();
    ASSERT_TRUE(music::audio_open(44100));
    ASSERT_TRUE(music::play_song(song, music::Refill::caller));
    const int16_t* looped = static_cast<const int16_t*>(fake::state().ring);
    ASSERT_EQ(looped, music::wave_buffer);
    const std::vector<int16_t> heard(looped, looped + 88400 * 2);
    ASSERT_TRUE(music::stop_song(song));

    // Past one ring, so that mixing into the looped ring would change what it holds.
    ASSERT_TRUE(music::play_offline(song, 44100));
    EXPECT_NE(music::wave_buffer, looped);
    for (int b = 0; b < 150; ++b) music::fill_block();
    music::stop_offline();
    music::release_output();
    EXPECT_EQ(fake::state().ring, looped);
    EXPECT_TRUE(std::vector<int16_t>(looped, looped + 88400 * 2) == heard) << "the looped ring was mixed into";
    EXPECT_EQ(runtime::heap_live_blocks(), live_before + 1);

    ASSERT_TRUE(music::play_song(song, music::Refill::caller));
    EXPECT_NE(fake::state().ring, looped);
    EXPECT_EQ(fake::state().ring, music::wave_buffer);
    EXPECT_TRUE(music::stop_song(song));
    EXPECT_EQ(runtime::heap_live_blocks(), live_before + 1) << "the earlier ring stayed once the device had the new one";

    music::audio_close();
    EXPECT_EQ(runtime::heap_live_blocks(), live_before);
    EXPECT_EQ(music::wave_buffer, nullptr);
}

// An offline renderer refills the ring itself: no thread starts, and its own polls of the
// device's position move the audible block and refill the ring as the thread's would.
TEST_F(Playback, CallerRefillStartsNoThreadAndPollsLikeTheThread) {
    const Reference reference = render_reference(103);
    ASSERT_EQ(reference.audio.size(), 103u);
    ASSERT_TRUE(music::audio_open(44100));
    ASSERT_TRUE(music::play_song(song, music::Refill::caller));
    EXPECT_EQ(fake::calls_matching({"wave_", "raise_thread_priority"}),
              (std::vector<std::string>{"wave_open 44100", "wave_play_loop 353600"}));
    EXPECT_EQ(music::thread_exited.load(), 1);  // play_song clears it only for a thread it starts

    fake::state().position = 3 * BLOCK_BYTES + 100;
    music::audio_poll(platform::wave_position(music::wave_out));
    EXPECT_EQ(music::audible_index.load(), 3);
    const int16_t* ring = music::wave_buffer;
    for (int block : {0, 1, 2}) EXPECT_EQ(ring_block(ring, block), reference.audio[100 + block]) << block;
    EXPECT_EQ(ring_block(ring, 3), reference.audio[3]);
    EXPECT_EQ(music::get_order(song), reference.info[3].order);
    EXPECT_EQ(music::get_row(song), reference.info[3].row);
    EXPECT_TRUE(music::stop_song(song));
    EXPECT_EQ(music::get_order(song), 0);
}

// With nothing to fill (before any play, after a stop) a poll returns at once and moves nothing.
TEST_F(Playback, PollWithNothingToFillReturns) {
    ASSERT_TRUE(music::audio_open(44100));
    const int32_t audible = music::audible_index.load(), fill = music::fill_index;  // from earlier tests
    music::audio_poll(static_cast<uint64_t>(audible + 5) * BLOCK_BYTES);
    EXPECT_EQ(music::audible_index.load(), audible);
    EXPECT_EQ(music::fill_index, fill);

    ASSERT_TRUE(music::play_song(song, music::Refill::caller));
    music::audio_poll(3 * BLOCK_BYTES);
    ASSERT_EQ(music::audible_index.load(), 3);
    EXPECT_TRUE(music::stop_song(song));
    music::audio_poll(9 * BLOCK_BYTES);  // spun for ever once the buffers were gone
    EXPECT_EQ(music::audible_index.load(), 3);
    EXPECT_EQ(music::fill_index, 3);
    EXPECT_EQ(music::get_order(song), 0);
}

// The show asks for the position as often as it likes while the thread refills blocks, also the
// audible block's own record: every read is defined (ThreadSanitizer runs this) and, once the
// thread has caught up, it is the record that block was last mixed with.
TEST_F(Playback, TheShowReadsThePositionWhileTheThreadFills) {
    constexpr int32_t LAST = 150;  // past one round of the ring
    const Reference reference = render_reference(LAST + 100);
    ASSERT_EQ(reference.info.size(), static_cast<size_t>(LAST + 100));
    ASSERT_TRUE(music::audio_open(44100));
    ASSERT_TRUE(music::play_song(song));
    for (int32_t heard = 7; heard <= LAST; heard += 7) {
        SCOPED_TRACE(heard);
        fake::state().position = static_cast<uint64_t>(heard) * BLOCK_BYTES + 40;
        ASSERT_TRUE(wait_for_audible(heard % 100, [this] {
            (void)music::get_order(song);
            (void)music::get_row(song);
        })) << "the thread ended before it caught up";
        EXPECT_EQ(music::get_order(song), reference.info[heard].order);
        EXPECT_EQ(music::get_row(song), reference.info[heard].row);
    }
}

TEST_F(Playback, FreeingAPlayingSongStopsTheThreadFirst) {
    ASSERT_TRUE(music::audio_open(44100));
    ASSERT_TRUE(music::play_song(song));
    fake::state().position = 2 * BLOCK_BYTES;
    ASSERT_TRUE(wait_for_audible(2));
    EXPECT_TRUE(music::free_song(song));
    song = nullptr;
    EXPECT_EQ(music::thread_exited.load(), 1);
    EXPECT_EQ(music::current_song, nullptr);
}

}  // namespace
