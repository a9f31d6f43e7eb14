#include "picture_art.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float PI = 3.14159265f;
constexpr float CAP = 0.72f; // capital height per em

} // namespace

LetterStyle style_chrome() {
    return {{0.95f, 0.98f, 1.0f},
            {0.30f, 0.50f, 0.85f},
            {0.85f, 0.95f, 1.0f},
            {0.75f, 0.95f, 1.0f},
            CYAN,
            0.05f,
            1.1f};
}

LetterStyle style_ice() {
    return {WHITE, ICE, {0.55f, 0.75f, 1.0f}, BLACK, CYAN, 0.03f, 0.9f};
}

LetterStyle style_amber() {
    return {
        {1.0f, 0.95f, 0.75f}, AMBER, {0.85f, 0.45f, 0.12f}, BLACK, {1.0f, 0.5f, 0.1f}, 0.04f, 0.8f};
}

Mask letters(Canvas& canvas, PictureFont font, const char* text, float cx, float cy, float em,
             float tracking, float max_width, const LetterStyle& style) {
    Mask shape = mask_like(canvas);
    if (max_width > 0.0f)
        em = text_draw_fit(shape, font, text, cx, cy, em, tracking, max_width);
    else
        text_draw(shape, font, text, cx, cy, em, tracking);
    if (style.glow_gain > 0.0f) {
        Mask glow = mask_copy(shape);
        mask_blur(glow, style.glow_radius, false);
        canvas_add(canvas, glow, style.glow, style.glow_gain);
    }
    if (style.outline.r + style.outline.g + style.outline.b > 0.0f) {
        Mask edge = mask_copy(shape);
        mask_dilate(edge, std::max(pixel_size(shape) * 1.2f, em * 0.035f));
        canvas_over(canvas, edge, style.outline);
    }
    float top = cy - CAP * em * 0.5f, bottom = cy + CAP * em * 0.5f;
    canvas_over_paint(canvas, shape, [&](float, float y) {
        float t = (y - top) / (bottom - top);
        // Chrome: bright sky above a sharp horizon, darker ground rising to light.
        if (t < 0.5f) return colour_mix(style.top, style.middle, smoothstep(0.0f, 0.5f, t));
        return colour_mix(colour_scale(style.middle, 0.6f), style.bottom,
                          smoothstep(0.5f, 1.05f, t));
    });
    return shape;
}

void set_corners(Canvas& canvas, Colour colour) {
    for (int y : {0, 1, canvas.height - 2, canvas.height - 1})
        for (int x : {0, 1, canvas.width - 2, canvas.width - 1})
            canvas_set(canvas, x, y, colour);
}

namespace {

// Lower edge of a northern-light curtain at u (0..1 across the picture).
float aurora_edge(float u, float base_y, int waves, uint32_t seed) {
    return base_y + 0.03f * std::sin(2.0f * PI * waves * u + 1.3f) +
           0.018f * std::sin(2.0f * PI * (waves * 2 + 1) * u) +
           0.03f * (noise_tile(u, 0.0f, 8, 1, seed) - 0.5f);
}

} // namespace

void paint_aurora(Canvas& canvas, uint32_t seed, float base_y, float height, float strength,
                  bool wrap) {
    float width = canvas.aspect;
    int waves = wrap ? 2 : 3;
    float du = 0.5f / canvas.width;
    canvas_shade(canvas, [&](float x, float y, Colour c) {
        float u = x / width;
        float edge = aurora_edge(u, base_y, waves, seed);
        float above = edge - y; // how far above the lower edge
        if (above < -0.02f || above > height * 1.3f) return c;
        // Where the curtain folds, it is seen edge-on and glows brighter.
        float slope =
            (aurora_edge(u + du, base_y, waves, seed) - aurora_edge(u - du, base_y, waves, seed)) /
            (2.0f * du);
        float fold = 0.8f + 0.5f * clamp01(std::fabs(slope) / 0.5f);
        float rays = 0.35f + 0.65f * noise_tile(u, 0.0f, 96, 1, seed + 1) *
                                 (0.5f + 0.5f * noise_tile(u, 0.0f, 24, 1, seed + 2));
        float lower = smoothstep(-0.015f, 0.01f, above);
        float fade = std::exp(-above / (height * 0.4f));
        float rim = std::exp(-std::pow((above - 0.01f) / 0.015f, 2.0f)) * 0.18f;
        float curtain = (lower * fade * rays + rim) * fold * strength *
                        (0.6f + 0.4f * noise_tile(u, 0.0f, 5, 1, seed + 3));
        float h = clamp01(above / height);
        const Colour stops[] = {{0.5f, 1.0f, 0.7f}, AURORA, TEAL, VIOLET};
        return colour_add(c, colour_scale(ramp(stops, 4, h), curtain));
    });
}

