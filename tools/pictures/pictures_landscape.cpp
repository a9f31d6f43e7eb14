// Pictures of the flying-words and landscape scenes: backgrounds, the
// banner with its mask, the wave strip, ground tiles, the house, the bridge,
// the backdrop, the trees and the saucer.
#include <algorithm>
#include <cmath>

#include "picture_art.h"
#include "picture_table.h"

namespace {

constexpr float PI = 3.14159265f;

// Colour of the flying words of scene 4, taken from wall.bmp's corners: the
// white corner boards of the house.
constexpr Colour TRIM_COLOUR = {0.93f, 0.95f, 0.98f};

// Draws a shape into a tile at its place and at the neighbouring repeats,
// so shapes crossing an edge continue on the other side.
template <typename Draw> void tiled(float width, float height, Draw draw) {
    for (float oy : {-height, 0.0f, height})
        for (float ox : {-width, 0.0f, width})
            draw(ox, oy);
}

// The banner body of scene 4, shared by its mask and its two bright layers.
Mask banner_body(const Canvas& c) {
    Mask body = mask_like(c);
    float pixel = pixel_size(body);
    mask_paint(body, [&](float x, float y) {
        return edge_coverage(
            distance_box(x, y, c.aspect * 0.5f, 0.5f, c.aspect * 0.47f, 0.33f, 0.12f), pixel);
    });
    return body;
}

// One bright layer of the banner; `flash` 0 or 1 picks the beat variant.
void banner_layer(Canvas& c, int flash) {
    Mask body = banner_body(c);
    Colour top = flash ? Colour{0.10f, 0.22f, 0.45f} : Colour{0.04f, 0.08f, 0.22f};
    Colour bottom = flash ? Colour{0.02f, 0.06f, 0.18f} : Colour{0.01f, 0.02f, 0.08f};
    canvas_over_paint(c, body,
                      [&](float, float y) { return colour_mix(top, bottom, (y - 0.17f) / 0.66f); });
    // Frame lines and a scan of northern light along the band.
    Mask frame = mask_like(c);
    float pixel = pixel_size(frame);
    mask_paint(frame, [&](float x, float y) {
        float d = std::fabs(
            distance_box(x, y, c.aspect * 0.5f, 0.5f, c.aspect * 0.47f - 0.04f, 0.29f, 0.09f));
        return edge_coverage(d - 0.006f, pixel);
    });
    canvas_add(c, frame, flash ? AMBER : CYAN, 0.9f);
    Mask wave = mask_like(c);
    mask_paint(wave, [&](float x, float y) {
        float centre = 0.5f + 0.2f * std::sin(x * 2.2f + flash * PI);
        return std::exp(-std::pow((y - centre) / 0.05f, 2.0f)) * 0.5f;
    });
    for (size_t i = 0; i < wave.value.size(); ++i)
        wave.value[i] *= body.value[i];
    canvas_add(c, wave, flash ? AURORA : TEAL, 0.6f);
    LetterStyle style = style_chrome();
    if (flash) {
        style.glow = AMBER;
        style.outline = {1.0f, 0.85f, 0.5f};
    }
    style.glow_radius = 0.04f;
    letters(c, FONT_BOLD_ITALIC, "DEER COAST  *  VINTERMOOT", c.aspect * 0.5f, 0.5f, 0.46f, 0.03f,
            c.aspect * 0.86f, style);
    // Nothing outside the body.
    Mask outside = mask_copy(body);
    for (float& v : outside.value)
        v = 1.0f - v;
    canvas_darken(c, outside, 1.0f);
}

} // namespace

void paint_s4_back(Canvas& c) {
    // Turning background: tiled frost and northern light clouds, added onto
    // black.  The texture matrix turns it, so it repeats without seams.
    canvas_paint(c, [&](float x, float y) {
        float n = fbm_tile(x, y, 3, 3, 5, 404);
        float m = fbm_tile(x, y, 2, 2, 4, 405);
        float streak =
            std::pow(0.5f + 0.5f * std::sin(2.0f * PI * (x * 2.0f + y * 3.0f) + 6.0f * m), 6.0f);
        const Colour stops[] = {NIGHT, NAVY, TEAL, AURORA};
        Colour col = ramp(stops, 4, clamp01((n - 0.3f) * 1.6f));
        col = colour_add(colour_scale(col, 0.45f), colour_scale(VIOLET, 0.2f * streak * m));
        return col;
    });
}

