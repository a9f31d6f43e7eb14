// The bit tunnel: falling bits, the picture cycle, the star's growth, the
// spin, and the GL state it leaves behind.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cstdlib>

#include "show/scene2_bit_tunnel.h"
#include "show/scenes.h"
#include "scene_fixture.h"

namespace {

// Stand-in colours: only the six panel pictures are lit, each its own
// colour, so a panel's pixels show which slot it was drawn with.
const std::vector<std::pair<int, Rgb>> PANEL_COLOURS = {
    {5, {200, 0, 0}},   {6, {0, 200, 0}},   {7, {0, 0, 200}},
    {8, {200, 200, 0}}, {9, {0, 200, 200}}, {10, {200, 0, 200}},
};

struct BitTunnel : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(fixture_begin(PANEL_COLOURS));
        bit_tunnel = {};
    }
    void TearDown() override { fixture_end(); }

    void frame(double t) {
        fixture_enter_frame(t);
        run_bit_tunnel();
    }
};

TEST_F(BitTunnel, BitHeightsFallAndWrapAtMinusThree) {
    frame(80000);
    EXPECT_FLOAT_EQ(bit_tunnel.bit_heights[0], 4.95f);
    EXPECT_FLOAT_EQ(bit_tunnel.bit_heights[5], 9.95f);

    bit_tunnel.bit_heights[0] = -2.96f;
    bit_tunnel.bit_heights[1] = -2.9f;
    bit_tunnel.bit_heights[2] = -2.95f; // lands on -3.0: restarts too
    frame(80020);
    EXPECT_FLOAT_EQ(bit_tunnel.bit_heights[0], 3.0f);
    EXPECT_FLOAT_EQ(bit_tunnel.bit_heights[1], -2.95f);
    frame(80040);
    EXPECT_FLOAT_EQ(bit_tunnel.bit_heights[1], 3.0f);
    EXPECT_FLOAT_EQ(bit_tunnel.bit_heights[0], 2.95f);
}

TEST_F(BitTunnel, PictureIndexTwelveOnEntryShowsSlotFive) {
    demo.picture_index = 12;
    frame(77000);
    EXPECT_EQ(demo.picture_index, 5);
    // The last panel (bottom right) is drawn with index + 1.
    EXPECT_EQ(fixture_bound_texture(), texture_slots[6]);
    // Top row: slots 5, 6, 7 from the left; bottom row: 7, 5, 6.
    const struct {
        double x, y;
        int slot;
    } panels[] = {{-11, 5, 5}, {-9, 5, 6}, {-7, 5, 7}, {7, -5, 7}, {9, -5, 5}, {11, -5, 6}};
    for (const auto& panel : panels) {
        auto at = fixture_project(panel.x, panel.y, -25);
        Rgb seen = fixture_pixel(at[0], at[1]);
        const Rgb& want = PANEL_COLOURS[panel.slot - 5].second;
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(seen[c], want[c], 2) << panel.x << "," << panel.y;
    }
}

TEST_F(BitTunnel, PictureIndexWrapsOnlyFromNine) {
    demo.picture_index = 8;
    frame(78000);
    EXPECT_EQ(demo.picture_index, 8);
    EXPECT_EQ(fixture_bound_texture(), texture_slots[9]);
    demo.picture_index = 9;
    frame(78020);
    EXPECT_EQ(demo.picture_index, 5);
}

TEST_F(BitTunnel, StarGrowsFrom100000Not99999) {
    frame(99999);
    EXPECT_FLOAT_EQ(bit_tunnel.star_half_width, 2.5f);
    EXPECT_FLOAT_EQ(bit_tunnel.star_half_height, 2.5f);
    frame(100000);
    EXPECT_FLOAT_EQ(bit_tunnel.star_half_width, 3.3f);
    EXPECT_FLOAT_EQ(bit_tunnel.star_half_height, 3.0f);
    frame(100020);
    EXPECT_FLOAT_EQ(bit_tunnel.star_half_width, 4.1f);
    EXPECT_FLOAT_EQ(bit_tunnel.star_half_height, 3.5f);
}

TEST_F(BitTunnel, SpinAngleRisesPointTwoPerFrameAndGreetBeatsCountsFrames) {
    demo.spin_angle = 0.5f; // as scene 1 may leave it
    frame(77000);
    EXPECT_FLOAT_EQ(demo.spin_angle, 0.7f);
    frame(77020);
    EXPECT_FLOAT_EQ(demo.spin_angle, 0.9f);
    EXPECT_EQ(demo.greet_beats, 2);
}

// The outer tube's picture in a grey no other layer has: on the black
// background its wall shows in that grey.
constexpr Rgb TUNNEL_GREY = {100, 100, 100};

int tunnel_pixels() {
    return fixture_count_pixels([](const Rgb& c) {
        return std::abs(c[0] - TUNNEL_GREY[0]) <= 2 && c[0] == c[1] && c[1] == c[2];
    });
}

// Every test has a context of its own, and the tubes must show in each: the
// second round draws on a new context, as the next test does.
TEST_F(BitTunnel, TunnelShowsOnEveryTestsContext) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round > 0) {
            fixture_end();
            ASSERT_TRUE(fixture_begin(PANEL_COLOURS));
            bit_tunnel = {};
        }
        fixture_paint_slot(SLOT_BIN, TUNNEL_GREY);
        frame(90000);
        EXPECT_GT(tunnel_pixels(), FIXTURE_W * FIXTURE_H / 2);
    }
}

// The next frame starts from what this one leaves: blending and depth test
// on, identity modelview and texture matrices, no texture generation.
TEST_F(BitTunnel, LeavesTextureMatrixResetAndBlendAndDepthOn) {
    glMatrixMode(GL_TEXTURE);
    glRotatef(17, 1, 0, 0); // what scene 1 leaves behind
    glMatrixMode(GL_MODELVIEW);
    frame(90000);
    expect_identity(fixture_matrix(GL_TEXTURE_MATRIX));
    expect_identity(fixture_matrix(GL_MODELVIEW_MATRIX));
    EXPECT_EQ(fixture_int(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    GLint mode = 0;
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_SPHERE_MAP);
    EXPECT_EQ(fixture_int(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(fixture_int(GL_BLEND_DST), GL_ONE);
}

} // namespace
