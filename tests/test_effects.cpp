#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cmath>

#include "assets/texture_set.h"
#include "gfx/effects.h"
#include "platform/offscreen.h"
#include "support/gl_feedback.h"

namespace {

constexpr int VIEW = 200;

class EffectsGl : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(offscreen_begin(VIEW, VIEW));
        glViewport(0, 0, VIEW, VIEW);
        glGenTextures(TEXTURE_COUNT, texture_slots);
    }
    void TearDown() override {
        offscreen_end();
        for (uint32_t& name : texture_slots)
            name = 0;
    }
};

// Ortho -h..h on x and y, eye z 0..-100: window coordinates map back to
// object coordinates exactly.
void ortho_view(float half) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-half, half, -half, half, 0.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

struct Point3 {
    float x, y, z;
};

Point3 object_point(const FeedbackVertex& v, float half) {
    float scale = VIEW / (2.0f * half);
    return {v.x / scale - half, v.y / scale - half, -v.z * 100.0f};
}

std::array<float, 16> current_matrix(GLenum which) {
    std::array<float, 16> m;
    glGetFloatv(which, m.data());
    return m;
}

// Lights along the +axes (sign 1) or -axes (sign -1) with red, green and blue
// diffuse colours, so a lit vertex's colour gives the positive (or negative)
// parts of the normal it was sent with.
void normal_decoding_lights(float sign) {
    const GLfloat zero[4] = {0, 0, 0, 1};
    const GLfloat white[4] = {1, 1, 1, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    for (int axis = 0; axis < 3; ++axis) {
        GLfloat direction[4] = {0, 0, 0, 0};
        direction[axis] = sign;
        GLfloat colour[4] = {0, 0, 0, 1};
        colour[axis] = 1;
        GLenum light = GL_LIGHT0 + axis;
        glLightfv(light, GL_POSITION, direction);
        glLightfv(light, GL_DIFFUSE, colour);
        glLightfv(light, GL_SPECULAR, zero);
        glLightfv(light, GL_AMBIENT, zero);
        glEnable(light);
    }
    glEnable(GL_LIGHTING);
}

// The cube's faces as drawn: outward axis of the plane, the normal that must
// be sent, and the corners in order.
struct ExpectedFace {
    Point3 outward;
    Point3 normal;
    Point3 corners[4];
};
const ExpectedFace CUBE[6] = {
    {{0, 1, 0},
     {0, 0, 1},
     {{-.5f, .5f, .5f}, {.5f, .5f, .5f}, {.5f, .5f, -.5f}, {-.5f, .5f, -.5f}}},
    {{0, 0, 1},
     {1, 0, 0},
     {{.5f, -.5f, .5f}, {.5f, .5f, .5f}, {-.5f, .5f, .5f}, {-.5f, -.5f, .5f}}},
    {{1, 0, 0},
     {-1, 0, 0},
     {{.5f, .5f, -.5f}, {.5f, .5f, .5f}, {.5f, -.5f, .5f}, {.5f, -.5f, -.5f}}},
    {{-1, 0, 0},
     {-1, 0, 0},
     {{-.5f, -.5f, .5f}, {-.5f, .5f, .5f}, {-.5f, .5f, -.5f}, {-.5f, -.5f, -.5f}}},
    {{0, -1, 0},
     {0, -1, 0},
     {{.5f, -.5f, .5f}, {-.5f, -.5f, .5f}, {-.5f, -.5f, -.5f}, {.5f, -.5f, -.5f}}},
    {{0, 0, -1},
     {0, 0, -1},
     {{.5f, .5f, -.5f}, {.5f, -.5f, -.5f}, {-.5f, -.5f, -.5f}, {-.5f, .5f, -.5f}}},
};
const float FACE_ST[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

bool same_point(const Point3& a, const Point3& b) {
    return std::fabs(a.x - b.x) < 1e-4f && std::fabs(a.y - b.y) < 1e-4f &&
           std::fabs(a.z - b.z) < 1e-4f;
}

// The cube drawn at z = -50 (the ortho view's middle); primitives grouped
// per face (a quad may come as one polygon or as two triangles).
std::vector<std::vector<FeedbackPrimitive>> cube_faces(float light_sign) {
    ortho_view(1.0f);
    normal_decoding_lights(light_sign);
    auto primitives = feedback_capture([] {
        glLoadIdentity();
        glTranslatef(0, 0, -50);
        draw_textured_cube();
    });
    glDisable(GL_LIGHTING);
    std::vector<std::vector<FeedbackPrimitive>> faces;
    size_t vertices = 0;
    for (const FeedbackPrimitive& p : primitives) {
        if (vertices == 0) faces.emplace_back();
        faces.back().push_back(p);
        vertices += p.vertices.size();
        if (vertices >= 4 && (p.vertices.size() == 4 || faces.back().size() == 2)) vertices = 0;
    }
    return faces;
}

Point3 cube_point(const FeedbackVertex& v) {
    Point3 p = object_point(v, 1.0f);
    p.z += 50.0f;
    return p;
}

} // namespace

TEST_F(EffectsGl, CubeSendsItsCornersTexCoordsAndListedNormals) {
    auto lit_plus = cube_faces(1.0f);
    auto lit_minus = cube_faces(-1.0f);
    ASSERT_EQ(lit_plus.size(), 6u);
    ASSERT_EQ(lit_minus.size(), 6u);
    for (int f = 0; f < 6; ++f) {
        SCOPED_TRACE(f);
        const ExpectedFace& face = CUBE[f];
        bool seen[4] = {};
        for (size_t k = 0; k < lit_plus[f].size(); ++k) {
            const auto& plus = lit_plus[f][k].vertices;
            const auto& minus = lit_minus[f][k].vertices;
            ASSERT_GE(plus.size(), 3u);
            // Counter-clockwise seen from outside the cube.
            Point3 a = cube_point(plus[0]), b = cube_point(plus[1]), c = cube_point(plus[2]);
            Point3 n = {(b.y - a.y) * (c.z - a.z) - (b.z - a.z) * (c.y - a.y),
                        (b.z - a.z) * (c.x - a.x) - (b.x - a.x) * (c.z - a.z),
                        (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)};
            EXPECT_GT(n.x * face.outward.x + n.y * face.outward.y + n.z * face.outward.z, 0.0f);
            for (size_t i = 0; i < plus.size(); ++i) {
                Point3 p = cube_point(plus[i]);
                int corner = -1;
                for (int c4 = 0; c4 < 4; ++c4)
                    if (same_point(p, face.corners[c4])) corner = c4;
                ASSERT_GE(corner, 0) << "unexpected vertex " << p.x << "," << p.y << "," << p.z;
                seen[corner] = true;
                EXPECT_FLOAT_EQ(plus[i].s, FACE_ST[corner][0]);
                EXPECT_FLOAT_EQ(plus[i].t, FACE_ST[corner][1]);
                EXPECT_NEAR(plus[i].r - minus[i].r, face.normal.x, 1e-3);
                EXPECT_NEAR(plus[i].g - minus[i].g, face.normal.y, 1e-3);
                EXPECT_NEAR(plus[i].b - minus[i].b, face.normal.z, 1e-3);
            }
        }
        EXPECT_TRUE(seen[0] && seen[1] && seen[2] && seen[3]);
    }
}

TEST_F(EffectsGl, CubeLeavesMatrixAndStackDepthAsItFoundThem) {
    for (GLenum mode : {GL_MODELVIEW, GL_TEXTURE}) {
        glMatrixMode(mode);
        glLoadIdentity();
        glTranslatef(1, 2, 3);
        glPushMatrix();
        glRotatef(30, 0, 1, 0);
        GLenum matrix_query = mode == GL_MODELVIEW ? GL_MODELVIEW_MATRIX : GL_TEXTURE_MATRIX;
        GLenum depth_query =
            mode == GL_MODELVIEW ? GL_MODELVIEW_STACK_DEPTH : GL_TEXTURE_STACK_DEPTH;
        auto before = current_matrix(matrix_query);
        GLint depth_before, depth_after;
        glGetIntegerv(depth_query, &depth_before);
        draw_textured_cube();
        glGetIntegerv(depth_query, &depth_after);
        EXPECT_EQ(depth_after, depth_before);
        EXPECT_EQ(current_matrix(matrix_query), before);
        glPopMatrix();
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

namespace {

// The logo's strips as the letters' boxes define them (logo units).
struct ExpectedStrip {
    float tx;
    int sent;
    bool counter;
    float x0, x1, y0, y1;
};
const ExpectedStrip LOGO[14] = {
    {-0.25f, 7, false, -2, -1.2f, -1, 0.4f},      {-0.25f, 7, true, -1.7f, -1.56f, -0.6f, 0.1f},
    {-0.25f, 9, false, -1.1f, -0.65f, -1, -0.4f}, {-0.25f, 5, true, -0.95f, -0.8f, -0.7f, -0.55f},
    {-0.25f, 13, false, -0.6f, -0.3f, -1, -0.4f}, {-0.25f, 5, true, -0.5f, -0.45f, -0.7f, -0.5f},
    {-0.25f, 13, false, -0.25f, 0.1f, -1, -0.4f}, {-0.2f, 12, false, 0.3f, 0.7f, -1, 0.4f},
    {-0.2f, 5, false, 0.8f, 1.2f, -1, -0.35f},    {-0.2f, 5, true, 0.9f, 1.1f, -0.8f, -0.5f},
    {-0.2f, 7, false, 1.3f, 1.65f, -1, -0.35f},   {-0.2f, 5, true, 1.4f, 1.5f, -0.8f, -0.5f},
    {-0.18f, 13, false, 1.7f, 2.0f, -1, -0.35f},  {-0.17f, 13, false, 2.1f, 2.7f, -1, 0.0f},
};

bool same_window_point(const FeedbackVertex& a, const FeedbackVertex& b) {
    return std::fabs(a.x - b.x) < 1e-3f && std::fabs(a.y - b.y) < 1e-3f &&
           std::fabs(a.z - b.z) < 1e-6f;
}

// Vertices of each strip, rebuilt from its segments: a strip goes on while
// each segment starts where the last one ended (Mesa does not always send a
// reset token between strips).
std::vector<std::vector<FeedbackVertex>> logo_strips(const std::vector<FeedbackPrimitive>& lines) {
    std::vector<std::vector<FeedbackVertex>> strips;
    for (const FeedbackPrimitive& p : lines) {
        if (strips.empty() || !same_window_point(strips.back().back(), p.vertices[0])) {
            strips.emplace_back();
            strips.back().push_back(p.vertices[0]);
        }
        strips.back().push_back(p.vertices[1]);
    }
    return strips;
}

bool on_logo_grid(float v) {
    const float OFF_GRID[3] = {-1.56f, -0.82f, -0.025f};
    for (float allowed : OFF_GRID)
        if (std::fabs(v - allowed) < 1e-4f) return true;
    float steps = v / 0.05f;
    return std::fabs(steps - std::round(steps)) < 1e-3f;
}

} // namespace

TEST_F(EffectsGl, WordLogoDrawsFourteenClosedStripsInTheLetterBoxes) {
    ortho_view(4.0f);
    auto strips = logo_strips(feedback_capture([] { draw_word_logo(-6.1f); }));
    ASSERT_EQ(strips.size(), 14u);
    for (int k = 0; k < 14; ++k) {
        SCOPED_TRACE(k + 1);
        const ExpectedStrip& e = LOGO[k];
        const auto& strip = strips[k];
        ASSERT_EQ(static_cast<int>(strip.size()), e.sent);
        EXPECT_TRUE(same_point(object_point(strip.front(), 4), object_point(strip.back(), 4)));
        float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
        for (const FeedbackVertex& v : strip) {
            Point3 p = object_point(v, 4.0f);
            float x = p.x - e.tx, y = p.y - 0.5f;
            EXPECT_NEAR(p.z, -6.1f, 1e-3);
            EXPECT_TRUE(on_logo_grid(x) && on_logo_grid(y)) << x << "," << y;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
        if (e.counter) { // inside its bounds
            EXPECT_GE(x0, e.x0 - 1e-3f);
            EXPECT_LE(x1, e.x1 + 1e-3f);
            EXPECT_GE(y0, e.y0 - 1e-3f);
            EXPECT_LE(y1, e.y1 + 1e-3f);
        } else { // fills its letter box exactly
            EXPECT_NEAR(x0, e.x0, 1e-3);
            EXPECT_NEAR(x1, e.x1, 1e-3);
            EXPECT_NEAR(y0, e.y0, 1e-3);
            EXPECT_NEAR(y1, e.y1, 1e-3);
        }
    }
    // The matrix is left at the last strip's transform.
    auto m = current_matrix(GL_MODELVIEW_MATRIX);
    EXPECT_FLOAT_EQ(m[12], -0.17f);
    EXPECT_FLOAT_EQ(m[13], 0.5f);
    EXPECT_FLOAT_EQ(m[14], -6.1f);
    EXPECT_FLOAT_EQ(m[0] * m[5] * m[10], 1.0f);
}

TEST_F(EffectsGl, WordLogoReplacesTheCurrentMatrixAndMovesWithEffectZ) {
    ortho_view(4.0f);
    auto first = logo_strips(feedback_capture([] { draw_word_logo(-6.1f); }));
    auto second = logo_strips(feedback_capture([] {
        glLoadIdentity();
        glTranslatef(1, 1, -40); // replaced, not composed
        draw_word_logo(-3.0f);
    }));
    ASSERT_EQ(first.size(), second.size());
    for (size_t k = 0; k < first.size(); ++k) {
        ASSERT_EQ(first[k].size(), second[k].size());
        for (size_t i = 0; i < first[k].size(); ++i) {
            Point3 a = object_point(first[k][i], 4), b = object_point(second[k][i], 4);
            EXPECT_NEAR(b.x, a.x, 1e-4);
            EXPECT_NEAR(b.y, a.y, 1e-4);
            EXPECT_NEAR(b.z - a.z, 3.1f, 1e-3);
        }
    }
}

TEST_F(EffectsGl, WordLogoFitsTheShowsView) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1024.0 / 768.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    auto lines = feedback_capture([] { draw_word_logo(-6.1f); });
    size_t segments = 0;
    for (const ExpectedStrip& e : LOGO)
        segments += static_cast<size_t>(e.sent - 1);
    EXPECT_EQ(lines.size(), segments); // nothing clipped away or split
    for (const FeedbackPrimitive& p : lines)
        for (const FeedbackVertex& v : p.vertices) {
            EXPECT_GT(v.x, 0.0f);
            EXPECT_LT(v.x, VIEW);
            EXPECT_GT(v.y, 0.0f);
            EXPECT_LT(v.y, VIEW);
        }
}

TEST_F(EffectsGl, QuadsHaveTheirSizesAndTextureCorners) {
    ortho_view(4.0f);
    struct Case {
        float half_w, half_h;
        std::function<void()> draw;
    };
    const Case cases[] = {{0.5f, 0.5f, [] { draw_bit_tile(3); }},
                          {1.0f, 1.0f, [] { draw_panel(); }},
                          {0.3f, 0.1f, [] { draw_stripe(); }}};
    for (const Case& c : cases) {
        glLoadIdentity();
        glTranslatef(0, 0, -50);
        std::vector<FeedbackVertex> vertices;
        for (const FeedbackPrimitive& p : feedback_capture(c.draw))
            vertices.insert(vertices.end(), p.vertices.begin(), p.vertices.end());
        ASSERT_GE(vertices.size(), 4u);
        for (const FeedbackVertex& v : vertices) {
            Point3 p = object_point(v, 4.0f);
            // Texture corner (0, 0) at (-w, -h), (1, 1) at (w, h).
            EXPECT_NEAR(p.x, (v.s * 2 - 1) * c.half_w, 1e-4);
            EXPECT_NEAR(p.y, (v.t * 2 - 1) * c.half_h, 1e-4);
            EXPECT_NEAR(p.z, -50.0f, 1e-3);
        }
    }
}

TEST_F(EffectsGl, BitTileTurnsBlendingOnAndBindsItsSlot) {
    glDisable(GL_BLEND);
    draw_bit_tile(3);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint bound;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), texture_slots[3]);
    draw_bit_tile(0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), texture_slots[0]);
    draw_bit_tile(TEXTURE_COUNT); // outside the table: no texture, no stray read
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}

