#include "gfx/render_state.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "gfx/effects.h"

// Made by render_state_set_fixed (replaced only when a test or the harness
// runs start-up again on a fresh context); read by the quadric shapes.
GLUquadric* quadric = nullptr;

namespace {

// The show's picture is 4:3 wherever it is placed.
constexpr int PICTURE_ASPECT_W = 4;
constexpr int PICTURE_ASPECT_H = 3;

// Fixed light and fog of the whole show.
const GLfloat LIGHT_AMBIENT[4] = {1.5f, 1.5f, 1.5f, 1.0f};
const GLfloat LIGHT_DIFFUSE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const GLfloat LIGHT_POSITION[4] = {1.0f, 1.0f, -2.0f, 1.0f};
const GLfloat FOG_COLOR[4] = {0.1f, 0.1f, 0.2f, 1.0f};
constexpr GLfloat FOG_DENSITY = 0.025f;
constexpr GLfloat FOG_START = 1.0f;
constexpr GLfloat FOG_END = 5.0f;

void set_light() {
    glLightfv(GL_LIGHT0, GL_AMBIENT, LIGHT_AMBIENT);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, LIGHT_DIFFUSE);
    // The modelview matrix is the identity here (resize_view), so the light
    // stays at (1, 1, -2) in eye space.
    glLightfv(GL_LIGHT0, GL_POSITION, LIGHT_POSITION);
    glEnable(GL_LIGHT0);
}

void set_fog() {
    glFogi(GL_FOG_MODE, GL_EXP);
    glFogfv(GL_FOG_COLOR, FOG_COLOR);
    glFogf(GL_FOG_DENSITY, FOG_DENSITY);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    glFogf(GL_FOG_START, FOG_START);
    glFogf(GL_FOG_END, FOG_END);
}

void make_quadric() {
    if (quadric) gluDeleteQuadric(quadric);
    quadric = gluNewQuadric();
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricTexture(quadric, GL_TRUE);
    // Shapes compiled with an earlier quadric belong to an earlier context.
    quadric_shapes_forget();
}

} // namespace

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

PictureRect picture_rect(int width, int height) {
    PictureRect r = {0, 0, width, width * PICTURE_ASPECT_H / PICTURE_ASPECT_W};
    if (r.height > height) {
        r.height = height;
        r.width = height * PICTURE_ASPECT_W / PICTURE_ASPECT_H;
    }
    r.x = (width - r.width) / 2;
    r.y = (height - r.height) / 2;
    return r;
}

void resize_view_centred(int width, int height) {
    PictureRect r = picture_rect(width, height);
    resize_view(r.width, r.height);
    glViewport(r.x, r.y, r.width, r.height);
}

void render_state_set_fixed() {
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_TEXTURE);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    make_quadric();
    set_light();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    set_fog();
}

void render_state_release() {
    quadric_shapes_release();
    if (quadric) gluDeleteQuadric(quadric);
    quadric = nullptr;
}
