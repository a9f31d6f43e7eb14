// Shared set-up for the scene tests: a headless GL context with the show's
// projection and blend function, stand-in textures of known colours in every
// slot, the quadric, and readers for GL state and feedback.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "gfx/render_state.h"
#include "assets/texture_set.h"
#include "show/beat.h"
#include "show/demo_state.h"
#include "gfx/effects.h"
#include "platform/offscreen.h"

using Rgb = std::array<uint8_t, 3>;

// Frame size of the state tests: small, 4:3 like the show.
constexpr int FIXTURE_W = 128;
constexpr int FIXTURE_H = 96;

// Makes the texture of `slot` a 2 x 2 picture of one colour.
inline void fixture_paint_slot(int slot, const Rgb& colour) {
    uint8_t texels[2 * 2 * 3];
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c)
            texels[i * 3 + c] = colour[c];
    glBindTexture(GL_TEXTURE_2D, texture_slots[slot]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
}

// Fills every slot with a 2 x 2 texture of one colour: black, except the
// slots given in `lit`.
inline void fixture_textures(const std::vector<std::pair<int, Rgb>>& lit) {
    glGenTextures(TEXTURE_COUNT, texture_slots);
    for (int slot = 0; slot < TEXTURE_COUNT; ++slot) {
        Rgb colour = {0, 0, 0};
        for (const auto& entry : lit)
            if (entry.first == slot) colour = entry.second;
        fixture_paint_slot(slot, colour);
    }
}

// The context, the show's projection and the fixed state the scenes start
// from (texturing on, additive blend function), plus fresh demo state.  The
// sphere and cylinder lists compiled on an earlier test's context died with
// it: they are forgotten, to be compiled again on this one.
inline bool fixture_begin(const std::vector<std::pair<int, Rgb>>& lit = {}) {
    if (!offscreen_begin(FIXTURE_W, FIXTURE_H)) return false;
    quadric_shapes_forget();
    resize_view(FIXTURE_W, FIXTURE_H);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 0.5f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    fixture_textures(lit);
    quadric = gluNewQuadric();
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricTexture(quadric, GL_TRUE);
    demo = {};
    beat_counters = {};
    return true;
}

inline void fixture_end() {
    gluDeleteQuadric(quadric);
    quadric = nullptr;
    glDeleteTextures(TEXTURE_COUNT, texture_slots);
    for (uint32_t& name : texture_slots)
        name = 0;
    offscreen_end();
}

// What the frame driver leaves for the scene: the overlay tail's switches
// (blending, lighting, depth test off, "Data/logo2.bmp" bound, white, last
// texture coordinate (0, 5)), then a cleared frame with the modelview
// matrix at identity, at song time t.
inline void fixture_enter_frame(double t) {
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_LOGO2]);
    glColor4f(1, 1, 1, 1);
    glTexCoord2f(0, 5);
    glMatrixMode(GL_MODELVIEW);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    demo.song_time_ms = t;
}

inline std::array<float, 16> fixture_matrix(GLenum which) {
    std::array<float, 16> m{};
    glGetFloatv(which, m.data());
    return m;
}

inline void expect_identity(const std::array<float, 16>& m) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m[i], (i % 5 == 0) ? 1.0f : 0.0f, 1e-6f) << i;
}

inline GLint fixture_int(GLenum which) {
    GLint v = 0;
    glGetIntegerv(which, &v);
    return v;
}

inline GLuint fixture_bound_texture() {
    return static_cast<GLuint>(fixture_int(GL_TEXTURE_BINDING_2D));
}

inline std::array<GLint, 2> fixture_polygon_mode() {
    std::array<GLint, 2> modes{};
    glGetIntegerv(GL_POLYGON_MODE, modes.data());
    return modes;
}

