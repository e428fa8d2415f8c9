// The PNG files the tools write read back as the pixels they were given, and every failure names
// the file and the reason, kept for the thread that met it.
#include "tests/support/paths.h"
#include "tools/png_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int W = 5, H = 3;

// Every pixel different, so a swapped row or channel shows.
std::vector<uint8_t> test_pixels() {
    std::vector<uint8_t> rgb(W * H * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37 + 11);
    return rgb;
}

void expect_reads_back(const std::string& path, const std::vector<uint8_t>& top_first) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(tools::read_png_rgb(path, &w, &h, &rgb)) << tools::png_file_error();
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);
    EXPECT_TRUE(rgb == top_first);
}

TEST(PngFile, WrittenImagesReadBackTopRowFirst) {
    const std::vector<uint8_t> rgb = test_pixels();
    for (bool fast : {false, true}) {
        const std::string path = test_support::scratch_path(fast ? "png_fast.png" : "png_default.png");
        ASSERT_TRUE(tools::write_png_rgb(path, W, H, rgb.data(), fast)) << tools::png_file_error();
        expect_reads_back(path, rgb);
    }
    // The frame encoder takes its rows bottom first, as GL reads them back.
    std::vector<uint8_t> bottom_first;
    for (int y = H - 1; y >= 0; --y)
        bottom_first.insert(bottom_first.end(), rgb.begin() + y * W * 3, rgb.begin() + (y + 1) * W * 3);
    tools::PngEncoder* encoder = tools::png_encoder_create(1);
    ASSERT_NE(encoder, nullptr);
    std::vector<uint8_t> png;
    tools::encode_png_rgb(encoder, W, H, bottom_first.data() + (H - 1) * W * 3, -W * 3, &png);
    tools::png_encoder_free(encoder);
    const std::string path = test_support::scratch_path("png_encoded.png");
    ASSERT_TRUE(tools::write_whole_file(path, png)) << tools::png_file_error();
    expect_reads_back(path, rgb);
}

TEST(PngFile, FailuresNameTheFileAndTheReason) {
    const std::vector<uint8_t> rgb = test_pixels();
    const std::string not_png = test_support::scratch_path("png_not_a_png.png");
    std::FILE* f = std::fopen(not_png.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("plain text, not an image\n", f);
    std::fclose(f);
    const std::string missing_dir = test_support::scratch_path("png_no_such_dir") + "/x.png";
    int w = 0, h = 0;
    std::vector<uint8_t> out;
    struct Case {
        const char* what;
        std::function<bool()> call;
        std::string reason;
    };
    const Case cases[] = {
        {"write into a missing folder", [&] { return tools::write_png_rgb(missing_dir, W, H, rgb.data()); },
         missing_dir + ": cannot open for writing"},
        {"write a whole file into a missing folder", [&] { return tools::write_whole_file(missing_dir, rgb); },
         missing_dir + ": No such file or directory"},
        {"read a missing file", [&] { return tools::read_png_rgb(missing_dir, &w, &h, &out); },
         missing_dir + ": cannot open for reading"},
        {"read a file that is no PNG", [&] { return tools::read_png_rgb(not_png, &w, &h, &out); },
         not_png + ": not a readable PNG"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.call()) << c.what;
        EXPECT_EQ(std::string(tools::png_file_error()), c.reason) << c.what;
    }
}

// The capture's encoder threads write frames at once: a failure on one thread leaves the reason
// another thread is about to report untouched.
TEST(PngFile, EachThreadKeepsItsOwnReason) {
    const std::string mine = test_support::scratch_path("png_missing_a") + "/x.png";
    const std::string theirs = test_support::scratch_path("png_missing_b") + "/x.png";
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_FALSE(tools::read_png_rgb(mine, &w, &h, &rgb));
    std::string their_reason;
    std::thread other([&] {
        int tw = 0, th = 0;
        std::vector<uint8_t> trgb;
        if (!tools::read_png_rgb(theirs, &tw, &th, &trgb)) their_reason = tools::png_file_error();
    });
    other.join();
    EXPECT_EQ(their_reason, theirs + ": cannot open for reading");
    EXPECT_EQ(std::string(tools::png_file_error()), mine + ": cannot open for reading");
}

}  // namespace
