// Particle finale: the spark motion and respawns, the stages, the end
// picture's schedule and opacity, the tunnel's flash decay, and finite
// positions through near-zero divisors.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cmath>
#include <cstring>
#include <vector>

#include "show/demo_rand.h"
#include "show/frame.h"
#include "show/scene6_particle_finale.h"
#include "show/scenes.h"
#include "scene_fixture.h"

namespace {

constexpr Rgb RED = {255, 0, 0}, GREEN = {0, 255, 0}, BLUE = {0, 0, 255};

// The first end picture is red, the second green and the last blue; the
// sparks, the tunnel and the banners are black.
const std::vector<std::pair<int, Rgb>> END_COLOURS = {
    {SLOT_END1, RED}, {SLOT_END1 + 1, GREEN}, {SLOT_END5, BLUE}};

struct ParticleFinale : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(fixture_begin(END_COLOURS));
        finale = {};
        demo_rand_reset();
        finale_sparks_seed();
    }
    void TearDown() override {
        frame_driver_reset();
        fixture_end();
    }
    void frame(double t = 270000) {
        fixture_enter_frame(t);
        run_particle_finale();
    }
    Rgb centre() { return fixture_pixel(FIXTURE_W / 2, FIXTURE_H / 2); }
    bool all_finite() {
        for (const Spark* set :
             {finale_sparks.sparks_a, finale_sparks.sparks_b, finale_sparks.sparks_c})
            for (int i = 0; i < SPARK_COUNT; ++i)
                if (!std::isfinite(set[i].pos_x) || !std::isfinite(set[i].pos_y) ||
                    !std::isfinite(set[i].pos_z))
                    return false;
        return true;
    }
};

// On the first frame flow_z is 0, so sparks_a's z divisor is exactly zero:
// z stays put while x and y move by their velocity over 2000.
TEST_F(ParticleFinale, FirstFrameMovesTheFirstSparkAndKeepsZUnderAZeroDivisor) {
    frame();
    const Spark& s = finale_sparks.sparks_a[0];
    EXPECT_FLOAT_EQ(s.pos_x, 0.045f);
    EXPECT_FLOAT_EQ(s.pos_y, -0.045f);
    EXPECT_EQ(s.pos_z, 0.0f);
    EXPECT_EQ(s.vel_x, -90.0f + s.acc_x);
    EXPECT_TRUE(all_finite());
}

// A step too large for a float keeps the coordinate for that frame.
TEST_F(ParticleFinale, StepTooLargeForAFloatLeavesTheCoordinate) {
    finale.flow_z = 1e-45f; // the smallest float: the divisor is about 3e-42
    finale_sparks.sparks_a[0].pos_z = 2.5f;
    frame();
    EXPECT_EQ(finale_sparks.sparks_a[0].pos_z, 2.5f);
    EXPECT_TRUE(all_finite());
}

// The angles keep growing; near-zero divisors fling sparks far out but every
// position stays finite.
TEST_F(ParticleFinale, PositionsStayFiniteThroughManyFrames) {
    demo.end_beats = 45;
    for (int i = 0; i < 150; ++i) {
        frame(270000 + i * 17);
        ASSERT_TRUE(all_finite()) << "frame " << i;
    }
    EXPECT_EQ(demo.end_stage, 4);
}

// A spent spark respawns with four draws in the order decay, vel_x, vel_y,
// vel_z, at its set's respawn point and colour.
TEST_F(ParticleFinale, RespawnDrawsDecayThenVelocitiesFromTheSharedSequence) {
    uint32_t state = demo_rand_state();
    int draws[4];
    for (int& d : draws)
        d = demo_rand();
    // Rewind to where start-up left the generator: reseed, which makes the
    // same 60000 draws again.
    demo_rand_reset();
    finale_sparks_seed();
    ASSERT_EQ(demo_rand_state(), state);

    finale_sparks.sparks_a[3].energy = 0.001f;
    frame();
    const Spark& s = finale_sparks.sparks_a[3];
    EXPECT_FLOAT_EQ(s.energy, 1.0f);
    EXPECT_FLOAT_EQ(s.decay, static_cast<float>(draws[0] % 100 / 1000.0 + 0.003));
    EXPECT_EQ(s.vel_x, static_cast<float>(draws[1] % 60 - 32));
    EXPECT_EQ(s.vel_y, static_cast<float>(draws[2] % 60 - 30));
    EXPECT_EQ(s.vel_z, static_cast<float>(draws[3] % 60 - 30));
    EXPECT_EQ(s.pos_x, 0.0f); // (sin 0, sin 0, cos 0)
    EXPECT_EQ(s.pos_y, 0.0f);
    EXPECT_EQ(s.pos_z, 1.0f);
    EXPECT_FLOAT_EQ(s.red, 0.1f);
    EXPECT_FLOAT_EQ(s.blue, 0.3f);
    EXPECT_NE(demo_rand_state(), state);
}

