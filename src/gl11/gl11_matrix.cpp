// The three matrix stacks, in float as GL keeps them.
#include <cmath>
#include <cstring>

#include "gl11/gl11_internal.h"

namespace {

constexpr double PI = 3.14159265358979323846;

void mult_current(const Mat4& m) {
    Mat4& top = gl11_top(gl.matrix_mode);
    top = mat4_multiply(top, m);
}

// For a matrix call: true when it is to run now (else it was recorded, or
// refused between glBegin and glEnd).
bool runs_now(ListOpKind kind, float a = 0, float b = 0, float c = 0, float d = 0) {
    const float v[4] = {a, b, c, d};
    return gl11_runs_now(gl11_op_floats(kind, v, 4));
}

} // namespace

Mat4& gl11_top(int stack) {
    MatrixStack& s = gl.stacks[stack];
    return s.levels[s.depth];
}

Mat4 mat4_identity() {
    Mat4 m = {};
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
    return m;
}

Mat4 mat4_multiply(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[k * 4 + row] * b.m[col * 4 + k];
            r.m[col * 4 + row] = sum;
        }
    return r;
}

void mat4_normal_matrix(const Mat4& mv, float out[9]) {
    // a[row][col] of the upper 3 x 3.
    double a[3][3];
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            a[row][col] = mv.m[col * 4 + row];
    double cof[3][3];
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            int r0 = (row + 1) % 3, r1 = (row + 2) % 3, c0 = (col + 1) % 3, c1 = (col + 2) % 3;
            cof[row][col] = a[r0][c0] * a[r1][c1] - a[r0][c1] * a[r1][c0];
        }
    double det = a[0][0] * cof[0][0] + a[0][1] * cof[0][1] + a[0][2] * cof[0][2];
    // The inverse transpose is the cofactor matrix over the determinant; a
    // singular matrix leaves normals as they are.
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            double v = det != 0.0 ? cof[row][col] / det : (row == col ? 1.0 : 0.0);
            out[col * 3 + row] = static_cast<float>(v);
        }
}

void gl11_matrix_mode(GLenum mode) {
    if (!gl11_runs_now(gl11_op(OP_MATRIX_MODE, mode))) return;
    int index = mode == GL_MODELVIEW ? 0 : mode == GL_PROJECTION ? 1 : mode == GL_TEXTURE ? 2 : -1;
    if (index < 0) return gl11_set_error(GL_INVALID_ENUM);
    gl.matrix_mode = index;
}

void gl11_load_identity() {
    if (!runs_now(OP_LOAD_IDENTITY)) return;
    gl11_top(gl.matrix_mode) = mat4_identity();
}

void gl11_push_matrix() {
    if (!runs_now(OP_PUSH)) return;
    MatrixStack& s = gl.stacks[gl.matrix_mode];
    if (s.depth + 1 >= MATRIX_STACK_DEPTHS[gl.matrix_mode])
        return gl11_set_error(GL_STACK_OVERFLOW);
    s.levels[s.depth + 1] = s.levels[s.depth];
    ++s.depth;
}

void gl11_pop_matrix() {
    if (!runs_now(OP_POP)) return;
    MatrixStack& s = gl.stacks[gl.matrix_mode];
    if (s.depth == 0) return gl11_set_error(GL_STACK_UNDERFLOW);
    --s.depth;
}

void gl11_translatef(GLfloat x, GLfloat y, GLfloat z) {
    if (!runs_now(OP_TRANSLATE, x, y, z)) return;
    // Only the last column changes: m[12..15] += x * col0 + y * col1 + z * col2.
    Mat4& m = gl11_top(gl.matrix_mode);
    for (int row = 0; row < 4; ++row)
        m.m[12 + row] = m.m[row] * x + m.m[4 + row] * y + m.m[8 + row] * z + m.m[12 + row];
}

void gl11_scalef(GLfloat x, GLfloat y, GLfloat z) {
    if (!runs_now(OP_SCALE, x, y, z)) return;
    Mat4& m = gl11_top(gl.matrix_mode);
    for (int row = 0; row < 4; ++row) {
        m.m[row] *= x;
        m.m[4 + row] *= y;
        m.m[8 + row] *= z;
    }
}

void gl11_rotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (!runs_now(OP_ROTATE, angle, x, y, z)) return;
    float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) return;
    x /= length;
    y /= length;
    z /= length;
    float radians = static_cast<float>(angle * (PI / 180.0));
    float s = std::sin(radians), c = std::cos(radians), one_c = 1.0f - c;
    Mat4 r = mat4_identity();
    r.m[0] = x * x * one_c + c;
    r.m[1] = y * x * one_c + z * s;
    r.m[2] = x * z * one_c - y * s;
    r.m[4] = x * y * one_c - z * s;
    r.m[5] = y * y * one_c + c;
    r.m[6] = y * z * one_c + x * s;
    r.m[8] = x * z * one_c + y * s;
    r.m[9] = y * z * one_c - x * s;
    r.m[10] = z * z * one_c + c;
    mult_current(r);
}

void gl11_mult_matrixd(const GLdouble* values) {
    if (!gl11_runs_now_unrecorded("glMultMatrixd in a display list") || !values) return;
    Mat4 m;
    for (int i = 0; i < 16; ++i)
        m.m[i] = static_cast<float>(values[i]);
    mult_current(m);
}

void gl11_perspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far) {
    double radians = fovy / 2.0 * PI / 180.0;
    double depth = z_far - z_near;
    double sine = std::sin(radians);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return;
    double cotangent = std::cos(radians) / sine;
    double m[16] = {};
    m[0] = cotangent / aspect;
    m[5] = cotangent;
    m[10] = -(z_far + z_near) / depth;
    m[11] = -1.0;
    m[14] = -2.0 * z_near * z_far / depth;
    gl11_mult_matrixd(m);
}

void gl11_get_floatv(GLenum name, GLfloat* values) {
    int index = name == GL_MODELVIEW_MATRIX    ? 0
                : name == GL_PROJECTION_MATRIX ? 1
                : name == GL_TEXTURE_MATRIX    ? 2
                                               : -1;
    if (!gl11_outside_begin() || !values) return;
    if (index < 0) return gl11_unsupported("glGetFloatv of this value");
    memcpy(values, gl11_top(index).m, sizeof(float) * 16);
}
