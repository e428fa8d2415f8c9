#include "data/embedded.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// The scroll's timing (when it has left the screen, when it wraps) assumes one line of exactly
// this many glyphs; a stray line break from an editor would add a glyph and a wrong cell.
TEST(ScrollText, IsOneLineOf282PrintableCharactersEndingInABlank) {
    const auto* text = reinterpret_cast<const char*>(data::scroll_text_data);
    ASSERT_EQ(data::scroll_text_data_size, 282);
    ASSERT_EQ(std::strlen(text), 282u);
    for (int i = 0; i < 282; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        EXPECT_TRUE(c >= 32 && c <= 126) << "character " << i << " is code " << int(c);
    }
    EXPECT_EQ(text[281], ' ');
}

}  // namespace
