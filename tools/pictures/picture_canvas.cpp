#include "picture_canvas.h"

#include <algorithm>
#include <cmath>

Canvas canvas_make(int width, int height, float aspect, Colour fill) {
    Canvas canvas{width, height, aspect,
                  std::vector<float>(static_cast<size_t>(width) * height * 3)};
    for (size_t i = 0; i < canvas.rgb.size(); i += 3) {
        canvas.rgb[i] = fill.r;
        canvas.rgb[i + 1] = fill.g;
        canvas.rgb[i + 2] = fill.b;
    }
    return canvas;
}

Mask mask_make(int width, int height, float aspect) {
    return Mask{width, height, aspect, std::vector<float>(static_cast<size_t>(width) * height)};
}

Mask mask_like(const Canvas& canvas) {
    return mask_make(canvas.width, canvas.height, canvas.aspect);
}

float pixel_size(const Mask& mask) {
    return std::max(mask.aspect / static_cast<float>(mask.width),
                    1.0f / static_cast<float>(mask.height));
}

Colour colour_mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour colour_scale(Colour a, float k) {
    return {a.r * k, a.g * k, a.b * k};
}

Colour colour_add(Colour a, Colour b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}

float clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

float smoothstep(float edge0, float edge1, float v) {
    float t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

Colour ramp(const Colour* stops, int count, float t) {
    t = clamp01(t) * static_cast<float>(count - 1);
    int i = std::min(static_cast<int>(t), count - 2);
    return colour_mix(stops[i], stops[i + 1], t - static_cast<float>(i));
}

Colour canvas_get(const Canvas& canvas, int px, int py) {
    const float* p = &canvas.rgb[(static_cast<size_t>(py) * canvas.width + px) * 3];
    return {p[0], p[1], p[2]};
}

void canvas_set(Canvas& canvas, int px, int py, Colour c) {
    float* p = &canvas.rgb[(static_cast<size_t>(py) * canvas.width + px) * 3];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

void canvas_add(Canvas& canvas, const Mask& mask, Colour colour, float gain) {
    for (size_t i = 0; i < mask.value.size(); ++i) {
        float a = mask.value[i] * gain;
        canvas.rgb[i * 3] += colour.r * a;
        canvas.rgb[i * 3 + 1] += colour.g * a;
        canvas.rgb[i * 3 + 2] += colour.b * a;
    }
}

void canvas_over(Canvas& canvas, const Mask& mask, Colour colour) {
    for (size_t i = 0; i < mask.value.size(); ++i) {
        float a = clamp01(mask.value[i]);
        canvas.rgb[i * 3] += (colour.r - canvas.rgb[i * 3]) * a;
        canvas.rgb[i * 3 + 1] += (colour.g - canvas.rgb[i * 3 + 1]) * a;
        canvas.rgb[i * 3 + 2] += (colour.b - canvas.rgb[i * 3 + 2]) * a;
    }
}

void canvas_darken(Canvas& canvas, const Mask& mask, float amount) {
    for (size_t i = 0; i < mask.value.size(); ++i) {
        float k = 1.0f - clamp01(mask.value[i]) * amount;
        canvas.rgb[i * 3] *= k;
        canvas.rgb[i * 3 + 1] *= k;
        canvas.rgb[i * 3 + 2] *= k;
    }
}

float edge_coverage(float d, float pixel) {
    return clamp01(0.5f - d / pixel);
}

float distance_disc(float x, float y, float cx, float cy, float radius) {
    return std::hypot(x - cx, y - cy) - radius;
}

float distance_box(float x, float y, float cx, float cy, float half_w, float half_h, float corner) {
    float qx = std::fabs(x - cx) - half_w + corner;
    float qy = std::fabs(y - cy) - half_h + corner;
    float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - corner;
}

float distance_segment(float x, float y, float ax, float ay, float bx, float by) {
    float dx = bx - ax, dy = by - ay;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0.0f ? clamp01(((x - ax) * dx + (y - ay) * dy) / len2) : 0.0f;
    return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

namespace {

// One box pass along a line of `count` values `stride` apart.
void box_pass(float* line, int count, int stride, int radius, bool wrap, std::vector<float>& tmp) {
    tmp.resize(count);
    for (int i = 0; i < count; ++i)
        tmp[i] = line[i * stride];
    float norm = 1.0f / static_cast<float>(2 * radius + 1);
    double sum = 0.0;
    auto at = [&](int i) -> float {
        if (wrap) return tmp[((i % count) + count) % count];
        return (i < 0 || i >= count) ? 0.0f : tmp[i];
    };
    for (int i = -radius; i <= radius; ++i)
        sum += at(i);
    for (int i = 0; i < count; ++i) {
        line[i * stride] = static_cast<float>(sum) * norm;
        sum += at(i + radius + 1) - at(i - radius);
    }
}

} // namespace

void mask_blur(Mask& mask, float radius, bool wrap) {
    // Three box passes approximate a Gaussian; each pass takes a third of
    // the radius so the whole spread is about `radius`.
    int rx = std::max(0, static_cast<int>(std::lround(radius / 1.7f * mask.width / mask.aspect)));
    int ry = std::max(0, static_cast<int>(std::lround(radius / 1.7f * mask.height)));
    std::vector<float> tmp;
    for (int pass = 0; pass < 3; ++pass) {
        if (rx > 0)
            for (int y = 0; y < mask.height; ++y)
                box_pass(&mask.value[static_cast<size_t>(y) * mask.width], mask.width, 1, rx, wrap,
                         tmp);
        if (ry > 0)
            for (int x = 0; x < mask.width; ++x)
                box_pass(&mask.value[x], mask.height, mask.width, ry, wrap, tmp);
    }
}

void mask_dilate(Mask& mask, float radius) {
    int rx = static_cast<int>(std::ceil(radius * mask.width / mask.aspect));
    int ry = static_cast<int>(std::ceil(radius * mask.height));
    std::vector<float> out(mask.value.size());
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x) {
            float best = 0.0f;
            for (int dy = -ry; dy <= ry; ++dy) {
                int yy = y + dy;
                if (yy < 0 || yy >= mask.height) continue;
                for (int dx = -rx; dx <= rx; ++dx) {
                    int xx = x + dx;
                    if (xx < 0 || xx >= mask.width) continue;
                    float fx = rx ? static_cast<float>(dx) / (rx + 0.5f) : 0.0f;
                    float fy = ry ? static_cast<float>(dy) / (ry + 0.5f) : 0.0f;
                    if (fx * fx + fy * fy > 1.0f) continue;
                    best = std::max(best, mask.value[static_cast<size_t>(yy) * mask.width + xx]);
                }
            }
            out[static_cast<size_t>(y) * mask.width + x] = best;
        }
    mask.value.swap(out);
}

void mask_gain(Mask& mask, float gain) {
    for (float& v : mask.value)
        v = clamp01(v * gain);
}

Mask mask_copy(const Mask& mask) {
    return mask;
}

void mask_line(Mask& mask, float ax, float ay, float bx, float by, float half_width) {
    float pixel = pixel_size(mask);
    float margin = half_width + 2.0f * pixel;
    int x0 = std::max(0, static_cast<int>((std::min(ax, bx) - margin) / mask.aspect * mask.width));
    int x1 = std::min(mask.width - 1,
                      static_cast<int>((std::max(ax, bx) + margin) / mask.aspect * mask.width));
    int y0 = std::max(0, static_cast<int>((std::min(ay, by) - margin) * mask.height));
    int y1 = std::min(mask.height - 1, static_cast<int>((std::max(ay, by) + margin) * mask.height));
    for (int py = y0; py <= y1; ++py)
        for (int px = x0; px <= x1; ++px) {
            float x = design_x(mask.width, mask.aspect, px);
            float y = design_y(mask.height, py);
            float c = edge_coverage(distance_segment(x, y, ax, ay, bx, by) - half_width, pixel);
            float& v = mask.value[static_cast<size_t>(py) * mask.width + px];
            if (c > v) v = c;
        }
}

void mask_disc(Mask& mask, float cx, float cy, float radius) {
    mask_line(mask, cx, cy, cx, cy, radius);
}

Rng rng_make(uint32_t seed) {
    return Rng{seed * 2654435761u + 0x9E3779B9u};
}

uint32_t rng_next(Rng& rng) {
    uint32_t x = rng.state ? rng.state : 0x6D2B79F5u;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    rng.state = x;
    return x;
}

float rng_float(Rng& rng) {
    return static_cast<float>(rng_next(rng) >> 8) / 16777216.0f;
}

float rng_range(Rng& rng, float low, float high) {
    return low + (high - low) * rng_float(rng);
}

namespace {

// Integer hash of a lattice point (lowbias32 mix).
uint32_t lattice_hash(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^
                 seed * 0xCB1AB31Fu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

float lattice_value(int x, int y, int period_x, int period_y, uint32_t seed) {
    x = ((x % period_x) + period_x) % period_x;
    y = ((y % period_y) + period_y) % period_y;
    return static_cast<float>(lattice_hash(x, y, seed) >> 8) / 16777216.0f;
}

} // namespace

float noise_tile(float x, float y, int period_x, int period_y, uint32_t seed) {
    float fx = x * static_cast<float>(period_x);
    float fy = y * static_cast<float>(period_y);
    int ix = static_cast<int>(std::floor(fx));
    int iy = static_cast<int>(std::floor(fy));
    float tx = fx - static_cast<float>(ix);
    float ty = fy - static_cast<float>(iy);
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    float a = lattice_value(ix, iy, period_x, period_y, seed);
    float b = lattice_value(ix + 1, iy, period_x, period_y, seed);
    float c = lattice_value(ix, iy + 1, period_x, period_y, seed);
    float d = lattice_value(ix + 1, iy + 1, period_x, period_y, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fbm_tile(float x, float y, int period_x, int period_y, int octaves, uint32_t seed) {
    float sum = 0.0f, weight = 0.5f, total = 0.0f;
    for (int k = 0; k < octaves; ++k) {
        sum += weight * noise_tile(x, y, period_x << k, period_y << k, seed + 977u * k);
        total += weight;
        weight *= 0.5f;
    }
    return sum / total;
}

void paint_stars(Canvas& canvas, uint32_t seed, int count, float x0, float y0, float x1, float y1,
                 float brightness) {
    Rng rng = rng_make(seed);
    Mask points = mask_like(canvas);
    Mask glints = mask_like(canvas);
    float pixel = pixel_size(points);
    for (int i = 0; i < count; ++i) {
        float x = rng_range(rng, x0, x1);
        float y = rng_range(rng, y0, y1);
        float power = rng_float(rng);
        power = power * power * power;
        int px = static_cast<int>(x / canvas.aspect * canvas.width);
        int py = static_cast<int>(y * canvas.height);
        if (px < 0 || py < 0 || px >= canvas.width || py >= canvas.height) continue;
        float& v = points.value[static_cast<size_t>(py) * canvas.width + px];
        v = std::min(1.0f, v + 0.25f + 0.75f * power);
        if (power > 0.75f) {
            // The brightest few get a small cross of light.
            float arm = pixel * (2.0f + 3.0f * power);
            mask_line(glints, x - arm, y, x + arm, y, pixel * 0.25f);
            mask_line(glints, x, y - arm, x, y + arm, pixel * 0.25f);
        }
    }
    Mask halo = mask_copy(points);
    mask_blur(halo, pixel * 2.0f, false);
    canvas_add(canvas, points, colour_mix(ICE, WHITE, 0.5f), brightness);
    canvas_add(canvas, halo, CYAN, brightness * 1.5f);
    canvas_add(canvas, glints, ICE, brightness * 0.5f);
}

Canvas canvas_turn(const Canvas& design, PictureTurn turn) {
    if (turn == TURN_NONE) return design;
    if (turn == TURN_HALF) {
        Canvas out = design;
        for (int y = 0; y < design.height; ++y)
            for (int x = 0; x < design.width; ++x)
                canvas_set(out, x, y,
                           canvas_get(design, design.width - 1 - x, design.height - 1 - y));
        return out;
    }
    // Quarter turn: the texture is design.height wide and design.width high;
    // texture column c shows design row (height - 1 - c), texture row r shows
    // design column r.
    Canvas out = canvas_make(design.height, design.width, 1.0f / design.aspect, BLACK);
    for (int r = 0; r < out.height; ++r)
        for (int c = 0; c < out.width; ++c)
            canvas_set(out, c, r, canvas_get(design, r, design.height - 1 - c));
    return out;
}

void mask_fade_rim(Mask& mask, float width) {
    for (int py = 0; py < mask.height; ++py)
        for (int px = 0; px < mask.width; ++px) {
            float x = design_x(mask.width, mask.aspect, px), y = design_y(mask.height, py);
            float rim = std::min(std::min(x, mask.aspect - x), std::min(y, 1.0f - y));
            mask.value[static_cast<size_t>(py) * mask.width + px] *= smoothstep(0.0f, width, rim);
        }
}
