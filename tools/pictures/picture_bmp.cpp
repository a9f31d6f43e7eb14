#include "picture_bmp.h"

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "bmp_builder.h"

namespace {

uint8_t to_byte(float v) {
    float c = clamp01(v);
    // Gamma-neutral rounding; the show's colours are authored as stored.
    return static_cast<uint8_t>(std::lround(c * 255.0f));
}

// Colour of a pixel as 0xRRGGBB.
uint32_t packed(const Canvas& canvas, int px, int py) {
    Colour c = canvas_get(canvas, px, py);
    return static_cast<uint32_t>(to_byte(c.r)) << 16 | static_cast<uint32_t>(to_byte(c.g)) << 8 |
           to_byte(c.b);
}

// Pixel values bottom row first, as the file stores them.
std::vector<uint32_t> bottom_up(const Canvas& canvas) {
    std::vector<uint32_t> values(static_cast<size_t>(canvas.width) * canvas.height);
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x)
            values[static_cast<size_t>(canvas.height - 1 - y) * canvas.width + x] =
                packed(canvas, x, y);
    return values;
}

// Nearest table entry by squared distance; the lowest index wins ties.
uint8_t nearest(const std::vector<uint32_t>& table, uint32_t rgb) {
    int best = 0;
    long best_d = -1;
    for (size_t i = 0; i < table.size(); ++i) {
        long dr = static_cast<long>(table[i] >> 16 & 255) - static_cast<long>(rgb >> 16 & 255);
        long dg = static_cast<long>(table[i] >> 8 & 255) - static_cast<long>(rgb >> 8 & 255);
        long db = static_cast<long>(table[i] & 255) - static_cast<long>(rgb & 255);
        long d = dr * dr + dg * dg + db * db;
        if (best_d < 0 || d < best_d) {
            best_d = d;
            best = static_cast<int>(i);
        }
    }
    return static_cast<uint8_t>(best);
}

} // namespace

std::vector<uint8_t> bmp_encode(const Canvas& canvas, PictureEncoding encoding,
                                const Colour* ramp_stops, int stop_count) {
    std::vector<uint32_t> values = bottom_up(canvas);
    if (encoding == ENCODE_RGB24) {
        BmpLayout layout{canvas.width, canvas.height, 24, 0, true, false, 0, 0, 0, 0};
        std::vector<uint8_t> pixels = bmp_pack_direct(24, canvas.width, canvas.height, values);
        layout.image_size = static_cast<uint32_t>(pixels.size());
        return bmp_build(layout, {}, pixels);
    }
    int bits = encoding == ENCODE_INDEX4 ? 4 : 8;
    int entries = 1 << bits;
    std::vector<uint32_t> table(entries);
    std::vector<uint8_t> table_bgr;
    for (int i = 0; i < entries; ++i) {
        Colour c = ramp(ramp_stops, stop_count, static_cast<float>(i) / (entries - 1));
        table[i] = static_cast<uint32_t>(to_byte(c.r)) << 16 |
                   static_cast<uint32_t>(to_byte(c.g)) << 8 | to_byte(c.b);
        table_bgr.push_back(to_byte(c.b));
        table_bgr.push_back(to_byte(c.g));
        table_bgr.push_back(to_byte(c.r));
    }
    // Pictures repeat few colours; remember each colour's entry.
    std::unordered_map<uint32_t, uint8_t> cache;
    std::vector<uint8_t> indexes(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        auto found = cache.find(values[i]);
        if (found == cache.end()) found = cache.emplace(values[i], nearest(table, values[i])).first;
        indexes[i] = found->second;
    }
    bool rle = encoding == ENCODE_RLE8;
    std::vector<uint8_t> pixels =
        rle ? bmp_rle_encode(8, canvas.width, canvas.height, indexes)
            : bmp_pack_indexes(bits, canvas.width, canvas.height, indexes);
    BmpLayout layout{canvas.width,
                     canvas.height,
                     static_cast<uint16_t>(bits),
                     rle ? 1u : 0u,
                     true,
                     false,
                     static_cast<uint32_t>(entries),
                     static_cast<uint32_t>(pixels.size()),
                     0,
                     0};
    return bmp_build(layout, table_bgr, pixels);
}

bool write_if_changed(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* in = fopen(path, "rb");
    if (in) {
        std::vector<uint8_t> old(bytes.size() + 1);
        size_t got = fread(old.data(), 1, old.size(), in);
        fclose(in);
        if (got == bytes.size() && std::equal(bytes.begin(), bytes.end(), old.begin())) return true;
    }
    FILE* out = fopen(path, "wb");
    if (!out) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return fclose(out) == 0 && ok;
}
