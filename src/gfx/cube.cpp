#include "gfx/effects.h"

#include <GL/gl.h>

namespace {

// One face of the cube: the normal it sends and its corners, counter-
// clockwise from outside.  The top, front and right faces deliberately send
// (0, 0, 1), (1, 0, 0) and (-1, 0, 0): the show's lighting of the cube is
// computed from these values, not from the outward axes.
struct CubeFace {
    float normal[3];
    float corners[4][3];
};

const CubeFace CUBE_FACES[6] = {
    {{0, 0, 1},
     {{-0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, -0.5f}, {-0.5f, 0.5f, -0.5f}}},
    {{1, 0, 0},
     {{0.5f, -0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, {-0.5f, 0.5f, 0.5f}, {-0.5f, -0.5f, 0.5f}}},
    {{-1, 0, 0},
     {{0.5f, 0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, {0.5f, -0.5f, 0.5f}, {0.5f, -0.5f, -0.5f}}},
    {{-1, 0, 0},
     {{-0.5f, -0.5f, 0.5f}, {-0.5f, 0.5f, 0.5f}, {-0.5f, 0.5f, -0.5f}, {-0.5f, -0.5f, -0.5f}}},
    {{0, -1, 0},
     {{0.5f, -0.5f, 0.5f}, {-0.5f, -0.5f, 0.5f}, {-0.5f, -0.5f, -0.5f}, {0.5f, -0.5f, -0.5f}}},
    {{0, 0, -1},
     {{0.5f, 0.5f, -0.5f}, {0.5f, -0.5f, -0.5f}, {-0.5f, -0.5f, -0.5f}, {-0.5f, 0.5f, -0.5f}}},
};

// Every face maps the whole texture once, in corner order.
const float FACE_TEXCOORDS[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

} // namespace

void draw_textured_cube() {
    glPushMatrix();
    for (const CubeFace& face : CUBE_FACES) {
        glBegin(GL_QUADS);
        glNormal3fv(face.normal);
        for (int i = 0; i < 4; ++i) {
            glTexCoord2fv(FACE_TEXCOORDS[i]);
            glVertex3fv(face.corners[i]);
        }
        glEnd();
    }
    glPopMatrix();
}
