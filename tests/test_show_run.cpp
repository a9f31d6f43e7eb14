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

namespace {

constexpr int FPS = 60;
constexpr int64_t SHOW_END_MS = 330000;
// Reference frames are drawn at 256 x 192 and kept at a quarter of that.
constexpr int DRAW_W = 256, DRAW_H = 192;
constexpr int SHRINK = 4;
constexpr int REF_W = DRAW_W / SHRINK, REF_H = DRAW_H / SHRINK;

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

// How far a frame may stray from its reference: Mesa's rounding moves a few
// values by a few steps; a missing layer, a wrong picture or a wrong blend
// moves many pixels by much more.
constexpr double MAX_MEAN_DIFFERENCE = 1.5;
constexpr int LARGE_DIFFERENCE = 16;
constexpr double MAX_LARGE_SHARE = 0.0015;

std::string reference_path(int64_t t) {
    return std::string(VM_TEST_SOURCE_DIR) + "/reference/show_" + std::to_string(t) + ".png";
}

// Averages SHRINK x SHRINK blocks.
std::vector<uint8_t> shrink(const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> out(static_cast<size_t>(REF_W * REF_H * 3));
    for (int y = 0; y < REF_H; ++y)
        for (int x = 0; x < REF_W; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < SHRINK; ++dy)
                    for (int dx = 0; dx < SHRINK; ++dx)
                        sum += rgb[((y * SHRINK + dy) * DRAW_W + x * SHRINK + dx) * 3 + c];
                out[(y * REF_W + x) * 3 + c] = static_cast<uint8_t>(sum / (SHRINK * SHRINK));
            }
    return out;
}

struct Difference {
    double mean;
    double large_share;
};
Difference compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double total = 0;
    int large = 0;
    for (size_t p = 0; p < a.size(); p += 3) {
        int worst = 0;
        for (size_t c = 0; c < 3; ++c) {
            int d = std::abs(int(a[p + c]) - int(b[p + c]));
            total += d;
            worst = std::max(worst, d);
        }
        large += worst > LARGE_DIFFERENCE;
    }
    return {total / static_cast<double>(a.size()), large / (a.size() / 3.0)};
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
        std::vector<uint8_t> small = shrink(harness_read_rgb());
        if (update) {
            EXPECT_TRUE(png_write_rgb(reference_path(t).c_str(), REF_W, REF_H, small.data()));
            continue;
        }
        int w = 0, h = 0;
        std::vector<uint8_t> expected;
        ASSERT_TRUE(png_read_rgb(reference_path(t).c_str(), &w, &h, &expected)) << t;
        ASSERT_EQ(w, REF_W);
        ASSERT_EQ(h, REF_H);
        Difference d = compare(small, expected);
        std::printf("frame at %lld ms: mean difference %.3f, %.2f%% of pixels differ\n",
                    static_cast<long long>(t), d.mean, 100.0 * d.large_share);
        EXPECT_LE(d.mean, MAX_MEAN_DIFFERENCE) << "frame at " << t << " ms";
        EXPECT_LE(d.large_share, MAX_LARGE_SHARE) << "frame at " << t << " ms";
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
