#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>

#include "assets/texture_set.h"
#include "show/demo_state.h"
#include "show/frame.h"
#include "platform/offscreen.h"
#include "support/gl_feedback.h"

namespace {

TEST(Timeline, SceneBoundaries) {
    struct Row {
        double t;
        int32_t scene;
    };
    const Row rows[] = {{0, 1},      {76999, 1},  {77000, 2},   {102499, 2},
                        {102500, 3}, {121799, 3}, {121800, 4},  {159759, 4},
                        {159760, 5}, {259999, 5}, {260000, 6},  {260009, 6},
                        {260010, 6}, {299999, 6}, {76999.5, 1}, {77000.5, 2}};
    for (const Row& row : rows) {
        demo.current_scene = 99;
        apply_timeline(row.t);
        EXPECT_EQ(demo.current_scene, row.scene) << "t = " << row.t;
    }
}

TEST(Timeline, TimesOutsideTheShowKeepTheScene) {
    for (double t : {-1.0, -100000.0, 300000.0, 300001.0, 1e9}) {
        for (int32_t scene : {1, 4, 6}) {
            demo.current_scene = scene;
            apply_timeline(t);
            EXPECT_EQ(demo.current_scene, scene) << "t = " << t;
        }
    }
}

TEST(Timeline, FirstTenMillisecondsOfSceneSixResetTheEnding) {
    for (double t : {260000.0, 260005.0, 260009.0}) {
        demo.end_beats = 17;
        demo.end_stage = 4;
        apply_timeline(t);
        EXPECT_EQ(demo.end_beats, 1) << t;
        EXPECT_EQ(demo.end_stage, 1) << t;
    }
    for (double t : {259999.0, 260010.0, 270000.0, 300000.0, -1.0}) {
        demo.end_beats = 17;
        demo.end_stage = 4;
        apply_timeline(t);
        EXPECT_EQ(demo.end_beats, 17) << t;
        EXPECT_EQ(demo.end_stage, 4) << t;
    }
}

constexpr int VIEW = 400;
constexpr float HALF = 20.0f;

class FrameGl : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(offscreen_begin(VIEW, VIEW));
        demo = {};
        glGenTextures(TEXTURE_COUNT, texture_slots);
        // Wide orthographic view so that both bar layouts are seen whole;
        // no scene runs (scene 0 and a clock before the show).
        glViewport(0, 0, VIEW, VIEW);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-HALF, HALF, -HALF, HALF, 0.0, 100.0);
        glMatrixMode(GL_MODELVIEW);
        demo.current_scene = 0;
        frame_driver_reset();
        frame_driver.step_ms = -1;
    }
    void TearDown() override {
        frame_driver_reset();
        offscreen_end();
        for (uint32_t& name : texture_slots)
            name = 0;
    }
};

struct BarVertex {
    float x, y, z, s, t;
};

std::vector<BarVertex> frame_vertices() {
    std::vector<BarVertex> out;
    for (const FeedbackPrimitive& p : feedback_capture([] { EXPECT_TRUE(render_frame()); }))
        for (const FeedbackVertex& v : p.vertices)
            out.push_back({v.x * 2 * HALF / VIEW - HALF, v.y * 2 * HALF / VIEW - HALF,
                           -v.z * 100.0f, v.s, v.t});
    return out;
}

void expect_tail_state() {
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    GLint bound;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), texture_slots[SLOT_LOGO2]);
    GLfloat v[4];
    glGetFloatv(GL_CURRENT_COLOR, v);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(v[i], 1.0f);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, v);
    EXPECT_FLOAT_EQ(v[0], 0.0f);
    EXPECT_FLOAT_EQ(v[1], 5.0f);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], demo.drift);
    EXPECT_FLOAT_EQ(m[13], -3.5f);
    EXPECT_FLOAT_EQ(m[14], -9.5f);
}

} // namespace

TEST_F(FrameGl, BarsOfModesOneAndTwo) {
    for (int32_t mode : {1, 2}) {
        SCOPED_TRACE(mode);
        float bar_y = mode == 1 ? 4.0f : 8.0f;
        demo.bar_mode = mode;
        glEnable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        auto vertices = frame_vertices();
        ASSERT_GE(vertices.size(), 8u);
        int upper = 0, lower = 0;
        for (const BarVertex& v : vertices) {
            float centre = v.y > 0 ? bar_y : -bar_y;
            (v.y > 0 ? upper : lower)++;
            EXPECT_NEAR(std::fabs(v.x), 10.8f, 1e-3);
            EXPECT_NEAR(std::fabs(v.y - centre), 1.5f, 1e-3);
            EXPECT_NEAR(v.z, -10.0f, 1e-3);
            // The picture repeats 10 times across and 5 times up.
            EXPECT_FLOAT_EQ(v.s, v.x > 0 ? 10.0f : 0.0f);
            EXPECT_FLOAT_EQ(v.t, v.y > centre ? 5.0f : 0.0f);
        }
        EXPECT_EQ(upper, lower);
        EXPECT_EQ(render_frame(), true);
        expect_tail_state();
    }
}

TEST_F(FrameGl, OtherModesDrawNoBarsAndKeepTheState) {
    demo.bar_mode = 3;
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, texture_slots[20]);
    EXPECT_TRUE(frame_vertices().empty());
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint bound;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), texture_slots[20]);
}

TEST_F(FrameGl, BarsShowOnScreenAsLetterboxBands) {
    // The show's projection: mode 1 bands cover |y| >= 2.5 of the 4.14
    // visible half-height at z = -10; mode 2 bars lie outside the view.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.0552, 0.0552, -0.0414, 0.0414, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_TEXTURE_2D);
    const uint8_t white[3] = {255, 255, 255};
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_COMP]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    GLfloat bright[4] = {5, 5, 5, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, bright);
    for (int32_t mode : {1, 2}) {
        demo.bar_mode = mode;
        glClearColor(0, 0, 0, 1);
        render_frame();
        auto rgb = offscreen_read_rgb(VIEW, VIEW);
        auto red_at_row = [&](int row) { return rgb[(static_cast<size_t>(row) * VIEW + 200) * 3]; };
        // Row 10 from the top is in the band, the middle row is not.
        EXPECT_EQ(red_at_row(10), mode == 1 ? 255 : 0) << mode;
        EXPECT_EQ(red_at_row(VIEW - 10), mode == 1 ? 255 : 0) << mode;
        EXPECT_EQ(red_at_row(VIEW / 2), 0);
    }
}

TEST_F(FrameGl, FrameShowsItsStepsTimeAndResetsTheCurrentMatrix) {
    demo.bar_mode = 3;
    demo.current_scene = 1;
    // Start-up leaves the texture matrix current: the first frame's identity
    // goes there.
    glMatrixMode(GL_TEXTURE);
    glRotatef(40, 1, 0, 0);
    EXPECT_TRUE(render_frame());
    EXPECT_EQ(demo.song_time_ms, -1.0);
    EXPECT_EQ(demo.current_scene, 1);
    GLfloat m[16];
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    EXPECT_FLOAT_EQ(m[5], 1.0f);
    glMatrixMode(GL_MODELVIEW);
}
