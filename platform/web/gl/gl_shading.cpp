// OpenGL 1.1 lighting and the shaders that draw everything. Lighting is per vertex, by the
// OpenGL 1.1 equation with the defaults the show relies on: light 0 white, directional from the
// viewer's side (0, 0, 1) in eye space, no light ambient; the light model's ambient 0.2; the
// material's emission and specular black, its ambient and diffuse as set or tracked by the
// colour material; one-sided, no local viewer. One WebGL program then draws the batch:
// position and colour as computed here, modulated by the bound 2D texture when texturing is on,
// and for smooth lines with the fragment's coverage taken into its alpha.

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/web/gl/gl_layer.h"

namespace gl11 {

bool texture_complete(GLuint name);  // gl_textures.cpp

namespace {

constexpr float LIGHT_DIRECTION[3] = {0.0f, 0.0f, 1.0f};
constexpr float MODEL_AMBIENT = 0.2f;

const char* const VERTEX_SHADER = R"(
attribute vec4 a_clip;
attribute vec4 a_colour;
attribute vec2 a_tex;
attribute vec4 a_edge;
varying vec4 v_colour;
varying vec2 v_tex;
varying vec4 v_edge;
void main() {
    gl_Position = a_clip;
    v_colour = a_colour;
    v_tex = a_tex;
    v_edge = a_edge;
}
)";

// v_edge: across and along the line in pixels, its half width and its length; a negative half
// width marks a polygon. A smooth line covers a pixel by how much of it lies within the line's
// rectangle, measured across and along; a pixel it does not cover at all is not drawn.
const char* const FRAGMENT_SHADER = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
uniform sampler2D u_texture;
uniform float u_textured;
varying vec4 v_colour;
varying vec2 v_tex;
varying vec4 v_edge;
void main() {
    vec4 colour = v_colour;
    if (u_textured > 0.5) colour *= texture2D(u_texture, v_tex);
    if (v_edge.z >= 0.0) {
        float across = clamp(v_edge.z + 0.5 - abs(v_edge.x), 0.0, 1.0);
        float along = clamp(v_edge.y + 0.5, 0.0, 1.0) * clamp(v_edge.w - v_edge.y + 0.5, 0.0, 1.0);
        if (across * along <= 0.0) discard;  // outside the line: the quad's margin only
        colour.a *= across * along;
    }
    gl_FragColor = colour;
}
)";

GLuint program = 0;
GLuint buffer = 0;
GLuint index_buffer = 0;
constexpr size_t MAX_BATCH_VERTICES = 65536;
GLint textured_location = -1;
std::vector<Vertex> vertices;
std::vector<uint16_t> indices;
bool batch_has_lines = false;

GLuint compile(GLenum type, const char* source) {
    const GLuint shader = emscripten_glCreateShader(type);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    GLint ok = 0;
    emscripten_glGetShaderiv(shader, WEBGL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[512] = {};
        emscripten_glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "gl11: shader does not compile: %s\n", log);
        return 0;
    }
    return shader;
}

void enable(GLenum cap, bool on) {
    if (on)
        emscripten_glEnable(cap);
    else
        emscripten_glDisable(cap);
}

}  // namespace

void light_vertex(const float eye[4], float out[4]) {
    (void)eye;  // a directional light and no local viewer: the position plays no part
    const float* nm = normal_matrix();
    float n[3];
    for (int i = 0; i < 3; ++i) n[i] = nm[i * 3] * state.normal[0] + nm[i * 3 + 1] * state.normal[1] + nm[i * 3 + 2] * state.normal[2];
    if (state.normalize) {
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f)
            for (float& c : n) c /= length;
    }
    const float* ambient = state.material_ambient;
    const float* diffuse = state.material_diffuse;
    float facing = 0.0f;
    if (state.light0) {
        facing = n[0] * LIGHT_DIRECTION[0] + n[1] * LIGHT_DIRECTION[1] + n[2] * LIGHT_DIRECTION[2];
        if (facing < 0.0f) facing = 0.0f;
    }
    for (int i = 0; i < 3; ++i) {
        const float c = ambient[i] * MODEL_AMBIENT + facing * diffuse[i];
        out[i] = c > 1.0f ? 1.0f : c;
    }
    out[3] = diffuse[3];
}

