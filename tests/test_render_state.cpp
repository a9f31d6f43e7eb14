#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <filesystem>

#include "gfx/render_state.h"
#include "show/demo_rand.h"
#include "show/scene6_particle_finale.h"
#include "show/show_start.h"
#include "platform/offscreen.h"
#include "support/test_support.h"

namespace {

// The generator written out independently of demo_rand: returns the state
// after `draws` draws from the seed 1.
uint32_t lcg_state_after(int draws) {
    uint64_t state = 1;
    for (int i = 0; i < draws; ++i)
        state = (state * 214013u + 2531011u) % 4294967296u;
    return static_cast<uint32_t>(state);
}

void expect_fresh_spark(const Spark& s) {
    EXPECT_TRUE(s.alive);
    EXPECT_EQ(s.energy, 1.0f);
    EXPECT_EQ(s.red + s.green + s.blue, 0.0f);
    EXPECT_EQ(s.pos_x, 0.0f);
    EXPECT_EQ(s.pos_y, 0.0f);
    EXPECT_EQ(s.pos_z, 0.0f);
    EXPECT_EQ(s.acc_x, 0.0f);
    EXPECT_EQ(s.acc_y, 0.0f);
}

} // namespace

TEST(DemoRand, FirstValuesAndReset) {
    demo_rand_reset();
    EXPECT_EQ(demo_rand(), 41);
    EXPECT_EQ(demo_rand(), 18467);
    EXPECT_EQ(demo_rand(), 6334);
    EXPECT_EQ(demo_rand(), 26500);
    demo_rand_reset();
    EXPECT_EQ(demo_rand(), 41);
    EXPECT_EQ(demo_rand_state(), lcg_state_after(1));
}

TEST(DemoRand, StaysInFifteenBits) {
    demo_rand_reset();
    int low = 32767, high = 0;
    for (int i = 0; i < 100000; ++i) {
        int v = demo_rand();
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 32767);
}

TEST(SparkSets, FirstSparkTakesTheFirstFourDraws) {
    demo_rand_reset();
    finale_sparks.sparks_a[0].pos_x = 7.0f; // seeding starts from zeroed records
    finale_sparks_seed();
    const Spark& s = finale_sparks.sparks_a[0];
    expect_fresh_spark(s);
    EXPECT_FLOAT_EQ(s.decay, 0.044f);
    EXPECT_EQ(s.vel_x, -90.0f);
    EXPECT_EQ(s.vel_y, 90.0f);
    EXPECT_EQ(s.vel_z, -250.0f);
    EXPECT_EQ(s.acc_z, 0.0f);
}

TEST(SparkSets, SeedingDrawsExactly60000ValuesInSetOrder) {
    demo_rand_reset();
    finale_sparks_seed();
    EXPECT_EQ(demo_rand_state(), lcg_state_after(60000));

    // The last spark of sparks_c used draws 59997..60000.
    demo_rand_reset();
    for (int i = 0; i < 59996; ++i)
        demo_rand();
    int d1 = demo_rand(), d2 = demo_rand(), d3 = demo_rand(), d4 = demo_rand();
    const Spark& last = finale_sparks.sparks_c[SPARK_COUNT - 1];
    EXPECT_FLOAT_EQ(last.decay, static_cast<float>(d1 % 100) / 1000.0f + 0.003f);
    EXPECT_EQ(last.vel_x, static_cast<float>((d2 % 50 - 26) * 10));
    EXPECT_EQ(last.vel_y, static_cast<float>((d3 % 50 - 25) * 10));
    EXPECT_EQ(last.vel_z, static_cast<float>((d4 % 50 - 25) * 10));
}

