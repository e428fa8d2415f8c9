// OpenGL 1.1 state on WebGL: glEnable / glDisable of the capabilities the show uses (depth test,
// blending, 2D texturing, face culling, lighting with light 0, colour material, normalize, line
// smoothing), the depth function and mask, the blend function, the culled face, hints, clearing,
// glGetFloatv of the two matrices, and glGetError. What WebGL draws with is handed on when the
// batch is drawn; lighting state stays here, since vertices are lit as they are given.

#include <cstring>

#include "platform/web/gl/gl_layer.h"

namespace gl11 {

State state;

void record_error(GLenum error) {
    if (state.error == GL_NO_ERROR) state.error = error;
}

namespace {

// The capability's flag, and whether WebGL must know it at draw time.
bool* capability(GLenum cap, bool* drawn_with) {
    *drawn_with = true;
    switch (cap) {
    case GL_DEPTH_TEST: return &state.depth_test;
    case GL_BLEND: return &state.blend;
    case GL_TEXTURE_2D: return &state.texture_2d;
    case GL_CULL_FACE: return &state.cull_face;
    default: break;
    }
    *drawn_with = false;
    switch (cap) {
    case GL_LIGHTING: return &state.lighting;
    case GL_LIGHT0: return &state.light0;
    case GL_COLOR_MATERIAL: return &state.color_material;
    case GL_NORMALIZE: return &state.normalize;
    case GL_LINE_SMOOTH: return &state.line_smooth;
    default: return nullptr;
    }
}

void set_capability(GLenum cap, bool on) {
    bool drawn_with = false;
    bool* flag = capability(cap, &drawn_with);
    if (!flag) {
        record_error(GL_INVALID_ENUM);
        return;
    }
    if (*flag == on) return;
    if (drawn_with) state_changing();
    *flag = on;
    // Turning the colour material on takes the current colour into the material at once.
    if (cap == GL_COLOR_MATERIAL && on) {
        std::memcpy(state.material_ambient, state.colour, sizeof state.colour);
        std::memcpy(state.material_diffuse, state.colour, sizeof state.colour);
    }
}

bool blend_factor(GLenum f) {
    switch (f) {
    case GL_ZERO: case GL_ONE: case GL_SRC_COLOR: case GL_ONE_MINUS_SRC_COLOR: case GL_SRC_ALPHA:
    case GL_ONE_MINUS_SRC_ALPHA: case GL_DST_ALPHA: case GL_ONE_MINUS_DST_ALPHA: case GL_DST_COLOR:
    case GL_ONE_MINUS_DST_COLOR:
        return true;
    default:
        return false;
    }
}

}  // namespace

}  // namespace gl11

using namespace gl11;

extern "C" {

void glEnable(GLenum cap) { set_capability(cap, true); }
void glDisable(GLenum cap) { set_capability(cap, false); }

void glBlendFunc(GLenum sfactor, GLenum dfactor) {
    if (!blend_factor(sfactor) || !blend_factor(dfactor)) {
        record_error(GL_INVALID_ENUM);
        return;
    }
    if (sfactor == state.blend_src && dfactor == state.blend_dst) return;
    state_changing();
    state.blend_src = sfactor;
    state.blend_dst = dfactor;
}

void glDepthFunc(GLenum func) {
    if (func < GL_NEVER || func > GL_ALWAYS) {
        record_error(GL_INVALID_ENUM);
        return;
    }
    if (func == state.depth_func) return;
    state_changing();
    state.depth_func = func;
}

void glDepthMask(GLboolean flag) {
    const bool on = flag != GL_FALSE;
    if (on == state.depth_mask) return;
    state_changing();
    state.depth_mask = on;
}

void glCullFace(GLenum mode) {
    if (mode != GL_FRONT && mode != GL_BACK && mode != GL_FRONT_AND_BACK) {
        record_error(GL_INVALID_ENUM);
        return;
    }
    if (mode == state.cull_mode) return;
    state_changing();
    state.cull_mode = mode;
}

// Hints change nothing here: texturing is always perspective-correct and smooth lines always
// take their exact coverage.
void glHint(GLenum target, GLenum mode) {
    if ((target != GL_PERSPECTIVE_CORRECTION_HINT && target != GL_LINE_SMOOTH_HINT) ||
        (mode != GL_DONT_CARE && mode != GL_FASTEST && mode != GL_NICEST))
        record_error(GL_INVALID_ENUM);
}

// The clear colour and depth keep their defaults (black, 1): the show never sets them.
void glClear(GLbitfield mask) {
    if (mask & ~(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT)) {
        record_error(GL_INVALID_VALUE);
        return;
    }
    flush();
    // Clearing writes depth only where the mask lets it, as drawing does.
    emscripten_glDepthMask(state.depth_mask ? GL_TRUE : GL_FALSE);
    emscripten_glClear(mask);
}

void glGetFloatv(GLenum pname, GLfloat* params) {
    if (pname == GL_MODELVIEW_MATRIX)
        std::memcpy(params, modelview().m, sizeof(float) * 16);
    else if (pname == GL_PROJECTION_MATRIX)
        std::memcpy(params, projection().m, sizeof(float) * 16);
    else
        record_error(GL_INVALID_ENUM);
}

GLenum glGetError(void) {
    const GLenum error = state.error;
    state.error = GL_NO_ERROR;
    return error;
}

}  // extern "C"
