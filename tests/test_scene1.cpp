// The opening scene: its script windows, its fades and decays, and the GL
// state it leaves for the next frame and the next scene.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cctype>
#include <cmath>
#include <cstring>

#include "demo/scene1_opening.h"
#include "demo/scenes.h"
#include "scene_fixture.h"

namespace {

struct OpeningScene : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(fixture_begin());
        opening_scene_reset();
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
    beat_scale = 1.0f;
    mark_texgen_mode();
    frame(15000);
    EXPECT_FLOAT_EQ(drift, 19.99f);
    EXPECT_FLOAT_EQ(beat_scale, 0.99f);
    EXPECT_EQ(texgen_mode(), GL_SPHERE_MAP);
    EXPECT_EQ(fixture_bound_texture(), texture_slots[SLOT_LOGO]);

    mark_texgen_mode();
    frame(15001);
    EXPECT_FLOAT_EQ(drift, 19.99f);
    EXPECT_FLOAT_EQ(beat_scale, 0.99f);
    EXPECT_EQ(texgen_mode(), GL_OBJECT_LINEAR);
    frame(19999);
    EXPECT_FLOAT_EQ(drift, 19.99f);
    EXPECT_EQ(intro_phase, 1);
    // No dots yet: the last binding is the background picture, blending on.
    EXPECT_EQ(fixture_bound_texture(), texture_slots[SLOT_LOGO]);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));

    beat_spin = 5.0f;
    frame(20000);
    EXPECT_FLOAT_EQ(drift, 19.98f);
    EXPECT_EQ(texgen_mode(), GL_SPHERE_MAP);
    EXPECT_EQ(intro_phase, 2);
    // The dots were drawn: env1 bound, their beat_spin step taken, and
    // blending, lighting and texture generation switched off after them.
    EXPECT_EQ(fixture_bound_texture(), texture_slots[SLOT_ENV1]);
    EXPECT_FLOAT_EQ(beat_spin, 4.9999f);
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
    EXPECT_EQ(chain_layout, 1);
    frame(25000);
    EXPECT_EQ(chain_layout, 2);
    frame(26000);
    EXPECT_EQ(chain_layout, 2);
}

// In the show's first frame the texture matrix is still selected, so the
// chain's placement and the background's translation land on it; the
// background's translation is what it keeps.
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
    EXPECT_NEAR(modelview[14], effect_z, 1e-6f);
}

// The background only rocks once it has fully faded in; each frame turns
// the texture matrix by spin_angle degrees about x, never resetting it.
TEST_F(OpeningScene, RockingStartsOnFirstFrameWithFadeAtOne) {
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    intro_fade = 0.9995f;
    wobble_phase = 0.0f;
    frame(16000);
    EXPECT_FLOAT_EQ(spin_angle, 0.0f);
    EXPECT_FLOAT_EQ(wobble_phase, 0.05f);
    EXPECT_NEAR(intro_fade, 1.0005f, 1e-6f);
    expect_identity(fixture_matrix(GL_TEXTURE_MATRIX));

    frame(16020);
    EXPECT_FLOAT_EQ(spin_angle, std::cos(0.1f));
    frame(16040);
    EXPECT_FLOAT_EQ(spin_angle, std::cos(0.15f));
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
    intro_fade = 0.0005f;
    frame(20000);
    EXPECT_NEAR(intro_fade, -0.0005f, 1e-6f);
    EXPECT_NEAR(logo_alpha, 1.001f, 1e-6f);
    float rocked = spin_angle;
    frame(20020);
    EXPECT_NEAR(intro_fade, -0.0015f, 1e-6f);
    EXPECT_FLOAT_EQ(spin_angle, rocked); // no rocking in phase 2
    EXPECT_FLOAT_EQ(wobble_phase, 0.0f);
}

TEST_F(OpeningScene, GreetingLineScrollsFrom25ThenFollowsSongTime) {
    frame(29999);
    EXPECT_FLOAT_EQ(scroller_x, 25.0f);
    frame(30000);
    EXPECT_FLOAT_EQ(scroller_x, 15.0f);
    frame(30750);
    EXPECT_FLOAT_EQ(scroller_x, 14.5f);
    frame(76999);
    EXPECT_FLOAT_EQ(scroller_x, static_cast<float>(35.0 - 76999.0 / 1500.0));
}

TEST_F(OpeningScene, EffectZMovesOnlyOnceFadeHasReachedZero) {
    intro_fade = 0.0015f;
    intro_phase = 2;
    frame(29000); // fade below zero soon, but no greeting line yet
    frame(29500);
    frame(29999);
    EXPECT_LT(intro_fade, 0.0f);
    EXPECT_FLOAT_EQ(effect_z, -6.1f);

    intro_fade = 0.0005f;
    frame(30000);
    EXPECT_FLOAT_EQ(effect_z, -6.1f);
    EXPECT_LT(intro_fade, 0.0f);
    frame(30020);
    EXPECT_FLOAT_EQ(effect_z, -6.09f);
    frame(30040);
    EXPECT_FLOAT_EQ(effect_z, -6.08f);
}

TEST_F(OpeningScene, BeatScaleDecaysToItsFloor) {
    beat_scale = 1.0f;
    for (int i = 0; i < 10; ++i)
        frame(1000);
    EXPECT_NEAR(beat_scale, 0.9f, 1e-5f);
    beat_scale = 0.755f;
    frame(1000);
    EXPECT_FLOAT_EQ(beat_scale, 0.75f);
    frame(1000);
    EXPECT_FLOAT_EQ(beat_scale, 0.75f);
    beat_scale = 1.0f; // no decay while the chain is hidden
    frame(17000);
    EXPECT_FLOAT_EQ(beat_scale, 1.0f);
}

TEST_F(OpeningScene, BeatLiftAndSpinDecayFromTwentySecondsAndFloor) {
    beat_lift = -1.3f;
    beat_spin = 0.00025f;
    frame(19999);
    EXPECT_FLOAT_EQ(beat_lift, -1.3f);
    EXPECT_FLOAT_EQ(beat_spin, 0.00025f);
    frame(20000);
    EXPECT_FLOAT_EQ(beat_lift, -1.305f);
    EXPECT_NEAR(beat_spin, 0.00015f, 1e-8f);
    frame(20020);
    frame(20040);
    EXPECT_FLOAT_EQ(beat_spin, 0.0f);
    for (int i = 0; i < 40; ++i)
        frame(21000);
    EXPECT_FLOAT_EQ(beat_lift, -1.5f);
    EXPECT_FLOAT_EQ(beat_spin, 0.0f);
}

TEST_F(OpeningScene, BeatGlowDecaysOnlyWithTheGreetingLineAndHasNoFloor) {
    beat_glow = 1.0f;
    frame(25000);
    EXPECT_FLOAT_EQ(beat_glow, 1.0f);
    frame(30000);
    EXPECT_FLOAT_EQ(beat_glow, 0.99f);
    beat_glow = 0.005f;
    frame(30020);
    EXPECT_FLOAT_EQ(beat_glow, -0.005f);
}

TEST_F(OpeningScene, CountsFramesInGreetBeats) {
    frame(100);
    frame(16000);
    frame(40000);
    EXPECT_EQ(greet_beats, 3);
}

} // namespace
