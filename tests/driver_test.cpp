#include "shell/driver.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "music/file_access.h"
#include "music/playback.h"
#include "platform/fake/fake_platform.h"
#include "show/frame.h"

namespace {

namespace fake = platform::fake;
using platform::Answer;
using platform::Message;
using platform::MessageType;
using Calls = std::vector<std::string>;

Message message(MessageType type, int32_t key = 0) {
    Message m;
    m.type = type;
    m.key = key;
    return m;
}

const Calls window_steps = {
    "create_window windowed 640x480 *** Brusk ***", "get_device_context", "choose_pixel_format color 32 depth 16 double",
    "set_pixel_format 7", "create_gl_context", "make_current", "show_window", "focus_window"};
const Calls teardown_steps = {"wave_reset",     "wave_close",           "make_current none",
                              "delete_gl_context", "release_device_context", "destroy_window",
                              "restore_display_mode", "show_cursor",       "quit_video"};

// The log without the clock, which the frame tests look at on their own.
Calls calls_without_clock() {
    Calls out;
    for (const std::string& call : fake::state().calls)
        if (call.rfind("performance_", 0) != 0) out.push_back(call);
    return out;
}

Calls concat(std::initializer_list<Calls> parts) {
    Calls out;
    for (const Calls& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Stand-ins for the show: they record into the platform's call log, so one log shows the order
// of everything, and remember what each frame saw.
struct FrameSeen {
    float time, delta;
    int32_t order;
};
std::vector<FrameSeen> frames_seen;

void record(const char* step) { fake::state().calls.push_back(step); }

class Driver : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        frames_seen.clear();
        saved = shell::show_steps;
        shell::show_steps = {
            [] { record("init_graphics"); },
            [] { record("init_metaballs"); },
            [] { record("init_trail_offsets"); },
            [] {
                record("draw_frame");
                frames_seen.push_back({show::frame_time, show::frame_delta, music::get_order(show::loaded_song)});
            },
            [] { record("release_graphics"); },
        };
    }
    void TearDown() override {
        shell::show_steps = saved;
        music::set_memory_image(nullptr, nullptr);
        fake::reset();
    }
    shell::ShowSteps saved{};
};

TEST_F(Driver, StartsUpRunsAndShutsDownInOrder) {
    fake::state().answers = {Answer::no};
    fake::state().messages_after_swap[2] = {message(MessageType::left_button_down)};
    EXPECT_EQ(shell::run_demo(), 0);

    EXPECT_EQ(calls_without_clock(),
              concat({{"ask_yes_no -*- Gfx Mode Selection -*-", "init_video"},
                      window_steps,
                      {"wave_open 44100", "init_graphics", "init_metaballs", "init_trail_offsets", "wave_play_loop 353600",
                       "raise_thread_priority"},
                      {"draw_frame", "swap_buffers", "draw_frame", "swap_buffers", "post_quit_message 0", "draw_frame",
                       "swap_buffers"},
                      {"release_graphics"},
                      teardown_steps}));
    const fake::Dialog& question = fake::state().dialogs.at(0);
    EXPECT_EQ(question.text, "Start in fullscreen ? (RECOMMANDED)");
    EXPECT_EQ(question.icon, platform::Icon::question);
    EXPECT_EQ(fake::state().dialogs.size(), 1u);
    // The clock starts after the question and before the window.
    EXPECT_EQ(fake::state().calls.at(1), "performance_counter 0");
    EXPECT_EQ(fake::state().calls.at(2), "performance_frequency");
}

TEST_F(Driver, OnlyNoGivesAWindowYesOrNoBoxMeansFullScreen) {
    for (Answer answer : {Answer::yes, Answer::not_shown}) {
        fake::reset();
        fake::state().answers = {answer};
        fake::state().messages = {message(MessageType::close)};
        EXPECT_EQ(shell::run_demo(), 0);
        EXPECT_TRUE(shell::fullscreen_requested);
        EXPECT_EQ(fake::calls_matching({"change_display_mode", "create_window"}),
                  (Calls{"change_display_mode 640x480x32", "create_window fullscreen 640x480 *** Brusk ***"}));
    }
}

TEST_F(Driver, WindowFailureEndsRightAfterItsMessage) {
    fake::state().answers = {Answer::no};
    fake::state().failing = {"create_gl_context"};
    EXPECT_EQ(shell::run_demo(), 0);
    const Calls calls = calls_without_clock();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "show_message ERROR exclamation Can't Create A GL Rendering Context.");
    EXPECT_TRUE(fake::calls_matching({"wave_", "swap_buffers", "init_graphics", "init_metaballs", "init_trail_offsets",
                                      "release_graphics", "draw_frame"}).empty())
        << "went on after the window failed";
}

