// The opening scene: its script windows, its fades and decays, and the GL
// state it leaves for the next frame and the next scene.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "assets/outline_font.h"
#include "show/scene1_opening.h"
#include "show/scenes.h"
#include "scene_fixture.h"

namespace {

struct OpeningScene : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(fixture_begin());
        opening = {};
    }
    void TearDown() override { fixture_end(); }

    void frame(double t) {
        fixture_enter_frame(t);
        run_opening_scene();
    }
    // A texture-generation mode that the scene itself never sets, so that a
    // sphere-map mode afterwards shows that the chain step ran.
    void mark_texgen_mode() {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    }
    GLint texgen_mode() {
        GLint mode = 0;
        glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
        return mode;
    }
};

TEST(OpeningGreeting, IsSixtyPrintableCharactersNamingDemoAndParty) {
    EXPECT_EQ(strlen(GREETING_LINE), 60u);
    for (const char* c = GREETING_LINE; *c; ++c) {
        EXPECT_TRUE(isprint(static_cast<unsigned char>(*c))) << int(*c);
        EXPECT_NE(*c, '%');
    }
    EXPECT_NE(strstr(GREETING_LINE, "Vintermoot 2002"), nullptr);
    EXPECT_NE(strstr(GREETING_LINE, "Isbrann 2002"), nullptr);
}

// The chain step is the only place that lowers drift and beat_scale and sets
// the sphere-map mode before 20 s.
TEST_F(OpeningScene, ChainDrawnAt15000AbsentAt15001BackAt20000WithDots) {
    demo.beat_scale = 1.0f;
    mark_texgen_mode();
    frame(15000);
    EXPECT_FLOAT_EQ(demo.drift, 19.99f);
    EXPECT_FLOAT_EQ(demo.beat_scale, 0.99f);
    EXPECT_EQ(texgen_mode(), GL_SPHERE_MAP);
    EXPECT_EQ(fixture_bound_texture(), texture_slots[SLOT_LOGO]);

    mark_texgen_mode();
    frame(15001);
    EXPECT_FLOAT_EQ(demo.drift, 19.99f);
    EXPECT_FLOAT_EQ(demo.beat_scale, 0.99f);
    EXPECT_EQ(texgen_mode(), GL_OBJECT_LINEAR);
    frame(19999);
    EXPECT_FLOAT_EQ(demo.drift, 19.99f);
    EXPECT_EQ(opening.intro_phase, 1);
    // No dots yet: the last binding is the background picture, blending on.
    EXPECT_EQ(fixture_bound_texture(), texture_slots[SLOT_LOGO]);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));

    demo.beat_spin = 5.0f;
    frame(20000);
    EXPECT_FLOAT_EQ(demo.drift, 19.98f);
    EXPECT_EQ(texgen_mode(), GL_SPHERE_MAP);
    EXPECT_EQ(opening.intro_phase, 2);
    // The dots were drawn: env1 bound, their beat_spin step taken, and
    // blending, lighting and texture generation switched off after them.
    EXPECT_EQ(fixture_bound_texture(), texture_slots[SLOT_ENV1]);
    EXPECT_FLOAT_EQ(demo.beat_spin, 4.9999f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
}

TEST_F(OpeningScene, LeavesModelviewSelectedAndPolygonsFilled) {
    for (double t : {1000.0, 16000.0, 26000.0, 31000.0}) {
        frame(t);
        EXPECT_EQ(fixture_int(GL_MATRIX_MODE), GL_MODELVIEW) << t;
        auto modes = fixture_polygon_mode();
        EXPECT_EQ(modes[0], GL_FILL) << t;
        EXPECT_EQ(modes[1], GL_FILL) << t;
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << t;
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S)) << t;
    }
}

TEST_F(OpeningScene, ChainLayoutSwitchesAt25000) {
    frame(24999);
    EXPECT_EQ(opening.chain_layout, 1);
    frame(25000);
    EXPECT_EQ(opening.chain_layout, 2);
    frame(26000);
    EXPECT_EQ(opening.chain_layout, 2);
}

// In the show's first frame the texture matrix is still selected, so the
// chain's placement and the background's translation land on it; the
// background's translation is what it keeps (the background itself lands
// at the eye that frame).
TEST_F(OpeningScene, FirstFrameOfTheShowMovesTheTextureMatrix) {
    fixture_enter_frame(0);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    run_opening_scene();
    EXPECT_EQ(fixture_int(GL_MATRIX_MODE), GL_MODELVIEW);
    auto texture = fixture_matrix(GL_TEXTURE_MATRIX);
    EXPECT_NEAR(texture[12], 0.03f, 1e-6f);
    EXPECT_NEAR(texture[13], 0.0f, 1e-6f);
    EXPECT_NEAR(texture[14], -6.1f, 1e-6f);
    EXPECT_NEAR(texture[0], 1.0f, 1e-6f);
    // The word logo is the last drawing before 20000 ms; it leaves its last
    // strip's transform on the modelview matrix.
    auto modelview = fixture_matrix(GL_MODELVIEW_MATRIX);
    EXPECT_NEAR(modelview[12], -0.17f, 1e-6f);
    EXPECT_NEAR(modelview[13], 0.5f, 1e-6f);
    EXPECT_NEAR(modelview[14], demo.effect_z, 1e-6f);
}

