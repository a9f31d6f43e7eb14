// Flying words: the flight and its restarts, the word table's scales, the
// banner's speed and bright layer, and the state the scene leaves behind.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cmath>

#include "assets/outline_font.h"
#include "show/scene4_flying_words.h"
#include "show/scenes.h"
#include "scene_fixture.h"

namespace {

constexpr Rgb RED = {255, 0, 0}, GREEN = {0, 255, 0}, WHITE = {255, 255, 255};

// The banner mask is white (multiplying keeps the frame) and its two bright
// layers have their own colours; every other stand-in is black.
const std::vector<std::pair<int, Rgb>> BANNER_COLOURS = {
    {SLOT_S4_HEAD, WHITE}, {SLOT_S4_SCROLLER, RED}, {SLOT_S4_SCROLLER2, GREEN}};

struct FlyingWords : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(fixture_begin(BANNER_COLOURS));
        flying_words = {};
        build_outline_font();
    }
    void TearDown() override {
        release_outline_font();
        fixture_end();
    }
    void frame(double t = 130000) {
        fixture_enter_frame(t);
        run_flying_words();
    }
    // Where the last frame's text turned about: the modelview matrix the
    // scene leaves is the text's placement, scaled, and moved by half the
    // text's advance along its own x axis.
    std::array<double, 3> text_origin(const char* text) {
        auto m = fixture_matrix(GL_MODELVIEW_MATRIX);
        double advance = 0;
        for (const char* c = text; *c; ++c)
            advance += glyph_metrics[static_cast<unsigned char>(*c)].cell_inc_x;
        return {m[12] - advance / 2 * m[0], m[13] - advance / 2 * m[1], m[14] - advance / 2 * m[2]};
    }
    double text_scale() {
        auto m = fixture_matrix(GL_MODELVIEW_MATRIX);
        return std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    }
    void expect_origin(const char* text, double x, double y, double z, double tolerance) {
        auto o = text_origin(text);
        EXPECT_NEAR(o[0], x, tolerance) << text;
        EXPECT_NEAR(o[1], y, tolerance) << text;
        EXPECT_NEAR(o[2], z, tolerance) << text;
    }
};

// "The" starts at (5, -0.5, -12.5), advances 111 times, is drawn once more at
// its end position on the restart frame, and "Norwegian" follows from
// (5, -5, -12.5) for exactly 200 advancing frames.
TEST_F(FlyingWords, FirstFlightRestartsAfter111FramesLaterOnesAfter200) {
    frame();
    expect_origin("The", 5, -0.5, -12.5, 1e-4);
    EXPECT_EQ(flying_words.word_index, 1);
    for (int i = 1; i < 111; ++i)
        frame();
    EXPECT_EQ(flying_words.word_index, 1);
    EXPECT_FLOAT_EQ(demo.glyph_y, 5.0999942f);
    float spin_before = demo.spin_angle, banner_before = flying_words.banner_x;
    frame(); // the restart frame
    expect_origin("The", -0.55, 5.05, -4.175, 1e-3);
    EXPECT_EQ(flying_words.word_index, 2);
    EXPECT_FLOAT_EQ(demo.glyph_y, -15.0f);
    EXPECT_EQ(demo.spin_angle, spin_before);
    EXPECT_EQ(flying_words.banner_x, banner_before);

    frame();
    expect_origin("Norwegian", 5, -5, -12.5, 1e-4);
    for (int i = 1; i < 200; ++i)
        frame();
    EXPECT_EQ(flying_words.word_index, 2);
    EXPECT_FLOAT_EQ(demo.glyph_y, 5.0000186f);
    frame();
    EXPECT_EQ(flying_words.word_index, 3);
}

TEST_F(FlyingWords, ShortHandlesAreScaledDown) {
    const int rows[] = {7, 9, 10, 8, 1};
    const double scales[] = {0.6, 0.7, 0.7, 1.0, 1.0};
    for (int i = 0; i < 5; ++i) {
        flying_words.word_index = rows[i];
        demo.glyph_y = 0.0f;
        frame();
        EXPECT_NEAR(text_scale(), scales[i], 1e-5) << FLYING_WORDS[rows[i] - 1].text;
    }
}

// Past the table no text moves the matrix, but drift and the flight go on.
TEST_F(FlyingWords, NoTextFromWordIndex13WhileFlightAndDriftGoOn) {
    flying_words.word_index = 13;
    demo.glyph_x = 10, demo.glyph_y = 0, demo.glyph_z = -20;
    frame();
    EXPECT_NEAR(text_scale(), 1.0, 1e-6);
    expect_origin("", 5, 2.5, -12.5, 1e-5);
    EXPECT_FLOAT_EQ(demo.drift, 19.99f);
    EXPECT_FLOAT_EQ(demo.glyph_y, 0.1f);
    demo.glyph_y = 5.0f;
    frame();
    EXPECT_EQ(flying_words.word_index, 14);
    EXPECT_FLOAT_EQ(demo.glyph_y, -15.0f);
    EXPECT_FLOAT_EQ(demo.drift, 19.98f);
}

TEST_F(FlyingWords, BannerSpeedFollowsSongTime) {
    demo.glyph_y = 0.0f;
    float before = flying_words.banner_x;
    frame(150000);
    EXPECT_NEAR(before - flying_words.banner_x, 0.03, 1e-6);
    before = flying_words.banner_x;
    frame(121800);
    EXPECT_NEAR(before - flying_words.banner_x, 0.02436, 1e-6);
    EXPECT_FLOAT_EQ(demo.spin_angle, 0.18f);
}

// The banner's bright layer is the slot scroller_index names; a note flips
// it for the next frame.
TEST_F(FlyingWords, BannerShowsTheScrollerPictureTheNotesChoose) {
    flying_words.banner_x = 0.0f;
    demo.glyph_y = 0.0f;
    auto at = fixture_project(-4, 0, -20);
    frame();
    Rgb seen = fixture_pixel(at[0], at[1]);
    EXPECT_GT(seen[0], 200);
    EXPECT_LT(seen[1], 30);

    demo.current_scene = 4;
    beat_callback(nullptr, 0);
    EXPECT_EQ(demo.scroller_index, 25);
    frame();
    seen = fixture_pixel(at[0], at[1]);
    EXPECT_LT(seen[0], 30);
    EXPECT_GT(seen[1], 200);
}

// The frame ends with blending on, lighting off, the one, one blend function
// and the texture matrix back at identity, which the next scenes rely on.
TEST_F(FlyingWords, LeavesAdditiveBlendingAndTextureMatrixAtIdentity) {
    demo.spin_angle = 33.0f;
    frame();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_EQ(fixture_int(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(fixture_int(GL_BLEND_DST), GL_ONE);
    EXPECT_EQ(fixture_int(GL_MATRIX_MODE), GL_MODELVIEW);
    expect_identity(fixture_matrix(GL_TEXTURE_MATRIX));
    EXPECT_EQ(demo.bar_mode, 2);
}

} // namespace
