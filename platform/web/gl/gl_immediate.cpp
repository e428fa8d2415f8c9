// OpenGL 1.1 immediate mode: glBegin / glEnd around glVertex, with the current colour, normal
// and texture coordinate. Each vertex is taken through the model-view matrix, lit when lighting
// is on, and taken through the projection as it is given; glEnd assembles the primitive
// (triangles, quads, strips and fans, lines, strips and loops) into the draw batch, as filled
// triangles or, under glPolygonMode(GL_LINE), as outlines. Points are not drawn.

#include <cstring>

#include "platform/web/gl/gl_layer.h"

namespace gl11 {

namespace {

bool inside = false;
GLenum primitive = GL_TRIANGLES;
std::vector<Point> points;

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

void set_colour(float r, float g, float b, float a) {
    state.colour[0] = clamp01(r);
    state.colour[1] = clamp01(g);
    state.colour[2] = clamp01(b);
    state.colour[3] = clamp01(a);
    // The colour material (ambient and diffuse, both faces) follows the current colour.
    if (state.color_material) {
        std::memcpy(state.material_ambient, state.colour, sizeof state.colour);
        std::memcpy(state.material_diffuse, state.colour, sizeof state.colour);
    }
}

void colour_ub(GLubyte r, GLubyte g, GLubyte b, GLubyte a) {
    if (compiled(ListOp::colour, r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f)) return;
    set_colour(r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f);
}

void vertex(float x, float y, float z) {
    if (compiled(ListOp::vertex, x, y, z)) return;
    if (!inside) return;  // a vertex outside glBegin / glEnd has no effect
    const float object[4] = {x, y, z, 1.0f};
    float eye[4];
    transform(modelview(), object, eye);
    Point p;
    if (state.lighting)
        light_vertex(eye, p.colour);
    else
        std::memcpy(p.colour, state.colour, sizeof p.colour);
    transform(projection(), eye, p.clip);
    p.tex[0] = state.tex[0];
    p.tex[1] = state.tex[1];
    points.push_back(p);
}

// Which way a polygon faces on the screen: counter-clockwise corners are its front.
bool front_facing(const Point* corners, int count) {
    double area = 0.0;
    for (int i = 0; i < count; ++i) {
        const Point& a = corners[i];
        const Point& b = corners[(i + 1) % count];
        if (a.clip[3] == 0.0f || b.clip[3] == 0.0f) return true;
        const double ax = a.clip[0] / a.clip[3], ay = a.clip[1] / a.clip[3];
        const double bx = b.clip[0] / b.clip[3], by = b.clip[1] / b.clip[3];
        area += ax * by - bx * ay;
    }
    return area >= 0.0;
}

// A triangle or quad, filled or outlined as its face's polygon mode says.
void polygon(const Point* corners, int count) {
    if (outline_mode()) {
        const bool front = front_facing(corners, count);
        if (state.cull_face &&
            (state.cull_mode == GL_FRONT_AND_BACK || (state.cull_mode == GL_BACK) != front))
            return;
        const GLenum mode = front ? state.polygon_front : state.polygon_back;
        if (mode == GL_LINE) {
            add_outline(corners, count);
            return;
        }
        if (mode == GL_POINT) return;
    }
    add_polygon(corners, count);
}

void assemble() {
    const int n = static_cast<int>(points.size());
    const Point* p = points.data();
    switch (primitive) {
    case GL_TRIANGLES:
        for (int i = 0; i + 3 <= n; i += 3) polygon(p + i, 3);
        break;
    case GL_QUADS:
        for (int i = 0; i + 4 <= n; i += 4) polygon(p + i, 4);
        break;
    case GL_TRIANGLE_STRIP:
        for (int i = 0; i + 3 <= n; ++i) {
            // Every other triangle is taken in the opposite order, so that all keep the strip's facing.
            const Point t[3] = {p[i + (i & 1)], p[i + 1 - (i & 1)], p[i + 2]};
            polygon(t, 3);
        }
        break;
    case GL_TRIANGLE_FAN:
        for (int i = 1; i + 2 <= n; ++i) {
            const Point t[3] = {p[0], p[i], p[i + 1]};
            polygon(t, 3);
        }
        break;
    case GL_LINES:
        for (int i = 0; i + 2 <= n; i += 2) add_line(p[i], p[i + 1]);
        break;
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
        for (int i = 0; i + 1 < n; ++i) add_line(p[i], p[i + 1]);
        if (primitive == GL_LINE_LOOP && n > 2) add_line(p[n - 1], p[0]);
        break;
    default:
        break;  // points
    }
}

}  // namespace

}  // namespace gl11

using namespace gl11;

extern "C" {

void glBegin(GLenum mode) {
    if (compiled(ListOp::begin, static_cast<float>(mode))) return;
    if (inside || mode > GL_QUADS) {
        record_error(inside ? GL_INVALID_OPERATION : GL_INVALID_ENUM);
        return;
    }
    inside = true;
    primitive = mode;
    points.clear();
}

void glEnd(void) {
    if (compiled(ListOp::end)) return;
    if (!inside) {
        record_error(GL_INVALID_OPERATION);
        return;
    }
    inside = false;
    assemble();
    points.clear();
}

void glVertex2f(GLfloat x, GLfloat y) { vertex(x, y, 0.0f); }
void glVertex2i(GLint x, GLint y) { vertex(static_cast<float>(x), static_cast<float>(y), 0.0f); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { vertex(x, y, z); }
void glVertex3fv(const GLfloat* v) { vertex(v[0], v[1], v[2]); }

void glColor3ub(GLubyte red, GLubyte green, GLubyte blue) { colour_ub(red, green, blue, 255); }
void glColor4ub(GLubyte red, GLubyte green, GLubyte blue, GLubyte alpha) { colour_ub(red, green, blue, alpha); }

void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    if (compiled(ListOp::colour, red, green, blue, alpha)) return;
    set_colour(red, green, blue, alpha);
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    if (compiled(ListOp::normal, x, y, z)) return;
    state.normal[0] = x;
    state.normal[1] = y;
    state.normal[2] = z;
}

void glNormal3fv(const GLfloat* v) { glNormal3f(v[0], v[1], v[2]); }

void glTexCoord2f(GLfloat s, GLfloat t) {
    if (compiled(ListOp::tex_coord, s, t)) return;
    state.tex[0] = s;
    state.tex[1] = t;
}

void glTexCoord2fv(const GLfloat* v) { glTexCoord2f(v[0], v[1]); }

}  // extern "C"
