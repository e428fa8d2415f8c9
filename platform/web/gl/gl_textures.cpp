// OpenGL 1.1 textures on WebGL: glGenTextures, glBindTexture, glTexParameteri (filters and
// wrapping), glPixelStorei (the unpack row alignment), glTexImage2D and glTexSubImage2D from
// RGB, RGBA, BGR and BGRA bytes, and from GLU gluBuild2DMipmaps with its box-filtered chain of
// levels down to 1 x 1. Every image reaches WebGL as RGBA; a texture with internal format 3 or
// GL_RGB keeps alpha 1. Sizes must be powers of two, as in OpenGL 1.1. The texture
// environment is OpenGL's default, modulate (gl_shading.cpp).

#include <GL/glu.h>

#include <cstring>
#include <map>

#include "platform/web/gl/gl_layer.h"

namespace gl11 {

namespace {

struct TextureInfo {
    int width[16] = {};  // per level; 0 where a level is missing
    int height[16] = {};
    bool alpha = true;
    GLint min_filter = GL_NEAREST_MIPMAP_LINEAR;
};

std::map<GLuint, TextureInfo> textures;
int unpack_alignment = 4;

bool power_of_two(int v) { return v > 0 && (v & (v - 1)) == 0; }

int source_components(GLenum format) {
    switch (format) {
    case GL_RGB: case GL_BGR_EXT: return 3;
    case GL_RGBA: case GL_BGRA_EXT: return 4;
    default: return 0;
    }
}

// internal format 3 / GL_RGB: no alpha; 4 / GL_RGBA: alpha. 0 when neither.
int internal_components(GLint internal_format) {
    if (internal_format == 3 || internal_format == GL_RGB) return 3;
    if (internal_format == 4 || internal_format == GL_RGBA) return 4;
    return 0;
}

// Client bytes to packed RGBA rows, honouring the unpack alignment.
std::vector<uint8_t> to_rgba(int width, int height, GLenum format, const void* pixels, bool keep_alpha) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4, 0);
    if (!pixels) return rgba;
    const int components = source_components(format);
    const size_t row_bytes = static_cast<size_t>(width) * components;
    const size_t stride = (row_bytes + unpack_alignment - 1) / unpack_alignment * unpack_alignment;
    const bool bgr = format == GL_BGR_EXT || format == GL_BGRA_EXT;
    const auto* src = static_cast<const uint8_t*>(pixels);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = src + stride * y;
        uint8_t* out = rgba.data() + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x, in += components, out += 4) {
            out[0] = bgr ? in[2] : in[0];
            out[1] = in[1];
            out[2] = bgr ? in[0] : in[2];
            out[3] = components == 4 && keep_alpha ? in[3] : 255;
        }
    }
    return rgba;
}

TextureInfo* bound() {
    if (state.bound_texture == 0) return nullptr;
    auto found = textures.find(state.bound_texture);
    return found == textures.end() ? nullptr : &found->second;
}

bool mipmapped(GLint filter) { return filter != GL_NEAREST && filter != GL_LINEAR; }

void upload(GLint level, int width, int height, const std::vector<uint8_t>& rgba) {
    emscripten_glBindTexture(GL_TEXTURE_2D, state.bound_texture);
    emscripten_glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    TextureInfo* info = bound();
    if (info && level < 16) {
        info->width[level] = width;
        info->height[level] = height;
    }
}

// One level down: each texel the mean of the 2 x 2 (or 2 x 1) block above it, rounded.
std::vector<uint8_t> halve(const std::vector<uint8_t>& rgba, int width, int height, int* out_width, int* out_height) {
    const int w = width > 1 ? width / 2 : 1, h = height > 1 ? height / 2 : 1;
    const int step_x = width > 1 ? 1 : 0, step_y = height > 1 ? 1 : 0;
    const int count = (step_x + 1) * (step_y + 1);
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) {
                const int x0 = x * (step_x + 1), y0 = y * (step_y + 1);
                auto at = [&](int xx, int yy) { return rgba[(static_cast<size_t>(yy) * width + xx) * 4 + c]; };
                int sum = at(x0, y0) + (step_x ? at(x0 + 1, y0) : 0) + (step_y ? at(x0, y0 + 1) : 0) +
                          (step_x && step_y ? at(x0 + 1, y0 + 1) : 0);
                out[(static_cast<size_t>(y) * w + x) * 4 + c] = static_cast<uint8_t>((sum + count / 2) / count);
            }
    *out_width = w;
    *out_height = h;
    return out;
}

}  // namespace

