#include "show/font.h"

#include "shell/runtime.h"

#include <GL/gl.h>

namespace show {

uint32_t font_list_base = 0;

void build_font(uint32_t texture) {
    font_list_base = glGenLists(256);
    glBindTexture(GL_TEXTURE_2D, texture);
    for (int i = 0; i < 256; ++i) {
        // Cell row 0 is the top of the image, at t = 1.
        const float s0 = static_cast<float>(i % 16) * 0.0625f;
        const float t1 = 1.0f - static_cast<float>(i / 16) * 0.0625f;
        const float t0 = t1 - 0.0625f;
        const float s1 = s0 + 0.0625f;
        glNewList(font_list_base + i, GL_COMPILE);
        glBegin(GL_QUADS);
        glTexCoord2f(s0, t0);
        glVertex2i(0, 0);
        glTexCoord2f(s1, t0);
        glVertex2i(32, 0);
        glTexCoord2f(s1, t1);
        glVertex2i(32, 32);
        glTexCoord2f(s0, t1);
        glVertex2i(0, 32);
        glEnd();
        // Cells are twice as wide as the pen step, so neighbours overlap in their blank parts.
        glTranslated(20, 0, 0);
        glEndList();
    }
}

void print_text(uint32_t texture, int32_t x, int32_t y, const char* text, int32_t set) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 640, 0, 480, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslated(x, y, 0);
    if (set > 1) set = 1;
    // Unsigned arithmetic: any set value gives a base, none overflows.
    glListBase(static_cast<uint32_t>(set) * 128u + font_list_base - 32u);
    // Bytes are signed: codes 128 and above select lists below the base.
    const int32_t length = text ? runtime::string_length(text) : 0;
    if (length > 0) glCallLists(length, GL_BYTE, text);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
}

}  // namespace show
