#pragma once
// Test double of the platform seam: records every call, answers dialogs from a script, can
// fail any step by name, and plays a wave device whose position the test moves.

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/window.h"

namespace platform::fake {

struct Dialog {
    std::string kind;  // "ask" or "message"
    std::string text;
    std::string caption;
    Icon icon;
};

struct State {
    std::vector<std::string> calls;  // "init_video", "create_window windowed 640x480 *** Brusk ***", ...
    std::set<std::string> failing;   // names of the calls that fail ("create_window", "wave_open", ...)

    std::vector<Dialog> dialogs;
    std::deque<Answer> answers;      // one per ask_yes_no; not_shown once used up

    // Clock: each performance_counter call takes the next value; the last one repeats.
    std::deque<int64_t> counter_values{0};
    int64_t frequency = 1000;

    // Messages pending now, and messages that arrive with the n-th swap (1 = the first).
    std::deque<Message> messages;
    std::map<int, std::vector<Message>> messages_after_swap;
    int swap_count = 0;
    bool quit_pending = false;
    int32_t quit_code = 0;

    // Wave device.
    bool wave_is_open = false;
    int32_t wave_rate = 0;
    const void* ring = nullptr;
    uint32_t ring_bytes = 0;
    std::atomic<uint64_t> position{0};  // set by the test, read by the player's thread

    bool cursor_visible = true;
    WindowProc window_proc = nullptr;  // what init_video was given for the window's messages
};

State& state();
void reset();  // a fresh state: nothing fails, empty log, no answers

// The calls whose names start with one of the prefixes, in order (for checking one area).
std::vector<std::string> calls_matching(std::initializer_list<const char*> prefixes);

}  // namespace platform::fake
