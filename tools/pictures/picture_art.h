// Recurring motifs of the production's pictures: glowing and chrome
// lettering, northern lights, mountains, snowflakes, fir trees.
#pragma once

#include "picture_canvas.h"
#include "picture_text.h"

// Lettering style: fill gradient from top to bottom of the capitals, an
// outline, and a glow added around the letters.
struct LetterStyle {
    Colour top, middle, bottom; // fill from the cap line to the baseline
    Colour outline;             // thin edge around the letters; black for none
    Colour glow;                // light added around the letters
    float glow_radius;          // design units
    float glow_gain;
};

// Ice chrome with a cyan glow, the show's headline style.
LetterStyle style_chrome();
// Plain ice letters with a soft glow, for small print.
LetterStyle style_ice();
// Warm amber letters, for years and accents.
LetterStyle style_amber();

// Draws `text` with the style; returns the mask of the letters (for masks
// and shadows).  `max_width` 0 means no limit.
Mask letters(Canvas& canvas, PictureFont font, const char* text, float cx, float cy, float em,
             float tracking, float max_width, const LetterStyle& style);

// Sets the four corner texels (2 × 2 blocks) to `colour`: texts drawn with a
// single wrapped texture coordinate take this colour.
void set_corners(Canvas& canvas, Colour colour);

// Northern-light curtain: a wavy band of rays whose lower edge follows
// `base_y`, rising `height`; `wrap` makes it repeat across the picture.
void paint_aurora(Canvas& canvas, uint32_t seed, float base_y, float height, float strength,
                  bool wrap);

// Mountain range: ridge along `ridge_y` ± `height`, filled down to the bottom
// with `rock`, snow caps near the peaks.
void paint_mountains(Canvas& canvas, uint32_t seed, float ridge_y, float height, Colour rock,
                     Colour snow);

// Six-armed snowflake of radius `r` into a mask.
void mask_snowflake(Mask& mask, float cx, float cy, float r, float half_width);

// Fir tree silhouette (tiers of triangles) of height `h` standing on `base_y`.
void mask_fir(Mask& mask, float cx, float base_y, float h);

// Vertical gradient background.
void paint_vertical(Canvas& canvas, Colour top, Colour bottom);

// Maps a level mask through a colour ramp into the canvas (for pictures
// stored with a colour table).
void canvas_from_levels(Canvas& canvas, const Mask& levels, const Colour* stops, int count);
