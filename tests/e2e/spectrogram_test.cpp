// brusk-spectrogram refuses what it cannot picture, with a reason, and draws what it can.
#include "tests/support/paths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string wav_bytes(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t frames, uint32_t claimed_data = 0) {
    std::string b;
    auto u32 = [&b](uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>(v >> (8 * i))); };
    auto u16 = [&b](uint16_t v) { for (int i = 0; i < 2; ++i) b.push_back(static_cast<char>(v >> (8 * i))); };
    const uint32_t data = frames * channels * (bits / 8u);
    b += "RIFF";
    u32(36 + data);
    b += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * channels * bits / 8);
    u16(static_cast<uint16_t>(channels * bits / 8));
    u16(bits);
    b += "data";
    u32(claimed_data ? claimed_data : data);
    for (uint32_t i = 0; i < frames * channels; ++i) u16(static_cast<uint16_t>((i * 7919u) & 0x3FFF));  // any signal
    return b;
}

int run(const std::string& input_bytes, std::string* stderr_text) {
    const std::string in = test_support::scratch_path("spectrogram_in.wav");
    const std::string out = test_support::scratch_path("spectrogram_out.png");
    const std::string err = test_support::scratch_path("spectrogram.err");
    std::FILE* f = std::fopen(in.c_str(), "wb");
    std::fwrite(input_bytes.data(), 1, input_bytes.size(), f);
    std::fclose(f);
    std::remove(out.c_str());
    const std::string command = test_support::binary_path("tools/brusk-spectrogram") + " " + in + " " + out + " 2>" + err;
    const int status = std::system(command.c_str());
    *stderr_text = test_support::read_file(err);
    std::remove(in.c_str());
    std::remove(err.c_str());
    return status;
}

TEST(Spectrogram, RefusesWhatItCannotDrawWithAReason) {
    const uint32_t order = 4410 * 64;
    struct Case {
        const char* what;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"not a WAVE file", "hello, not a wave file", "not a WAVE file"},
        {"mono", wav_bytes(1, 44100, 16, order), "no 44100 Hz 16-bit stereo PCM data"},
        {"8-bit", wav_bytes(2, 44100, 8, order), "no 44100 Hz 16-bit stereo PCM data"},
        {"another rate", wav_bytes(2, 22050, 16, order), "no 44100 Hz 16-bit stereo PCM data"},
        {"data chunk longer than the file", wav_bytes(2, 44100, 16, 100, 0x7FFFFFF0u), "no 44100 Hz 16-bit stereo PCM data"},
        {"shorter than one order position", wav_bytes(2, 44100, 16, order - 1), "shorter than one order position"},
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_NE(run(c.bytes, &err), 0) << c.what;
        EXPECT_NE(err.find(c.reason), std::string::npos) << c.what << ": " << err;
        EXPECT_TRUE(test_support::read_file(test_support::scratch_path("spectrogram_out.png")).empty()) << c.what;
    }
}

TEST(Spectrogram, DrawsOnePositionOfSound) {
    std::string err;
    EXPECT_EQ(run(wav_bytes(2, 44100, 16, 4410 * 64), &err), 0) << err;
    const std::string png = test_support::read_file(test_support::scratch_path("spectrogram_out.png"));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    std::remove(test_support::scratch_path("spectrogram_out.png").c_str());
}

}  // namespace