void paint_s4_scroller(Canvas& c) {
    banner_layer(c, 0);
}

void paint_s4_scroller2(Canvas& c) {
    banner_layer(c, 1);
}

void paint_s4_head(Canvas& c) {
    // Mask of the banner: white where the frame shows through, black under the band.
    Mask body = banner_body(c);
    canvas_paint(c, [](float, float) { return WHITE; });
    canvas_darken(c, body, 1.0f);
}

void paint_cozsin(Canvas& c) {
    // Low strip: a sine and a cosine wave of light on dark steel.
    paint_vertical(c, {0.05f, 0.09f, 0.22f}, {0.01f, 0.02f, 0.07f});
    Mask sine = mask_like(c), cosine = mask_like(c);
    float pixel = pixel_size(sine);
    mask_paint(sine, [&](float x, float y) {
        return edge_coverage(std::fabs(y - (0.5f + 0.3f * std::sin(x * 1.6f))) - 0.025f, pixel);
    });
    mask_paint(cosine, [&](float x, float y) {
        return edge_coverage(std::fabs(y - (0.5f + 0.3f * std::cos(x * 1.6f))) - 0.025f, pixel);
    });
    Mask glow = mask_copy(sine);
    mask_blur(glow, 0.1f, false);
    canvas_add(c, glow, CYAN, 0.8f);
    Mask glow2 = mask_copy(cosine);
    mask_blur(glow2, 0.1f, false);
    canvas_add(c, glow2, AURORA, 0.6f);
    canvas_over(c, sine, ICE);
    canvas_over(c, cosine, {0.7f, 1.0f, 0.8f});
    Mask rims = mask_like(c);
    mask_paint(rims, [&](float, float y) {
        return edge_coverage(std::min(y, 1.0f - y) - 0.04f, 1.0f / c.height);
    });
    canvas_over(c, rims, STEEL);
}

void paint_grass(Canvas& c) {
    // Snow-covered field under the night sky: wind ripples across the snow,
    // bare patches and tufts of dry grass in clumps; tiles.
    float w = c.aspect;
    canvas_paint(c, [&](float x, float y) {
        float u = x / w;
        float drift = fbm_tile(u, y, 4, 8, 5, 501);
        float warp = fbm_tile(u, y, 2, 4, 3, 504);
        float ripple = 0.5f + 0.5f * std::sin(2.0f * PI * (y * 24.0f + warp * 3.0f));
        float bare = smoothstep(0.62f, 0.72f, fbm_tile(u, y, 3, 6, 4, 502));
        Colour snow = colour_scale(SNOW, 0.6f + 0.25f * drift + 0.1f * ripple);
        Colour ground = colour_mix({0.10f, 0.12f, 0.12f}, {0.22f, 0.24f, 0.18f}, drift);
        return colour_mix(snow, ground, bare * 0.75f);
    });
    // Tufts gather around a few clump centres near the bare patches.
    Mask blades = mask_like(c);
    Rng rng = rng_make(503);
    for (int clump = 0; clump < 60; ++clump) {
        float cx = rng_range(rng, 0.0f, w), cy = rng_range(rng, 0.0f, 1.0f);
        for (int i = 0; i < 7; ++i) {
            float lean = rng_range(rng, -0.025f, 0.025f), len = rng_range(rng, 0.015f, 0.035f);
            tiled(w, 1.0f, [&](float ox, float oy) {
                mask_line(blades, cx + ox, cy + oy, cx + ox + lean, cy + oy - len, 0.0018f);
            });
        }
    }
    canvas_over(c, blades, {0.26f, 0.25f, 0.15f});
}