TEST_F(Driver, NoSoundDeviceClosesAgainSilently) {
    fake::state().answers = {Answer::no};
    fake::state().failing = {"wave_open"};
    EXPECT_EQ(shell::run_demo(), 0);
    EXPECT_EQ(calls_without_clock(),
              concat({{"ask_yes_no -*- Gfx Mode Selection -*-", "init_video"},
                      window_steps,
                      {"wave_open 44100", "release_graphics"},
                      Calls(teardown_steps.begin() + 2, teardown_steps.end())}));
    EXPECT_EQ(fake::state().dialogs.size(), 1u);  // the question only
}

TEST_F(Driver, ASongThatFailsToLoadLeavesTheShowRunningWithoutMusic) {
    static const uint8_t not_a_module[] = "Not a module at all, but long enough to read a header from.\0\0\0";
    const uint32_t length = 60;
    uint8_t stored_length[4] = {uint8_t(length), 0, 0, 0};
    music::set_memory_image(not_a_module, stored_length);

    fake::state().answers = {Answer::no};
    fake::state().messages_after_swap[3] = {message(MessageType::key_down, platform::KEY_ESCAPE)};
    EXPECT_EQ(shell::run_demo(), 0);
    EXPECT_EQ(fake::calls_matching({"wave_", "swap_buffers", "init_graphics", "init_metaballs", "init_trail_offsets"}),
              (Calls{"wave_open 44100", "init_graphics", "init_metaballs", "init_trail_offsets", "swap_buffers", "swap_buffers",
                     "swap_buffers", "swap_buffers", "wave_reset", "wave_close"}));
    ASSERT_EQ(frames_seen.size(), 4u);
    for (const FrameSeen& frame : frames_seen) EXPECT_EQ(frame.order, 0);
}

TEST_F(Driver, OtherKeysAndButtonsDoNotEndTheRun) {
    fake::state().answers = {Answer::no};
    fake::state().messages = {message(MessageType::key_down, 'a'), message(MessageType::other)};
    fake::state().messages_after_swap[1] = {message(MessageType::key_down, 13)};
    fake::state().messages_after_swap[2] = {message(MessageType::key_down, platform::KEY_ESCAPE),
                                            message(MessageType::other)};
    EXPECT_EQ(shell::run_demo(), 0);
    // The pass that sees the quit still draws and presents: three frames in all.
    EXPECT_EQ(fake::calls_matching({"swap_buffers", "post_quit", "default_window_proc"}),
              (Calls{"default_window_proc", "default_window_proc", "swap_buffers", "default_window_proc",
                     "swap_buffers", "post_quit_message 0", "default_window_proc", "swap_buffers"}));
}

TEST_F(Driver, FrameClockMeasuresFromClockStart) {
    struct Row {
        std::deque<int64_t> counter;  // clock start, then one value per frame
        int frames;
        float last_time, last_delta;
    };
    const Row table[] = {
        {{1000, 3500}, 1, 2.5f, 2.5f},          // the first frame's delta is its time
        {{1000, 3500, 4250}, 2, 3.25f, 0.75f},  // later ones the difference of two samples
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.frames);
        fake::reset();
        frames_seen.clear();
        fake::state().answers = {Answer::no};
        fake::state().counter_values = row.counter;
        fake::state().frequency = 1000;
        fake::state().messages_after_swap[row.frames - 1] = {message(MessageType::close)};
        if (row.frames == 1) fake::state().messages = {message(MessageType::close)};
        EXPECT_EQ(shell::run_demo(), 0);
        EXPECT_EQ(fake::state().swap_count, row.frames);
        ASSERT_EQ(frames_seen.size(), static_cast<size_t>(row.frames));
        EXPECT_FLOAT_EQ(frames_seen[0].delta, frames_seen[0].time);
        EXPECT_FLOAT_EQ(frames_seen.back().time, row.last_time);
        EXPECT_FLOAT_EQ(frames_seen.back().delta, row.last_delta);
    }
}

}  // namespace
