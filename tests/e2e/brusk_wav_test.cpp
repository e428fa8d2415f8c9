// Runs the real brusk-wav on fixture modules and reads the WAV it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <string>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/paths.h"
#include "tools/xm_writer.h"

namespace {

struct ToolRun {
    int status;
    std::string err;
    std::string out;
};

ToolRun run_brusk_wav(const std::string& arguments) {
    const std::string dir = test_support::scratch_path("");  // a prefix no other test process uses
    const std::string err_path = dir + "brusk_wav_stderr.txt";
    const std::string out_path = dir + "brusk_wav_stdout.txt";
    const std::string command = test_support::binary_path("tools/brusk-wav") + " " + arguments + " >" + out_path +
                                " 2>" + err_path + " </dev/null";
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = test_support::read_file(err_path);
    run.out = test_support::read_file(out_path);
    return run;
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

uint32_t le32(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 | static_cast<uint8_t>(s[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

struct Wav {
    std::vector<int16_t> left, right;
};

// Checks the 44-byte header of a 44100 Hz 16-bit stereo PCM file and returns its frames.
Wav read_wav(const std::string& path) {
    const std::string bytes = test_support::read_file(path);
    Wav wav;
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return wav;
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(le32(bytes, 16), 16u);
    EXPECT_EQ(le32(bytes, 20), 1u | 2u << 16);  // PCM, two channels
    EXPECT_EQ(le32(bytes, 24), 44100u);
    EXPECT_EQ(le32(bytes, 28), 44100u * 4);
    EXPECT_EQ(le32(bytes, 32), 4u | 16u << 16);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(le32(bytes, 40), bytes.size() - 44);
    const size_t frames = (bytes.size() - 44) / 4;
    for (size_t i = 0; i < frames; ++i) {
        const size_t at = 44 + 4 * i;
        wav.left.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8));
        wav.right.push_back(
            static_cast<int16_t>(static_cast<uint8_t>(bytes[at + 2]) | static_cast<uint8_t>(bytes[at + 3]) << 8));
    }
    return wav;
}

// One channel, one 16-row pattern, a single note (C-5, one octave above the sample's base
// pitch) on row `note_row`: a 32-value sine cycle looped, so the tone is 2 x 8363 / 32 Hz.
xm::Module one_note_module(int note_row) {
    xm::Module m;
    m.channels = 1;
    m.orders = {0};
    m.speed = 6;
    m.bpm = 125;
    xm::Pattern p;
    p.rows = 16;
    p.cells.resize(16);
    p.cells[note_row] = {61, 1, 0, 0, 0};
    m.patterns.push_back(p);
    xm::Instrument ins;
    xm::Sample s;
    s.sixteen_bit = true;
    for (int i = 0; i < 32; ++i) s.values.push_back(static_cast<int32_t>(std::lround(20000 * std::sin(2 * std::numbers::pi * i / 32))));
    s.loop = xm::Loop::forward;
    s.loop_start = 0;
    s.loop_length = 32;
    s.volume = 64;
    s.panning = 128;
    ins.samples.push_back(s);
    m.instruments.push_back(ins);
    return m;
}

TEST(BruskWav, OneNotePlaysInTuneAndOnTime) {
    const std::string dir = test_support::scratch_path("");  // a prefix no other test process uses
    const std::string xm_path = dir + "one_note.xm";
    const std::string wav_path = dir + "one_note.wav";
    write_bytes(xm_path, xm::write_xm(one_note_module(4)));
    const ToolRun run = run_brusk_wav("--xm " + xm_path + " " + wav_path);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");  // no progress line off a terminal
    const Wav wav = read_wav(wav_path);

    // One pass: 16 rows x 6 ticks x 882 frames, then the song is back at its restart position.
    ASSERT_EQ(wav.left.size(), 16u * 6 * 882);
    // Row 4 starts at frame 4 x 6 x 882; the note ramps in from a gain of 0 on that frame.
    const size_t start = 4 * 6 * 882;
    for (size_t i = 0; i < start; ++i) ASSERT_EQ(wav.left[i] | wav.right[i], 0) << "frame " << i;
    EXPECT_NE(wav.left[start + 2], 0);

    // Pitch from the zero crossings over one second after the ramp: 16726 / 32 = 522.69 Hz.
    int crossings = 0;
    const size_t from = start + 200;
    for (size_t i = from + 1; i < from + 44100; ++i)
        if ((wav.left[i - 1] < 0) != (wav.left[i] < 0)) ++crossings;
    EXPECT_NEAR(crossings / 2.0, 16726.0 / 32.0, 1.5);

    // Centre panning: levels 64 and 63 of 255, about a quarter of full scale on each side.
    int peak_left = 0, peak_right = 0;
    for (size_t i = from; i < from + 4410; ++i) {
        peak_left = std::max(peak_left, std::abs(static_cast<int>(wav.left[i])));
        peak_right = std::max(peak_right, std::abs(static_cast<int>(wav.right[i])));
    }
    EXPECT_NEAR(peak_left, 20000 * 64 / 255, 60);
    EXPECT_NEAR(peak_right, 20000 * 63 / 255, 60);
}

TEST(BruskWav, SecondsGiveExactlyThatManyFrames) {
    const std::string dir = test_support::scratch_path("");  // a prefix no other test process uses
    const std::string xm_path = dir + "one_note_seconds.xm";
    const std::string wav_path = dir + "one_note_seconds.wav";
    write_bytes(xm_path, xm::write_xm(one_note_module(0)));
    const ToolRun run = run_brusk_wav("--xm " + xm_path + " --seconds 2.5 " + wav_path);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_wav(wav_path).left.size(), 110250u);  // longer than one pass: the song loops on
}

TEST(BruskWav, BadFilesGetOneLineAndAFailure) {
    const std::string dir = test_support::scratch_path("");  // a prefix no other test process uses
    struct Case { std::string name; std::vector<uint8_t> bytes; };
    std::vector<uint8_t> truncated = xm::write_xm(one_note_module(0));
    truncated.resize(200);
    const std::vector<Case> cases = {
        {"not_xm.xm", {'h', 'e', 'l', 'l', 'o'}},
        {"truncated.xm", truncated},
        {"empty.xm", {}},
    };
    for (const Case& c : cases) {
        const std::string path = dir + c.name;
        write_bytes(path, c.bytes);
        const ToolRun run = run_brusk_wav("--xm " + path + " " + dir + "bad.wav");
        EXPECT_NE(run.status, 0) << c.name;
        EXPECT_NE(run.err.find(path + ": "), std::string::npos) << run.err;
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;  // exactly one line
    }
    // Paths that are no module file at all; /dev/zero is refused from its first bytes, not after
    // reading gigabytes of it.
    struct Path { std::string path, reason; };
    const std::vector<Path> paths = {
        {dir + "no_such_file.xm", "No such file or directory"},
        {test_support::binary_path("tests"), "is a directory"},
        {"/dev/zero", "not an XM module"},
    };
    for (const Path& p : paths) {
        const ToolRun run = run_brusk_wav("--xm " + p.path + " " + dir + "bad.wav");
        EXPECT_EQ(run.status, 1) << p.path;
        EXPECT_EQ(run.err, "brusk-wav: " + p.path + ": " + p.reason + "\n");
    }
    // Lengths that are no length: nothing is rendered, and no empty file looks like a success.
    for (const char* seconds : {"-1", "0", "0.00001", "nan", "1e9", "2x"}) {
        const ToolRun usage = run_brusk_wav(std::string("--seconds ") + seconds + " " + dir + "bad.wav");
        EXPECT_EQ(usage.status, 2) << seconds;
        EXPECT_NE(usage.err.find("--seconds wants"), std::string::npos) << seconds << ": " << usage.err;
    }
    EXPECT_EQ(run_brusk_wav("--seconds 0.0000114 " + dir + "one_frame.wav").status, 0) << "half a frame rounds to one";
    EXPECT_EQ(read_wav(dir + "one_frame.wav").left.size(), 1u);
}

// A disk that fills up (here a file-size limit, which fails the write the same way) leaves a WAV
// whose header counts exactly the frames it holds, and those are the render's first frames.
TEST(BruskWav, AFailedWriteLeavesAValidFileAndSaysWhy) {
    const std::string dir = test_support::scratch_path("");
    const std::string xm_path = dir + "full_disk.xm";
    write_bytes(xm_path, xm::write_xm(one_note_module(0)));
    ASSERT_EQ(run_brusk_wav("--xm " + xm_path + " --seconds 2 " + dir + "whole.wav").status, 0);
    const Wav whole = read_wav(dir + "whole.wav");
    // 100 blocks (of 512 or 1024 bytes, as the shell counts them): a size that is no whole
    // number of frames after the header.
    const std::string limited = "/bin/sh -c \"trap '' XFSZ; ulimit -f 100; exec " +
                                test_support::binary_path("tools/brusk-wav") + " --xm " + xm_path +
                                " --seconds 2 " + dir + "cut.wav\"";
    const std::string err_path = dir + "cut_stderr.txt";
    const int raw = std::system((limited + " >/dev/null 2>" + err_path + " </dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    const std::string err = test_support::read_file(err_path);
    EXPECT_EQ(err.rfind("brusk-wav: " + dir + "cut.wav: File too large (the file holds the first 0.", 0), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    const Wav cut = read_wav(dir + "cut.wav");  // checks that the header agrees with the size
    EXPECT_TRUE(cut.left.size() == (51200u - 44u) / 4u || cut.left.size() == (102400u - 44u) / 4u) << cut.left.size();
    for (size_t i = 0; i < cut.left.size(); ++i) {
        ASSERT_EQ(cut.left[i], whole.left[i]) << "frame " << i;
        ASSERT_EQ(cut.right[i], whole.right[i]) << "frame " << i;
    }
}

// Ctrl+C, SIGTERM and a closed terminal stop a render between blocks: the file is valid, holds
// the render's first frames, and the run ends non-zero, saying so.
TEST(BruskWav, ASignalStopsItWithAValidFile) {
    const std::string dir = test_support::scratch_path("");
    ASSERT_EQ(run_brusk_wav("--seconds 1 " + dir + "first_second.wav").status, 0);
    const Wav first = read_wav(dir + "first_second.wav");
    struct Case { int signal; const char* name; };
    for (const Case c : {Case{SIGINT, "SIGINT"}, Case{SIGTERM, "SIGTERM"}, Case{SIGHUP, "SIGHUP"}}) {
        const std::string wav_path = dir + "stopped_" + c.name + ".wav";
        const std::string err_path = dir + "stopped_" + c.name + ".txt";
        std::remove(wav_path.c_str());
        const pid_t pid = fork();
        if (pid == 0) {
            const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null_fd = open("/dev/null", O_RDWR);
            dup2(null_fd, 0);
            dup2(null_fd, 1);
            dup2(err, 2);
            const std::string tool = test_support::binary_path("tools/brusk-wav");
            execl(tool.c_str(), tool.c_str(), "--seconds", "10800", wav_path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // Three hours take far longer than this to render: wait until a second is on disk.
        struct stat info {};
        for (int i = 0; i < 6000 && (stat(wav_path.c_str(), &info) != 0 || info.st_size < 44 + 44100 * 4); ++i)
            usleep(10000);
        ASSERT_GE(info.st_size, 44 + 44100 * 4) << c.name << ": nothing was rendered";
        kill(pid, c.signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << c.name << " killed it instead of stopping it";
        EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal);
        const std::string err = test_support::read_file(err_path);
        EXPECT_EQ(err.rfind(std::string("brusk-wav: stopped by ") + c.name + "; " + wav_path + " holds the first ", 0), 0u)
            << err;
        const Wav stopped = read_wav(wav_path);
        ASSERT_GE(stopped.left.size(), first.left.size());
        for (size_t i = 0; i < first.left.size(); ++i) {
            ASSERT_EQ(stopped.left[i], first.left[i]) << c.name << " frame " << i;
            ASSERT_EQ(stopped.right[i], first.right[i]) << c.name << " frame " << i;
        }
    }
}

}  // namespace