TEST(SparkSets, EverySparkFreshWithItsSetsAcceleration) {
    demo_rand_reset();
    finale_sparks_seed();
    const Spark* sets[3] = {finale_sparks.sparks_a, finale_sparks.sparks_b, finale_sparks.sparks_c};
    const float acc_z[3] = {0.0f, -5.0f, 5.0f};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < SPARK_COUNT; ++i) {
            const Spark& s = sets[k][i];
            ASSERT_TRUE(s.alive && s.energy == 1.0f && s.pos_x == 0 && s.pos_y == 0 && s.pos_z == 0)
                << "set " << k << " spark " << i;
            ASSERT_EQ(s.acc_z, acc_z[k]);
            ASSERT_GE(s.decay, 0.003f - 1e-7f);
            ASSERT_LE(s.decay, 0.102f + 1e-7f);
            ASSERT_GE(s.vel_x, -260.0f);
            ASSERT_LE(s.vel_x, 230.0f);
            ASSERT_GE(s.vel_z, -250.0f);
            ASSERT_LE(s.vel_z, 240.0f);
        }
    }
}

class RenderStateGl : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(offscreen_begin(64, 48)); }
    void TearDown() override { offscreen_end(); }
};

TEST_F(RenderStateGl, ResizeViewSetsViewportAndPerspective) {
    resize_view(1024, 768);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 768);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    EXPECT_NEAR(projection[5], f, 1e-5);
    EXPECT_NEAR(projection[0], f / (1024.0 / 768.0), 1e-5);
    double near_plane = 0.1f, far_plane = 100.0;
    EXPECT_NEAR(projection[10], (far_plane + near_plane) / (near_plane - far_plane), 1e-5);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    resize_view(300, 0); // collapsed window: height 1, aspect 300
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[3], 1);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[0], f / 300.0, 1e-6);
}

TEST_F(RenderStateGl, FailedTextureSetLeavesEverythingUntouched) {
    std::string empty = temp_dir_make("render_state");
    WorkingDirGuard guard = working_dir_enter(empty);
    resize_view(64, 48);
    demo_rand_reset();
    EXPECT_FALSE(show_start_up());
    working_dir_leave(guard);
    temp_dir_remove(empty);

    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    GLint mode, blend_dst;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glGetIntegerv(GL_BLEND_DST, &blend_dst);
    EXPECT_EQ(blend_dst, GL_ZERO);
    EXPECT_EQ(demo_rand_state(), 1u); // no spark was seeded
}

// Start-up with the show's data: needs the generated pictures in the build's
// data directory.
TEST_F(RenderStateGl, StartUpLeavesTheFixedState) {
    if (!std::filesystem::exists(VM_DATA_DIR)) GTEST_SKIP() << "no generated data yet";
    WorkingDirGuard guard = working_dir_enter(VM_BINARY_DIR);
    resize_view(64, 48);
    demo_rand_reset();
    ASSERT_TRUE(show_start_up());
    working_dir_leave(guard);

    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    GLint value;
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_TEXTURE);
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE);
    glGetIntegerv(GL_FOG_MODE, &value);
    EXPECT_EQ(value, GL_EXP);
    GLfloat v4[4];
    glGetFloatv(GL_FOG_DENSITY, v4);
    EXPECT_FLOAT_EQ(v4[0], 0.025f);
    glGetFloatv(GL_FOG_COLOR, v4);
    EXPECT_FLOAT_EQ(v4[2], 0.2f);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, v4);
    EXPECT_FLOAT_EQ(v4[3], 0.5f);
    glGetLightfv(GL_LIGHT0, GL_POSITION, v4); // eye space: the modelview was identity
    EXPECT_FLOAT_EQ(v4[0], 1.0f);
    EXPECT_FLOAT_EQ(v4[1], 1.0f);
    EXPECT_FLOAT_EQ(v4[2], -2.0f);
    EXPECT_FLOAT_EQ(v4[3], 1.0f);
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, v4);
    EXPECT_FLOAT_EQ(v4[0], 1.5f);
    EXPECT_NE(quadric, nullptr);
    EXPECT_EQ(demo_rand_state(), lcg_state_after(60000));
}