// The ring sets keep their depth on a stage-1 respawn and restart at depth 0
// from stage 2 on; sparks_c is green.
TEST_F(ParticleFinale, RingRespawnKeepsDepthOnlyInStageOne) {
    finale_sparks.sparks_b[0].pos_z = 7.0f;
    finale_sparks.sparks_b[0].vel_z = 0.0f;
    finale_sparks.sparks_b[0].energy = 0.001f;
    frame();
    EXPECT_EQ(finale_sparks.sparks_b[0].pos_z, 7.0f);
    EXPECT_FLOAT_EQ(finale_sparks.sparks_b[0].pos_x,
                    15.0f); // 15 cos 0, taken before the ring turns

    demo.end_stage = 2;
    finale_sparks.sparks_c[0].pos_z = 7.0f;
    finale_sparks.sparks_c[0].energy = 0.001f;
    float angle = finale.ring_angle_c;
    frame();
    EXPECT_EQ(finale_sparks.sparks_c[0].pos_z, 0.0f);
    EXPECT_FLOAT_EQ(finale_sparks.sparks_c[0].pos_x,
                    static_cast<float>(15 * std::cos(double(angle))));
    EXPECT_FLOAT_EQ(finale_sparks.sparks_c[0].pos_y,
                    static_cast<float>(15 * std::sin(double(angle))));
    EXPECT_FLOAT_EQ(finale_sparks.sparks_c[0].green, 0.3f);
}

TEST_F(ParticleFinale, StageFollowsTheNotesHeard) {
    const int32_t beats[] = {19, 20, 39, 40, 60};
    const int32_t stages[] = {1, 2, 2, 4, 4};
    const float flow_y_steps[] = {0.05f, 0.005f, 0.005f, 0.05f, 0.05f};
    for (int i = 0; i < 5; ++i) {
        demo.end_beats = beats[i];
        demo.end_stage = 1;
        float before = finale.flow_y;
        frame();
        EXPECT_EQ(demo.end_stage, stages[i]) << beats[i];
        EXPECT_NEAR(finale.flow_y - before, flow_y_steps[i], 1e-6) << beats[i];
    }
}

// Stage 1 draws the end picture fully transparent and does not count frames;
// stage 2 pulses it in with sin(ring_angle_b / 5).
TEST_F(ParticleFinale, EndPictureHiddenInStageOneThenPulsesIn) {
    finale.ring_angle_b = 7.75f; // sin((7.75 + 0.1) / 5) is almost 1
    frame();
    EXPECT_EQ(finale.end_frames, 0);
    Rgb seen = centre();
    EXPECT_LT(seen[0], 20);

    demo.end_beats = 20;
    finale.ring_angle_b = 7.75f;
    frame();
    EXPECT_EQ(finale.end_frames, 1);
    seen = centre();
    EXPECT_GT(seen[0], 230);

    finale.ring_angle_b = 2.5f; // sin(0.52): about half
    frame();
    seen = centre();
    EXPECT_NEAR(seen[0], 255 * std::sin(0.52), 8);
}

// At exactly 2000 the pulse still sets the opacity; from 2001 it is opaque.
TEST_F(ParticleFinale, EndPictureOpaqueAfter2000Frames) {
    demo.end_beats = 20;
    finale.end_frames = 2000;
    finale.ring_angle_b = 2.5f; // sin(2.6 / 5): about half
    frame();
    EXPECT_EQ(finale.end_frames, 2001);
    EXPECT_EQ(finale.end_picture, SLOT_END5);
    EXPECT_NEAR(centre()[2], 255 * std::sin(0.52), 8);

    finale.ring_angle_b = 2.5f;
    frame();
    EXPECT_GT(centre()[2], 245);
}

TEST_F(ParticleFinale, EndPictureScheduleInFramesOfStageTwo) {
    demo.end_beats = 20;
    const int32_t before[] = {0, 598, 599, 899, 1199, 1599, 1899, 2500};
    const int32_t slots[] = {57, 57, 58, 59, 60, 61, 62, 62};
    for (int i = 0; i < 8; ++i) {
        finale.end_frames = before[i];
        finale.end_picture = SLOT_END1;
        frame();
        EXPECT_EQ(finale.end_picture, slots[i]) << before[i] + 1;
    }
    // The second picture is on screen from frame 600.
    finale.end_frames = 599;
    finale.ring_angle_b = 7.75f;
    frame();
    Rgb seen = centre();
    EXPECT_GT(seen[1], 230);
    EXPECT_LT(seen[0], 20);
}

