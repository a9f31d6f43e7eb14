// Pictures of the first three scenes and the overlay bars: title picture,
// binary digits, beat pictures, environment maps, stars, the production's
// logo and its mask, stripes.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "picture_art.h"
#include "picture_table.h"

namespace {

constexpr float PI = 3.14159265f;

// Colour of the texts that take their colour from a picture's corners.
constexpr Colour WORD_LOGO_COLOUR = {0.80f, 0.92f, 1.0f};  // scene 1 line logo (logo.bmp)
constexpr Colour CURLY_TEXT_COLOUR = {0.35f, 0.85f, 1.0f}; // scene 1 "{x}" (logo2.bmp)
constexpr Colour MESSAGE_COLOUR = {1.0f, 0.78f, 0.40f};    // scene 5 messages (back.bmp)

// Levels painted through the picture's own colour-table ramp.
void from_levels(Canvas& canvas, const Mask& levels, const Colour* stops, int count) {
    canvas_from_levels(canvas, levels, stops, count);
}

// Binary digits in a 4 x 4 grid of cells, each digit inside its cell so the
// tile repeats without seams and its border stays black.
void bits_levels(Mask& levels, uint32_t seed) {
    Rng rng = rng_make(seed);
    Mask digits = mask_make(levels.width, levels.height, levels.aspect);
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            Mask one = mask_make(levels.width, levels.height, levels.aspect);
            const char* bit = (rng_next(rng) >> 7) & 1 ? "1" : "0";
            text_draw(one, FONT_MONO_BOLD, bit, 0.125f + col * 0.25f, 0.125f + row * 0.25f, 0.24f,
                      0.0f);
            float power = rng_range(rng, 0.45f, 1.0f);
            for (size_t i = 0; i < one.value.size(); ++i)
                digits.value[i] = std::max(digits.value[i], one.value[i] * power);
        }
    Mask glow = mask_copy(digits);
    mask_blur(glow, 0.025f, true);
    for (size_t i = 0; i < levels.value.size(); ++i)
        levels.value[i] = clamp01(std::max(digits.value[i] * 0.92f, glow.value[i] * 0.8f));
}

const Colour BITS_GREEN[] = {
    BLACK, {0.0f, 0.18f, 0.08f}, {0.1f, 0.75f, 0.35f}, {0.8f, 1.0f, 0.85f}};
const Colour BITS_CYAN[] = {
    BLACK, {0.0f, 0.12f, 0.25f}, {0.15f, 0.65f, 0.95f}, {0.85f, 0.97f, 1.0f}};
const Colour LEVELS_ICE[] = {BLACK, {0.03f, 0.08f, 0.25f}, {0.15f, 0.55f, 0.95f}, ICE, WHITE};
const Colour LEVELS_AURORA[] = {BLACK, {0.0f, 0.15f, 0.12f}, TEAL, AURORA, {0.9f, 1.0f, 0.92f}};
const Colour LEVELS_VIOLET[] = {BLACK, {0.10f, 0.04f, 0.25f}, VIOLET, {0.75f, 0.8f, 1.0f}, WHITE};
const Colour LEVELS_AMBER[] = {
    BLACK, {0.25f, 0.08f, 0.02f}, {0.9f, 0.45f, 0.1f}, AMBER, {1.0f, 0.97f, 0.88f}};

// A beat picture's frame: a thin rounded ring inset from the edge.
void beat_frame(Mask& levels) {
    float pixel = pixel_size(levels);
    mask_union(levels, [&](float x, float y) {
        float d = std::fabs(distance_box(x, y, 0.5f, 0.5f, 0.43f, 0.43f, 0.08f));
        return 0.55f * edge_coverage(d - 0.008f, pixel);
    });
}

// Glow under a level mask: levels = max(shape, blurred shape × gain).
void glow_levels(Mask& levels, float radius, float gain) {
    Mask glow = mask_copy(levels);
    mask_blur(glow, radius, false);
    for (size_t i = 0; i < levels.value.size(); ++i)
        levels.value[i] = clamp01(std::max(levels.value[i], glow.value[i] * gain));
}

} // namespace

void paint_bin(Canvas& c) {
    Mask levels = mask_like(c);
    bits_levels(levels, 11);
    from_levels(c, levels, BITS_GREEN, 4);
}

void paint_bin2(Canvas& c) {
    Mask levels = mask_like(c);
    bits_levels(levels, 23);
    from_levels(c, levels, BITS_CYAN, 4);
}

