#include <gtest/gtest.h>

#include <GL/gl.h>

#include "platform/offscreen.h"

TEST(Offscreen, ContextRendersAndReadsBackTopRowFirst) {
    ASSERT_TRUE(offscreen_begin(64, 48));
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // A red band over the top quarter of the frame.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 36, 64, 12);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    std::vector<uint8_t> rgb = offscreen_read_rgb(64, 48);
    ASSERT_EQ(rgb.size(), 64u * 48u * 3u);
    EXPECT_EQ(rgb[0], 255); // top-left pixel is red
    EXPECT_EQ(rgb[2], 0);
    size_t bottom = (47u * 64u) * 3u;
    EXPECT_EQ(rgb[bottom + 0], 0); // bottom-left pixel is blue
    EXPECT_EQ(rgb[bottom + 2], 255);
    GLint depth_bits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
    EXPECT_GE(depth_bits, 16);
    offscreen_end();
}
