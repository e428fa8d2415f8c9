// OpenGL 1.1 lines on WebGL, whose lines are one pixel wide at most: glLineWidth and
// GL_LINE_SMOOTH, with every line drawn as a quad in window coordinates around its segment.
// A smooth line's quad reaches half a pixel past the line's rectangle, and the fragment shader
// takes each pixel's coverage of the rectangle into its alpha; an aliased line's quad is the
// rectangle itself. Also glPolygonMode, whose GL_LINE draws a polygon's edges as such lines.
// Colour and depth run linearly along the line in window coordinates.

#include <cmath>

#include "platform/web/gl/gl_layer.h"

namespace gl11 {

namespace {

float mix(float a, float b, float t) { return a + (b - a) * t; }

Point between(const Point& a, const Point& b, float t) {
    Point p;
    for (int i = 0; i < 4; ++i) p.clip[i] = mix(a.clip[i], b.clip[i], t);
    for (int i = 0; i < 4; ++i) p.colour[i] = mix(a.colour[i], b.colour[i], t);
    for (int i = 0; i < 2; ++i) p.tex[i] = mix(a.tex[i], b.tex[i], t);
    return p;
}

// Keeps the part of the segment in front of the near plane (z >= -w); false when none is.
bool clip_near(Point& a, Point& b) {
    const float da = a.clip[2] + a.clip[3], db = b.clip[2] + b.clip[3];
    if (da < 0.0f && db < 0.0f) return false;
    if (da < 0.0f) a = between(a, b, da / (da - db));
    if (db < 0.0f) b = between(b, a, db / (db - da));
    return a.clip[3] > 0.0f && b.clip[3] > 0.0f;
}

}  // namespace

bool outline_mode() { return state.polygon_front != GL_FILL || state.polygon_back != GL_FILL; }

void add_line(const Point& from, const Point& to) {
    Point a = from, b = to;
    if (!clip_near(a, b)) return;
    const float w = static_cast<float>(state.viewport_width), h = static_cast<float>(state.viewport_height);
    const float ax = (a.clip[0] / a.clip[3] + 1.0f) * 0.5f * w, ay = (a.clip[1] / a.clip[3] + 1.0f) * 0.5f * h;
    const float bx = (b.clip[0] / b.clip[3] + 1.0f) * 0.5f * w, by = (b.clip[1] / b.clip[3] + 1.0f) * 0.5f * h;
    const float az = a.clip[2] / a.clip[3], bz = b.clip[2] / b.clip[3];
    const float dx = bx - ax, dy = by - ay;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 1e-6f)) return;  // a line of no length covers nothing
    const float tx = dx / length, ty = dy / length;  // along
    const float nx = -ty, ny = tx;                   // across
    const float half = (state.line_width > 0.0f ? state.line_width : 1.0f) * 0.5f;
    const bool smooth = state.line_smooth;
    // A pixel whose centre lies half a pixel or more outside the rectangle has no coverage.
    const float margin = smooth ? 0.5f : 0.0f;
    const float reach = half + margin;

    Vertex corner[4];
    const float across[4] = {-reach, reach, reach, -reach};
    const float along[4] = {-margin, -margin, length + margin, length + margin};
    for (int i = 0; i < 4; ++i) {
        const float x = ax + tx * along[i] + nx * across[i];
        const float y = ay + ty * along[i] + ny * across[i];
        const float t = along[i] / length;
        const Point& end = t < 0.5f ? a : b;
        Vertex& v = corner[i];
        v.clip[0] = x / w * 2.0f - 1.0f;
        v.clip[1] = y / h * 2.0f - 1.0f;
        float z = mix(az, bz, t);
        v.clip[2] = z < -1.0f ? -1.0f : (z > 1.0f ? 1.0f : z);
        v.clip[3] = 1.0f;
        for (int k = 0; k < 4; ++k) v.colour[k] = end.colour[k];
        v.tex[0] = end.tex[0];
        v.tex[1] = end.tex[1];
        v.edge[0] = across[i];
        v.edge[1] = along[i];
        v.edge[2] = smooth ? half : -1.0f;
        v.edge[3] = length;
    }
    add_line_quad(corner);
}

void add_outline(const Point* corners, int count) {
    for (int i = 0; i < count; ++i) add_line(corners[i], corners[(i + 1) % count]);
}

}  // namespace gl11

using namespace gl11;

extern "C" {

void glLineWidth(GLfloat width) {
    if (!(width > 0.0f)) {
        record_error(GL_INVALID_VALUE);
        return;
    }
    state.line_width = width;
}

void glPolygonMode(GLenum face, GLenum mode) {
    if ((face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK) ||
        (mode != GL_POINT && mode != GL_LINE && mode != GL_FILL)) {
        record_error(GL_INVALID_ENUM);
        return;
    }
    if (face != GL_BACK) state.polygon_front = mode;
    if (face != GL_FRONT) state.polygon_back = mode;
}

}  // extern "C"
