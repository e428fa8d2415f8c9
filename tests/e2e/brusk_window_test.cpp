// The demo as a person runs it: on a virtual X display, answering the start-up question,
// looking at the window and ending the run with Escape or a click.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/paths.h"

namespace {

using Clock = std::chrono::steady_clock;

// Output of a short command (xdotool, ffmpeg); empty when it fails.
std::string run_capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (pclose(pipe) != 0) out.clear();
    return out;
}

// `environment` holds NAME=VALUE to set and plain NAME to unset; stderr goes to `stderr_path`.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment, int stdout_fd = -1,
            const std::string& stderr_path = "/dev/null") {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (const std::string& assignment : environment) {
        if (assignment.find('=') == std::string::npos)
            unsetenv(assignment.c_str());
        else
            putenv(const_cast<char*>(assignment.c_str()));
    }
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    if (stdout_fd < 0) dup2(null_fd, 1);
    const int err_fd = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err_fd >= 0 ? err_fd : null_fd, 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

// Waits for the child; -1 when it is still running at the deadline.
int wait_exit(pid_t pid, double seconds, double* took = nullptr) {
    const auto start = Clock::now();
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            if (took) *took = std::chrono::duration<double>(Clock::now() - start).count();
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::duration<double>(Clock::now() - start).count() > seconds) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

double pixel(const std::vector<unsigned char>& rgb, int x, int top_row, int channel) {
    return rgb[(top_row * 640 + x) * 3 + channel];
}

class BruskOnX : public ::testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        // -noreset: by default the server resets whenever its last client leaves, and a program
        // connecting at that moment (each message box has its own connection) is refused.
        xvfb = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten",
                      "tcp", "-noreset"},
                     {}, fds[1]);
        close(fds[1]);
        // Xvfb writes its display number when it is ready.
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        while (poll(&ready, 1, 10000) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (number.empty()) GTEST_SKIP() << "Xvfb could not start a virtual display";
        display = ":" + number;
    }

    void TearDown() override {
        if (demo > 0 && wait_exit(demo, 0) < 0) {
            kill(demo, SIGKILL);
            waitpid(demo, nullptr, 0);
        }
        if (xvfb > 0) {
            kill(xvfb, SIGTERM);
            if (wait_exit(xvfb, 5) < 0) {
                kill(xvfb, SIGKILL);
                waitpid(xvfb, nullptr, 0);
            }
        }
    }

    void start_demo(const std::string& audio_driver) {
        demo = spawn({test_support::binary_path("shell/brusk")},
                     {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=" + audio_driver, "ASAN_OPTIONS=detect_leaks=0"},
                     -1, stderr_path);
    }

    std::string stderr_path = test_support::scratch_path("brusk_stderr.txt");

    std::string xdotool(const std::string& arguments) {
        return run_capture("DISPLAY=" + display + " xdotool " + arguments + " 2>/dev/null");
    }

    // The id of the top-level window with this exact name, waiting for it to appear; empty if it
    // never does. (xwininfo reads every kind of window name; xdotool's search misses UTF-8 ones.)
    std::string find_window(const std::string& name, double seconds = 20) {
        const std::string quoted = " \"" + name + "\":";
        const auto start = Clock::now();
        while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
            const std::string tree = run_capture("xwininfo -display " + display + " -root -children 2>/dev/null");
            const size_t at = tree.find(quoted);
            if (at != std::string::npos) {
                const size_t line = tree.rfind('\n', at) + 1;
                const size_t id = tree.find_first_not_of(' ', line);
                return tree.substr(id, tree.find(' ', id) - id);
            }
            if (wait_exit(demo, 0) >= 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return "";
    }

    std::string windows() { return run_capture("xwininfo -display " + display + " -root -children 2>/dev/null"); }

    bool wait_viewable(const std::string& window, double seconds = 20) {
        const auto start = Clock::now();
        while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
            if (run_capture("xwininfo -display " + display + " -id " + window + " 2>/dev/null").find("IsViewable") !=
                std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Presses a key in a window once it is on the screen, again if the first press went unseen
    // (as a person would), until the window is gone.
    void press_until_closed(const std::string& window, const std::string& key) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            const std::string info = run_capture("xwininfo -display " + display + " -id " + window + " 2>/dev/null");
            if (info.empty() || wait_exit(demo, 0) >= 0) return;  // the window (or the program) is gone
            if (info.find("IsViewable") != std::string::npos) xdotool("windowfocus --sync " + window + " key " + key);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }

    // Answers the start-up question with No from the keyboard (the box binds Escape to No).
    void answer_no() {
        const std::string box = find_window("-*- Gfx Mode Selection -*-");
        ASSERT_FALSE(box.empty()) << "the start-up question never appeared";
        press_until_closed(box, "Escape");
    }

    // Kept next to the test binary for a person to look at.
    void save_screenshot() {
        const std::string png = test_support::binary_path("tests/e2e_brusk_window.png");
        run_capture("ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size 640x480 -i " + display +
                    "+0,0 -frames:v 1 " + png);
    }

    // The 640 x 480 area at the top-left of the screen as RGB rows, top row first.
    std::vector<unsigned char> grab_rgb() {
        const std::string raw = run_capture("ffmpeg -loglevel error -f x11grab -draw_mouse 0 -video_size 640x480 -i " + display +
                                            "+0,0 -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
        return std::vector<unsigned char>(raw.begin(), raw.end());
    }

    pid_t xvfb = -1;
    pid_t demo = -1;
    std::string display;
};

TEST_F(BruskOnX, WindowShowsGradientAndBarsAndEscapeEndsIt) {
    start_demo("dummy");
    answer_no();
    const std::string window = find_window("*** Brusk ***");
    ASSERT_FALSE(window.empty()) << "the demo window never appeared; windows now:\n" << windows();
    ASSERT_TRUE(wait_viewable(window));

    // The window is black until start-up has finished and the first frame is presented.
    std::vector<unsigned char> rgb;
    const auto give_up = Clock::now() + std::chrono::seconds(30);
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        rgb = grab_rgb();
        ASSERT_EQ(rgb.size(), 640u * 480u * 3u) << "no screenshot";
    } while (pixel(rgb, 320, 240, 1) == 0 && Clock::now() < give_up);
    save_screenshot();
    for (int row : {0, 50, 95, 384, 430, 479})
        for (int x : {0, 320, 639})
            for (int c = 0; c < 3; ++c) EXPECT_EQ(pixel(rgb, x, row, c), 0) << "bar row " << row << " x " << x;
    // Between the bars: the gradient, lighter at the top, at its place on the full-height ramp.
    // The opening scene's sprites and grain only darken it, so the brightest pixel of a row
    // outside the grain band is the gradient itself.
    const double top[3] = {192, 207, 203}, bottom[3] = {108, 128, 114};
    for (int row : {96, 150, 330, 383})
        for (int c = 0; c < 3; ++c) {
            const double from_bottom = (479 - row + 0.5) / 480.0;
            const double expected = bottom[c] + (top[c] - bottom[c]) * from_bottom;
            int brightest = 0;
            for (int x = 0; x < 640; ++x) brightest = std::max(brightest, static_cast<int>(pixel(rgb, x, row, c)));
            EXPECT_NEAR(brightest, expected, 3.0) << "row " << row << " channel " << c;
        }

    xdotool("windowfocus --sync " + window + " key Escape");
    double took = 0;
    EXPECT_EQ(wait_exit(demo, 10, &took), 0);
    RecordProperty("seconds_to_exit_after_escape", std::to_string(took));
    demo = -1;
}

TEST_F(BruskOnX, LeftClickEndsIt) {
    start_demo("dummy");
    answer_no();
    const std::string window = find_window("*** Brusk ***");
    ASSERT_FALSE(window.empty()) << "the demo window never appeared; windows now:\n" << windows();
    ASSERT_TRUE(wait_viewable(window));
    // Other buttons and keys do nothing.
    xdotool("mousemove --sync 320 240 click 3 key a");  // the pointer now rests in the window
    EXPECT_EQ(wait_exit(demo, 0.5), -1) << "the demo ended on a right click or a letter key";
    xdotool("click 1");
    double took = 0;
    EXPECT_EQ(wait_exit(demo, 10, &took), 0);
    RecordProperty("seconds_to_exit_after_click", std::to_string(took));
    demo = -1;
}

TEST_F(BruskOnX, WithoutASoundDeviceItEndsAtOnceSayingWhyOnStderr) {
    start_demo("no-such-audio-driver");
    answer_no();
    double took = 0;
    EXPECT_EQ(wait_exit(demo, 10, &took), 0);
    RecordProperty("seconds_to_exit_without_sound", std::to_string(took));
    demo = -1;  // a message box would have held it until someone closed the box
    // One line, with SDL's own reason after the colon.
    const std::string err = test_support::read_file(stderr_path);
    const std::string said = "brusk: no sound device: ";
    ASSERT_EQ(err.rfind(said, 0), 0u) << err;
    EXPECT_GT(err.size(), said.size() + 1) << "no reason given: " << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

// Logged in without a display: SDL would fall back to drawing into memory by itself, showing
// nothing and playing on until Ctrl+C. Every dialog that cannot show and the missing display are
// said on stderr, and the program ends as for a window that cannot be made.
TEST(BruskWithoutADisplay, SaysSoAndEndsAtOnce) {
    const std::string err_path = test_support::scratch_path("brusk_no_display_stderr.txt");
    const pid_t demo = spawn({test_support::binary_path("shell/brusk")},
                             {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "SDL_AUDIODRIVER=dummy",
                              "ASAN_OPTIONS=detect_leaks=0"},
                             -1, err_path);
    const int status = wait_exit(demo, 30);
    if (status < 0) {
        kill(demo, SIGKILL);
        waitpid(demo, nullptr, 0);
    }
    EXPECT_EQ(status, 0) << "it ran on with nothing to show (or crashed)";
    const std::string err = test_support::read_file(err_path);
    // Our lines only: the libraries SDL probes for a display may add their own.
    std::vector<std::string> lines;
    for (size_t at = 0; at < err.size();) {
        const size_t end = err.find('\n', at);
        const std::string line = err.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.rfind("brusk", 0) == 0) lines.push_back(line);
        at = end == std::string::npos ? err.size() : end + 1;
    }
    const std::vector<std::string> starts = {
        "brusk: could not show \"Start in fullscreen ? (RECOMMANDED)\" [-*- Gfx Mode Selection -*-]: ",
        "brusk: no display: DISPLAY is not set",
        "brusk: could not show \"Window Creation Error.\" [ERROR]: ",
    };
    ASSERT_EQ(lines.size(), starts.size()) << err;
    for (size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(starts[i], 0), 0u) << lines[i];
        EXPECT_GT(lines[i].size(), starts[i].size()) << "no reason: " << lines[i];
    }
}

}  // namespace