// The background only rocks once it has fully faded in; each frame turns
// the texture matrix by spin_angle degrees about x, never resetting it.
TEST_F(OpeningScene, RockingStartsOnFirstFrameWithFadeAtOne) {
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    opening.intro_fade = 0.9995f;
    opening.wobble_phase = 0.0f;
    frame(16000);
    EXPECT_FLOAT_EQ(demo.spin_angle, 0.0f);
    EXPECT_FLOAT_EQ(opening.wobble_phase, 0.05f);
    EXPECT_NEAR(opening.intro_fade, 1.0005f, 1e-6f);
    expect_identity(fixture_matrix(GL_TEXTURE_MATRIX));

    frame(16020);
    EXPECT_FLOAT_EQ(demo.spin_angle, std::cos(0.1f));
    frame(16040);
    EXPECT_FLOAT_EQ(demo.spin_angle, std::cos(0.15f));
    // The texture matrix turned by cos(0.1) degrees in the third frame.
    double turned = std::cos(0.1) * M_PI / 180.0;
    auto texture = fixture_matrix(GL_TEXTURE_MATRIX);
    EXPECT_NEAR(texture[5], std::cos(turned), 1e-6);
    EXPECT_NEAR(texture[6], std::sin(turned), 1e-6);
    EXPECT_NEAR(texture[9], -std::sin(turned), 1e-6);

    frame(16060); // and accumulates: now by cos(0.1) + cos(0.15) degrees
    turned += std::cos(0.15) * M_PI / 180.0;
    texture = fixture_matrix(GL_TEXTURE_MATRIX);
    EXPECT_NEAR(texture[6], std::sin(turned), 1e-5);
}

TEST_F(OpeningScene, PhaseTwoFadesPictureOutAndLogoInWithoutClamping) {
    opening.intro_fade = 0.0005f;
    frame(20000);
    EXPECT_NEAR(opening.intro_fade, -0.0005f, 1e-6f);
    EXPECT_NEAR(opening.logo_alpha, 1.001f, 1e-6f);
    float rocked = demo.spin_angle;
    frame(20020);
    EXPECT_NEAR(opening.intro_fade, -0.0015f, 1e-6f);
    EXPECT_FLOAT_EQ(demo.spin_angle, rocked); // no rocking in phase 2
    EXPECT_FLOAT_EQ(opening.wobble_phase, 0.0f);
}

TEST_F(OpeningScene, GreetingLineScrollsFrom25ThenFollowsSongTime) {
    frame(29999);
    EXPECT_FLOAT_EQ(opening.scroller_x, 25.0f);
    frame(30000);
    EXPECT_FLOAT_EQ(opening.scroller_x, 15.0f);
    frame(30750);
    EXPECT_FLOAT_EQ(opening.scroller_x, 14.5f);
    frame(76999);
    EXPECT_FLOAT_EQ(opening.scroller_x, static_cast<float>(35.0 - 76999.0 / 1500.0));
}

TEST_F(OpeningScene, EffectZMovesOnlyOnceFadeHasReachedZero) {
    opening.intro_fade = 0.0015f;
    opening.intro_phase = 2;
    frame(29000); // fade below zero soon, but no greeting line yet
    frame(29500);
    frame(29999);
    EXPECT_LT(opening.intro_fade, 0.0f);
    EXPECT_FLOAT_EQ(demo.effect_z, -6.1f);

    opening.intro_fade = 0.0005f;
    frame(30000);
    EXPECT_FLOAT_EQ(demo.effect_z, -6.1f);
    EXPECT_LT(opening.intro_fade, 0.0f);
    frame(30020);
    EXPECT_FLOAT_EQ(demo.effect_z, -6.09f);
    frame(30040);
    EXPECT_FLOAT_EQ(demo.effect_z, -6.08f);
}

TEST_F(OpeningScene, BeatScaleDecaysToItsFloor) {
    demo.beat_scale = 1.0f;
    for (int i = 0; i < 10; ++i)
        frame(1000);
    EXPECT_NEAR(demo.beat_scale, 0.9f, 1e-5f);
    demo.beat_scale = 0.755f;
    frame(1000);
    EXPECT_FLOAT_EQ(demo.beat_scale, 0.75f);
    frame(1000);
    EXPECT_FLOAT_EQ(demo.beat_scale, 0.75f);
    demo.beat_scale = 1.0f; // no decay while the chain is hidden
    frame(17000);
    EXPECT_FLOAT_EQ(demo.beat_scale, 1.0f);
}

