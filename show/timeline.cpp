#include "show/timeline.h"

#include <GL/gl.h>

#include "show/frame.h"

namespace show {

float frame_time = 0.0f;
float frame_delta = 0.0f;
music::Song* loaded_song = nullptr;

void draw_frame() {
    draw_background();

    // The scene of the audible order position is drawn here.

    // Overlay state: the text adds its texels to the picture.
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glColor4ub(255, 255, 255, 255);
    glBlendFunc(GL_ONE, GL_ONE);

    // From order 7 on the scroll text runs here.

    // Every frame ends with texturing and blending off, whatever the scene left on.
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);

    draw_letterbox(0.6f);
}

void draw_background() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDepthMask(GL_FALSE);  // the scene draws over the gradient with a clean depth buffer
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glBegin(GL_QUADS);
    glColor4ub(192, 207, 203, 255);
    glVertex2f(-1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glColor4ub(108, 128, 114, 255);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(-1.0f, -1.0f);
    glEnd();

    glDepthMask(GL_TRUE);
}

void draw_letterbox(float h) {
    // With source colour 0 and alpha 0 the blend leaves 0 + destination x 0: black, whatever lies below.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.0f);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glBegin(GL_QUADS);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(-1.0f, -h);
    glVertex2f(1.0f, -h);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(-1.0f, h);
    glVertex2f(-1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glVertex2f(1.0f, h);
    glEnd();

    glDisable(GL_BLEND);
    glPopMatrix();  // modelview
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
}

}  // namespace show