void paint_water(Canvas& c) {
    // Dark stream under thin ice: ripples along the flow and drifting floes.
    float w = c.aspect;
    canvas_paint(c, [&](float x, float y) {
        float u = x / w;
        float ripple = fbm_tile(u, y, 2, 16, 4, 601);
        float floe = smoothstep(0.62f, 0.66f, fbm_tile(u, y, 2, 10, 4, 602));
        Colour water = colour_mix({0.01f, 0.05f, 0.16f}, {0.08f, 0.25f, 0.45f}, ripple);
        float glint = std::pow(noise_tile(u, y, 8, 96, 603), 8.0f);
        water = colour_add(water, colour_scale(ICE, glint * 0.8f));
        return colour_mix(water, colour_scale(SNOW, 0.75f), floe * 0.8f);
    });
}

void paint_sand(Canvas& c) {
    // Frozen sand and gravel with frost; tiles.
    canvas_paint(c, [&](float x, float y) {
        float n = fbm_tile(x, y, 8, 8, 5, 701);
        float grit = noise_tile(x, y, 128, 128, 702);
        float frost = smoothstep(0.55f, 0.75f, fbm_tile(x, y, 4, 4, 4, 703));
        Colour sand = colour_mix({0.30f, 0.27f, 0.22f}, {0.55f, 0.50f, 0.42f}, n);
        sand = colour_scale(sand, 0.8f + 0.35f * grit);
        return colour_mix(sand, SNOW, frost * 0.6f);
    });
}

void paint_wall(Canvas& c) {
    // House wall, drawn upright: red-brown boards, white corner boards and
    // trims, a warmly lit window.  Stored turned for the box's side faces.
    float w = c.aspect;
    canvas_paint(c, [&](float x, float y) {
        float board = y * 9.0f;
        float in_board = board - std::floor(board);
        float grain = fbm_tile(x / w, y, 3, 48, 3, 801 + static_cast<int>(board));
        Colour wood = colour_mix({0.30f, 0.06f, 0.05f}, {0.52f, 0.14f, 0.10f}, grain);
        float gap = smoothstep(0.0f, 0.08f, in_board) * smoothstep(1.0f, 0.85f, in_board);
        return colour_scale(wood, 0.45f + 0.55f * gap);
    });
    float pixel = 1.0f / c.height;
    Mask trim = mask_like(c);
    mask_paint(trim, [&](float x, float y) {
        float side = std::min(x, w - x) - 0.09f;
        float ends = std::min(y, 1.0f - y) - 0.05f;
        float window = std::fabs(distance_box(x, y, w * 0.5f, 0.45f, 0.2f, 0.22f, 0.0f)) - 0.025f;
        return edge_coverage(std::min({side, ends, window}), pixel);
    });
    Mask glass = mask_like(c);
    mask_paint(glass, [&](float x, float y) {
        float pane = distance_box(x, y, w * 0.5f, 0.45f, 0.2f, 0.22f, 0.0f);
        float bars = std::min(std::fabs(x - w * 0.5f), std::fabs(y - 0.45f)) - 0.012f;
        return edge_coverage(std::max(pane, -bars), pixel);
    });
    canvas_over_paint(c, glass, [&](float x, float y) {
        float r = std::hypot(x - w * 0.5f, y - 0.5f);
        return colour_mix({1.0f, 0.85f, 0.5f}, {0.75f, 0.35f, 0.08f}, clamp01(r / 0.25f));
    });
    canvas_over_paint(c, trim, [&](float x, float y) {
        float shade = 0.85f + 0.15f * noise_tile(x / w, y, 32, 16, 809);
        return colour_scale(TRIM_COLOUR, shade);
    });
    // Snow on the sill.
    Mask sill = mask_like(c);
    mask_paint(sill, [&](float x, float y) {
        return edge_coverage(distance_box(x, y, w * 0.5f, 0.695f, 0.25f, 0.018f, 0.015f), pixel);
    });
    canvas_over(c, sill, WHITE);
    set_corners(c, TRIM_COLOUR);
}

