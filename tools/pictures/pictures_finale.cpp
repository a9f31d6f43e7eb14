// Pictures with words: credits, greeting labels, the finale's banners and
// end pictures; and the finale's spark and wire grid.
#include <algorithm>
#include <cmath>

#include "picture_art.h"
#include "picture_table.h"

namespace {

// One credits picture: the role in small capitals above the name, centred
// a little below the middle of the square (the quad sits in the middle of
// the screen and is added onto the landscape).
void credit(Canvas& c, const char* role, const char* name) {
    Mask rule = mask_like(c);
    mask_line(rule, 0.2f, 0.595f, 0.8f, 0.595f, 0.003f);
    Mask rule_glow = mask_copy(rule);
    mask_blur(rule_glow, 0.04f, false);
    canvas_add(c, rule_glow, CYAN, 1.5f);
    canvas_add(c, rule, ICE, 0.8f);
    letters(c, FONT_BOLD, role, 0.5f, 0.54f, 0.075f, 0.35f, 0.9f, style_ice());
    letters(c, FONT_BOLD_ITALIC, name, 0.5f, 0.7f, 0.2f, 0.0f, 0.88f, style_chrome());
    Mask flake = mask_like(c);
    mask_snowflake(flake, 0.5f, 0.4f, 0.05f, 0.004f);
    Mask flake_glow = mask_copy(flake);
    mask_blur(flake_glow, 0.03f, false);
    canvas_add(c, flake_glow, CYAN, 0.8f);
    canvas_add(c, flake, ICE, 0.9f);
}

// One greeting label: the name in ice letters with a cyan glow, on black.
void greeting(Canvas& c, const char* name) {
    Mask shape = mask_like(c);
    text_draw_fit(shape, FONT_BOLD, name, c.aspect * 0.5f, 0.48f, 0.72f, 0.04f, c.aspect * 0.9f);
    Mask glow = mask_copy(shape);
    mask_blur(glow, 0.12f, false);
    const Colour stops[] = {BLACK, {0.03f, 0.08f, 0.25f}, {0.15f, 0.55f, 0.95f}, ICE, WHITE};
    for (size_t i = 0; i < shape.value.size(); ++i)
        shape.value[i] = clamp01(std::max(shape.value[i], glow.value[i] * 0.9f));
    // The label is added onto the frame: its rim fades to black so the
    // quad's edge never shows.
    mask_fade_rim(shape, 0.1f);
    canvas_from_levels(c, shape, stops, 5);
}

// A finale banner: dark steel plate with bevelled rims and lettering.
void banner(Canvas& c, const char* text, float em, PictureFont font, const LetterStyle& style) {
    canvas_paint(c, [&](float x, float y) {
        float n = fbm_tile(x / c.aspect, y, 32, 2, 3, 1301);
        Colour col = colour_mix({0.06f, 0.10f, 0.25f}, {0.01f, 0.02f, 0.08f}, y);
        col = colour_scale(col, 0.85f + 0.3f * n);
        float rim = std::min(y, 1.0f - y);
        float bevel = std::exp(-std::pow((rim - 0.06f) / 0.02f, 2.0f));
        col = colour_add(col, colour_scale(CYAN, 0.5f * bevel));
        return colour_scale(col, 0.4f + 0.6f * smoothstep(0.0f, 0.05f, rim));
    });
    paint_aurora(c, 1310, 0.9f, 0.7f, 0.35f, false);
    letters(c, font, text, c.aspect * 0.5f, 0.5f, em, 0.08f, c.aspect * 0.9f, style);
}

// One end picture: up to three lines of words with glows, over a faint
// snowflake, black around.
void end_picture(Canvas& c, const char* small_top, const char* big, const char* small_bottom,
                 const LetterStyle& big_style) {
    Mask flake = mask_like(c);
    mask_snowflake(flake, c.aspect * 0.5f, 0.5f, 0.42f, 0.006f);
    mask_blur(flake, 0.01f, false);
    canvas_add(c, flake, NAVY, 1.4f);
    if (small_top)
        letters(c, FONT_BOLD, small_top, c.aspect * 0.5f, 0.24f, 0.11f, 0.25f, c.aspect * 0.9f,
                style_ice());
    letters(c, FONT_BOLD_ITALIC, big, c.aspect * 0.5f, 0.5f, 0.32f, 0.0f, c.aspect * 0.94f,
            big_style);
    if (small_bottom)
        letters(c, FONT_BOLD, small_bottom, c.aspect * 0.5f, 0.76f, 0.1f, 0.25f, c.aspect * 0.9f,
                style_ice());
    // The quad is added: keep the rim black.
    canvas_shade(c, [&](float x, float y, Colour old) {
        float rim = std::min({x, c.aspect - x, y, 1.0f - y});
        return colour_scale(old, smoothstep(0.0f, 0.05f, rim));
    });
}

} // namespace

