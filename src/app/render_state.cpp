#include "app/render_state.h"

#include <GL/gl.h>
#include <GL/glu.h>

GLUquadric* quadric = nullptr;

void resize_view(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height),
                   static_cast<double>(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Placeholder until the render state lands.
bool init_render_state() { return true; }
