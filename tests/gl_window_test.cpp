#include "shell/gl_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"

namespace {

using platform::Answer;
using platform::Message;
using platform::MessageType;
namespace fake = platform::fake;
using Calls = std::vector<std::string>;

const Calls windowed_steps = {
    "init_video",
    "create_window windowed 640x480 *** Brusk ***",
    "get_device_context",
    "choose_pixel_format color 32 depth 16 double",
    "set_pixel_format 7",
    "create_gl_context",
    "make_current",
    "show_window",
    "focus_window",
};

class GlWindow : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override {
        shell::kill_gl_window();
        fake::reset();
    }
};

TEST_F(GlWindow, WindowedCreationTakesEveryStepInOrder) {
    EXPECT_TRUE(shell::create_gl_window("*** Brusk ***", 640, 480, 32, false));
    EXPECT_EQ(fake::state().calls, windowed_steps);
    EXPECT_FALSE(shell::fullscreen);
    EXPECT_NE(shell::device_context, nullptr);
    EXPECT_TRUE(fake::state().dialogs.empty());
    // Where the system calls the window procedure itself, this is the only way close, click
    // and Escape reach it.
    EXPECT_EQ(fake::state().window_proc, &shell::window_proc);
}

TEST_F(GlWindow, FullScreenChangesTheModeAndHidesTheCursor) {
    EXPECT_TRUE(shell::create_gl_window("*** Brusk ***", 640, 480, 32, true));
    Calls expected = {"init_video", "change_display_mode 640x480x32", "hide_cursor",
                      "create_window fullscreen 640x480 *** Brusk ***"};
    expected.insert(expected.end(), windowed_steps.begin() + 2, windowed_steps.end());
    EXPECT_EQ(fake::state().calls, expected);
    EXPECT_TRUE(shell::fullscreen);

    fake::state().calls.clear();
    shell::kill_gl_window();
    EXPECT_EQ(fake::state().calls,
              (Calls{"make_current none", "delete_gl_context", "release_device_context", "destroy_window",
                     "restore_display_mode", "show_cursor", "quit_video"}));
    EXPECT_TRUE(fake::state().cursor_visible);
    EXPECT_EQ(shell::window_handle, nullptr);
    EXPECT_EQ(shell::device_context, nullptr);
    EXPECT_EQ(shell::render_context, nullptr);
}

TEST_F(GlWindow, ClassRegistrationFailureOnlyTellsTheUser) {
    fake::state().failing = {"init_video"};
    EXPECT_FALSE(shell::create_gl_window("*** Brusk ***", 640, 480, 32, true));
    EXPECT_EQ(fake::state().calls,
              (Calls{"init_video", "show_message ERROR exclamation Failed To Register The Window Class."}));
}

// Each step from window creation on: take down what exists (in reverse), then the message.
struct StepFailure {
    const char* step;
    const char* message;
    Calls undo;
};

TEST_F(GlWindow, EachFailureFromTheWindowOnUndoesThenTellsTheUser) {
    const Calls always = {"restore_display_mode", "show_cursor", "quit_video"};
    const std::vector<StepFailure> table = {
        {"create_window", "Window Creation Error.", {}},
        {"get_device_context", "Can't Create A GL Device Context.", {"destroy_window"}},
        {"choose_pixel_format", "Can't Find A Suitable PixelFormat.", {"release_device_context", "destroy_window"}},
        {"set_pixel_format", "Can't Set The PixelFormat.", {"release_device_context", "destroy_window"}},
        {"create_gl_context", "Can't Create A GL Rendering Context.", {"release_device_context", "destroy_window"}},
        {"make_current", "Can't Activate The GL Rendering Context.",
         {"make_current none", "delete_gl_context", "release_device_context", "destroy_window"}},
    };
    for (const StepFailure& row : table) {
        SCOPED_TRACE(row.step);
        fake::reset();
        fake::state().failing = {row.step};
        EXPECT_FALSE(shell::create_gl_window("*** Brusk ***", 640, 480, 32, false));

        Calls expected;
        for (const std::string& step : windowed_steps) {
            expected.push_back(step);
            if (step.rfind(row.step, 0) == 0) break;
        }
        expected.insert(expected.end(), row.undo.begin(), row.undo.end());
        expected.insert(expected.end(), always.begin(), always.end());
        expected.push_back(std::string("show_message ERROR exclamation ") + row.message);
        EXPECT_EQ(fake::state().calls, expected);
        EXPECT_EQ(shell::window_handle, nullptr);
        EXPECT_EQ(shell::device_context, nullptr);
        EXPECT_EQ(shell::render_context, nullptr);
    }
}

TEST_F(GlWindow, RefusedFullScreenModeAsksForWindowedModeAndYesGivesAWindow) {
    fake::state().failing = {"change_display_mode"};
    fake::state().answers = {Answer::yes};
    EXPECT_TRUE(shell::create_gl_window("*** Brusk ***", 640, 480, 32, true));
    EXPECT_FALSE(shell::fullscreen);

    ASSERT_EQ(fake::state().dialogs.size(), 1u);
    const fake::Dialog& question = fake::state().dialogs[0];
    EXPECT_EQ(question.kind, "ask");
    EXPECT_EQ(question.text,
              "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?");
    EXPECT_EQ(question.caption, "Orlu GL");
    EXPECT_EQ(question.icon, platform::Icon::exclamation);

    Calls expected = {"init_video", "change_display_mode 640x480x32", "ask_yes_no Orlu GL"};
    expected.insert(expected.end(), windowed_steps.begin() + 1, windowed_steps.end());
    EXPECT_EQ(fake::state().calls, expected);  // no hidden cursor in a window
}

TEST_F(GlWindow, RefusedFullScreenModeEndsWhenTheUserDoesNotTakeWindowedMode) {
    for (Answer answer : {Answer::no, Answer::not_shown}) {
        fake::reset();
        fake::state().failing = {"change_display_mode"};
        fake::state().answers = {answer};
        EXPECT_FALSE(shell::create_gl_window("*** Brusk ***", 640, 480, 32, true));
        EXPECT_EQ(fake::state().calls,
                  (Calls{"init_video", "change_display_mode 640x480x32", "ask_yes_no Orlu GL",
                         "show_message ERROR stop Program Will Now Close."}));
    }
}

TEST_F(GlWindow, KillWithNothingCreatedStillRestoresDisplayAndCursor) {
    shell::kill_gl_window();
    EXPECT_EQ(fake::state().calls, (Calls{"restore_display_mode", "show_cursor"}));
}

TEST_F(GlWindow, WindowProcPostsQuitForCloseLeftClickAndEscapeOnly) {
    struct Row {
        MessageType type;
        int32_t key;
        bool quits;
    };
    const Row table[] = {
        {MessageType::close, 0, true},
        {MessageType::left_button_down, 0, true},
        {MessageType::key_down, platform::KEY_ESCAPE, true},
        {MessageType::key_down, 'a', false},
        {MessageType::key_down, 13, false},
        {MessageType::other, 0, false},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(static_cast<int>(row.type) * 1000 + row.key);
        fake::reset();
        Message message;
        message.type = row.type;
        message.key = row.key;
        EXPECT_EQ(shell::window_proc(nullptr, message), 0);
        EXPECT_EQ(fake::state().calls,
                  (Calls{row.quits ? "post_quit_message 0" : "default_window_proc"}));
        Message next;
        EXPECT_EQ(platform::next_message(next), row.quits);
        if (row.quits) {
            EXPECT_EQ(next.type, MessageType::quit);
        }
    }
}

}  // namespace
