// Spark squares gathered into vertex arrays and drawn with one call per set,
// instead of one immediate-mode strip per spark.  Each square keeps its four
// corners, with the same colour and texture coordinates, and is drawn as the
// two triangles its strip would make, in the same order, so the picture is
// the same.  The triangles index the corners, so each corner is transformed
// once, as in the strip.
#include <GL/gl.h>

#include "gfx/effects.h"

namespace {

constexpr int SQUARE_VERTICES = 4;
constexpr int SQUARE_INDICES = 6;
constexpr int BATCH_VERTICES = SPARK_COUNT * SQUARE_VERTICES;
constexpr int BATCH_INDICES = SPARK_COUNT * SQUARE_INDICES;
static_assert(BATCH_VERTICES <= 65536, "corner indices are 16-bit");
constexpr float SPARK_HALF = 0.2f;
constexpr float SPARK_DEPTH = -60.0f;

// Corner k of a spark's strip: offsets and texture coordinates, in strip
// order (upper right, upper left, lower right, lower left).
struct Corner {
    float dx, dy, s, t;
};
constexpr Corner CORNERS[4] = {
    {SPARK_HALF, SPARK_HALF, 1, 1},
    {-SPARK_HALF, SPARK_HALF, 0, 1},
    {SPARK_HALF, -SPARK_HALF, 1, 0},
    {-SPARK_HALF, -SPARK_HALF, 0, 0},
};
// The strip's two triangles as GL forms them: (0, 1, 2), then (2, 1, 3).
constexpr int TRIANGLE_CORNERS[SQUARE_INDICES] = {0, 1, 2, 2, 1, 3};

// The batch being filled: positions, colours and texture coordinates of up
// to one set of sparks.  Only spark_batch_* touch them.
float batch_positions[BATCH_VERTICES * 3];
float batch_colours[BATCH_VERTICES * 4];
float batch_texcoords[BATCH_VERTICES * 2];
int batch_count = 0; // vertices filled, four per square

// The triangles of every square of a full batch, as corner indices.
struct BatchIndices {
    GLushort index[BATCH_INDICES];
};

constexpr BatchIndices make_batch_indices() {
    BatchIndices b{};
    for (int square = 0; square < SPARK_COUNT; ++square)
        for (int k = 0; k < SQUARE_INDICES; ++k)
            b.index[square * SQUARE_INDICES + k] =
                static_cast<GLushort>(square * SQUARE_VERTICES + TRIANGLE_CORNERS[k]);
    return b;
}

constexpr BatchIndices BATCH_TRIANGLES = make_batch_indices();

} // namespace

void spark_batch_begin() {
    batch_count = 0;
}

void spark_batch_add(const Spark& spark) {
    if (batch_count + SQUARE_VERTICES > BATCH_VERTICES) spark_batch_draw();
    float z = spark.pos_z + SPARK_DEPTH;
    for (const Corner& c : CORNERS) {
        float* p = &batch_positions[batch_count * 3];
        p[0] = spark.pos_x + c.dx;
        p[1] = spark.pos_y + c.dy;
        p[2] = z;
        float* rgba = &batch_colours[batch_count * 4];
        rgba[0] = spark.red;
        rgba[1] = spark.green;
        rgba[2] = spark.blue;
        rgba[3] = spark.energy;
        float* st = &batch_texcoords[batch_count * 2];
        st[0] = c.s;
        st[1] = c.t;
        ++batch_count;
    }
}

void spark_batch_draw() {
    if (batch_count == 0) return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, batch_positions);
    glColorPointer(4, GL_FLOAT, 0, batch_colours);
    glTexCoordPointer(2, GL_FLOAT, 0, batch_texcoords);
    GLsizei squares = batch_count / SQUARE_VERTICES;
    glDrawElements(GL_TRIANGLES, squares * SQUARE_INDICES, GL_UNSIGNED_SHORT,
                   BATCH_TRIANGLES.index);
    glPopClientAttrib();
    batch_count = 0;
}
