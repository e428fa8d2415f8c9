#include "data/embedded.h"
#include "tests/support/paths.h"
#include "tools/content/bitmaps.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string as_string(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

tools::GreyImage font_image() {
    tools::GreyImage font;
    EXPECT_TRUE(tools::make_font_image(&font)) << tools::font_image_error();
    return font;
}

// The committed images and the arrays built into the program are exactly what the generator makes.
TEST(Bitmaps, CommittedAndEmbeddedImagesMatchTheGenerator) {
    const std::string sprite = as_string(tools::bmp_file_of(tools::make_sprite_image()));
    const std::string font = as_string(tools::bmp_file_of(font_image()));
    EXPECT_EQ(sprite.size(), 54u + 32 * 96);
    EXPECT_EQ(font.size(), 54u + 256 * 768);
    EXPECT_TRUE(sprite == test_support::read_file(test_support::source_path("data/sprite.bmp")))
        << "data/sprite.bmp is stale: run brusk-bitmapgen data docs";
    EXPECT_TRUE(font == test_support::read_file(test_support::source_path("data/font.bmp")))
        << "data/font.bmp is stale: run brusk-bitmapgen data docs";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data::sprite_bitmap), data::sprite_bitmap_size), sprite);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data::font_bitmap), data::font_bitmap_size), font);
}

TEST(Bitmaps, SpriteIsASymmetricDiscAndRingWithSoftEdges) {
    const tools::GreyImage s = tools::make_sprite_image();
    ASSERT_EQ(s.width, 32);
    ASSERT_EQ(s.height, 32);
    auto at = [&](int x, int y) { return s.pixels[y * 32 + x]; };
    bool has_grey = false;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            EXPECT_EQ(at(x, y), at(31 - x, y)) << x << "," << y;
            EXPECT_EQ(at(x, y), at(x, 31 - y)) << x << "," << y;
            EXPECT_EQ(at(x, y), at(y, x)) << x << "," << y;
            has_grey |= at(x, y) > 0 && at(x, y) < 255;
        }
    EXPECT_TRUE(has_grey);
    // Along the middle row from the left edge: black border, white ring, black gap, white disc.
    EXPECT_EQ(at(0, 16), 0);
    EXPECT_EQ(at(3, 16), 255);
    EXPECT_EQ(at(7, 16), 0);
    EXPECT_EQ(at(12, 16), 255);
    EXPECT_EQ(at(16, 16), 255);
    EXPECT_EQ(at(0, 0), 0);
}

// Every cell keeps its ink in the left 10 of its 16 columns (the pen advances 10 texels), uses
// only black, the shade and white, and the cells without a character stay black.
TEST(Bitmaps, FontCellsHoldTheirGlyphsInTheLayoutThePrinterExpects) {
    const tools::GreyImage font = font_image();
    ASSERT_EQ(font.width, 256);
    ASSERT_EQ(font.height, 256);
    auto at = [&](int cell, int x, int y) { return font.pixels[((cell / 16) * 16 + y) * 256 + (cell % 16) * 16 + x]; };
    for (int cell = 0; cell < 256; ++cell) {
        const bool has_character = (cell % 128) < 96 && (cell % 128) != 0;  // space is blank too
        int ink = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const uint8_t v = at(cell, x, y);
                EXPECT_TRUE(v == 0 || v == tools::FONT_SHADE || v == tools::FONT_INK) << "cell " << cell;
                if (v) {
                    ++ink;
                    EXPECT_LT(x, 10) << "cell " << cell << " inks column " << x;
                }
            }
        EXPECT_EQ(ink > 0, has_character) << "cell " << cell;
    }
    // Capitals are 12 rows tall: 'H' of the shown set has white in rows 0..11 only.
    const int h = 128 + 'H' - 32;
    for (int y = 0; y < 16; ++y) EXPECT_EQ(at(h, 0, y) == tools::FONT_INK, y < 12) << "row " << y;
    // The two sets differ in style: the upper one draws 'H' with thinner stems.
    EXPECT_EQ(at(h, 1, 3), tools::FONT_INK);
    EXPECT_NE(at('H' - 32, 1, 3), tools::FONT_INK);
}

}  // namespace
