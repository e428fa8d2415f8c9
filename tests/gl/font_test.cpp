#include "show/font.h"

#include "platform/offscreen_gl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

// A font texture whose every cell is one flat colour: red = cell number, so a pixel in the
// middle of a printed glyph names the cell it came from.
uint32_t numbered_cells_texture() {
    std::vector<uint8_t> texels(256 * 256 * 4);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            // Texture row y counts from t = 0, the bottom; cell row 0 is at the top.
            const int cell = (15 - y / 16) * 16 + x / 16;
            uint8_t* t = &texels[(y * 256 + x) * 4];
            t[0] = static_cast<uint8_t>(cell);
            t[1] = 200;
            t[2] = 100;
            t[3] = 255;
        }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

class Font : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error();
        texture = numbered_cells_texture();
        show::build_font(texture);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4ub(255, 255, 255, 255);
    }
    void TearDown() override { platform::offscreen_gl_close(); }

    std::array<uint8_t, 4> pixel(int x, int y) {
        std::array<uint8_t, 4> p{};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        return p;
    }
    bool lit(int x, int y) { return pixel(x, y)[1] != 0; }

    uint32_t texture = 0;
};

TEST_F(Font, BuildsTwoHundredFiftySixLists) {
    ASSERT_NE(show::font_list_base, 0u);
    for (uint32_t i = 0; i < 256; ++i) EXPECT_TRUE(glIsList(show::font_list_base + i)) << i;
}

// n glyphs: quads of 32 units with the pen 20 further each time.
TEST_F(Font, AStringOfNCharactersSpans20PerCharacterPlus12) {
    for (const std::string text : {"A", "AB", "Hello", "0123456789012345678901234567"}) {
        glClear(GL_COLOR_BUFFER_BIT);
        const int x = 40, y = 100;
        show::print_text(texture, x, y, text.c_str(), 1);
        const int right = x + 20 * (static_cast<int>(text.size()) - 1) + 32;
        EXPECT_FALSE(lit(x - 1, y + 16)) << text;
        EXPECT_TRUE(lit(x, y + 16)) << text;
        EXPECT_TRUE(lit(right - 1, y + 16)) << text;
        EXPECT_FALSE(lit(right, y + 16)) << text;
        EXPECT_FALSE(lit(x + 5, y - 1)) << text;
        EXPECT_TRUE(lit(x + 5, y)) << text;
        EXPECT_TRUE(lit(x + 5, y + 31)) << text;
        EXPECT_FALSE(lit(x + 5, y + 32)) << text;
    }
}

// Which cell a byte selects in each set; sets above 1 act as 1, bytes are signed.
TEST_F(Font, SetsAndSignedBytesSelectTheirCells) {
    struct Case {
        unsigned char code;
        int set;
        int cell;
    };
    std::vector<Case> cases = {{'A', 0, 33}, {'A', 1, 161}, {'A', 7, 161}, {160, 1, 0}, {200, 1, 40}, {255, 1, 95}};
    for (int code = 32; code < 128; ++code) cases.push_back({static_cast<unsigned char>(code), 1, 128 + code - 32});
    for (int code = 32; code < 128; code += 19) cases.push_back({static_cast<unsigned char>(code), 0, code - 32});
    for (const Case& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT);
        const char text[2] = {static_cast<char>(c.code), 0};
        show::print_text(texture, 300, 200, text, c.set);
        const auto p = pixel(316, 216);
        EXPECT_EQ(p[0], c.cell) << "code " << int(c.code) << " set " << c.set;
        EXPECT_EQ(p[1], 200) << "code " << int(c.code) << " set " << c.set;
    }
}

// Codes 128..159 in set 1 name lists below the font's: nothing is drawn, the pen stays.
TEST_F(Font, BytesBelowTheFontsListsDrawNothingAndDoNotMoveThePen) {
    show::print_text(texture, 300, 200, "\x82\x9F" "A", 1);
    EXPECT_EQ(pixel(316, 216)[0], 161);
    EXPECT_FALSE(lit(340, 216));
}

TEST_F(Font, LeavesDepthTestOnTexturingOffAndBothMatricesAsFound) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    glRotatef(30, 0, 1, 0);
    GLfloat projection_before[16], modelview_before[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection_before);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview_before);
    for (const char* text : {"Brusk.2oo4", ""}) {
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_TEXTURE_2D);
        glClear(GL_COLOR_BUFFER_BIT);
        show::print_text(texture, 10, 160, text, 1);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << text;
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << text;
        GLint mode = 0, projection_depth = 0, modelview_depth = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projection_depth);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelview_depth);
        EXPECT_EQ(mode, GL_MODELVIEW);
        EXPECT_EQ(projection_depth, 1);
        EXPECT_EQ(modelview_depth, 1);
        GLfloat projection[16], modelview[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(projection[i], projection_before[i]) << text;
            EXPECT_EQ(modelview[i], modelview_before[i]) << text;
        }
    }
    // The empty string drew nothing.
    std::vector<uint8_t> frame(640 * 480 * 4);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
    for (size_t i = 0; i < frame.size(); i += 4) ASSERT_EQ(frame[i + 1], 0) << i / 4;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