void paint_bridge(Canvas& c) {
    // Bridge deck seen from above: planks across the stream, dusted with snow.
    float w = c.aspect;
    canvas_paint(c, [&](float x, float y) {
        float plank = x * 7.0f;
        int index = static_cast<int>(plank);
        float in_plank = plank - std::floor(plank);
        float grain = fbm_tile(x / w, y, 48, 2, 4, 900 + index);
        Colour wood = colour_mix({0.22f, 0.15f, 0.10f}, {0.45f, 0.34f, 0.24f}, grain);
        wood = colour_scale(
            wood, 0.85f + 0.3f * noise_tile(static_cast<float>(index) / 16.0f, 0.0f, 16, 1, 910));
        float gap = smoothstep(0.0f, 0.06f, in_plank) * smoothstep(1.0f, 0.94f, in_plank);
        float nail = 0.0f;
        for (float ny : {0.12f, 0.88f})
            nail = std::max(
                nail,
                clamp01(1.0f - std::hypot((in_plank - 0.5f) / 7.0f, (y - ny) / 2.0f) / 0.012f));
        float snow =
            smoothstep(0.6f, 0.75f, fbm_tile(x / w, y, 12, 6, 4, 920)) * (1.0f - 0.5f * gap);
        Colour col = colour_scale(wood, 0.3f + 0.7f * gap);
        col = colour_mix(col, {0.1f, 0.1f, 0.12f}, nail);
        return colour_mix(col, SNOW, snow * 0.85f);
    });
}

void paint_back_s5(Canvas& c) {
    // Backdrop of the landscape: a winter night sky with northern lights and
    // the moon over snowy mountains.  The fields hide the lower third and
    // the fog dims it, so it is painted bright.
    paint_vertical(c, {0.05f, 0.08f, 0.25f}, {0.35f, 0.55f, 0.85f});
    paint_stars(c, 505, 360, 0.0f, 0.0f, c.aspect, 0.5f, 1.0f);
    Mask moon = mask_like(c);
    float pixel = pixel_size(moon);
    mask_paint(moon, [&](float x, float y) {
        return edge_coverage(distance_disc(x, y, 0.95f, 0.24f, 0.06f), pixel);
    });
    Mask halo = mask_copy(moon);
    mask_blur(halo, 0.12f, false);
    canvas_add(c, halo, ICE, 1.2f);
    canvas_over_paint(c, moon, [&](float x, float y) {
        float crater = fbm_tile(x, y, 24, 24, 3, 506);
        return colour_scale({1.0f, 0.97f, 0.88f}, 0.8f + 0.25f * crater);
    });
    paint_aurora(c, 57, 0.42f, 0.25f, 1.1f, false);
    paint_mountains(c, 58, 0.62f, 0.24f, {0.12f, 0.16f, 0.30f}, {0.85f, 0.90f, 1.0f});
    paint_mountains(c, 59, 0.65f, 0.08f, {0.08f, 0.10f, 0.22f}, {0.7f, 0.78f, 0.92f});
    // Snow plain with a dark forest edge.
    canvas_shade(c, [&](float x, float y, Colour old) {
        if (y < 0.64f) return old;
        float n = fbm_tile(x / c.aspect, y, 16, 8, 4, 560);
        return colour_mix(old, colour_scale(SNOW, 0.55f + 0.35f * n), smoothstep(0.64f, 0.66f, y));
    });
    Mask forest = mask_like(c);
    Rng rng = rng_make(561);
    for (int i = 0; i < 90; ++i) {
        float x = rng_range(rng, 0.0f, c.aspect);
        mask_fir(forest, x, 0.665f + rng_range(rng, 0.0f, 0.01f), rng_range(rng, 0.03f, 0.07f));
    }
    canvas_over(c, forest, {0.03f, 0.07f, 0.10f});
}

