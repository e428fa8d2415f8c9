#pragma once
// The three GLU calls the show makes, for the browser build (platform/web/gl/).

#include <GL/gl.h>

#ifdef __cplusplus
extern "C" {
#endif

#define GLU_INVALID_ENUM 100900
#define GLU_INVALID_VALUE 100901
#define GLU_OUT_OF_MEMORY 100902

// gl_matrices.cpp
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far);
void gluLookAt(GLdouble eye_x, GLdouble eye_y, GLdouble eye_z, GLdouble centre_x, GLdouble centre_y,
               GLdouble centre_z, GLdouble up_x, GLdouble up_y, GLdouble up_z);
// gl_textures.cpp
GLint gluBuild2DMipmaps(GLenum target, GLint components, GLint width, GLint height, GLenum format, GLenum type,
                        const void* data);

#ifdef __cplusplus
}
#endif