TEST_F(EffectsGl, PanelKeepsTheCallersTextureAndState) {
    glBindTexture(GL_TEXTURE_2D, texture_slots[7]);
    glColor4f(0.2f, 0.4f, 0.6f, 0.8f);
    glDisable(GL_BLEND);
    glLoadIdentity();
    draw_panel();
    GLint bound;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), texture_slots[7]);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], 0.4f);
    auto m = current_matrix(GL_MODELVIEW_MATRIX);
    EXPECT_FLOAT_EQ(m[0], 1.0f);
}

TEST_F(EffectsGl, StripeLeavesWhiteItsTextureAndItsScale) {
    glColor4f(0.2f, 0.4f, 0.6f, 0.8f);
    glLoadIdentity();
    draw_stripe();
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[1], 1.0f);
    EXPECT_FLOAT_EQ(colour[2], 1.0f);
    GLint bound;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), texture_slots[SLOT_BACK_S3]);
    auto m = current_matrix(GL_MODELVIEW_MATRIX);
    EXPECT_FLOAT_EQ(m[0], 0.1f);
    EXPECT_FLOAT_EQ(m[5], 0.1f);
    EXPECT_FLOAT_EQ(m[10], 0.1f);
    draw_stripe(); // without a reset the second stripe is 0.01 of the caller's size
    m = current_matrix(GL_MODELVIEW_MATRIX);
    EXPECT_NEAR(m[0], 0.01f, 1e-7);
}
