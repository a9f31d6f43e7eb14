// Sphere greetings: the spin and stripe wraps, the cluster's growth, the
// greeting label, and the blend function the scene leaves to the rest of
// the show.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "show/scene3_sphere_greetings.h"
#include "show/scenes.h"
#include "scene_fixture.h"

namespace {

// Stand-in colours: the logo mask is white (multiplying by it keeps the
// frame), the first two greeting labels have their own colours, the rest is
// black so that the additive layers add nothing.
const std::vector<std::pair<int, Rgb>> LABEL_COLOURS = {
    {SLOT_LOGO3, {255, 255, 255}},
    {SLOT_GREETZ1, {0, 180, 0}},
    {SLOT_GREETZ1 + 1, {180, 0, 180}},
};

struct SphereGreetings : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(fixture_begin(LABEL_COLOURS));
        sphere_greetings = {};
    }
    void TearDown() override { fixture_end(); }

    void frame(double t) {
        fixture_enter_frame(t);
        run_sphere_greetings();
    }
    Rgb label_pixel() {
        auto at = fixture_project(-1.35, 0.87, -5);
        return fixture_pixel(at[0], at[1]);
    }
};

TEST_F(SphereGreetings, SpinAngleWrapsAt360) {
    demo.spin_angle = 359.5f;
    frame(110000);
    EXPECT_FLOAT_EQ(demo.spin_angle, 0.0f);
    demo.spin_angle = 358.9f;
    frame(110020);
    EXPECT_FLOAT_EQ(demo.spin_angle, 359.9f);
    frame(110040);
    EXPECT_FLOAT_EQ(demo.spin_angle, 0.0f);
}

TEST_F(SphereGreetings, StripesFallAndWrapBelowMinusPoint825) {
    frame(103000);
    EXPECT_FLOAT_EQ(sphere_greetings.stripe_heights[0], 0.995f);
    EXPECT_FLOAT_EQ(sphere_greetings.stripe_heights[8], 2.635f);

    sphere_greetings.stripe_heights[0] = -0.8225f;
    sphere_greetings.stripe_heights[1] = -0.815f;
    frame(103020);
    EXPECT_FLOAT_EQ(sphere_greetings.stripe_heights[0], 1.0f);
    EXPECT_FLOAT_EQ(sphere_greetings.stripe_heights[1], -0.82f);
    frame(103040);
    EXPECT_FLOAT_EQ(sphere_greetings.stripe_heights[1], 1.0f); // -0.825 restarts as well
}

TEST_F(SphereGreetings, ClusterGrowsOnlyWhileGreetBeatsAtLeastTen) {
    demo.greet_beats = 9;
    frame(104000);
    EXPECT_FLOAT_EQ(sphere_greetings.sphere_zoom, 1.0f);
    demo.greet_beats = 10;
    frame(104020);
    EXPECT_FLOAT_EQ(sphere_greetings.sphere_zoom, 1.1f);
    frame(104040);
    EXPECT_FLOAT_EQ(sphere_greetings.sphere_zoom, 1.2f);
    EXPECT_EQ(demo.greet_beats, 10); // frames do not count here, notes do
}

TEST_F(SphereGreetings, LabelShowsSlot43UntilTheFirstNote) {
    frame(102500);
    frame(102520);
    EXPECT_EQ(demo.greet_index, 43);
    EXPECT_EQ(fixture_bound_texture(), texture_slots[SLOT_GREETZ1]);
    Rgb seen = label_pixel();
    EXPECT_NEAR(seen[1], 180, 2);
    EXPECT_NEAR(seen[0], 0, 2);

    demo.current_scene = 3;
    beat_callback(nullptr, 0);
    EXPECT_EQ(demo.greet_index, 44);
    frame(102540);
    EXPECT_EQ(fixture_bound_texture(), texture_slots[SLOT_GREETZ1 + 1]);
    seen = label_pixel();
    EXPECT_NEAR(seen[0], 180, 2);
    EXPECT_NEAR(seen[1], 0, 2);
}

// The logo and the label leave one, one blending for every later scene;
// depth testing is back on and blending off.
TEST_F(SphereGreetings, LeavesBlendFunctionOneOneAndDepthTestOn) {
    frame(106000);
    EXPECT_EQ(fixture_int(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(fixture_int(GL_BLEND_DST), GL_ONE);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(fixture_int(GL_MATRIX_MODE), GL_MODELVIEW);
    auto modes = fixture_polygon_mode();
    EXPECT_EQ(modes[0], GL_FILL);
}

// The spheres' picture a dark blue, the only blue of the frame: the cluster
// and the huge outer sphere around the view add it to every pixel they
// cover (some thirty layers where the cluster is, still short of 255).
constexpr Rgb SPHERE_BLUE = {0, 0, 16};

int sphere_pixels() {
    return fixture_count_pixels([](const Rgb& c) { return c[2] > 0; });
}

// Every test has a context of its own, and the spheres must show in each:
// the second round draws on a new context, as the next test does.
TEST_F(SphereGreetings, SpheresShowOnEveryTestsContext) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round > 0) {
            fixture_end();
            ASSERT_TRUE(fixture_begin(LABEL_COLOURS));
            sphere_greetings = {};
        }
        fixture_paint_slot(SLOT_ENV1, SPHERE_BLUE);
        frame(108000);
        EXPECT_EQ(sphere_pixels(), FIXTURE_W * FIXTURE_H);
    }
}

// Every layer adds to the frame (black stand-ins add nothing), so only the
// scene's own clear can take away what was drawn before it.
TEST_F(SphereGreetings, ClearsTheFrameAgainBeforeAddingItsLayers) {
    fixture_enter_frame(108000);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0.5f);
    run_sphere_greetings();
    Rgb corner = fixture_pixel(1, FIXTURE_H - 2);
    EXPECT_EQ(corner[0], 0);
    EXPECT_EQ(corner[1], 0);
    EXPECT_EQ(corner[2], 0);
}

} // namespace