namespace {

// Height 0..1 of a mountain range at u (0..1 across the picture): sharp
// ridged peaks of several sizes.
float range_height(float u, uint32_t seed) {
    float n = 0.0f, amp = 1.0f, total = 0.0f;
    for (int k = 0; k < 5; ++k) {
        float v = noise_tile(u, 0.0f, 4 << k, 1, seed + k);
        float ridge = 1.0f - std::fabs(2.0f * v - 1.0f);
        n += amp * ridge * ridge;
        total += amp;
        amp *= 0.45f;
    }
    float broad = noise_tile(u, 0.0f, 3, 1, seed + 17);
    return clamp01((n / total) * (0.55f + 0.6f * broad));
}

} // namespace

void paint_mountains(Canvas& canvas, uint32_t seed, float ridge_y, float height, Colour rock,
                     Colour snow) {
    int columns = canvas.width;
    std::vector<float> heights(columns);
    for (int px = 0; px < columns; ++px)
        heights[px] = range_height((px + 0.5f) / columns, seed);
    auto at = [&](int px) { return heights[std::min(columns - 1, std::max(0, px))]; };
    float pixel = 1.0f / canvas.height;
    float column_width = canvas.aspect / columns; // design units
    canvas_shade(canvas, [&](float x, float y, Colour c) {
        int px = std::min(columns - 1, static_cast<int>(x / column_width));
        float top = ridge_y - height * at(px);
        float cover = clamp01((y - top) / pixel + 0.5f);
        if (cover <= 0.0f) return c;
        float depth = (y - top) / height; // 0 at the ridge, about 1 at the foot
        // Slope of the ridge over a window that widens downwards, so faces
        // below a peak share its light: faces falling to the right catch
        // the moonlight.
        int window = 2 + static_cast<int>(depth * columns * 0.04f);
        float slope = (at(px - window) - at(px + window)) * height / (2.0f * window * column_width);
        float gully = noise_tile(x / canvas.aspect, depth * 0.5f, 64, 2, seed + 23);
        float lit = clamp01(0.5f + 0.8f * slope + 0.25f * (gully - 0.5f));
        float snow_line = 0.2f + 0.45f * gully * gully;
        Colour snow_face = colour_mix(colour_scale(snow, 0.5f), snow, lit);
        Colour rock_face = colour_mix(rock, colour_mix(rock, snow, 0.3f), lit * 0.7f);
        float snowy = smoothstep(snow_line + 0.04f, snow_line - 0.04f, depth);
        Colour ground = colour_mix(rock_face, snow_face, snowy);
        // Mist gathers at the foot of the range.
        ground = colour_mix(ground, colour_scale(rock, 1.5f), smoothstep(0.5f, 1.3f, depth) * 0.6f);
        return colour_mix(c, ground, cover);
    });
}

void mask_snowflake(Mask& mask, float cx, float cy, float r, float half_width) {
    for (int arm = 0; arm < 6; ++arm) {
        float a = arm * PI / 3.0f + PI / 2.0f;
        float dx = std::cos(a), dy = std::sin(a);
        mask_line(mask, cx, cy, cx + dx * r, cy + dy * r, half_width);
        for (int k = 1; k <= 2; ++k) {
            float t = r * (0.35f + 0.25f * k);
            float bx = cx + dx * t, by = cy + dy * t;
            float len = r * (0.45f - 0.13f * k);
            for (float side : {-1.0f, 1.0f}) {
                float b = a + side * PI / 3.0f;
                mask_line(mask, bx, by, bx + std::cos(b) * len, by + std::sin(b) * len,
                          half_width * 0.8f);
            }
        }
    }
    mask_disc(mask, cx, cy, half_width * 2.5f);
}

void mask_fir(Mask& mask, float cx, float base_y, float h) {
    float pixel = pixel_size(mask);
    mask_union_box(mask, cx - h * 0.5f, base_y - h * 1.05f, cx + h * 0.5f, base_y + h * 0.05f,
                   [&](float x, float y) {
                       float trunk = edge_coverage(
                           distance_box(x, y, cx, base_y - h * 0.05f, h * 0.04f, h * 0.05f, 0.0f),
                           pixel);
                       float best = trunk;
                       for (int tier = 0; tier < 4; ++tier) {
                           float top = base_y - h * (1.0f - tier * 0.2f);
                           float bottom = base_y - h * (0.45f - tier * 0.12f);
                           if (y < top || y > bottom) continue;
                           float half = (y - top) / (bottom - top) * h * (0.2f + tier * 0.06f);
                           best = std::max(best, edge_coverage(std::fabs(x - cx) - half, pixel));
                       }
                       return best;
                   });
}

void paint_vertical(Canvas& canvas, Colour top, Colour bottom) {
    canvas_paint(canvas, [&](float, float y) { return colour_mix(top, bottom, y); });
}

void canvas_from_levels(Canvas& canvas, const Mask& levels, const Colour* stops, int count) {
    for (int py = 0; py < canvas.height; ++py)
        for (int px = 0; px < canvas.width; ++px)
            canvas_set(
                canvas, px, py,
                ramp(stops, count, levels.value[static_cast<size_t>(py) * levels.width + px]));
}
