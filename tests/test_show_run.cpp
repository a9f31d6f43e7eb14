// The whole show through the frame harness, with the generated pictures and
// module: every frame's state stays finite, GL reports no error, the scenes
// follow one another in order, and chosen frames match small reference
// pictures of each scene's layers.
//
// To redraw the references after a deliberate change of the pictures or the
// scenes, run this test with VM_UPDATE_REFERENCES=1; it then writes them into
// tests/reference/ of the source tree instead of comparing.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "show/demo_state.h"
#include "harness/harness.h"
#include "show/show_check.h"
#include "platform/png_file.h"
#include "support/frame_compare.h"

namespace {

constexpr int FPS = 60;
constexpr int64_t SHOW_END_MS = 330000;
// Reference frames are drawn at 256 x 192 and kept at a quarter of that, as
// they are compared (support/frame_compare.h).
constexpr int DRAW_W = 256, DRAW_H = 192;
constexpr int REF_W = DRAW_W / FRAME_SHRINK, REF_H = DRAW_H / FRAME_SHRINK;

// Song times whose frames show each scene's layers.
constexpr int64_t REFERENCE_TIMES[] = {
    16000,  // scene 1: cube chain, picture, word logo
    36000,  // scene 1: dots and greeting line
    60000,  // scene 1: picture gone, logo approaching
    90000,  // scene 2: tunnel, bits, star, panels
    101000, // scene 2: the star blown up
    110000, // scene 3: spheres, stripes, logo, label
    128000, // scene 4: banner, stars, first words
    150000, // scene 4: the banner across the screen
    170000, // scene 5: landscape, messages, credits, saucer
    240000, // scene 5: later credits
    290000, // scene 6: sparks, tunnel, end picture
    325000, // scene 6: the outro
};

std::string reference_path(int64_t t) {
    return std::string(VM_TEST_SOURCE_DIR) + "/reference/show_" + std::to_string(t) + ".png";
}

bool is_reference_time(int64_t frame, int64_t* time) {
    for (int64_t t : REFERENCE_TIMES)
        if (harness_first_frame_at(t, FPS) == frame) {
            *time = t;
            return true;
        }
    return false;
}

TEST(ShowRun, WholeShowPlaysInOrderWithFiniteStateAndMatchesItsReferences) {
    ASSERT_EQ(harness_begin(DRAW_W, DRAW_H, FPS), HARNESS_OK)
        << "run from the build directory that holds the generated data";
    bool update = std::getenv("VM_UPDATE_REFERENCES") != nullptr;
    int32_t last_scene = 1;
    bool scene_seen[7] = {};
    int64_t last_frame = harness_first_frame_at(SHOW_END_MS, FPS);
    int compared = 0;
    for (int64_t n = 0; n <= last_frame; ++n) {
        int64_t t = 0;
        bool reference = is_reference_time(n, &t);
        harness_step(reference);
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "frame " << n;
        ASSERT_TRUE(show_state_finite()) << "frame " << n;
        ASSERT_GE(demo.current_scene, last_scene) << "frame " << n;
        ASSERT_LE(demo.current_scene, last_scene + 1) << "frame " << n;
        last_scene = demo.current_scene;
        scene_seen[demo.current_scene] = true;
        if (!reference) continue;
        std::vector<uint8_t> small = frame_shrink(harness_read_rgb(), DRAW_W, DRAW_H);
        if (update) {
            EXPECT_TRUE(png_write_rgb(reference_path(t).c_str(), REF_W, REF_H, small.data()));
            continue;
        }
        int w = 0, h = 0;
        std::vector<uint8_t> expected;
        ASSERT_TRUE(png_read_rgb(reference_path(t).c_str(), &w, &h, &expected)) << t;
        ASSERT_EQ(w, REF_W);
        ASSERT_EQ(h, REF_H);
        FrameDifference d = frame_difference(small, expected);
        std::printf("frame at %lld ms: mean difference %.3f, %.2f%% of pixels differ\n",
                    static_cast<long long>(t), d.mean, 100.0 * d.large_share);
        EXPECT_TRUE(frame_difference_within(d)) << "frame at " << t << " ms";
        ++compared;
    }
    for (int scene = 1; scene <= 6; ++scene)
        EXPECT_TRUE(scene_seen[scene]) << "scene " << scene;
    EXPECT_GE(demo.end_stage, 4); // the finale heard its 40 notes
    if (!update) {
        EXPECT_EQ(compared, static_cast<int>(std::size(REFERENCE_TIMES)));
    }
    harness_end();
}

} // namespace
