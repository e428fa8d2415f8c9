#pragma once
// Makes playback report a chosen audible position without a device or an audio thread: a song
// handle for the show and a single block record that stands for the block being heard. The
// show then reads it through the same get_order / get_row as in the demo.
#include <atomic>
#include <cstdint>

#include "music/mixer.h"
#include "music/playback.h"
#include "music/song.h"
#include "show/frame.h"

namespace test_support {

class PlayPosition {
public:
    PlayPosition(uint8_t order, uint8_t row)
        : saved_song_(show::loaded_song), saved_info_(music::block_info), saved_index_(music::audible_index.load()) {
        info_ = {order, row};
        show::loaded_song = &song_;
        music::block_info = &info_;
        music::audible_index = 0;
    }
    ~PlayPosition() {
        show::loaded_song = saved_song_;
        music::block_info = saved_info_;
        music::audible_index = saved_index_;
    }
    PlayPosition(const PlayPosition&) = delete;
    PlayPosition& operator=(const PlayPosition&) = delete;

    void set(uint8_t order, uint8_t row) { info_ = {order, row}; }

private:
    music::Song song_{};
    music::BlockInfo info_{};
    music::Song* saved_song_;
    music::BlockInfo* saved_info_;
    int32_t saved_index_;
};

}  // namespace test_support
