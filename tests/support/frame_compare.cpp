#include "frame_compare.h"

#include <algorithm>
#include <cstdlib>

std::vector<uint8_t> frame_shrink(const std::vector<uint8_t>& rgb, int width, int height) {
    int out_w = width / FRAME_SHRINK, out_h = height / FRAME_SHRINK;
    std::vector<uint8_t> out(static_cast<size_t>(out_w * out_h * 3));
    for (int y = 0; y < out_h; ++y)
        for (int x = 0; x < out_w; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < FRAME_SHRINK; ++dy)
                    for (int dx = 0; dx < FRAME_SHRINK; ++dx) {
                        size_t row = static_cast<size_t>(y * FRAME_SHRINK + dy);
                        size_t pixel = row * width + x * FRAME_SHRINK + dx;
                        sum += rgb[pixel * 3 + c];
                    }
                out[(static_cast<size_t>(y) * out_w + x) * 3 + c] =
                    static_cast<uint8_t>(sum / (FRAME_SHRINK * FRAME_SHRINK));
            }
    return out;
}

FrameDifference frame_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double total = 0;
    int large = 0;
    for (size_t p = 0; p + 2 < a.size(); p += 3) {
        int worst = 0;
        for (size_t c = 0; c < 3; ++c) {
            int d = std::abs(int(a[p + c]) - int(b[p + c]));
            total += d;
            worst = std::max(worst, d);
        }
        large += worst > FRAME_LARGE_DIFFERENCE;
    }
    if (a.empty()) return {0, 0};
    return {total / static_cast<double>(a.size()), large / (a.size() / 3.0)};
}

bool frame_difference_within(const FrameDifference& d) {
    return d.mean <= FRAME_MAX_MEAN_DIFFERENCE && d.large_share <= FRAME_MAX_LARGE_SHARE;
}
