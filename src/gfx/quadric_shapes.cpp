// Sphere and cylinder geometry of the shared quadric, compiled once per shape
// into a display list.  gluSphere and gluCylinder recompute every vertex,
// normal and texture coordinate with sin and cos on each call and hand them
// over one immediate-mode call at a time; the lists hand the same vertices
// over from memory in one go.
#include <GL/gl.h>
#include <GL/glu.h>

#include "gfx/render_state.h"
#include "gfx/carried_state.h"
#include "gfx/effects.h"
#include "platform/gl_detach.h"

namespace {

enum ShapeKind { SHAPE_SPHERE, SHAPE_CYLINDER };

// One compiled shape: its kind and parameters, and its display list.
struct QuadricShape {
    ShapeKind kind;
    double radius, height;
    int slices, stacks;
    GLuint list;
};

// The show draws six shapes; more than this many distinct ones are drawn
// straight through GLU instead of compiled.
constexpr int MAX_SHAPES = 16;

// Shapes compiled so far on the current context.  Filled by draw_shape;
// emptied by quadric_shapes_release and quadric_shapes_forget.
QuadricShape shapes[MAX_SHAPES];
int shape_count = 0;

void draw_with_glu(const QuadricShape& s) {
    if (s.kind == SHAPE_SPHERE)
        gluSphere(quadric, s.radius, s.slices, s.stacks);
    else
        gluCylinder(quadric, s.radius, s.radius, s.height, s.slices, s.stacks);
}

bool same_shape(const QuadricShape& a, const QuadricShape& b) {
    return a.kind == b.kind && a.radius == b.radius && a.height == b.height &&
           a.slices == b.slices && a.stacks == b.stacks;
}

// The list of `wanted`, compiled on first use; 0 when none can be made.
GLuint shape_list(const QuadricShape& wanted) {
    for (int i = 0; i < shape_count; ++i)
        if (same_shape(shapes[i], wanted)) return shapes[i].list;
    if (shape_count == MAX_SHAPES) return 0;
    GLuint list = glGenLists(1);
    if (list == 0) return 0;
    glNewList(list, GL_COMPILE);
    draw_with_glu(wanted);
    glEndList();
    shapes[shape_count] = wanted;
    shapes[shape_count].list = list;
    ++shape_count;
    return list;
}

void draw_shape(const QuadricShape& wanted) {
    if (gl_mode() == GL_LET_GO) return; // no GL would receive the vertices
    GLuint list = shape_list(wanted);
    if (list != 0)
        glCallList(list);
    else
        draw_with_glu(wanted);
}

} // namespace

void draw_quadric_sphere(double radius, int slices, int stacks) {
    draw_shape({SHAPE_SPHERE, radius, 0.0, slices, stacks, 0});
}

void draw_quadric_cylinder(double radius, double height, int slices, int stacks) {
    draw_shape({SHAPE_CYLINDER, radius, height, slices, stacks, 0});
}

void quadric_shapes_release() {
    for (int i = 0; i < shape_count; ++i)
        glDeleteLists(shapes[i].list, 1);
    quadric_shapes_forget();
}

void quadric_shapes_forget() {
    shape_count = 0;
}
