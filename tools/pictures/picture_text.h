// Lettering for the pictures: FreeType renders the system's sans face (found
// through fontconfig the way the show finds its outline font) into masks.
#pragma once

#include "picture_canvas.h"

// Faces the generator letters with.
enum PictureFont : int {
    FONT_BOLD = 0,        // headlines, names
    FONT_REGULAR = 1,     // small print
    FONT_BOLD_ITALIC = 2, // logos
    FONT_MONO_BOLD = 3,   // binary digits
    FONT_COUNT = 4,
};

// Finds and opens the faces; false (with a message on stderr) when any of
// them is missing.
bool text_begin();
void text_end();

// Width in design units of `text` set `em` design units high with `tracking`
// extra em between letters.
float text_width(const Mask& mask, PictureFont font, const char* text, float em, float tracking);

// Draws `text` into the mask (union), centred on x = `cx`, its capital height
// centred on y = `cy`, `em` design units high.  Returns the width.
float text_draw(Mask& mask, PictureFont font, const char* text, float cx, float cy, float em,
                float tracking);

// Same, but set smaller when needed so that it spans at most `max_width`;
// returns the em actually used.
float text_draw_fit(Mask& mask, PictureFont font, const char* text, float cx, float cy, float em,
                    float tracking, float max_width);
