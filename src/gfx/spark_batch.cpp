// Spark squares gathered into vertex arrays and drawn with one call per set,
// instead of one immediate-mode strip per spark.  Each square keeps its four
// corners, with the same colour and texture coordinates, and is drawn as the
// two triangles its strip would make, in the same order, so the picture is
// the same.  The triangles index the corners, so each corner is transformed
// once, as in the strip.  A square that lies wholly outside the view is left
// out: none of its triangles could reach a pixel, and the rest keep their
// order.  So is a black one: the finale adds its sparks onto the frame
// (destination factor one, no depth test), and the texture only multiplies
// the colour, so a black square adds nothing to any pixel's colour (only to
// the frame's alpha, which nothing reads or shows).
#include <GL/gl.h>

#include <cmath>

#include "gfx/effects.h"
#include "platform/gl_clip.h"

namespace {

constexpr int SQUARE_VERTICES = 4;
constexpr int SQUARE_INDICES = 6;
constexpr int BATCH_VERTICES = SPARK_COUNT * SQUARE_VERTICES;
constexpr int BATCH_INDICES = SPARK_COUNT * SQUARE_INDICES;
static_assert(BATCH_VERTICES <= 65536, "corner indices are 16-bit");
constexpr float SPARK_HALF = 0.2f;
constexpr float SPARK_DEPTH = -60.0f;
// A square counts as outside only when it would be even with this much room
// around it (object units) and a margin of this share of the size of the
// terms that place it against a plane: far more than the float rounding of
// the corners GL gets and of GL's own transform.
constexpr double CULL_ROOM = 0.01;
constexpr double CULL_SHARE = 1e-4;
constexpr int CLIP_PLANES = 6;

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

// One plane of the view volume as a function of a square's centre: its
// value is positive inside, and `reach` is the most the square's corners
// (with the room) add to it.
struct CullPlane {
    double at[4]; // value = at . (x, y, z, 1)
    double reach;
};
CullPlane cull_planes[CLIP_PLANES];

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

// The six planes w + x, w - x, w + y, w - y, w + z, w - z of the view
// volume for the current matrices.
void set_cull_planes() {
    double clip[16];
    gl_clip_matrix(clip);
    for (int p = 0; p < CLIP_PLANES; ++p) {
        int row = p / 2;
        double sign = p % 2 == 0 ? 1.0 : -1.0;
        CullPlane& plane = cull_planes[p];
        for (int col = 0; col < 4; ++col)
            plane.at[col] = clip[col * 4 + 3] + sign * clip[col * 4 + row];
        const double room[3] = {SPARK_HALF + CULL_ROOM, SPARK_HALF + CULL_ROOM, CULL_ROOM};
        plane.reach = 0.0;
        for (int axis = 0; axis < 3; ++axis)
            plane.reach += std::fabs(plane.at[axis]) * room[axis];
    }
}

// True when the spark's square lies wholly on the outer side of one plane.
bool square_outside_view(double x, double y, double z) {
    for (const CullPlane& plane : cull_planes) {
        double terms[4] = {plane.at[0] * x, plane.at[1] * y, plane.at[2] * z, plane.at[3]};
        double value = terms[0] + terms[1] + terms[2] + terms[3];
        double size =
            std::fabs(terms[0]) + std::fabs(terms[1]) + std::fabs(terms[2]) + std::fabs(terms[3]);
        if (value + plane.reach + CULL_SHARE * size < 0.0) return true;
    }
    return false;
}

} // namespace

int sparks_left_out = 0;

void spark_batch_begin() {
    batch_count = 0;
    sparks_left_out = 0;
    set_cull_planes();
}

void spark_batch_add(const Spark& spark) {
    bool black = spark.red == 0.0f && spark.green == 0.0f && spark.blue == 0.0f;
    float z = spark.pos_z + SPARK_DEPTH;
    if (black || square_outside_view(spark.pos_x, spark.pos_y, z)) {
        ++sparks_left_out;
        return;
    }
    if (batch_count + SQUARE_VERTICES > BATCH_VERTICES) spark_batch_draw();
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
