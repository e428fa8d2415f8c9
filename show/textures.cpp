#include "show/textures.h"

#include "platform/bitmaps.h"
#include "shell/runtime.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace show {

uint32_t sprite_texture = 0;
uint32_t font_texture = 0;

uint32_t create_blank_texture(int32_t size) {
    glEnable(GL_TEXTURE_2D);
    const int64_t bytes = static_cast<int64_t>(size) * size * 4;
    if (size <= 0 || bytes > INT32_MAX) return 0;
    void* pixels = runtime::heap_alloc_zeroed(static_cast<int32_t>(bytes));
    if (!pixels) return 0;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    runtime::heap_free(pixels);
    return name;
}

namespace {

uint32_t load_bitmap_texture(uint16_t resource_id, GLint min_filter, GLint mag_filter) {
    // The name is taken first; when the bitmap is missing it simply stays unused.
    GLuint name = 0;
    glGenTextures(1, &name);
    platform::Bitmap bitmap;
    if (!platform::load_bitmap(resource_id, &bitmap)) return 0;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // bitmap rows are padded to 4 bytes
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag_filter);
    // Rows go up bottom first, so the bitmap's bottom row lands at t = 0.
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, bitmap.width, bitmap.height, GL_BGR_EXT, GL_UNSIGNED_BYTE, bitmap.bits);
    platform::delete_bitmap(&bitmap);
    return name;
}

}  // namespace

uint32_t load_bitmap_texture_linear(uint16_t resource_id) {
    return load_bitmap_texture(resource_id, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
}

uint32_t load_bitmap_texture_nearest(uint16_t resource_id) {
    return load_bitmap_texture(resource_id, GL_NEAREST, GL_NEAREST);
}

}  // namespace show
