#include "show/noise.h"

#include "shell/runtime.h"
#include "show/graphics.h"
#include "show/textures.h"

#include <GL/gl.h>

namespace show {

uint8_t* noise_pixels = nullptr;
uint32_t noise_texture = 0;

namespace {
constexpr int32_t NOISE_SIDE = 256;
constexpr int32_t NOISE_BYTES = NOISE_SIDE * NOISE_SIDE * 4;
}  // namespace

void create_noise_texture() {
    // The earlier image is no longer used once replaced, so its memory goes back to the heap.
    runtime::heap_free(noise_pixels);
    noise_pixels = static_cast<uint8_t*>(runtime::heap_alloc_zeroed(NOISE_BYTES));
    noise_texture = create_blank_texture(NOISE_SIDE);
}

void fill_noise() {
    if (!noise_pixels) return;
    for (int32_t i = 0; i < NOISE_BYTES; i += 4) {
        const auto v = static_cast<uint8_t>(runtime::rand() % 128);
        noise_pixels[i] = noise_pixels[i + 1] = noise_pixels[i + 2] = noise_pixels[i + 3] = v;
    }
}

void draw_noise_band(float alpha) {
    push_identity_matrices();
    glBindTexture(GL_TEXTURE_2D, noise_texture);
    if (noise_pixels)
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, NOISE_SIDE, NOISE_SIDE, GL_RGBA, GL_UNSIGNED_BYTE, noise_pixels);
    glColor4f(1, 1, 1, alpha);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(-1, -0.2f, 0);
    glTexCoord2f(0, 1);
    glVertex3f(-1, 0.2f, 0);
    glTexCoord2f(1, 1);
    glVertex3f(1, 0.2f, 0);
    glTexCoord2f(1, 0);
    glVertex3f(1, -0.2f, 0);
    glEnd();
    glDepthMask(GL_TRUE);
    glDisable(GL_TEXTURE_2D);
    pop_matrices();
}

}  // namespace show
