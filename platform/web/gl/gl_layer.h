#pragma once
// What the files of the OpenGL 1.1 layer share: the context's fixed-function state, the vertex
// the draw batch holds, and the WebGL 1 calls underneath. Vertices are transformed and lit on
// the CPU as they are given, so matrix and lighting changes never break a batch; only state
// that WebGL itself must know (blending, depth, culling, the texture) flushes it.

#include <GL/gl.h>

#include <cstdint>
#include <vector>

namespace gl11 {

// Column-major 4 x 4, as OpenGL stores and hands out matrices.
struct Matrix {
    float m[16];
};

// One vertex as WebGL draws it: clip coordinates, the colour after lighting, the texture
// coordinate, and for line quads the fragment's place across and along its line in pixels
// (edge[2] < 0 for everything that is not a line).
struct Vertex {
    float clip[4];
    float colour[4];
    float tex[2];
    float edge[4];  // across, along, half width, length
};

// A vertex as glVertex hands it to primitive assembly: its clip position and its lit colour.
struct Point {
    float clip[4];
    float colour[4];
    float tex[2];
};

struct State {
    bool depth_test = false;
    bool blend = false;
    bool texture_2d = false;
    bool cull_face = false;
    bool lighting = false;
    bool light0 = false;
    bool color_material = false;
    bool normalize = false;
    bool line_smooth = false;
    GLenum blend_src = GL_ONE;
    GLenum blend_dst = GL_ZERO;
    GLenum depth_func = GL_LESS;
    bool depth_mask = true;
    GLenum cull_mode = GL_BACK;
    float line_width = 1.0f;
    GLenum polygon_front = GL_FILL;
    GLenum polygon_back = GL_FILL;
    // The current vertex attributes.
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float normal[3] = {0.0f, 0.0f, 1.0f};
    float tex[2] = {0.0f, 0.0f};
    // The material, front and back alike (one-sided lighting). The colour material's default
    // mode, ambient and diffuse, writes these two.
    float material_ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float material_diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    GLuint bound_texture = 0;
    GLenum error = GL_NO_ERROR;
    // The drawing surface, for the window coordinates lines are widened in.
    int viewport_width = 640;
    int viewport_height = 480;
};
extern State state;

void record_error(GLenum error);

// --- Matrices (gl_matrices.cpp).
const Matrix& modelview();
const Matrix& projection();
// The inverse transpose of the model-view's upper 3 x 3, for normals.
const float* normal_matrix();
void transform(const Matrix& a, const float in[4], float out[4]);

// --- Lighting (gl_shading.cpp): the colour of a vertex at eye position `eye` with the current
// normal, by the OpenGL 1.1 lighting equation for light 0 at its defaults.
void light_vertex(const float eye[4], float out[4]);

// --- Shaders and the batch (gl_shading.cpp).
bool start_shading();  // program and buffers; false without a context
bool batch_empty();
void flush();  // draws the batch with the state it was gathered under, then empties it
// Marks a change of state that WebGL draws with: what is batched is drawn first.
inline void state_changing() {
    if (!batch_empty()) flush();
}
// A convex polygon of `count` corners into the batch, as a fan of triangles.
void add_polygon(const Point* corners, int count);
// A line's quad (corners counter-clockwise) into the batch.
void add_line_quad(const Vertex corners[4]);

// --- Lines (gl_lines.cpp).
void add_line(const Point& a, const Point& b);
// A filled primitive's outline under glPolygonMode(GL_LINE): the closed loop of its corners.
void add_outline(const Point* corners, int count);
bool outline_mode();

// --- Lists (gl_lists.cpp). The calls a list can hold; compiled() is true when the call went
// into the list being built and must not act now.
enum class ListOp : uint8_t { begin, end, vertex, tex_coord, colour, normal, translate, rotate };
bool compiled(ListOp op, float a = 0.0f, float b = 0.0f, float c = 0.0f, float d = 0.0f);

// --- WebGL 1 underneath, through emscripten's aliases so that our own names stay free.
extern "C" {
void emscripten_glEnable(GLenum cap);
void emscripten_glDisable(GLenum cap);
void emscripten_glBlendFunc(GLenum sfactor, GLenum dfactor);
void emscripten_glDepthFunc(GLenum func);
void emscripten_glDepthMask(GLboolean flag);
void emscripten_glCullFace(GLenum mode);
void emscripten_glClear(GLbitfield mask);
void emscripten_glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void emscripten_glGenTextures(GLsizei n, GLuint* textures);
void emscripten_glBindTexture(GLenum target, GLuint texture);
void emscripten_glTexParameteri(GLenum target, GLenum pname, GLint param);
void emscripten_glPixelStorei(GLenum pname, GLint param);
void emscripten_glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const void* pixels);
void emscripten_glTexSubImage2D(GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width,
                                GLsizei height, GLenum format, GLenum type, const void* pixels);
void emscripten_glActiveTexture(GLenum texture);
void emscripten_glGetIntegerv(GLenum pname, GLint* params);
GLuint emscripten_glCreateShader(GLenum type);
void emscripten_glShaderSource(GLuint shader, GLsizei count, const char* const* source, const GLint* length);
void emscripten_glCompileShader(GLuint shader);
void emscripten_glGetShaderiv(GLuint shader, GLenum pname, GLint* params);
void emscripten_glGetShaderInfoLog(GLuint shader, GLsizei size, GLsizei* length, char* log);
GLuint emscripten_glCreateProgram();
void emscripten_glAttachShader(GLuint program, GLuint shader);
void emscripten_glBindAttribLocation(GLuint program, GLuint index, const char* name);
void emscripten_glLinkProgram(GLuint program);
void emscripten_glGetProgramiv(GLuint program, GLenum pname, GLint* params);
void emscripten_glUseProgram(GLuint program);
GLint emscripten_glGetUniformLocation(GLuint program, const char* name);
void emscripten_glUniform1i(GLint location, GLint value);
void emscripten_glUniform1f(GLint location, GLfloat value);
void emscripten_glGenBuffers(GLsizei n, GLuint* buffers);
void emscripten_glBindBuffer(GLenum target, GLuint buffer);
void emscripten_glBufferData(GLenum target, long size, const void* data, GLenum usage);
void emscripten_glEnableVertexAttribArray(GLuint index);
void emscripten_glVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                                      const void* pointer);
void emscripten_glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices);
void emscripten_glFinish();
void emscripten_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                             void* pixels);
}

// WebGL names that OpenGL 1.1 has not.
constexpr GLenum WEBGL_ARRAY_BUFFER = 0x8892;
constexpr GLenum WEBGL_ELEMENT_ARRAY_BUFFER = 0x8893;
constexpr GLenum WEBGL_UNSIGNED_SHORT = 0x1403;
constexpr GLenum WEBGL_STREAM_DRAW = 0x88E0;
constexpr GLenum WEBGL_FRAGMENT_SHADER = 0x8B30;
constexpr GLenum WEBGL_VERTEX_SHADER = 0x8B31;
constexpr GLenum WEBGL_COMPILE_STATUS = 0x8B81;
constexpr GLenum WEBGL_LINK_STATUS = 0x8B82;
constexpr GLenum WEBGL_TEXTURE0 = 0x84C0;
constexpr GLenum WEBGL_CLAMP_TO_EDGE = 0x812F;
constexpr GLenum WEBGL_VIEWPORT = 0x0BA2;

}  // namespace gl11
