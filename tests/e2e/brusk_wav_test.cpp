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
#include <sys/wait.h>
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
    const ToolRun missing = run_brusk_wav("--xm " + dir + "no_such_file.xm " + dir + "bad.wav");
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("no_such_file.xm: "), std::string::npos) << missing.err;
    const ToolRun usage = run_brusk_wav("--seconds -1 " + dir + "bad.wav");
    EXPECT_NE(usage.status, 0);
    EXPECT_FALSE(usage.err.empty());
}

}  // namespace
