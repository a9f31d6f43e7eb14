// The long-run check finds a non-finite value wherever the show keeps one.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gfx/render_state.h"
#include "show/demo_state.h"
#include "show/scene2_bit_tunnel.h"
#include "show/scene3_sphere_greetings.h"
#include "show/scene5_landscape.h"
#include "show/demo_rand.h"
#include "show/scene6_particle_finale.h"
#include "show/scenes.h"
#include "show/show_check.h"

namespace {

struct ShowCheck : ::testing::Test {
    void SetUp() override {
        demo = {};
        bit_tunnel = {};
        sphere_greetings = {};
        landscape = {};
        finale = {};
        demo_rand_reset();
        finale_sparks_seed();
    }
};

TEST_F(ShowCheck, FreshStateIsFinite) {
    EXPECT_TRUE(show_state_finite());
}

TEST_F(ShowCheck, FindsANonFiniteValueInEveryKindOfState) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    float* places[] = {&demo.spin_angle,
                       &demo.beat_lift,
                       &bit_tunnel.bit_heights[5],
                       &sphere_greetings.stripe_heights[8],
                       &landscape.message_x,
                       &finale.flow_z,
                       &finale_sparks.sparks_a[0].pos_x,
                       &finale_sparks.sparks_c[4999].vel_z,
                       &finale_sparks.sparks_b[2500].energy};
    for (float* place : places) {
        float kept = *place;
        *place = nan;
        EXPECT_FALSE(show_state_finite());
        *place = -inf;
        EXPECT_FALSE(show_state_finite());
        *place = kept;
        EXPECT_TRUE(show_state_finite());
    }
}

} // namespace
