#pragma once
// What the page's entry (platform/web/main.cpp) and the browser's side of the platform share:
// the two ways the page runs, the answers the page has already collected, and the hooks into
// the page's script (platform/web/page_library.js).
#include <cstdint>

namespace platform {
namespace web {

// The live demo, or the offline frame page that draws frame n at exactly n / 60 s with nothing
// played: there the clock and the wave device move only when the page moves them.
enum class Mode { live, offline };
extern Mode mode;

// The page asks its questions before the start-up runs (a page cannot wait for an answer in
// the middle of a call), and ask_yes_no hands them on in the order the start-up asks them.
void set_answers(int first, int second);

// A key press the page saw itself: Escape that the browser took to leave full screen.
void post_key(int32_t key);

// Offline: the clock's count (frames) and the wave device's position.
void set_clock_count(int64_t count, int64_t frequency);
void advance_wave(uint32_t bytes);

}  // namespace web
}  // namespace platform