void paint_logo(Canvas& c) {
    // Title picture: night sky over the fjord mountains, the show's name in
    // ice chrome across the middle (bars hide the top and bottom quarters).
    paint_vertical(c, NIGHT, {0.05f, 0.12f, 0.30f});
    paint_stars(c, 101, 260, 0.0f, 0.0f, c.aspect, 0.75f, 0.8f);
    paint_aurora(c, 7, 0.55f, 0.32f, 0.85f, false);
    paint_mountains(c, 31, 0.78f, 0.2f, {0.03f, 0.05f, 0.12f}, {0.55f, 0.65f, 0.85f});
    letters(c, FONT_BOLD, "deer coast presents", c.aspect * 0.5f, 0.31f, 0.045f, 0.35f, 0.0f,
            style_ice());
    letters(c, FONT_BOLD_ITALIC, "VINTERMOOT", c.aspect * 0.5f, 0.43f, 0.17f, 0.02f,
            c.aspect * 0.92f, style_chrome());
    letters(c, FONT_BOLD, "2 0 0 2", c.aspect * 0.5f, 0.565f, 0.08f, 0.35f, 0.0f, style_amber());
    set_corners(c, WORD_LOGO_COLOUR);
}

void paint_back(Canvas& c) {
    // Scene 2 backdrop: a dark digital fjord; a perspective grid floor under
    // a glowing horizon.  Only the middle half shows between the bars.
    paint_vertical(c, NIGHT, {0.03f, 0.07f, 0.20f});
    paint_stars(c, 202, 200, 0.0f, 0.0f, c.aspect, 0.5f, 0.6f);
    paint_aurora(c, 17, 0.45f, 0.2f, 0.5f, false);
    float horizon = 0.56f;
    float pixel = 1.0f / c.height;
    canvas_shade(c, [&](float x, float y, Colour old) {
        if (y < horizon) {
            float haze = std::exp(-(horizon - y) / 0.05f);
            return colour_add(old, colour_scale(CYAN, 0.35f * haze));
        }
        // Floor grid in perspective: depth z grows towards the horizon,
        // across-position gx scales with it.  Lines are antialiased by
        // their width in grid units and fade where they crowd together.
        float below = std::max(y - horizon, pixel * 0.5f);
        float z = 0.4f / below;
        float gx = (x - c.aspect * 0.5f) * z;
        float width_x = z * pixel * 1.5f;
        float width_z = 0.4f / (below * below) * pixel * 1.5f;
        float line_x = std::fabs(gx - std::round(gx));
        float line_z = std::fabs(z - std::round(z));
        float cover_x = clamp01(1.0f - line_x / width_x) * smoothstep(0.5f, 0.15f, width_x);
        float cover_z = clamp01(1.0f - line_z / width_z) * smoothstep(0.5f, 0.15f, width_z);
        float grid = std::max(cover_x, cover_z);
        Colour floor =
            colour_mix({0.03f, 0.07f, 0.18f}, {0.01f, 0.02f, 0.06f}, clamp01(below * 3.0f));
        float glow = std::exp(-below / 0.03f);
        return colour_add(colour_add(floor, colour_scale(CYAN, 0.3f * glow)),
                          colour_scale(CYAN, grid * 0.6f));
    });
    set_corners(c, MESSAGE_COLOUR);
}

void paint_comp(Canvas& c) {
    // Overlay bar tile (2.16 x 0.6 per repeat): brushed dark steel, a frosted
    // ridge and a row of small ice diamonds; repeats without seams.
    canvas_paint(c, [&](float x, float y) {
        float u = x / c.aspect;
        float grain = fbm_tile(u, y, 16, 2, 3, 41);
        float band = 0.5f + 0.5f * std::cos(2.0f * PI * y);
        Colour base = colour_mix({0.02f, 0.04f, 0.10f}, {0.08f, 0.13f, 0.28f}, band);
        base = colour_scale(base, 0.8f + 0.4f * grain);
        float ridge = std::exp(-std::pow((y - 0.5f) / 0.04f, 2.0f));
        base = colour_add(base, colour_scale(ICE, 0.25f * ridge));
        // Diamonds every quarter of the tile, between the ridge and the edges.
        float cell = std::fmod(u * 4.0f, 1.0f) - 0.5f;
        float d = std::fabs(cell) * c.aspect / 4.0f + std::fabs(y - 0.5f);
        float diamond = clamp01((0.12f - d) / 0.02f);
        base = colour_add(base, colour_scale(CYAN, 0.55f * diamond));
        float edge = std::min(y, 1.0f - y);
        return colour_scale(base, 0.55f + 0.45f * smoothstep(0.0f, 0.12f, edge));
    });
}

