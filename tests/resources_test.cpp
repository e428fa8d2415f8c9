#include "platform/dib.h"

#include "tools/content/bitmaps.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// A 3 x 2 picture: rows of 9 bytes padded to 12; the top-left pixel is 200, the rest 10.
std::vector<uint8_t> small_bmp() {
    tools::GreyImage image{3, 2, {200, 10, 10, 10, 10, 10}};
    return tools::bmp_file_of(image);
}

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(Resources, ReadsAFileAndItsDibTheSameWay) {
    const std::vector<uint8_t> file = small_bmp();
    platform::Bitmap from_file, from_dib;
    ASSERT_TRUE(platform::read_bmp_file(file.data(), static_cast<int32_t>(file.size()), &from_file))
        << platform::dib_error();
    ASSERT_TRUE(platform::read_dib(file.data() + 14, static_cast<int32_t>(file.size()) - 14, &from_dib))
        << platform::dib_error();
    for (const platform::Bitmap& b : {from_file, from_dib}) {
        EXPECT_EQ(b.width, 3);
        EXPECT_EQ(b.height, 2);
        EXPECT_EQ(b.stride, 12);
        EXPECT_EQ(b.bits, file.data() + 54);
        EXPECT_EQ(b.bits[0], 10);        // bottom row first
        EXPECT_EQ(b.bits[12 + 2], 200);  // top-left pixel, its red byte
    }
}

// Each case spoils one thing in a valid file; the reader must refuse it without reading past
// the bytes it was given (the sanitizer build checks the latter) and leave `out` alone.
TEST(Resources, RefusesMalformedBitmaps) {
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> spoil;
    };
    const Case cases[] = {
        {"empty", [](auto& b) { b.clear(); }},
        {"file header only", [](auto& b) { b.resize(14); }},
        {"cut inside the info header", [](auto& b) { b.resize(40); }},
        {"no signature", [](auto& b) { b[0] = 'X'; }},
        {"declared size beyond the data", [](auto& b) { put32(b, 2, static_cast<uint32_t>(b.size()) + 1); }},
        {"pixel offset inside the header", [](auto& b) { put32(b, 10, 20); }},
        {"pixel offset beyond the data", [](auto& b) { put32(b, 10, 0xFFFFFFF0u); }},
        {"pixel offset leaves too few bytes", [](auto& b) { put32(b, 10, 58); }},
        {"header size 12", [](auto& b) { put32(b, 14, 12); }},
        {"header size 124", [](auto& b) { put32(b, 14, 124); }},
        {"zero width", [](auto& b) { put32(b, 18, 0); }},
        {"negative width", [](auto& b) { put32(b, 18, 0xFFFFFFFDu); }},
        {"huge width", [](auto& b) { put32(b, 18, 0x7FFFFFFFu); }},
        {"zero height", [](auto& b) { put32(b, 22, 0); }},
        {"top-down rows", [](auto& b) { put32(b, 22, 0xFFFFFFFEu); }},
        {"huge height", [](auto& b) { put32(b, 22, 0x40000000u); }},
        {"two planes", [](auto& b) { b[26] = 2; }},
        {"8 bits per pixel", [](auto& b) { b[28] = 8; }},
        {"32 bits per pixel", [](auto& b) { b[28] = 32; }},
        {"run-length compressed", [](auto& b) { put32(b, 30, 1); }},
        {"bitfields", [](auto& b) { put32(b, 30, 3); }},
        {"last pixel byte missing", [](auto& b) { b.pop_back(); put32(b, 2, static_cast<uint32_t>(b.size())); }},
        {"one row taller than the data", [](auto& b) { put32(b, 22, 3); }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = small_bmp();
        c.spoil(bytes);
        // Copy into an exactly sized block so any read past the end is caught.
        std::vector<uint8_t> exact(bytes);
        exact.shrink_to_fit();
        platform::Bitmap out;
        EXPECT_FALSE(platform::read_bmp_file(exact.data(), static_cast<int32_t>(exact.size()), &out)) << c.what;
        EXPECT_STRNE(platform::dib_error(), "") << c.what << ": refused without a reason";
        EXPECT_EQ(out.bits, nullptr) << c.what;
    }
}

TEST(Resources, RefusesMalformedDibs) {
    const std::vector<uint8_t> file = small_bmp();
    std::vector<uint8_t> dib(file.begin() + 14, file.end());
    platform::Bitmap out;
    EXPECT_FALSE(platform::read_dib(nullptr, 0, &out));
    EXPECT_FALSE(platform::read_dib(dib.data(), 39, &out));
    EXPECT_FALSE(platform::read_dib(dib.data(), static_cast<int32_t>(dib.size()) - 1, &out));
    put32(dib, 32, 1);  // a one-entry palette pushes the pixels 4 bytes further than the data
    EXPECT_FALSE(platform::read_dib(dib.data(), static_cast<int32_t>(dib.size()), &out));
    put32(dib, 32, 0xFFFFFFFFu);
    EXPECT_FALSE(platform::read_dib(dib.data(), static_cast<int32_t>(dib.size()), &out));
    EXPECT_STREQ(platform::dib_error(), "palette too large");
    EXPECT_EQ(out.bits, nullptr);
}

TEST(Resources, FindsTheTwoBitmapsByIdAndNothingElse) {
    platform::Bitmap sprite, font;
    ASSERT_TRUE(platform::load_bitmap(102, &sprite));
    ASSERT_TRUE(platform::load_bitmap(105, &font));
    EXPECT_EQ(sprite.width, 32);
    EXPECT_EQ(sprite.height, 32);
    EXPECT_EQ(sprite.stride, 96);
    EXPECT_EQ(font.width, 256);
    EXPECT_EQ(font.height, 256);
    EXPECT_EQ(font.stride, 768);
    EXPECT_EQ(sprite.bits[16 * 96 + 16 * 3], 255);  // the centre of the disc
    EXPECT_EQ(sprite.bits[0], 0);                   // a corner
    for (uint16_t id : {0, 1, 101, 103, 104, 106, 65535}) {
        platform::Bitmap none;
        EXPECT_FALSE(platform::load_bitmap(id, &none)) << id;
        EXPECT_EQ(none.bits, nullptr) << id;
    }
}

}  // namespace
