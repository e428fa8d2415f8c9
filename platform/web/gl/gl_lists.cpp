// OpenGL 1.1 display lists as the font uses them: glGenLists, glNewList / glEndList in
// GL_COMPILE or GL_COMPILE_AND_EXECUTE mode, glListBase and glCallLists with byte or unsigned
// byte names. A list holds immediate-mode calls (glBegin, glEnd, vertices, colours, normals,
// texture coordinates) and glTranslate / glRotate; any other call made while a list is being
// built acts at once.

#include <cstdint>
#include <map>

#include "platform/web/gl/gl_layer.h"

namespace gl11 {

namespace {

struct Call {
    ListOp op;
    float v[4];
};

std::map<GLuint, std::vector<Call>> lists;
GLuint next_name = 1;
GLuint building = 0;  // the list glNewList opened; 0 when none
bool execute_too = false;
std::vector<Call> calls;
GLuint list_base = 0;
bool replaying = false;

void replay(const std::vector<Call>& list) {
    for (const Call& c : list) {
        switch (c.op) {
        case ListOp::begin: glBegin(static_cast<GLenum>(c.v[0])); break;
        case ListOp::end: glEnd(); break;
        case ListOp::vertex: glVertex3f(c.v[0], c.v[1], c.v[2]); break;
        case ListOp::tex_coord: glTexCoord2f(c.v[0], c.v[1]); break;
        case ListOp::colour: glColor4f(c.v[0], c.v[1], c.v[2], c.v[3]); break;
        case ListOp::normal: glNormal3f(c.v[0], c.v[1], c.v[2]); break;
        case ListOp::translate: glTranslatef(c.v[0], c.v[1], c.v[2]); break;
        case ListOp::rotate: glRotatef(c.v[0], c.v[1], c.v[2], c.v[3]); break;
        }
    }
}

}  // namespace

bool compiled(ListOp op, float a, float b, float c, float d) {
    if (building == 0 || replaying) return false;
    calls.push_back(Call{op, {a, b, c, d}});
    return !execute_too;
}

}  // namespace gl11

using namespace gl11;

extern "C" {

GLuint glGenLists(GLsizei range) {
    if (range < 0) {
        record_error(GL_INVALID_VALUE);
        return 0;
    }
    if (range == 0 || next_name > UINT32_MAX - static_cast<GLuint>(range)) return 0;
    const GLuint first = next_name;
    next_name += static_cast<GLuint>(range);
    for (GLsizei i = 0; i < range; ++i) lists[first + static_cast<GLuint>(i)];
    return first;
}

void glNewList(GLuint list, GLenum mode) {
    if (list == 0 || (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE)) {
        record_error(list == 0 ? GL_INVALID_VALUE : GL_INVALID_ENUM);
        return;
    }
    if (building != 0) {
        record_error(GL_INVALID_OPERATION);
        return;
    }
    building = list;
    execute_too = mode == GL_COMPILE_AND_EXECUTE;
    calls.clear();
}

void glEndList(void) {
    if (building == 0) {
        record_error(GL_INVALID_OPERATION);
        return;
    }
    lists[building] = calls;
    calls.clear();
    building = 0;
}

void glListBase(GLuint base) { list_base = base; }

void glCallLists(GLsizei n, GLenum type, const GLvoid* names) {
    if (n < 0 || (type != GL_BYTE && type != GL_UNSIGNED_BYTE)) {
        record_error(n < 0 ? GL_INVALID_VALUE : GL_INVALID_ENUM);
        return;
    }
    if (!names) return;
    const bool was_replaying = replaying;
    replaying = true;
    for (GLsizei i = 0; i < n; ++i) {
        // Names are the base plus the offset, wrapping as unsigned arithmetic does.
        const int32_t offset = type == GL_BYTE ? static_cast<const int8_t*>(names)[i]
                                               : static_cast<const uint8_t*>(names)[i];
        const GLuint name = list_base + static_cast<GLuint>(offset);
        auto found = lists.find(name);
        if (found != lists.end()) replay(found->second);
    }
    replaying = was_replaying;
}

}  // extern "C"
