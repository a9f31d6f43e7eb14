#include "box_filter.h"

#include <algorithm>
#include <cstring>
#include <vector>

void box_filter_shrink(const uint8_t* source, int width, int height, int channels, int factor,
                       uint8_t* target) {
    size_t row_bytes = static_cast<size_t>(width) * static_cast<size_t>(channels);
    if (factor == 1) {
        memcpy(target, source, row_bytes * static_cast<size_t>(height));
        return;
    }
    size_t source_row = row_bytes * static_cast<size_t>(factor);
    uint32_t area = static_cast<uint32_t>(factor * factor);
    // Sums of one target row's samples: the source rows are added up one by
    // one, each read once from start to end.
    std::vector<uint32_t> sums(row_bytes);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int dy = 0; dy < factor; ++dy) {
            const uint8_t* row =
                source + (static_cast<size_t>(y) * factor + static_cast<size_t>(dy)) * source_row;
            for (int x = 0; x < width; ++x)
                for (int dx = 0; dx < factor; ++dx)
                    for (int c = 0; c < channels; ++c)
                        sums[static_cast<size_t>(x) * channels + c] +=
                            row[(static_cast<size_t>(x) * factor + dx) * channels + c];
        }
        uint8_t* out = target + static_cast<size_t>(y) * row_bytes;
        for (size_t i = 0; i < row_bytes; ++i)
            out[i] = static_cast<uint8_t>((sums[i] + area / 2) / area);
    }
}
