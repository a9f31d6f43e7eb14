// Seeking over the GL 1.1 subset (as the browser build draws): after seeks
// back and forward across scene changes, the show's state and picture equal
// a straight run's through the subset.  There GL is not let go: the long
// stretches run in the subset's state-only mode, which must leave its record
// of GL state exactly as drawing the same steps does.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "gfx/carried_state.h"
#include "gl11/gl11_internal.h"
#include "harness/harness.h"
#include "show/frame.h"
#include "show/seek.h"
#include "show/show_check.h"
#include "seek_schedule.h"

namespace {

constexpr int W = 64;
constexpr int H = 48;

// The subset's record field by field (its padding says nothing).
template <typename T> bool same(const T& a, const T& b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

void expect_same_gl(const Gl11State& a, const Gl11State& b) {
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(a.stacks[s].depth, b.stacks[s].depth) << s;
        for (int level = 0; level <= a.stacks[s].depth && level <= b.stacks[s].depth; ++level)
            EXPECT_TRUE(same(a.stacks[s].levels[level], b.stacks[s].levels[level])) << s;
    }
    EXPECT_EQ(a.matrix_mode, b.matrix_mode);
    EXPECT_TRUE(same(a.normal, b.normal) && same(a.color, b.color) && same(a.tex, b.tex));
    const bool caps_a[] = {a.lighting, a.light0, a.fog,        a.texture_2d, a.texgen_s,
                           a.texgen_t, a.blend,  a.depth_test, a.scissor};
    const bool caps_b[] = {b.lighting, b.light0, b.fog,        b.texture_2d, b.texgen_s,
                           b.texgen_t, b.blend,  b.depth_test, b.scissor};
    EXPECT_TRUE(same(caps_a, caps_b));
    EXPECT_EQ(a.polygon_front, b.polygon_front);
    EXPECT_EQ(a.polygon_back, b.polygon_back);
    EXPECT_EQ(a.blend_src, b.blend_src);
    EXPECT_EQ(a.blend_dst, b.blend_dst);
    EXPECT_EQ(a.depth_func, b.depth_func);
    EXPECT_TRUE(same(a.scissor_box, b.scissor_box) && same(a.viewport, b.viewport));
    EXPECT_TRUE(same(a.clear_color, b.clear_color) && a.clear_depth == b.clear_depth);
    EXPECT_TRUE(same(a.light_ambient, b.light_ambient) && same(a.light_diffuse, b.light_diffuse) &&
                same(a.light_position, b.light_position));
    EXPECT_TRUE(a.fog_density == b.fog_density && same(a.fog_color, b.fog_color) &&
                a.fog_mode == b.fog_mode);
    EXPECT_TRUE(a.texgen_mode_s == b.texgen_mode_s && a.texgen_mode_t == b.texgen_mode_t);
    EXPECT_EQ(a.bound_texture, b.bound_texture);
    EXPECT_EQ(a.list_base, b.list_base);
    EXPECT_EQ(a.error, b.error);
    EXPECT_TRUE(a.arrays.vertex.enabled == b.arrays.vertex.enabled &&
                a.arrays.color.enabled == b.arrays.color.enabled &&
                a.arrays.tex.enabled == b.arrays.tex.enabled);
}

struct Seen {
    std::vector<uint8_t> state, rgb;
    Gl11State gl_record;
    CarriedGlState carried;
    int64_t draws;
};

// Runs the steps before `last` cheaply, those from `quiet_from` in the
// state-only mode (none when negative), then draws `last`.
Seen run_to(int64_t last, int64_t quiet_from) {
    Seen seen{};
    EXPECT_EQ(harness_begin(W, H, FRAME_STEP_RATE), HARNESS_OK);
    while (harness_next_frame() < last) {
        gl11_set_state_only(quiet_from >= 0 && harness_next_frame() >= quiet_from);
        harness_step(false);
    }
    seen.gl_record = gl;
    carried_state_save(&seen.carried);
    seen.draws = gl11_stats.draws;
    gl11_set_state_only(false);
    harness_step(true);
    seen.state = show_state_bytes();
    seen.rgb = harness_read_rgb();
    harness_end();
    return seen;
}

TEST(Gl11Seek, StateOnlyStepsKeepTheStateDrawnStepsKeep) {
    // From just before the first scene change to past the second.
    const int64_t quiet_from = 4500, last = 6300;
    Seen drawn = run_to(last, -1);
    Seen quiet = run_to(last, quiet_from);
    expect_same_gl(drawn.gl_record, quiet.gl_record);
    EXPECT_TRUE(same(drawn.carried, quiet.carried));
    EXPECT_TRUE(drawn.state == quiet.state);
    EXPECT_TRUE(drawn.rgb == quiet.rgb);
    // The state-only steps drew nothing.
    Seen opening = run_to(quiet_from, -1);
    EXPECT_EQ(quiet.draws, opening.draws);
    EXPECT_GT(drawn.draws, opening.draws);
}

// The red of the pixel at x, y after a clear (0..255).
int cleared_red(int x, int y) {
    glClear(GL_COLOR_BUFFER_BIT);
    GLubyte rgb[3] = {};
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return rgb[0];
}

TEST(Gl11Seek, StateSetQuietlyOrPutBackReachesEs) {
    ASSERT_EQ(harness_begin(W, H, FRAME_STEP_RATE), HARNESS_OK);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    ASSERT_EQ(cleared_red(8, 8), 0);
    std::vector<uint8_t> dark(gl11_state_size());
    gl11_state_save(dark.data());
    gl11_set_state_only(true);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 4, 4);
    EXPECT_EQ(cleared_red(1, 1), 0); // nothing cleared
    gl11_set_state_only(false);
    EXPECT_EQ(cleared_red(1, 1), 255);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(cleared_red(8, 8), 0); // outside the scissor box
    EXPECT_EQ(cleared_red(1, 1), 0);
    // Put back, the dark state clears everywhere (no scissor box).
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    gl11_state_restore(dark.data());
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(cleared_red(8, 8), 255);
    gl11_state_restore(dark.data());
    EXPECT_EQ(cleared_red(8, 8), 0);
    harness_end();
}

