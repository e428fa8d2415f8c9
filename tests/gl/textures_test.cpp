#include "show/textures.h"

#include "platform/bitmaps.h"
#include "platform/offscreen_gl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

class Textures : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::offscreen_gl_open(640, 480)) << platform::offscreen_gl_error(); }
    void TearDown() override { platform::offscreen_gl_close(); }
};

GLint level_width(int level) {
    GLint width = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    return width;
}

GLint parameter(GLenum name) {
    GLint value = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

TEST_F(Textures, BlankTextureReadsBackAsZeros) {
    glDisable(GL_TEXTURE_2D);
    const uint32_t name = show::create_blank_texture(4);
    ASSERT_NE(name, 0u);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), name);
    std::vector<uint8_t> texels(64, 0xAB);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    for (uint8_t t : texels) EXPECT_EQ(t, 0);
    EXPECT_EQ(level_width(0), 4);
    EXPECT_EQ(level_width(1), 0);  // no mipmaps
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Both bitmap textures: the full mipmap chain, their filters, alpha 255 on every level, and
// level 0 equal to the bitmap with its first stored (bottom) row at t = 0; the font image is
// not symmetric top to bottom, so a flipped upload would show.
TEST_F(Textures, BitmapTexturesCarryTheBitmapsWithFullMipmapChains) {
    struct Case {
        uint16_t id;
        uint32_t (*load)(uint16_t);
        int levels;
        GLint min_filter, mag_filter;
    };
    const Case cases[] = {
        {102, show::load_bitmap_texture_linear, 6, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},
        {105, show::load_bitmap_texture_nearest, 9, GL_NEAREST, GL_NEAREST},
    };
    for (const Case& c : cases) {
        const uint32_t name = c.load(c.id);
        ASSERT_NE(name, 0u) << c.id;
        glBindTexture(GL_TEXTURE_2D, name);
        for (int level = 0; level < c.levels; ++level) EXPECT_EQ(level_width(level), 1 << (c.levels - 1 - level)) << c.id;
        EXPECT_EQ(level_width(c.levels), 0) << c.id;
        EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), c.min_filter);
        EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), c.mag_filter);

        platform::Bitmap bitmap;
        ASSERT_TRUE(platform::load_bitmap(c.id, &bitmap));
        for (int level = 0; level < c.levels; ++level) {
            const int side = level_width(level);
            std::vector<uint8_t> texels(static_cast<size_t>(side) * side * 4);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
            for (size_t i = 3; i < texels.size(); i += 4) ASSERT_EQ(texels[i], 255) << c.id << " level " << level;
            if (level > 0) continue;
            for (int y = 0; y < side; ++y)
                for (int x = 0; x < side; ++x) {
                    const uint8_t* texel = &texels[(static_cast<size_t>(y) * side + x) * 4];
                    const uint8_t* bgr = bitmap.bits + y * bitmap.stride + x * 3;
                    ASSERT_EQ(texel[0], bgr[2]) << c.id << " at " << x << "," << y;
                    ASSERT_EQ(texel[1], bgr[1]);
                    ASSERT_EQ(texel[2], bgr[0]);
                }
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Textures, AMissingBitmapGivesNoTexture) {
    EXPECT_EQ(show::load_bitmap_texture_linear(103), 0u);
    EXPECT_EQ(show::load_bitmap_texture_nearest(0), 0u);
}

}  // namespace