bool texture_complete(GLuint name) {
    auto found = textures.find(name);
    if (found == textures.end()) return false;
    const TextureInfo& info = found->second;
    int w = info.width[0], h = info.height[0];
    if (w == 0 || h == 0) return false;
    if (!mipmapped(info.min_filter)) return true;
    for (int level = 1; w > 1 || h > 1; ++level) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        if (level >= 16 || info.width[level] != w || info.height[level] != h) return false;
    }
    return true;
}

}  // namespace gl11

using namespace gl11;

extern "C" {

void glGenTextures(GLsizei n, GLuint* names) {
    if (n < 0) {
        record_error(GL_INVALID_VALUE);
        return;
    }
    emscripten_glGenTextures(n, names);
    for (GLsizei i = 0; i < n; ++i) textures[names[i]] = TextureInfo{};
}

void glBindTexture(GLenum target, GLuint texture) {
    if (target != GL_TEXTURE_2D) {
        record_error(GL_INVALID_ENUM);
        return;
    }
    if (texture == state.bound_texture) return;
    if (state.texture_2d) state_changing();
    state.bound_texture = texture;
    // Binding a name makes it a texture, as glGenTextures would have.
    if (texture != 0 && !textures.count(texture)) {
        record_error(GL_INVALID_OPERATION);  // names come from glGenTextures here
        state.bound_texture = 0;
    }
}

void glTexParameteri(GLenum target, GLenum pname, GLint param) {
    TextureInfo* info = bound();
    if (target != GL_TEXTURE_2D || !info) {
        record_error(target != GL_TEXTURE_2D ? GL_INVALID_ENUM : GL_INVALID_OPERATION);
        return;
    }
    state_changing();
    if (pname == GL_TEXTURE_MIN_FILTER) info->min_filter = param;
    if ((pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T) && param == GL_CLAMP) param = WEBGL_CLAMP_TO_EDGE;
    emscripten_glBindTexture(GL_TEXTURE_2D, state.bound_texture);
    emscripten_glTexParameteri(GL_TEXTURE_2D, pname, param);
}

void glPixelStorei(GLenum pname, GLint param) {
    if (pname == GL_UNPACK_ALIGNMENT && (param == 1 || param == 2 || param == 4 || param == 8))
        unpack_alignment = param;
    else if (pname != GL_PACK_ALIGNMENT)
        record_error(GL_INVALID_ENUM);
}

void glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels) {
    TextureInfo* info = bound();
    const int components = internal_components(internal_format);
    if (target != GL_TEXTURE_2D || type != GL_UNSIGNED_BYTE || !source_components(format) || !components) {
        record_error(GL_INVALID_ENUM);
        return;
    }
    if (!info || level < 0 || level >= 16 || border != 0 || !power_of_two(width) || !power_of_two(height)) {
        record_error(info ? GL_INVALID_VALUE : GL_INVALID_OPERATION);
        return;
    }
    state_changing();
    info->alpha = components == 4;
    upload(level, width, height, to_rgba(width, height, format, pixels, info->alpha));
}

void glTexSubImage2D(GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width, GLsizei height,
                     GLenum format, GLenum type, const GLvoid* pixels) {
    TextureInfo* info = bound();
    if (target != GL_TEXTURE_2D || type != GL_UNSIGNED_BYTE || !source_components(format)) {
        record_error(GL_INVALID_ENUM);
        return;
    }
    if (!info || level < 0 || level >= 16 || xoffset < 0 || yoffset < 0 || width < 0 || height < 0 ||
        xoffset + width > info->width[level] || yoffset + height > info->height[level] || !pixels) {
        record_error(GL_INVALID_VALUE);
        return;
    }
    state_changing();
    const std::vector<uint8_t> rgba = to_rgba(width, height, format, pixels, info->alpha);
    emscripten_glBindTexture(GL_TEXTURE_2D, state.bound_texture);
    emscripten_glTexSubImage2D(GL_TEXTURE_2D, level, xoffset, yoffset, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                               rgba.data());
}

GLint gluBuild2DMipmaps(GLenum target, GLint components, GLint width, GLint height, GLenum format, GLenum type,
                        const void* data) {
    TextureInfo* info = bound();
    if (target != GL_TEXTURE_2D || type != GL_UNSIGNED_BYTE || !source_components(format) ||
        !internal_components(components))
        return GLU_INVALID_ENUM;
    if (!info || !data || !power_of_two(width) || !power_of_two(height)) return GLU_INVALID_VALUE;
    state_changing();
    info->alpha = internal_components(components) == 4;
    std::vector<uint8_t> level_image = to_rgba(width, height, format, data, info->alpha);
    int w = width, h = height;
    for (int level = 0;; ++level) {
        upload(level, w, h, level_image);
        if (w == 1 && h == 1) break;
        level_image = halve(level_image, w, h, &w, &h);
    }
    return 0;
}

}  // extern "C"