TEST_F(OpeningScene, BeatLiftAndSpinDecayFromTwentySecondsAndFloor) {
    demo.beat_lift = -1.3f;
    demo.beat_spin = 0.00025f;
    frame(19999);
    EXPECT_FLOAT_EQ(demo.beat_lift, -1.3f);
    EXPECT_FLOAT_EQ(demo.beat_spin, 0.00025f);
    frame(20000);
    EXPECT_FLOAT_EQ(demo.beat_lift, -1.305f);
    EXPECT_NEAR(demo.beat_spin, 0.00015f, 1e-8f);
    frame(20020);
    frame(20040);
    EXPECT_FLOAT_EQ(demo.beat_spin, 0.0f);
    for (int i = 0; i < 40; ++i)
        frame(21000);
    EXPECT_FLOAT_EQ(demo.beat_lift, -1.5f);
    EXPECT_FLOAT_EQ(demo.beat_spin, 0.0f);
}

TEST_F(OpeningScene, BeatGlowDecaysOnlyWithTheGreetingLineAndHasNoFloor) {
    demo.beat_glow = 1.0f;
    frame(25000);
    EXPECT_FLOAT_EQ(demo.beat_glow, 1.0f);
    frame(30000);
    EXPECT_FLOAT_EQ(demo.beat_glow, 0.99f);
    demo.beat_glow = 0.005f;
    frame(30020);
    EXPECT_FLOAT_EQ(demo.beat_glow, -0.005f);
}

TEST_F(OpeningScene, CountsFramesInGreetBeats) {
    frame(100);
    frame(16000);
    frame(40000);
    EXPECT_EQ(demo.greet_beats, 3);
}

} // namespace

