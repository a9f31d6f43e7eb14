// Projection, the fixed render state set once at start-up, the demo's random
// source and the spark sets of the finale.
#pragma once

#include <cstdint>

struct GLUquadric;

// Viewport and 45-degree perspective for a client size; a height of 0 counts
// as 1.  Leaves GL_MODELVIEW current with the identity.
void resize_view(int width, int height);

// The largest rectangle of the show's 4:3 picture centred in a frame of
// width x height pixels.
struct PictureRect {
    int x, y, width, height;
};
PictureRect picture_rect(int width, int height);

// resize_view for that rectangle, with the viewport placed on it: the rest
// of the frame is left to the clear, black.
void resize_view_centred(int width, int height);

// Loads the texture set, then sets the fixed GL state, seeds the spark sets,
// creates the quadric and builds the outline font.  False only when the
// texture set failed (then nothing else is set).  Leaves GL_TEXTURE current.
bool init_render_state();

// The one pseudo-random source: LCG state * 214013 + 2531011, output bits
// 16..30.  Seeded with 1, never reseeded (demo_rand_reset is for tests and
// the harness only).
int demo_rand();
void demo_rand_reset();
// The generator's raw 32-bit state (tests check where start-up leaves it).
uint32_t demo_rand_state();

constexpr int SPARK_COUNT = 5000;

struct Spark {
    bool alive;
    float energy;
    float decay;
    float red, green, blue;
    float pos_x, pos_y, pos_z;
    float vel_x, vel_y, vel_z;
    float acc_x, acc_y, acc_z;
};

// Spark sets of the finale, seeded by init_render_state from the first 60000
// draws of demo_rand; animated only by scene 6.
extern Spark sparks_a[SPARK_COUNT];
extern Spark sparks_b[SPARK_COUNT];
extern Spark sparks_c[SPARK_COUNT];

// Zeroes and reseeds the three sets (draws 60000 values).
void seed_spark_sets();

// The shared GLU quadric (smooth normals, texture coordinates on), made once
// by init_render_state; used by scenes 2, 3 and 6.
extern GLUquadric* quadric;

// How long the last init_render_state took, in milliseconds: loading the
// texture set, building the outline font, and everything else.
struct StartupTimes {
    double textures_ms;
    double font_ms;
    double rest_ms;
};
extern StartupTimes startup_times;
