#include "app/render_state.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <chrono>
#include <cstring>

#include "assets/outline_font.h"
#include "assets/texture_set.h"
#include "fx/effects.h"

// Made by init_render_state (replaced only when a test or the harness runs
// start-up again on a fresh context); read by scenes 2, 3 and 6.
GLUquadric* quadric = nullptr;

// Seeded by seed_spark_sets at start-up; afterwards only scene 6 changes them.
Spark sparks_a[SPARK_COUNT];
Spark sparks_b[SPARK_COUNT];
Spark sparks_c[SPARK_COUNT];

// Written by init_render_state; read by the harness and the start-up report.
StartupTimes startup_times;

namespace {

// The generator's state; advanced only by demo_rand, put back by
// demo_rand_reset.
uint32_t rand_state = 1;

constexpr uint32_t RAND_MULTIPLIER = 214013u;
constexpr uint32_t RAND_INCREMENT = 2531011u;
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

// Acceleration along z of each spark set: still, falling back, flying on.
constexpr float SPARK_ACC_Z_A = 0.0f;
constexpr float SPARK_ACC_Z_B = -5.0f;
constexpr float SPARK_ACC_Z_C = 5.0f;

double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// One fresh spark at the origin: four draws, in the order decay, vel_x,
// vel_y, vel_z.
void seed_spark(Spark& spark, float acc_z) {
    spark.alive = true;
    spark.energy = 1.0f;
    spark.decay = static_cast<float>(demo_rand() % 100) / 1000.0f + 0.003f;
    spark.red = spark.green = spark.blue = 0.0f;
    spark.vel_x = static_cast<float>((demo_rand() % 50 - 26) * 10);
    spark.vel_y = static_cast<float>((demo_rand() % 50 - 25) * 10);
    spark.vel_z = static_cast<float>((demo_rand() % 50 - 25) * 10);
    spark.acc_x = 0.0f;
    spark.acc_y = 0.0f;
    spark.acc_z = acc_z;
}

void seed_spark_set(Spark* set, float acc_z) {
    for (int i = 0; i < SPARK_COUNT; ++i)
        seed_spark(set[i], acc_z);
}

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

int demo_rand() {
    rand_state = rand_state * RAND_MULTIPLIER + RAND_INCREMENT;
    return static_cast<int>((rand_state >> 16) & 0x7FFFu);
}

void demo_rand_reset() {
    rand_state = 1;
}

uint32_t demo_rand_state() {
    return rand_state;
}

void seed_spark_sets() {
    memset(sparks_a, 0, sizeof sparks_a);
    memset(sparks_b, 0, sizeof sparks_b);
    memset(sparks_c, 0, sizeof sparks_c);
    seed_spark_set(sparks_a, SPARK_ACC_Z_A);
    seed_spark_set(sparks_b, SPARK_ACC_Z_B);
    seed_spark_set(sparks_c, SPARK_ACC_Z_C);
}

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

bool init_render_state() {
    auto start = std::chrono::steady_clock::now();
    startup_times = StartupTimes{};
    if (!load_texture_set()) return false;
    startup_times.textures_ms = ms_since(start);

    auto rest_start = std::chrono::steady_clock::now();
    glEnable(GL_TEXTURE_2D);
    // The first frame's matrix calls act on the texture matrix until a scene
    // selects the modelview matrix.
    glMatrixMode(GL_TEXTURE);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    seed_spark_sets();
    make_quadric();
    set_light();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    set_fog();
    startup_times.rest_ms = ms_since(rest_start);

    auto font_start = std::chrono::steady_clock::now();
    build_outline_font(); // a font failure only leaves the texts out
    startup_times.font_ms = ms_since(font_start);
    return true;
}