TEST(Gl11Seek, SeeksGiveTheStraightRunsStateAndPicture) {
    // Steps around the first scene changes, visited in this order.
    const std::vector<int64_t> seeks = {5000, 1200, 4620, 4619, 6200, 300, 6150};
    std::vector<int64_t> sorted = seeks;
    std::sort(sorted.begin(), sorted.end());
    std::vector<Seen> straight;
    ASSERT_EQ(harness_begin(W, H, FRAME_STEP_RATE), HARNESS_OK);
    for (int64_t step : sorted) {
        while (harness_next_frame() < step)
            harness_step(false);
        harness_step(true);
        Seen seen{};
        seen.state = show_state_bytes();
        seen.rgb = harness_read_rgb();
        straight.push_back(seen);
    }
    harness_end();

    ASSERT_EQ(harness_begin(W, H, FRAME_STEP_RATE), HARNESS_OK);
    seek_enable(true);
    while (harness_next_frame() < 2000)
        harness_step(false);
    int64_t gl_free_steps = 0;
    for (int64_t step : seeks) {
        SCOPED_TRACE(step);
        ASSERT_TRUE(harness_seek(step));
        gl_free_steps += seek_last_report().gl_free_steps;
        harness_step(true);
        size_t i = static_cast<size_t>(std::lower_bound(sorted.begin(), sorted.end(), step) -
                                       sorted.begin());
        EXPECT_TRUE(show_state_bytes() == straight[i].state);
        EXPECT_TRUE(harness_read_rgb() == straight[i].rgb);
    }
    // The long stretches ran in the state-only mode.
    EXPECT_GT(gl_free_steps, 1000);
    harness_end();
}

// The map ahead runs between the show's drawn steps on the same context:
// the pictures and states stay those of a straight run.
TEST(Gl11Seek, MapAheadBetweenDrawnStepsLeavesThemAlone) {
    const int64_t last = 900, every = 150;
    const int map_pieces_per_step = 20; // of one step each: the map runs far ahead
    auto run = [&](bool map_ahead) {
        std::vector<Seen> seen;
        EXPECT_EQ(harness_begin(W, H, FRAME_STEP_RATE), HARNESS_OK);
        seek_enable(map_ahead);
        while (harness_next_frame() <= last) {
            int64_t step = harness_next_frame();
            harness_step(true);
            if (step % every == 0)
                seen.push_back({show_state_bytes(), harness_read_rgb(), gl, {}, 0});
            int64_t draws = gl11_stats.draws;
            for (int i = 0; map_ahead && i < map_pieces_per_step; ++i)
                seek_map_run(song_module, 0.0);
            EXPECT_EQ(gl11_stats.draws, draws) << "the map drew after step " << step;
        }
        if (map_ahead) {
            EXPECT_GT(seek_mapped_through(), 15000); // past four scene changes
        }
        harness_end();
        return seen;
    };
    std::vector<Seen> straight = run(false);
    std::vector<Seen> mapped = run(true);
    ASSERT_EQ(straight.size(), mapped.size());
    for (size_t i = 0; i < straight.size(); ++i) {
        SCOPED_TRACE(i * every);
        EXPECT_TRUE(straight[i].state == mapped[i].state);
        EXPECT_TRUE(straight[i].rgb == mapped[i].rgb);
        expect_same_gl(straight[i].gl_record, mapped[i].gl_record);
    }
}

// The random schedules of the native suite over the subset: the seeks'
// long stretches run in its state-only mode, the straight run draws.
TEST(Gl11Seek, RandomSchedulesLandOnTheStraightRun) {
    ScheduleSights sights;
    ScheduleResult r = seek_schedule_play(seek_schedule_random(5, 3000), 16, 12, 400, &sights);
    EXPECT_EQ(r.fault, "");
    EXPECT_GE(r.landings, 100);
    int64_t compared = 0;
    EXPECT_EQ(seek_schedule_check(sights, 16, 12, &compared), "");
    EXPECT_GE(compared, 200);
}

} // namespace