void paint_beat1(Canvas& c) {
    Mask levels = mask_like(c);
    mask_snowflake(levels, 0.5f, 0.5f, 0.32f, 0.018f);
    glow_levels(levels, 0.05f, 0.9f);
    beat_frame(levels);
    from_levels(c, levels, LEVELS_ICE, 5);
}

void paint_beat2(Canvas& c) {
    // Deer head with antlers, the group's emblem.
    Mask levels = mask_like(c);
    float pixel = pixel_size(levels);
    mask_union(levels, [&](float x, float y) {
        float head = distance_box(x, y, 0.5f, 0.58f, 0.07f, 0.13f, 0.06f);
        float muzzle = distance_disc(x, y, 0.5f, 0.71f, 0.06f);
        return 0.8f * edge_coverage(std::min(head, muzzle), pixel);
    });
    for (float side : {-1.0f, 1.0f}) {
        float bx = 0.5f + side * 0.05f, by = 0.47f;
        float tx = 0.5f + side * 0.27f, ty = 0.2f;
        mask_line(levels, bx, by, tx, ty, 0.017f);
        mask_line(levels, 0.5f + side * 0.15f, 0.34f, 0.5f + side * 0.11f, 0.17f, 0.014f);
        mask_line(levels, 0.5f + side * 0.22f, 0.26f, 0.5f + side * 0.3f, 0.12f, 0.012f);
        mask_line(levels, 0.5f + side * 0.07f, 0.5f, 0.5f + side * 0.16f, 0.47f, 0.02f); // ear
    }
    glow_levels(levels, 0.05f, 0.8f);
    beat_frame(levels);
    from_levels(c, levels, LEVELS_AMBER, 5);
}

void paint_beat3(Canvas& c) {
    // Crescent moon among stars.
    Mask levels = mask_like(c);
    float pixel = pixel_size(levels);
    mask_union(levels, [&](float x, float y) {
        float outer = distance_disc(x, y, 0.47f, 0.5f, 0.24f);
        float inner = distance_disc(x, y, 0.56f, 0.44f, 0.21f);
        return edge_coverage(std::max(outer, -inner), pixel);
    });
    Rng rng = rng_make(5);
    for (int i = 0; i < 14; ++i) {
        float x = rng_range(rng, 0.15f, 0.85f), y = rng_range(rng, 0.15f, 0.85f);
        float r = rng_range(rng, 0.006f, 0.016f);
        mask_line(levels, x - r * 2.5f, y, x + r * 2.5f, y, r * 0.3f);
        mask_line(levels, x, y - r * 2.5f, x, y + r * 2.5f, r * 0.3f);
        mask_disc(levels, x, y, r * 0.6f);
    }
    glow_levels(levels, 0.06f, 0.9f);
    beat_frame(levels);
    from_levels(c, levels, LEVELS_VIOLET, 5);
}

void paint_beat4(Canvas& c) {
    // Rings of northern light.
    Mask levels = mask_like(c);
    mask_paint(levels, [&](float x, float y) {
        float r = std::hypot(x - 0.5f, y - 0.5f);
        float a = std::atan2(y - 0.5f, x - 0.5f);
        float rings = 0.5f + 0.5f * std::cos(r * 60.0f - a * 3.0f);
        float env = smoothstep(0.4f, 0.3f, r) * smoothstep(0.02f, 0.1f, r);
        return env * std::pow(rings, 3.0f) * 0.95f;
    });
    glow_levels(levels, 0.04f, 0.8f);
    beat_frame(levels);
    from_levels(c, levels, LEVELS_AURORA, 5);
}

void paint_beat5(Canvas& c) {
    // The group's initials.
    Mask levels = mask_like(c);
    text_draw(levels, FONT_BOLD_ITALIC, "DC", 0.5f, 0.5f, 0.45f, -0.02f);
    glow_levels(levels, 0.05f, 0.8f);
    beat_frame(levels);
    from_levels(c, levels, LEVELS_ICE, 5);
}

void paint_beat6(Canvas& c) {
    // A fir tree under a star.
    Mask levels = mask_like(c);
    mask_fir(levels, 0.5f, 0.82f, 0.55f);
    for (float& v : levels.value)
        v *= 0.75f;
    mask_snowflake(levels, 0.5f, 0.2f, 0.06f, 0.01f);
    glow_levels(levels, 0.05f, 0.8f);
    beat_frame(levels);
    from_levels(c, levels, LEVELS_AURORA, 5);
}