TEST_F(ParticleFinale, TunnelFlashDecaysToItsFloor) {
    demo.end_pulse = 1.0f;
    frame();
    EXPECT_FLOAT_EQ(demo.end_pulse, 0.95f);
    demo.end_pulse = 0.17f;
    frame();
    EXPECT_FLOAT_EQ(demo.end_pulse, 0.15f);
    EXPECT_FLOAT_EQ(demo.spin_angle, 0.2f);
}

// The wire picture white and the flash at full: the fogged tunnel shows in
// greys, the only grey in the frame (sparks and banners are black, the end
// picture hidden in stage 1).
int tunnel_pixels() {
    return fixture_count_pixels(
        [](const Rgb& c) { return c[0] > 0 && c[0] == c[1] && c[1] == c[2]; });
}

// Every test has a context of its own, and the tunnel must show in each:
// the second round draws on a new context, as the next test does.
TEST_F(ParticleFinale, TunnelShowsOnEveryTestsContext) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round > 0) {
            fixture_end();
            ASSERT_TRUE(fixture_begin(END_COLOURS));
            finale = {};
        }
        fixture_paint_slot(SLOT_WIRE, {255, 255, 255});
        demo.end_pulse = 1.0f;
        frame();
        EXPECT_GT(tunnel_pixels(), FIXTURE_W * FIXTURE_H / 3);
    }
}

TEST_F(ParticleFinale, LeavesLightingOnDepthTestOffAndSourceAlphaBlending) {
    frame();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_EQ(fixture_int(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(fixture_int(GL_BLEND_DST), GL_ONE);
    expect_identity(fixture_matrix(GL_TEXTURE_MATRIX));
    EXPECT_EQ(fixture_bound_texture(), texture_slots[SLOT_INTRODOWN]);
    EXPECT_EQ(demo.bar_mode, 2);
}

// Everything the finale keeps between steps: its numbers, the three spark
// sets, the position in the shared random sequence, and GL's state.
std::vector<float> finale_state() {
    std::vector<float> state = {finale.flow_x,
                                finale.flow_y,
                                finale.flow_z,
                                finale.ring_angle_b,
                                finale.ring_angle_c,
                                demo.end_pulse,
                                demo.spin_angle,
                                float(finale.end_frames),
                                float(demo.end_stage),
                                float(finale.end_picture),
                                float(demo_rand_state() >> 16),
                                float(demo_rand_state() & 0xFFFF)};
    for (const Spark* set :
         {finale_sparks.sparks_a, finale_sparks.sparks_b, finale_sparks.sparks_c})
        for (int i = 0; i < SPARK_COUNT; ++i) {
            const Spark& p = set[i];
            state.insert(state.end(),
                         {float(p.alive), p.energy, p.decay, p.pos_x, p.pos_y, p.pos_z, p.vel_x,
                          p.vel_y, p.vel_z, p.acc_x, p.acc_y, p.acc_z, p.red, p.green, p.blue});
        }
    std::vector<float> gl = fixture_gl_state();
    state.insert(state.end(), gl.begin(), gl.end());
    return state;
}

// A step nobody sees leaves the sparks out of the picture, but everything
// later steps read is as a drawn step leaves it: through all three stages,
// respawns and the end pictures.
TEST_F(ParticleFinale, StepNobodySeesLeavesTheSameStateAsADrawnOne) {
    std::vector<float> after[2];
    for (int cheap = 0; cheap < 2; ++cheap) {
        demo = {};
        finale = {};
        demo_rand_reset();
        finale_sparks_seed();
        demo.end_stage = 1;
        // GL's current values as the step before might leave them.
        glNormal3f(0.5f, 0.25f, 0.125f);
        glTexCoord4f(0.5f, 0.25f, 0.125f, 2.0f);
        for (int step = 0; step < 150; ++step) {
            demo.end_beats = step / 3; // stage 2 from the 60th step on, stage 4 from the 120th
            frame_driver.step_drawn = cheap == 0;
            frame(270000 + step * 17);
        }
        after[cheap] = finale_state();
    }
    EXPECT_EQ(demo.end_stage, 4);
    EXPECT_GT(finale.end_frames, 0);
    ASSERT_EQ(after[0].size(), after[1].size());
    for (size_t i = 0; i < after[0].size(); ++i)
        ASSERT_EQ(std::memcmp(&after[0][i], &after[1][i], sizeof(float)), 0) << "value " << i;
}

} // namespace
