// Seeking over the GL 1.1 subset (as the browser build draws): after seeks
// back and forward across scene changes, the show's state and picture equal
// a straight run's through the subset.  There GL cannot be let go, so every
// step between runs the cheap way with GL; the subset's own record of GL
// state is saved and put back with the show's.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "harness/harness.h"
#include "show/frame.h"
#include "show/seek.h"
#include "show/show_check.h"

namespace {

constexpr int W = 64;
constexpr int H = 48;

TEST(Gl11Seek, SeeksGiveTheStraightRunsStateAndPicture) {
    // Steps around the first scene changes, visited in this order.
    const std::vector<int64_t> seeks = {5000, 1200, 4620, 4619, 6200, 300, 6150};
    std::vector<int64_t> sorted = seeks;
    std::sort(sorted.begin(), sorted.end());
    struct Seen {
        std::vector<uint8_t> state, rgb;
    };
    std::vector<Seen> straight;
    ASSERT_EQ(harness_begin(W, H, FRAME_STEP_RATE), HARNESS_OK);
    for (int64_t step : sorted) {
        while (harness_next_frame() < step)
            harness_step(false);
        harness_step(true);
        straight.push_back({show_state_bytes(), harness_read_rgb()});
    }
    harness_end();

    ASSERT_EQ(harness_begin(W, H, FRAME_STEP_RATE), HARNESS_OK);
    seek_enable(true);
    while (harness_next_frame() < 2000)
        harness_step(false);
    for (int64_t step : seeks) {
        SCOPED_TRACE(step);
        ASSERT_TRUE(harness_seek(step));
        harness_step(true);
        size_t i = static_cast<size_t>(std::lower_bound(sorted.begin(), sorted.end(), step) -
                                       sorted.begin());
        EXPECT_TRUE(show_state_bytes() == straight[i].state);
        EXPECT_TRUE(harness_read_rgb() == straight[i].rgb);
    }
    harness_end();
}

} // namespace