bool start_shading() {
    const GLuint vs = compile(WEBGL_VERTEX_SHADER, VERTEX_SHADER);
    const GLuint fs = compile(WEBGL_FRAGMENT_SHADER, FRAGMENT_SHADER);
    if (!vs || !fs) return false;
    program = emscripten_glCreateProgram();
    emscripten_glAttachShader(program, vs);
    emscripten_glAttachShader(program, fs);
    emscripten_glBindAttribLocation(program, 0, "a_clip");
    emscripten_glBindAttribLocation(program, 1, "a_colour");
    emscripten_glBindAttribLocation(program, 2, "a_tex");
    emscripten_glBindAttribLocation(program, 3, "a_edge");
    emscripten_glLinkProgram(program);
    GLint linked = 0;
    emscripten_glGetProgramiv(program, WEBGL_LINK_STATUS, &linked);
    if (!linked) {
        std::fprintf(stderr, "gl11: shader program does not link\n");
        return false;
    }
    emscripten_glUseProgram(program);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(program, "u_texture"), 0);
    textured_location = emscripten_glGetUniformLocation(program, "u_textured");
    emscripten_glGenBuffers(1, &buffer);
    emscripten_glBindBuffer(WEBGL_ARRAY_BUFFER, buffer);
    emscripten_glGenBuffers(1, &index_buffer);
    emscripten_glBindBuffer(WEBGL_ELEMENT_ARRAY_BUFFER, index_buffer);
    const GLsizei stride = sizeof(Vertex);
    emscripten_glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, clip)));
    emscripten_glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, colour)));
    emscripten_glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, tex)));
    emscripten_glVertexAttribPointer(3, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(Vertex, edge)));
    for (GLuint i = 0; i < 4; ++i) emscripten_glEnableVertexAttribArray(i);
    emscripten_glActiveTexture(WEBGL_TEXTURE0);
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // the layer hands WebGL packed RGBA rows
    // The viewport WebGL starts with is the drawing surface; lines are widened in it.
    GLint viewport[4] = {0, 0, 640, 480};
    emscripten_glGetIntegerv(WEBGL_VIEWPORT, viewport);
    state.viewport_width = viewport[2];
    state.viewport_height = viewport[3];
    // OpenGL's state as a new context has it.
    emscripten_glDepthFunc(GL_LESS);
    emscripten_glBlendFunc(GL_ONE, GL_ZERO);
    emscripten_glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    return true;
}

bool batch_empty() { return vertices.empty(); }

namespace {

// Makes room for `count` more vertices: a batch is drawn with 16-bit indices.
void reserve_vertices(size_t count) {
    if (vertices.size() + count > MAX_BATCH_VERTICES) flush();
}

}  // namespace

void add_polygon(const Point* corners, int count) {
    if (count < 3) return;
    // With culling on, lines and polygons go in batches of their own: lines are never culled.
    if (batch_has_lines && state.cull_face) flush();
    reserve_vertices(static_cast<size_t>(count));
    const auto base = static_cast<uint16_t>(vertices.size());
    for (int i = 0; i < count; ++i) {
        const Point& p = corners[i];
        Vertex v;
        std::memcpy(v.clip, p.clip, sizeof v.clip);
        std::memcpy(v.colour, p.colour, sizeof v.colour);
        std::memcpy(v.tex, p.tex, sizeof v.tex);
        v.edge[0] = v.edge[1] = v.edge[3] = 0.0f;
        v.edge[2] = -1.0f;
        vertices.push_back(v);
    }
    for (int i = 1; i + 1 < count; ++i) {
        indices.push_back(base);
        indices.push_back(static_cast<uint16_t>(base + i));
        indices.push_back(static_cast<uint16_t>(base + i + 1));
    }
}

void add_line_quad(const Vertex corners[4]) {
    if (!batch_has_lines && state.cull_face && !vertices.empty()) flush();
    batch_has_lines = true;
    reserve_vertices(4);
    const auto base = static_cast<uint16_t>(vertices.size());
    vertices.insert(vertices.end(), corners, corners + 4);
    for (int i : {0, 1, 2, 0, 2, 3}) indices.push_back(static_cast<uint16_t>(base + i));
}

void flush() {
    if (vertices.empty() || !program) {
        vertices.clear();
        indices.clear();
        batch_has_lines = false;
        return;
    }
    enable(GL_DEPTH_TEST, state.depth_test);
    enable(GL_BLEND, state.blend);
    enable(GL_CULL_FACE, state.cull_face && !batch_has_lines);
    emscripten_glBlendFunc(state.blend_src, state.blend_dst);
    emscripten_glDepthFunc(state.depth_func);
    emscripten_glDepthMask(state.depth_mask ? GL_TRUE : GL_FALSE);
    emscripten_glCullFace(state.cull_mode);
    // A texture that is not complete leaves texturing off, as OpenGL does.
    const bool textured = state.texture_2d && texture_complete(state.bound_texture);
    emscripten_glBindTexture(GL_TEXTURE_2D, textured ? state.bound_texture : 0);
    emscripten_glUniform1f(textured_location, textured ? 1.0f : 0.0f);
    emscripten_glBufferData(WEBGL_ARRAY_BUFFER, static_cast<long>(vertices.size() * sizeof(Vertex)), vertices.data(),
                            WEBGL_STREAM_DRAW);
    emscripten_glBufferData(WEBGL_ELEMENT_ARRAY_BUFFER, static_cast<long>(indices.size() * sizeof(uint16_t)),
                            indices.data(), WEBGL_STREAM_DRAW);
    emscripten_glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), WEBGL_UNSIGNED_SHORT, nullptr);
    vertices.clear();
    indices.clear();
    batch_has_lines = false;
}

}  // namespace gl11