// Frames drawn in feedback mode under an orthographic view wide enough for
// the whole chain and the greeting line, with the real font.
namespace {

using EyePoint = std::array<double, 3>;

// A frame's primitives sorted into the scene's layers by drawing order:
// lines before the background picture are "{x}" (texture coordinate t = 5,
// left by the overlay tail) or cube edges (the cube's own coordinates);
// the background is the first filled polygon run; lines after it are the
// word logo; filled polygons after the logo are the greeting line and dots.
struct OpeningLayers {
    int text_lines = 0;
    std::vector<std::array<EyePoint, 2>> cube_edges;
    int background_polygons = 0;
    int logo_lines = 0;
    std::vector<EyePoint> lit_vertices;
};

struct OpeningSceneDrawn : OpeningScene {
    FixtureOrtho view{};
    void SetUp() override {
        OpeningScene::SetUp();
        build_outline_font();
        view = fixture_ortho(60, 45);
    }
    OpeningLayers drawn(double t) {
        OpeningLayers layers;
        int stage = 0; // 0 chain, 1 background, 2 logo, 3 greeting and dots
        for (const ScenePrimitive& p : fixture_feedback([&] { frame(t); })) {
            bool line = p.token == GL_LINE_TOKEN || p.token == GL_LINE_RESET_TOKEN;
            bool polygon = p.token == GL_POLYGON_TOKEN;
            if (polygon && (stage == 0 || stage == 2)) ++stage;
            if (line && stage == 1) ++stage;
            if (stage == 0 && line && p.vertices[0][4] == 5.0f)
                ++layers.text_lines;
            else if (stage == 0 && line)
                layers.cube_edges.push_back(
                    {fixture_eye(view, p.vertices[0]), fixture_eye(view, p.vertices[1])});
            else if (stage == 1)
                ++layers.background_polygons;
            else if (stage == 2 && line)
                ++layers.logo_lines;
            else if (stage == 3)
                for (const auto& v : p.vertices)
                    layers.lit_vertices.push_back(fixture_eye(view, v));
        }
        return layers;
    }
};

// The edges of cube k (0 is the first cube, 1 to 10 the links).
std::vector<std::array<EyePoint, 2>> cube_edges(const OpeningLayers& layers, int k) {
    size_t per_cube = layers.cube_edges.size() / 11;
    return {layers.cube_edges.begin() + static_cast<long>(k * per_cube),
            layers.cube_edges.begin() + static_cast<long>((k + 1) * per_cube)};
}

EyePoint centre_of(const std::vector<std::array<EyePoint, 2>>& edges) {
    EyePoint sum = {0, 0, 0};
    for (const auto& edge : edges)
        for (const EyePoint& p : edge)
            for (int c = 0; c < 3; ++c)
                sum[c] += p[c] / (2.0 * edges.size());
    return sum;
}

double mean_edge_length(const std::vector<std::array<EyePoint, 2>>& edges) {
    double total = 0;
    for (const auto& e : edges)
        total += std::hypot(e[0][0] - e[1][0], e[0][1] - e[1][1], e[0][2] - e[1][2]);
    return total / edges.size();
}

double max_x(const std::vector<EyePoint>& points) {
    double best = -1e9;
    for (const EyePoint& p : points)
        best = std::max(best, p[0]);
    return best;
}

TEST_F(OpeningSceneDrawn, ChainDrawnAt15000AbsentAt15001BackAt20000WithDots) {
    OpeningLayers at_15000 = drawn(15000);
    EXPECT_GT(at_15000.text_lines, 0);
    ASSERT_EQ(at_15000.cube_edges.size(), 11u * 24u); // 11 wireframe cubes
    EXPECT_GT(at_15000.background_polygons, 0);
    EXPECT_GT(at_15000.logo_lines, 0);
    EXPECT_TRUE(at_15000.lit_vertices.empty());

    OpeningLayers at_15001 = drawn(15001);
    EXPECT_EQ(at_15001.text_lines, 0);
    EXPECT_TRUE(at_15001.cube_edges.empty());
    EXPECT_GT(at_15001.background_polygons, 0);
    EXPECT_TRUE(at_15001.lit_vertices.empty());

    OpeningLayers at_20000 = drawn(20000);
    EXPECT_GT(at_20000.text_lines, 0);
    EXPECT_EQ(at_20000.cube_edges.size(), 11u * 24u);
    // Three dots, all within reach of the centre (no greeting line yet).
    ASSERT_FALSE(at_20000.lit_vertices.empty());
    EXPECT_LT(max_x(at_20000.lit_vertices), 4.0);
}

// At 25000 the first cube is still placed low (layout 1) but the ten links
// of the same frame already use layout 2's fixed 0.75 scaling.
TEST_F(OpeningSceneDrawn, Layout2ForTheLinksButNotTheFirstCubeAt25000) {
    demo.beat_scale = 1.0f; // a note just now: layout 1 links would be full size
    OpeningLayers first = drawn(25000);
    ASSERT_EQ(first.cube_edges.size(), 11u * 24u);
    EyePoint start = centre_of(cube_edges(first, 0));
    EXPECT_NEAR(start[1], -2.0 - 1.5, 1e-3);
    EXPECT_NEAR(start[2], -10.0 - 2.5, 1e-3);
    EXPECT_NEAR(mean_edge_length(cube_edges(first, 0)), 1.0, 1e-3);
    EXPECT_NEAR(mean_edge_length(cube_edges(first, 1)), 0.75, 1e-3);
    EXPECT_NEAR(mean_edge_length(cube_edges(first, 10)), std::pow(0.75, 10), 1e-3);

    OpeningLayers next = drawn(25020);
    EyePoint moved = centre_of(cube_edges(next, 0));
    EXPECT_NEAR(moved[1], -2.0 + 5.5, 1e-3);
    EXPECT_NEAR(moved[0], start[0], 1e-3);
}

// In layout 1 the links pulse with the beat: full size just after a note,
// back to 0.75 once beat_scale has decayed.
TEST_F(OpeningSceneDrawn, Layout1LinksScaleWithBeatScale) {
    demo.beat_scale = 1.0f;
    OpeningLayers pulsed = drawn(5000);
    EXPECT_NEAR(mean_edge_length(cube_edges(pulsed, 1)), 1.0, 1e-3);
    EXPECT_NEAR(mean_edge_length(cube_edges(pulsed, 2)), 1.0, 1e-3);
    OpeningLayers after = drawn(5020);
    EXPECT_NEAR(mean_edge_length(cube_edges(after, 1)), 0.99, 1e-3);
}

// The line is centred on scroller_x: 25 in its first frame, then 35 - t/1500
// of the frame before.
TEST_F(OpeningSceneDrawn, GreetingLineFirstAt25ThenAtThePreviousFramesPosition) {
    float advance = 0;
    for (const char* c = GREETING_LINE; *c; ++c)
        advance += glyph_metrics[static_cast<unsigned char>(*c)].cell_inc_x;
    ASSERT_GT(advance, 20.0f);
    ASSERT_LT(advance / 2 + 25, 60.0f); // the whole line fits the view

    double right_first = max_x(drawn(30000).lit_vertices);
    EXPECT_NEAR(right_first, 25.0 + advance / 2, 0.3);
    double right_second = max_x(drawn(30750).lit_vertices);
    EXPECT_NEAR(right_first - right_second, 25.0 - 15.0, 1e-3);
    double right_third = max_x(drawn(31500).lit_vertices);
    EXPECT_NEAR(right_second - right_third, 15.0 - 14.5, 1e-3);
}

} // namespace