void paint_env(Canvas& c) {
    // Sphere map for the inner tunnel: an icy sky above a dark sea with a
    // bright sun spot, inside the map's disc.
    canvas_paint(c, [&](float x, float y) {
        float dx = (x - 0.5f) * 2.0f, dy = (y - 0.5f) * 2.0f;
        float r = std::hypot(dx, dy);
        float sky = clamp01(-dy * 1.5f + 0.5f);
        Colour col = colour_mix({0.01f, 0.03f, 0.10f}, {0.15f, 0.38f, 0.75f}, sky);
        float horizon = std::exp(-std::pow((dy + 0.05f) / 0.08f, 2.0f));
        col = colour_add(col, colour_scale(ICE, 0.5f * horizon));
        float sun = std::exp(-std::pow(std::hypot(dx + 0.35f, dy + 0.4f) / 0.14f, 2.0f));
        col = colour_add(col, colour_scale(WHITE, sun));
        float rim = smoothstep(0.75f, 1.0f, r);
        col = colour_add(col, colour_scale(CYAN, 0.4f * rim));
        return colour_scale(col, smoothstep(1.08f, 0.98f, r));
    });
}

void paint_star(Canvas& c) {
    Mask levels = mask_like(c);
    mask_paint(levels, [&](float x, float y) {
        float dx = x - 0.5f, dy = y - 0.5f;
        float r = std::hypot(dx, dy);
        float a = std::atan2(dy, dx);
        float core = std::exp(-r / 0.045f);
        float rays4 = std::pow(std::fabs(std::cos(2.0f * a)), 60.0f) * std::exp(-r / 0.16f);
        float rays8 = std::pow(std::fabs(std::cos(2.0f * a + PI / 2.0f)), 40.0f) *
                      std::exp(-r / 0.08f) * 0.6f;
        float ring = std::exp(-std::pow((r - 0.22f) / 0.012f, 2.0f)) * 0.35f;
        float halo = std::exp(-r / 0.08f) * 0.3f;
        return clamp01((core + rays4 + rays8 + ring + halo) * smoothstep(0.49f, 0.40f, r));
    });
    from_levels(c, levels, LEVELS_ICE, 5);
}

namespace {

// The production's logo shapes, shared by the colour picture and its mask:
// the group's name in bold italic with the show's title beneath.
struct LogoShapes {
    Mask name, title, swoosh;
};

LogoShapes logo_shapes(const Canvas& c) {
    LogoShapes s{mask_like(c), mask_like(c), mask_like(c)};
    text_draw_fit(s.name, FONT_BOLD_ITALIC, "Deer Coast", c.aspect * 0.5f, 0.45f, 0.26f, -0.01f,
                  c.aspect * 0.9f);
    text_draw(s.title, FONT_BOLD, "VINTERMOOT 2002", c.aspect * 0.5f, 0.66f, 0.065f, 0.45f);
    float pixel = pixel_size(s.swoosh);
    mask_paint(s.swoosh, [&](float x, float y) {
        float u = (x - c.aspect * 0.08f) / (c.aspect * 0.84f);
        if (u < 0.0f || u > 1.0f) return 0.0f;
        float centre = 0.57f - 0.03f * std::sin(PI * u);
        float half = 0.008f * std::sin(PI * u);
        return edge_coverage(std::fabs(y - centre) - half, pixel);
    });
    return s;
}

// Everything the colour picture lights, grown a little: the mask's dark part.
Mask logo_cover(const LogoShapes& s) {
    Mask cover = mask_copy(s.name);
    for (size_t i = 0; i < cover.value.size(); ++i)
        cover.value[i] = std::max({cover.value[i], s.title.value[i], s.swoosh.value[i]});
    mask_dilate(cover, 0.012f);
    mask_blur(cover, 0.02f, false);
    mask_gain(cover, 1.6f);
    return cover;
}

} // namespace

