// OpenGL 1.1 matrices: the model-view and projection stacks (glMatrixMode, glLoadIdentity,
// glPushMatrix, glPopMatrix), glRotatef, glTranslatef / glTranslated and glOrtho, and from GLU
// gluPerspective and gluLookAt. Matrices are single precision and column-major, and each call
// multiplies the current matrix on the right, as OpenGL does.

#include <GL/glu.h>

#include <cmath>
#include <cstring>

#include "platform/web/gl/gl_layer.h"

namespace gl11 {

namespace {

constexpr int STACK_DEPTH = 32;

struct Stack {
    Matrix levels[STACK_DEPTH];
    int top = 0;
};

constexpr Matrix IDENTITY = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

Stack stacks[2] = {{{IDENTITY}, 0}, {{IDENTITY}, 0}};
int current_stack = 0;  // 0 model-view, 1 projection
bool normal_matrix_stale = true;
float normal_rows[9];

Matrix& current() { return stacks[current_stack].levels[stacks[current_stack].top]; }

void changed() {
    if (current_stack == 0) normal_matrix_stale = true;
}

// current = current x b
void multiply(const Matrix& b) {
    Matrix& a = current();
    Matrix r;
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[col * 4 + k];
            r.m[col * 4 + row] = sum;
        }
    a = r;
    changed();
}

// A matrix computed in double, as GLU and glOrtho compute theirs, stored in single precision.
void multiply_double(const double d[16]) {
    Matrix b;
    for (int i = 0; i < 16; ++i) b.m[i] = static_cast<float>(d[i]);
    multiply(b);
}

void translate(float x, float y, float z) {
    if (compiled(ListOp::translate, x, y, z)) return;
    float* m = current().m;
    for (int row = 0; row < 4; ++row) m[12 + row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    changed();
}

}  // namespace

const Matrix& modelview() { return stacks[0].levels[stacks[0].top]; }
const Matrix& projection() { return stacks[1].levels[stacks[1].top]; }

const float* normal_matrix() {
    if (!normal_matrix_stale) return normal_rows;
    const float* m = modelview().m;
    // The upper 3 x 3 (a[row][col] = m[col * 4 + row]) and its inverse by cofactors.
    const float a00 = m[0], a01 = m[4], a02 = m[8];
    const float a10 = m[1], a11 = m[5], a12 = m[9];
    const float a20 = m[2], a21 = m[6], a22 = m[10];
    const float c00 = a11 * a22 - a12 * a21, c01 = a12 * a20 - a10 * a22, c02 = a10 * a21 - a11 * a20;
    const float det = a00 * c00 + a01 * c01 + a02 * c02;
    const float inv = det != 0.0f ? 1.0f / det : 0.0f;
    // Normals transform by the inverse transpose: n'[i] = sum_j inverse[j][i] n[j].
    // inverse[j][i] = cofactor[i][j] / det, so row i of this matrix is cofactor row i.
    normal_rows[0] = c00 * inv;
    normal_rows[1] = c01 * inv;
    normal_rows[2] = c02 * inv;
    normal_rows[3] = (a02 * a21 - a01 * a22) * inv;
    normal_rows[4] = (a00 * a22 - a02 * a20) * inv;
    normal_rows[5] = (a01 * a20 - a00 * a21) * inv;
    normal_rows[6] = (a01 * a12 - a02 * a11) * inv;
    normal_rows[7] = (a02 * a10 - a00 * a12) * inv;
    normal_rows[8] = (a00 * a11 - a01 * a10) * inv;
    normal_matrix_stale = false;
    return normal_rows;
}

void transform(const Matrix& a, const float in[4], float out[4]) {
    for (int row = 0; row < 4; ++row)
        out[row] = a.m[row] * in[0] + a.m[4 + row] * in[1] + a.m[8 + row] * in[2] + a.m[12 + row] * in[3];
}

}  // namespace gl11

using namespace gl11;

extern "C" {

void glMatrixMode(GLenum mode) {
    if (mode == GL_MODELVIEW)
        current_stack = 0;
    else if (mode == GL_PROJECTION)
        current_stack = 1;
    else
        record_error(GL_INVALID_ENUM);
}

void glLoadIdentity(void) {
    current() = IDENTITY;
    changed();
}

void glPushMatrix(void) {
    Stack& s = stacks[current_stack];
    if (s.top + 1 >= STACK_DEPTH) {
        record_error(GL_STACK_OVERFLOW);
        return;
    }
    s.levels[s.top + 1] = s.levels[s.top];
    s.top += 1;
}

void glPopMatrix(void) {
    Stack& s = stacks[current_stack];
    if (s.top == 0) {
        record_error(GL_STACK_UNDERFLOW);
        return;
    }
    s.top -= 1;
    changed();
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (compiled(ListOp::rotate, angle, x, y, z)) return;
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) return;
    x /= length;
    y /= length;
    z /= length;
    const float radians = angle * static_cast<float>(M_PI / 180.0);
    const float s = std::sin(radians), c = std::cos(radians), k = 1.0f - c;
    const Matrix r = {{x * x * k + c, y * x * k + z * s, x * z * k - y * s, 0,
                       x * y * k - z * s, y * y * k + c, y * z * k + x * s, 0,
                       x * z * k + y * s, y * z * k - x * s, z * z * k + c, 0,
                       0, 0, 0, 1}};
    multiply(r);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { translate(x, y, z); }

void glTranslated(GLdouble x, GLdouble y, GLdouble z) {
    translate(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_value, GLdouble far_value) {
    if (left == right || bottom == top || near_value == far_value) {
        record_error(GL_INVALID_VALUE);
        return;
    }
    const double d[16] = {2.0 / (right - left), 0, 0, 0,
                          0, 2.0 / (top - bottom), 0, 0,
                          0, 0, -2.0 / (far_value - near_value), 0,
                          -(right + left) / (right - left), -(top + bottom) / (top - bottom),
                          -(far_value + near_value) / (far_value - near_value), 1};
    multiply_double(d);
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far) {
    const double radians = fovy / 2.0 * M_PI / 180.0;
    const double depth = z_far - z_near;
    const double sine = std::sin(radians);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return;
    const double cotangent = std::cos(radians) / sine;
    const double d[16] = {cotangent / aspect, 0, 0, 0,
                          0, cotangent, 0, 0,
                          0, 0, -(z_far + z_near) / depth, -1,
                          0, 0, -2.0 * z_near * z_far / depth, 0};
    multiply_double(d);
}

void gluLookAt(GLdouble eye_x, GLdouble eye_y, GLdouble eye_z, GLdouble centre_x, GLdouble centre_y,
               GLdouble centre_z, GLdouble up_x, GLdouble up_y, GLdouble up_z) {
    // The frame is built in single precision, the eye's translation applied after it.
    float forward[3] = {static_cast<float>(centre_x - eye_x), static_cast<float>(centre_y - eye_y),
                        static_cast<float>(centre_z - eye_z)};
    float up[3] = {static_cast<float>(up_x), static_cast<float>(up_y), static_cast<float>(up_z)};
    auto normalise = [](float v[3]) {
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length == 0.0f) return;
        for (int i = 0; i < 3; ++i) v[i] /= length;
    };
    auto cross = [](const float a[3], const float b[3], float out[3]) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    normalise(forward);
    float side[3];
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);
    const Matrix m = {{side[0], up[0], -forward[0], 0,
                       side[1], up[1], -forward[1], 0,
                       side[2], up[2], -forward[2], 0,
                       0, 0, 0, 1}};
    multiply(m);
    glTranslated(-eye_x, -eye_y, -eye_z);
}

}  // extern "C"
