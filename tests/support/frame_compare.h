// How far a drawn frame may stray from a stored picture of it: both are
// averaged over 4 x 4 blocks, then compared.  Mesa's rounding moves a few
// values by a few steps; a missing layer, a wrong picture or a wrong blend
// moves many pixels by much more.  The reference frames and the README's
// pictures are held to the same tolerance.
#pragma once

#include <cstdint>
#include <vector>

constexpr int FRAME_SHRINK = 4;
constexpr double FRAME_MAX_MEAN_DIFFERENCE = 1.5;
constexpr int FRAME_LARGE_DIFFERENCE = 16;
constexpr double FRAME_MAX_LARGE_SHARE = 0.0015;

// Averages FRAME_SHRINK x FRAME_SHRINK blocks of a tightly packed RGB
// picture; a partial block at the right or bottom edge is left out.
std::vector<uint8_t> frame_shrink(const std::vector<uint8_t>& rgb, int width, int height);

struct FrameDifference {
    double mean;        // mean absolute difference per channel value
    double large_share; // share of pixels with a channel off by more than FRAME_LARGE_DIFFERENCE
};
// Two pictures of the same size.
FrameDifference frame_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
bool frame_difference_within(const FrameDifference& d);