void paint_logo2(Canvas& c) {
    LogoShapes s = logo_shapes(c);
    Mask cover = logo_cover(s);
    // Dark blue body inside the cut-out so the letters stand on their own.
    canvas_add(c, cover, {0.02f, 0.05f, 0.14f}, 1.0f);
    Mask glow = mask_copy(s.name);
    mask_blur(glow, 0.03f, false);
    canvas_add(c, glow, CYAN, 0.9f);
    canvas_add(c, s.swoosh, AMBER, 1.0f);
    Mask edge = mask_copy(s.name);
    mask_dilate(edge, 0.008f);
    canvas_over(c, edge, {0.75f, 0.95f, 1.0f});
    LetterStyle chrome = style_chrome();
    canvas_over_paint(c, s.name, [&](float, float y) {
        float t = (y - 0.36f) / 0.19f;
        if (t < 0.5f) return colour_mix(chrome.top, chrome.middle, smoothstep(0.0f, 0.5f, t));
        return colour_mix(colour_scale(chrome.middle, 0.6f), chrome.bottom,
                          smoothstep(0.5f, 1.05f, t));
    });
    canvas_over(c, s.title, ICE);
    // Keep the outside black except the corner texels.
    for (size_t i = 0; i < cover.value.size(); ++i) {
        float k = clamp01(cover.value[i] * 4.0f);
        for (int ch = 0; ch < 3; ++ch)
            c.rgb[i * 3 + ch] = clamp01(c.rgb[i * 3 + ch]) * k;
    }
    set_corners(c, CURLY_TEXT_COLOUR);
}

void paint_logo3(Canvas& c) {
    // Mask: white where the frame shows through, black under the logo.
    // Fully dark wherever the colour picture keeps more than an eighth of
    // its light, so the logo never adds onto the frame's own picture.
    Mask cover = logo_cover(logo_shapes(c));
    mask_gain(cover, 8.0f);
    canvas_paint(c, [](float, float) { return WHITE; });
    canvas_darken(c, cover, 1.0f);
}

void paint_env1(Canvas& c) {
    // Environment map of the dots, the greeting line and the sphere cluster:
    // thin bands of northern light on a dark ground.  Scene 3 adds many
    // shells of it, so most of it stays dark.  Repeats across so the
    // spheres' seam closes.
    canvas_paint(c, [&](float x, float y) {
        float n = fbm_tile(x, y, 4, 4, 4, 77);
        float phase = y * 7.0f + 0.8f * n;
        float bands = std::pow(0.5f + 0.5f * std::sin(2.0f * PI * phase), 10.0f);
        const Colour stops[] = {VIOLET, CYAN, AURORA, TEAL, VIOLET};
        Colour col = ramp(stops, 5, clamp01(y + 0.2f * (n - 0.5f)));
        // Bright glow at the centre, where a sphere map looks for faces
        // turned to the viewer; on the quadric spheres it is one spot that
        // passes as they turn.
        float middle = std::exp(-std::pow(std::hypot(x - 0.5f, y - 0.5f) / 0.1f, 2.0f));
        float light = 0.02f + 0.3f * bands + 0.8f * middle * (0.6f + 0.4f * n);
        float spark = smoothstep(0.9f, 1.0f, noise_tile(x, y, 64, 64, 78)) * 0.6f;
        return colour_add(colour_scale(col, light),
                          colour_scale(WHITE, spark + 0.35f * middle * middle));
    });
}

void paint_rotstar(Canvas& c) {
    // Six-pointed ice star for the turning panels (drawn dimmed: bright here).
    Mask levels = mask_like(c);
    float pixel = pixel_size(levels);
    mask_paint(levels, [&](float x, float y) {
        float dx = x - 0.5f, dy = y - 0.5f;
        float r = std::hypot(dx, dy);
        float a = std::atan2(dy, dx);
        float spikes = std::pow(std::fabs(std::cos(3.0f * a)), 3.0f);
        float edge = 0.12f + 0.3f * spikes;
        float body = edge_coverage(r - edge, pixel) * (0.55f + 0.45f * (1.0f - r / edge));
        float glow = std::exp(-r / 0.1f) * 0.6f;
        return clamp01((body + glow) * smoothstep(0.49f, 0.44f, r));
    });
    mask_snowflake(levels, 0.5f, 0.5f, 0.1f, 0.008f);
    from_levels(c, levels, LEVELS_VIOLET, 5);
}

void paint_back_s3(Canvas& c) {
    // One stripe of the scrolling column: a glowing capsule with chevrons.
    Mask levels = mask_like(c);
    float pixel = pixel_size(levels);
    mask_paint(levels, [&](float x, float y) {
        float body = edge_coverage(distance_box(x, y, 1.5f, 0.5f, 1.3f, 0.2f, 0.2f), pixel);
        float shade = 0.45f + 0.35f * std::exp(-std::pow((y - 0.42f) / 0.1f, 2.0f));
        float chevron = std::fmod(x * 2.5f + std::fabs(y - 0.5f) * 2.0f, 1.0f);
        float marks = (chevron < 0.18f && x > 0.4f && x < 2.6f) ? 0.35f : 0.0f;
        return body * (shade + marks);
    });
    glow_levels(levels, 0.12f, 0.7f);
    from_levels(c, levels, LEVELS_ICE, 5);
}
