// Landscape: the credits wrap and picture, the scrolling speed, the sliding
// planes and the saucer, the two message lines printed whole, and the state
// the scene leaves for the finale.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <algorithm>
#include <cstring>

#include "assets/outline_font.h"
#include "show/scene5_landscape.h"
#include "show/scenes.h"
#include "scene_fixture.h"

namespace {

constexpr Rgb RED = {255, 0, 0}, BLUE = {0, 0, 255};

// The first and last credits pictures have their own colours; the landscape
// is black, so that only fog tints it.
const std::vector<std::pair<int, Rgb>> CREDIT_COLOURS = {{SLOT_CODE, RED}, {SLOT_ADD3, BLUE}};

struct Landscape : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(fixture_begin(CREDIT_COLOURS));
        landscape = {};
        build_outline_font();
    }
    void TearDown() override {
        release_outline_font();
        fixture_end();
    }
    void frame(double t = 170000) {
        fixture_enter_frame(t);
        run_landscape();
    }
    Rgb centre() { return fixture_pixel(FIXTURE_W / 2, FIXTURE_H / 2); }
};

TEST(LandscapeMessages, AreOneLineOfPlainCharactersAtMostTheBufferLong) {
    const char* lines[] = {UPPER_MESSAGE, LOWER_MESSAGE};
    const size_t lengths[] = {254, 255};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(strlen(lines[i]), lengths[i]);
        for (const char* c = lines[i]; *c; ++c) {
            EXPECT_GE(*c, 32) << lines[i];
            EXPECT_LE(*c, 122) << lines[i];
            EXPECT_NE(*c, '%');
        }
    }
}

// A note count past the last picture starts the cycle again at "code"; the
// credits are added in front of the landscape with their own colours.
TEST_F(Landscape, CreditIndex43ShowsSlot37And42ShowsSlot42) {
    demo.credit_index = 43;
    frame();
    EXPECT_EQ(demo.credit_index, 37);
    Rgb seen = centre();
    EXPECT_GT(seen[0], 200);
    EXPECT_LT(seen[2], 60);

    demo.credit_index = 42;
    frame();
    EXPECT_EQ(demo.credit_index, 42);
    seen = centre();
    EXPECT_LT(seen[0], 60);
    EXPECT_GT(seen[2], 200);
}

// The credits add onto whatever lies behind them, never hiding it.
TEST_F(Landscape, CreditsAddOntoTheFrame) {
    demo.credit_index = 39; // a black stand-in: adds nothing
    frame();
    Rgb behind = centre();
    demo.credit_index = 37;
    frame();
    Rgb seen = centre();
    EXPECT_GE(seen[1], behind[1]);
    EXPECT_GE(seen[2], behind[2]);
    EXPECT_GT(seen[0], 200);
}

TEST_F(Landscape, MessagesScrollFasterAsTheSongGoesOn) {
    frame(200000);
    EXPECT_NEAR(60.0f - landscape.message_x, 0.04, 1e-6);
    float before = landscape.message_x;
    frame(260000 - 1);
    EXPECT_NEAR(before - landscape.message_x, 0.052, 1e-5);
}

TEST_F(Landscape, WaterTreesAndSaucerMoveByFixedStepsPerFrame) {
    for (int i = 0; i < 100; ++i)
        frame(160000 + i * 17);
    EXPECT_NEAR(landscape.water_z, -4.0f, 1e-4);
    EXPECT_NEAR(landscape.ufo_x, -10.0f, 1e-3);
    EXPECT_EQ(demo.bar_mode, 2);
}

// The frame ends with the fog and lighting off, blending on and the one, one
// blend function, which the finale's first frame starts from.
TEST_F(Landscape, LeavesAdditiveBlendingWithoutFogOrLighting) {
    frame();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_EQ(fixture_int(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(fixture_int(GL_BLEND_DST), GL_ONE);
    EXPECT_EQ(fixture_bound_texture(), texture_slots[SLOT_UFO]);
}

// Both lines are drawn whole: the first line's glyphs run left to right, then
// the second line starts again at the left.  Each line's ink spans exactly
// from its first glyph's left edge to its last glyph's right edge, centred on
// message_x by the sum of its advances.
struct InkSpan {
    double left, right;
};
InkSpan expected_span(const char* text, double centre) {
    double advance = 0;
    size_t n = strlen(text);
    for (size_t i = 0; i < n; ++i)
        advance += glyph_metrics[static_cast<unsigned char>(text[i])].cell_inc_x;
    double start = centre - advance / 2;
    const GlyphMetricsFloat& first = glyph_metrics[static_cast<unsigned char>(text[0])];
    const GlyphMetricsFloat& last = glyph_metrics[static_cast<unsigned char>(text[n - 1])];
    double last_start = start + advance - last.cell_inc_x;
    return {start + first.origin_x, last_start + last.origin_x + last.black_box_x};
}

TEST_F(Landscape, BothMessagesArePrintedInFull) {
    FixtureOrtho view = fixture_ortho(100, 75);
    landscape.message_x = 0.0f;
    std::vector<std::array<double, 3>> points;
    for (const ScenePrimitive& p : fixture_feedback([&] { frame(); }))
        for (const auto& v : p.vertices)
            points.push_back(fixture_eye(view, v));
    // The messages come first; the second line starts where x jumps back
    // from the far right to the far left.
    InkSpan upper = expected_span(UPPER_MESSAGE, 0), lower = expected_span(LOWER_MESSAGE, 0);
    size_t split = 0, end = 0;
    for (size_t i = 1; i < points.size() && end == 0; ++i) {
        bool jump_left = points[i][0] < points[i - 1][0] - 50;
        if (jump_left && split == 0)
            split = i;
        else if (jump_left || (split && std::abs(points[i][2] + 10.1) > 0.11))
            end = i;
    }
    ASSERT_GT(split, 0u);
    ASSERT_GT(end, split);
    auto span_of = [&](size_t from, size_t to) {
        InkSpan s{1e9, -1e9};
        for (size_t i = from; i < to; ++i) {
            s.left = std::min(s.left, points[i][0]);
            s.right = std::max(s.right, points[i][0]);
        }
        return s;
    };
    InkSpan seen_upper = span_of(0, split), seen_lower = span_of(split, end);
    EXPECT_NEAR(seen_upper.left, upper.left, 0.02);
    EXPECT_NEAR(seen_upper.right, upper.right, 0.02);
    EXPECT_NEAR(seen_lower.left, lower.left, 0.02);
    EXPECT_NEAR(seen_lower.right, lower.right, 0.02);
}

} // namespace
