// GLU's sphere and cylinder (filled, outside orientation) for the subset:
// the same quad strips with the same vertices, normals and texture
// coordinates, computed in the same precision.
#include <cmath>

#include "gl11/gl11_internal.h"

// What the show sets on its quadric.
struct GLUquadric {
    GLenum normals;
    bool texture;
};

namespace {

constexpr double PI = 3.14159265358979323846;
// GLU cuts slices and stacks to fewer than this.
constexpr int CACHE_SIZE = 240;
constexpr GLenum NORMALS_SMOOTH = 100000;
constexpr GLenum NORMALS_NONE = 100002;

// Sine and cosine of slice i's angle, as GLU keeps them (float angle).
void slice_circle(int slices, float* sines, float* cosines) {
    for (int i = 0; i < slices; ++i) {
        float angle = static_cast<float>(2 * PI * i / slices);
        sines[i] = static_cast<float>(std::sin(angle));
        cosines[i] = static_cast<float>(std::cos(angle));
    }
    sines[slices] = sines[0];
    cosines[slices] = cosines[0];
}

} // namespace

GLUquadric* gl11_new_quadric() {
    return new GLUquadric{NORMALS_SMOOTH, false};
}

void gl11_delete_quadric(GLUquadric* quadric) {
    delete quadric;
}

void gl11_quadric_normals(GLUquadric* quadric, GLenum normals) {
    quadric->normals = normals;
}

void gl11_quadric_texture(GLUquadric* quadric, GLboolean texture) {
    quadric->texture = texture != 0;
}

void gl11_cylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height, GLint slices,
                   GLint stacks) {
    if (slices >= CACHE_SIZE) slices = CACHE_SIZE - 1;
    if (slices < 2 || stacks < 1 || base < 0.0 || top < 0.0 || height < 0.0)
        return gl11_set_error(GL_INVALID_VALUE);
    if (quadric->normals != NORMALS_SMOOTH && quadric->normals != NORMALS_NONE)
        return gl11_unsupported("flat quadric normals");
    float sines[CACHE_SIZE], cosines[CACHE_SIZE];
    slice_circle(slices, sines, cosines);
    float delta_radius = static_cast<float>(base - top);
    float length = static_cast<float>(std::sqrt(delta_radius * delta_radius + height * height));
    if (length == 0.0f) return gl11_set_error(GL_INVALID_VALUE);
    float xy_normal_ratio = static_cast<float>(height / length);
    float z_normal = delta_radius / length;
    for (int j = 0; j < stacks; ++j) {
        float z_low = static_cast<float>(j * height / stacks);
        float z_high = static_cast<float>((j + 1) * height / stacks);
        float radius_low =
            static_cast<float>(base - delta_radius * (static_cast<float>(j) / stacks));
        float radius_high =
            static_cast<float>(base - delta_radius * (static_cast<float>(j + 1) / stacks));
        gl11_begin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; ++i) {
            if (quadric->normals == NORMALS_SMOOTH)
                gl11_normal3f(xy_normal_ratio * sines[i], xy_normal_ratio * cosines[i], z_normal);
            float s = 1 - static_cast<float>(i) / slices;
            if (quadric->texture) gl11_tex_coord2f(s, static_cast<float>(j) / stacks);
            gl11_vertex3f(radius_low * sines[i], radius_low * cosines[i], z_low);
            if (quadric->texture) gl11_tex_coord2f(s, static_cast<float>(j + 1) / stacks);
            gl11_vertex3f(radius_high * sines[i], radius_high * cosines[i], z_high);
        }
        gl11_end();
    }
}

void gl11_sphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks) {
    if (slices >= CACHE_SIZE) slices = CACHE_SIZE - 1;
    if (stacks >= CACHE_SIZE) stacks = CACHE_SIZE - 1;
    if (slices < 2 || stacks < 1 || radius < 0.0) return gl11_set_error(GL_INVALID_VALUE);
    if (!quadric->texture || quadric->normals != NORMALS_SMOOTH)
        return gl11_unsupported("a sphere without texture coordinates or smooth normals");
    float sines_a[CACHE_SIZE], cosines_a[CACHE_SIZE];
    slice_circle(slices, sines_a, cosines_a);
    // Per stack: the ring's radius and height, and the normal's sine and cosine.
    float ring_sin[CACHE_SIZE], ring_cos[CACHE_SIZE], normal_sin[CACHE_SIZE],
        normal_cos[CACHE_SIZE];
    for (int j = 0; j <= stacks; ++j) {
        float angle = static_cast<float>(PI * j / stacks);
        normal_sin[j] = static_cast<float>(std::sin(angle));
        normal_cos[j] = static_cast<float>(std::cos(angle));
        ring_sin[j] = static_cast<float>(radius * std::sin(angle));
        ring_cos[j] = static_cast<float>(radius * std::cos(angle));
    }
    // The poles come to a point.
    ring_sin[0] = ring_sin[stacks] = 0.0f;
    normal_sin[0] = normal_sin[stacks] = 0.0f;
    for (int j = 0; j < stacks; ++j) {
        float z_low = ring_cos[j], z_high = ring_cos[j + 1];
        float r_low = ring_sin[j], r_high = ring_sin[j + 1];
        gl11_begin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; ++i) {
            float s = 1 - static_cast<float>(i) / slices;
            gl11_normal3f(sines_a[i] * normal_sin[j + 1], cosines_a[i] * normal_sin[j + 1],
                          normal_cos[j + 1]);
            gl11_tex_coord2f(s, 1 - static_cast<float>(j + 1) / stacks);
            gl11_vertex3f(r_high * sines_a[i], r_high * cosines_a[i], z_high);
            gl11_normal3f(sines_a[i] * normal_sin[j], cosines_a[i] * normal_sin[j], normal_cos[j]);
            gl11_tex_coord2f(s, 1 - static_cast<float>(j) / stacks);
            gl11_vertex3f(r_low * sines_a[i], r_low * cosines_a[i], z_low);
        }
        gl11_end();
    }
}