// The GL state a step leaves for the next ones, as numbers in a fixed
// order: current colour, normal and texture coordinate, the three matrices
// and the matrix mode, the bound texture, the switches the scenes turn on
// and off, the blend function, the texture generation modes, the client
// arrays and the list base.
inline std::vector<float> fixture_gl_state() {
    std::vector<float> state;
    // Element by element: gcc 12 at -O2 and above cannot see that an
    // inserted range of `count` floats stays inside v, and warns.
    auto floats = [&state](GLenum which, int count) {
        float v[16] = {};
        glGetFloatv(which, v);
        for (int i = 0; i < count && i < 16; ++i)
            state.push_back(v[i]);
    };
    floats(GL_CURRENT_COLOR, 4);
    floats(GL_CURRENT_NORMAL, 3);
    floats(GL_CURRENT_TEXTURE_COORDS, 4);
    floats(GL_MODELVIEW_MATRIX, 16);
    floats(GL_PROJECTION_MATRIX, 16);
    floats(GL_TEXTURE_MATRIX, 16);
    for (GLenum which : {GL_MATRIX_MODE, GL_TEXTURE_BINDING_2D, GL_BLEND_SRC, GL_BLEND_DST,
                         GL_LIST_BASE, GL_SHADE_MODEL, GL_FRONT_FACE})
        state.push_back(static_cast<float>(fixture_int(which)));
    for (GLenum cap :
         {GL_BLEND, GL_LIGHTING, GL_DEPTH_TEST, GL_FOG, GL_TEXTURE_2D, GL_TEXTURE_GEN_S,
          GL_TEXTURE_GEN_T, GL_CULL_FACE, GL_SCISSOR_TEST, GL_COLOR_MATERIAL, GL_VERTEX_ARRAY,
          GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_NORMAL_ARRAY})
        state.push_back(glIsEnabled(cap) ? 1.0f : 0.0f);
    for (GLenum coord : {GL_S, GL_T}) {
        GLint mode = 0;
        glGetTexGeniv(coord, GL_TEXTURE_GEN_MODE, &mode);
        state.push_back(static_cast<float>(mode));
    }
    return state;
}

// Colour of the pixel at (x, y), y counted from the top row.
inline Rgb fixture_pixel(int x, int y) {
    std::vector<uint8_t> rgb = offscreen_read_rgb(FIXTURE_W, FIXTURE_H);
    size_t at = (static_cast<size_t>(y) * FIXTURE_W + static_cast<size_t>(x)) * 3;
    return {rgb[at], rgb[at + 1], rgb[at + 2]};
}

// Pixels of the frame for which `keep(colour)` holds.
template <typename Keep> int fixture_count_pixels(Keep keep) {
    std::vector<uint8_t> rgb = offscreen_read_rgb(FIXTURE_W, FIXTURE_H);
    int count = 0;
    for (size_t at = 0; at + 2 < rgb.size(); at += 3)
        count += keep(Rgb{rgb[at], rgb[at + 1], rgb[at + 2]}) ? 1 : 0;
    return count;
}

// Window position (x from the left, y from the top) of an eye-space point
// under the show's projection at the fixture's frame size.
inline std::array<int, 2> fixture_project(double x, double y, double z) {
    double model[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double projection[16];
    GLint viewport[4];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double wx = 0, wy = 0, wz = 0;
    gluProject(x, y, z, model, projection, viewport, &wx, &wy, &wz);
    return {static_cast<int>(wx), FIXTURE_H - 1 - static_cast<int>(wy)};
}

// One primitive of a feedback buffer of type GL_4D_COLOR_TEXTURE: its token
// and, per vertex, window x, y, z and texture s, t.
struct ScenePrimitive {
    GLenum token;
    std::vector<std::array<float, 5>> vertices;
};

// Runs `draw` in feedback mode and returns the primitives in the order GL
// produced them.
template <typename Draw> std::vector<ScenePrimitive> fixture_feedback(Draw draw) {
    constexpr int VERTEX_FLOATS = 12; // x y z w, r g b a, s t r q
    std::vector<GLfloat> buffer(1 << 23);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0) << "feedback buffer overflow";
    std::vector<ScenePrimitive> primitives;
    for (GLint at = 0; at < used;) {
        ScenePrimitive p{static_cast<GLenum>(buffer[at++]), {}};
        int count = 1; // point, bitmap and pixel tokens carry one vertex
        if (p.token == GL_POLYGON_TOKEN)
            count = static_cast<int>(buffer[at++]);
        else if (p.token == GL_LINE_TOKEN || p.token == GL_LINE_RESET_TOKEN)
            count = 2;
        else if (p.token == GL_PASS_THROUGH_TOKEN) {
            count = 0;
            ++at;
        }
        for (int i = 0; i < count; ++i, at += VERTEX_FLOATS)
            p.vertices.push_back(
                {buffer[at], buffer[at + 1], buffer[at + 2], buffer[at + 8], buffer[at + 9]});
        primitives.push_back(p);
    }
    return primitives;
}

// An orthographic view of eye space x in [-half_w, half_w], y in [-half_h,
// half_h], z in [-100, 100], so that feedback positions map back to eye
// space exactly (fixture_eye) and nothing in that box is clipped.
struct FixtureOrtho {
    double half_w, half_h;
};
inline FixtureOrtho fixture_ortho(double half_w, double half_h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-half_w, half_w, -half_h, half_h, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    return {half_w, half_h};
}

// Eye-space position of a feedback vertex under fixture_ortho.
inline std::array<double, 3> fixture_eye(const FixtureOrtho& view, const std::array<float, 5>& v) {
    return {v[0] / FIXTURE_W * 2 * view.half_w - view.half_w,
            v[1] / FIXTURE_H * 2 * view.half_h - view.half_h, 100.0 * (1.0 - 2.0 * v[2])};
}
