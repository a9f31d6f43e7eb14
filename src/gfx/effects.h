// Effect primitives drawn with the caller's GL state.
#pragma once

// Unit cube centred on the origin, six textured quads with the show's own
// per-face normals; leaves the current matrix as it found it.
void draw_textured_cube();

// Nine-letter word logo as 14 closed line strips at depth `z`; leaves the
// current matrix at the last strip's transform.
void draw_word_logo(float z);

// 1 x 1 quad with texture slot `slot`; turns blending on and leaves it on.
void draw_bit_tile(int slot);

// 2 x 2 quad with whatever texture is bound.
void draw_panel();

// White 6 x 2 quad scaled by 0.1 (not undone), textured "Data/back_s3.bmp".
void draw_stripe();

// One GL_QUADS primitive in the plane z = 0 from (left, bottom) to (right,
// top), counter-clockwise from +z, covering the bound texture once: texture
// coordinate (0, 0) at the first corner, then (1, 0), (1, 1), (0, 1).
void draw_textured_rect(float left, float bottom, float right, float top);

// Spark squares of the finale, 0.4 x 0.4 and 60 units deeper than each
// spark, coloured (red, green, blue, energy): begin, add each spark in
// drawing order (its position before it moves), then draw.  Drawn as vertex
// arrays, four corners per spark; the triangles are those of one
// four-corner strip per spark.  The view is taken from the matrices at
// spark_batch_begin: a square wholly outside it is left out (it would add
// nothing to the picture), and so is a black one (it adds nothing under the
// additive blends the finale draws with); both are counted in
// sparks_left_out.
constexpr int SPARK_COUNT = 5000;

// One spark of the finale: alive flag, energy and its decay per step,
// colour, position, velocity and acceleration.
struct Spark {
    bool alive;
    float energy;
    float decay;
    float red, green, blue;
    float pos_x, pos_y, pos_z;
    float vel_x, vel_y, vel_z;
    float acc_x, acc_y, acc_z;
};

extern int sparks_left_out;
void spark_batch_begin();
void spark_batch_add(const Spark& spark);
void spark_batch_draw();

// A sphere about the origin and a cylinder along +z from z = 0, as gluSphere
// and gluCylinder (equal radii) draw them with the shared quadric: the same
// vertices, normals and texture coordinates, compiled into a display list
// the first time each shape is drawn on the current context.
void draw_quadric_sphere(double radius, int slices, int stacks);
// Nothing at all while GL-free (gfx/carried_state.h).
void draw_quadric_cylinder(double radius, double height, int slices, int stacks);

// Deletes the compiled shapes (their context still current).
void quadric_shapes_release();
// Forgets them without touching GL, for a new context.
void quadric_shapes_forget();