void paint_code(Canvas& c) {
    credit(c, "CODE", "Hjort");
}
void paint_gfx(Canvas& c) {
    credit(c, "GRAPHICS", "Isbjorn");
}
void paint_zik(Canvas& c) {
    credit(c, "MUSIC", "Kvadrat");
}
void paint_add1(Canvas& c) {
    credit(c, "3D OBJECTS", "Rimfrost");
}
void paint_add2(Canvas& c) {
    credit(c, "LOGO FONT", "Lise-K.");
}
void paint_add3(Canvas& c) {
    credit(c, "MORAL SUPPORT", "Tovik");
}

void paint_greetz1(Canvas& c) {
    greeting(c, "Harok");
}
void paint_greetz2(Canvas& c) {
    greeting(c, "tovik");
}
void paint_greetz3(Canvas& c) {
    greeting(c, "Mirabo");
}
void paint_greetz4(Canvas& c) {
    greeting(c, "plix");
}
void paint_greetz5(Canvas& c) {
    greeting(c, "vondrel");
}
void paint_greetz6(Canvas& c) {
    greeting(c, "BrOm|");
}
void paint_greetz7(Canvas& c) {
    greeting(c, "Lise-K.");
}
void paint_greetz8(Canvas& c) {
    greeting(c, "Nordlys");
}
void paint_greetz9(Canvas& c) {
    greeting(c, "Fjellrev");
}
void paint_greetz10(Canvas& c) {
    greeting(c, "Polarbit");
}

void paint_introup(Canvas& c) {
    banner(c, "VINTERMOOT 2002", 0.62f, FONT_BOLD_ITALIC, style_chrome());
}

void paint_introdown(Canvas& c) {
    LetterStyle style = style_ice();
    style.glow_radius = 0.06f;
    banner(c, "DEER COAST  *  ISBRANN 2002  *  NORWAY", 0.5f, FONT_BOLD, style);
}

void paint_dot(Canvas& c) {
    // Soft round spark: white core fading to black well inside the edge.
    Mask levels = mask_like(c);
    mask_paint(levels, [&](float x, float y) {
        float r = std::hypot(x - 0.5f, y - 0.5f) / 0.46f;
        if (r >= 1.0f) return 0.0f;
        float core = std::exp(-r * r * 9.0f);
        float halo = (1.0f - r) * (1.0f - r) * 0.45f;
        return clamp01(core + halo);
    });
    const Colour stops[] = {BLACK, WHITE};
    canvas_from_levels(c, levels, stops, 2);
}

void paint_wire(Canvas& c) {
    // Wire grid of the finale's tunnel: glowing lines on black, tiles.
    Mask levels = mask_like(c);
    float pixel = pixel_size(levels);
    mask_paint(levels, [&](float x, float y) {
        float gx = std::fabs(x * 16.0f - std::round(x * 16.0f)) / 16.0f;
        float gy = std::fabs(y * 16.0f - std::round(y * 16.0f)) / 16.0f;
        float line = edge_coverage(std::min(gx, gy) - 0.004f, pixel);
        float knot = edge_coverage(std::hypot(gx, gy) - 0.008f, pixel);
        return clamp01(line * 0.8f + knot);
    });
    {
        Mask glow = mask_copy(levels);
        mask_blur(glow, 0.02f, true);
        for (size_t i = 0; i < levels.value.size(); ++i)
            levels.value[i] = clamp01(std::max(levels.value[i], glow.value[i] * 1.2f));
    }
    const Colour stops[] = {BLACK, {0.05f, 0.15f, 0.35f}, {0.35f, 0.75f, 1.0f}, WHITE};
    canvas_from_levels(c, levels, stops, 4);
}

// End pictures, in the order they are shown: end1, end2, end3, end6, end4, end5.
void paint_end1(Canvas& c) {
    end_picture(c, "that was", "Vintermoot", "deer coast 2002", style_chrome());
}
void paint_end2(Canvas& c) {
    end_picture(c, "code Hjort  *  graphics Isbjorn", "Credits", "music Kvadrat", style_chrome());
}
void paint_end3(Canvas& c) {
    end_picture(c, "released at", "Isbrann 2002", "a winter party in Norway", style_amber());
}
void paint_end6(Canvas& c) {
    end_picture(c, "greetings to everyone", "at the party", "keep the scene warm", style_chrome());
}
void paint_end4(Canvas& c) {
    end_picture(c, "thank you", "for watching", "see you next winter", style_chrome());
}
void paint_end5(Canvas& c) {
    end_picture(c, nullptr, "THE END", "deer coast", style_amber());
}