void paint_tree(Canvas& c) {
    // A single snowy fir on black (kept in the set, not shown by the scenes).
    Mask fir = mask_like(c);
    mask_fir(fir, 0.5f, 0.92f, 0.82f);
    Mask snow = mask_like(c);
    mask_paint(snow, [&](float x, float y) {
        return smoothstep(0.55f, 0.7f, fbm_tile(x, y, 8, 8, 4, 1001));
    });
    for (size_t i = 0; i < snow.value.size(); ++i)
        snow.value[i] *= fir.value[i];
    Mask glow = mask_copy(fir);
    mask_blur(glow, 0.05f, false);
    canvas_add(c, glow, TEAL, 0.35f);
    canvas_over(c, fir, {0.05f, 0.25f, 0.16f});
    canvas_over(c, snow, SNOW);
}

void paint_tree2(Canvas& c) {
    // Fir tops seen from above, added over the fields: dark where no tree
    // stands, tiles in both directions.
    float w = c.aspect;
    Mask tops = mask_like(c), snow = mask_like(c);
    float pixel = pixel_size(tops);
    Rng rng = rng_make(1101);
    for (int i = 0; i < 22; ++i) {
        float cx = rng_range(rng, 0.0f, w), cy = rng_range(rng, 0.0f, 1.0f);
        float r = rng_range(rng, 0.05f, 0.1f);
        float turn = rng_range(rng, 0.0f, 2.0f * PI);
        tiled(w, 1.0f, [&](float ox, float oy) {
            float x0 = cx + ox, y0 = cy + oy;
            if (x0 < -r || x0 > w + r || y0 < -r || y0 > 1.0f + r) return;
            mask_union_box(tops, x0 - r, y0 - r, x0 + r, y0 + r, [&](float x, float y) {
                float a = std::atan2(y - y0, x - x0) + turn;
                float edge = r * (0.6f + 0.4f * std::pow(std::fabs(std::cos(3.5f * a)), 0.6f));
                return edge_coverage(std::hypot(x - x0, y - y0) - edge, pixel);
            });
            mask_union_box(snow, x0 - r, y0 - r, x0 + r, y0 + r, [&](float x, float y) {
                float a = std::atan2(y - y0, x - x0) + turn;
                float d = std::hypot(x - x0, y - y0);
                float arms = std::pow(std::fabs(std::cos(3.5f * a)), 8.0f);
                return arms * smoothstep(r, r * 0.3f, d) * 0.9f + smoothstep(r * 0.25f, 0.0f, d);
            });
        });
    }
    Mask glow = mask_copy(tops);
    mask_blur(glow, 0.03f, true);
    canvas_add(c, glow, TEAL, 0.15f);
    canvas_over_paint(c, tops, [&](float x, float y) {
        return colour_mix({0.03f, 0.16f, 0.10f}, {0.08f, 0.3f, 0.18f},
                          fbm_tile(x / w, y, 16, 16, 3, 1102));
    });
    for (size_t i = 0; i < snow.value.size(); ++i)
        snow.value[i] *= tops.value[i];
    canvas_over(c, snow, colour_scale(SNOW, 0.8f));
}

void paint_door(Canvas& c) {
    // Door of the house, drawn upright (stored turned half round): planks,
    // iron straps, a small lit window and the handle.
    float w = c.aspect;
    float pixel = 1.0f / c.height;
    canvas_paint(c, [&](float x, float y) {
        float plank = x / w * 5.0f;
        float in_plank = plank - std::floor(plank);
        float grain = fbm_tile(x / w, y, 32, 2, 4, 1201 + static_cast<int>(plank));
        Colour wood = colour_mix({0.18f, 0.09f, 0.05f}, {0.38f, 0.2f, 0.1f}, grain);
        float gap = smoothstep(0.0f, 0.05f, in_plank) * smoothstep(1.0f, 0.95f, in_plank);
        return colour_scale(wood, 0.4f + 0.6f * gap);
    });
    Mask frame = mask_like(c), iron = mask_like(c), glass = mask_like(c), knob = mask_like(c);
    mask_paint(frame, [&](float x, float y) {
        return edge_coverage(std::min({x, w - x, y}) - 0.05f, pixel);
    });
    mask_paint(iron, [&](float x, float y) {
        float straps = std::min(std::fabs(y - 0.3f), std::fabs(y - 0.8f)) - 0.02f;
        return x > 0.05f && x < w * 0.75f ? edge_coverage(straps, pixel) : 0.0f;
    });
    mask_paint(glass, [&](float x, float y) {
        float pane = distance_box(x, y, w * 0.5f, 0.17f, 0.12f, 0.07f, 0.02f);
        float bar = std::fabs(x - w * 0.5f) - 0.008f;
        return edge_coverage(std::max(pane, -bar), pixel);
    });
    mask_disc(knob, w * 0.82f, 0.56f, 0.03f);
    canvas_over(c, frame, {0.85f, 0.88f, 0.92f});
    canvas_over(c, iron, {0.12f, 0.12f, 0.14f});
    canvas_over(c, glass, {1.0f, 0.78f, 0.4f});
    canvas_over(c, knob, {0.7f, 0.6f, 0.3f});
    Mask drift = mask_like(c);
    mask_paint(drift, [&](float x, float y) {
        float top = 0.93f - 0.03f * fbm_tile(x / w, 0.0f, 8, 1, 2, 1210);
        return smoothstep(top - 0.005f, top + 0.005f, y);
    });
    canvas_over(c, drift, SNOW);
}

void paint_ufo(Canvas& c) {
    // Saucer: polished hull, glass dome, amber running lights; black around.
    float pixel = pixel_size(mask_like(c));
    Mask hull = mask_like(c), dome = mask_like(c), lights = mask_like(c);
    mask_paint(hull, [&](float x, float y) {
        float d = std::hypot((x - 0.75f) / 0.62f, (y - 0.58f) / 0.14f) - 1.0f;
        return edge_coverage(d * 0.14f, pixel);
    });
    mask_paint(dome, [&](float x, float y) {
        float d = std::hypot((x - 0.75f) / 0.24f, (y - 0.5f) / 0.26f) - 1.0f;
        return y < 0.55f ? edge_coverage(d * 0.24f, pixel) : 0.0f;
    });
    for (int k = 0; k < 7; ++k) {
        float x = 0.75f + (k - 3) * 0.16f;
        mask_disc(lights, x, 0.6f + 0.015f * std::fabs(static_cast<float>(k - 3)), 0.022f);
    }
    Mask glow = mask_copy(hull);
    mask_blur(glow, 0.06f, false);
    canvas_add(c, glow, CYAN, 0.4f);
    canvas_over_paint(c, hull, [&](float, float y) {
        return colour_mix({0.85f, 0.9f, 1.0f}, {0.25f, 0.3f, 0.45f}, smoothstep(0.47f, 0.7f, y));
    });
    canvas_over_paint(c, dome, [&](float x, float y) {
        float hi = std::exp(-std::pow(std::hypot(x - 0.68f, y - 0.38f) / 0.07f, 2.0f));
        return colour_add(colour_mix({0.2f, 0.6f, 0.9f}, {0.05f, 0.15f, 0.35f}, y * 1.5f),
                          colour_scale(WHITE, hi));
    });
    canvas_over(c, lights, {1.0f, 0.8f, 0.35f});
    Mask light_glow = mask_copy(lights);
    mask_blur(light_glow, 0.03f, false);
    canvas_add(c, light_glow, AMBER, 0.8f);
}

void paint_ufo_inv(Canvas& c) {
    // Mask of the saucer: white around, dark under the hull and dome.
    float pixel = pixel_size(mask_like(c));
    Mask shape = mask_like(c);
    mask_paint(shape, [&](float x, float y) {
        float hull = std::hypot((x - 0.75f) / 0.62f, (y - 0.58f) / 0.14f) - 1.0f;
        float dome = y < 0.55f ? std::hypot((x - 0.75f) / 0.24f, (y - 0.5f) / 0.26f) - 1.0f : 1.0f;
        return edge_coverage(std::min(hull * 0.14f, dome * 0.24f) - 0.01f, pixel);
    });
    canvas_paint(c, [](float, float) { return WHITE; });
    canvas_darken(c, shape, 1.0f);
}
