// Extruded 3D outline text: one display list per character code.
#pragma once

#include <cstdint>

// How the font is built: the face asked for (fontconfig substitutes a
// metric-compatible one), bold, chord deviation (0: as fine as the outline
// layer allows) and depth.  The font recorder bakes it with the same values.
constexpr const char* OUTLINE_FONT_FAMILY = "Arial";
constexpr bool OUTLINE_FONT_BOLD = true;
constexpr float OUTLINE_FONT_DEVIATION = 0.0f;
constexpr float OUTLINE_FONT_EXTRUSION = 0.2f;
// The baked glyphs, relative to the working directory (builds without
// FreeType and GLU read them instead of the system's face).
constexpr const char* OUTLINE_FONT_BAKED_PATH = "data/outline_font.bin";

// Metrics of one glyph in em units (the em square is 1 unit).
struct GlyphMetricsFloat {
    float black_box_x, black_box_y;
    float origin_x, origin_y;
    float cell_inc_x, cell_inc_y;
};

// First of the 256 display lists; list font_list_base + k draws code k.
extern uint32_t font_list_base;
// Advance of each code (cell_inc_x); code 255 stays zero.
extern GlyphMetricsFloat glyph_metrics[256];

// What the list of a code does besides drawing: whether it draws triangles
// at all, and whether it ends by moving the origin by cell_inc_x.
struct GlyphList {
    bool draws;
    bool moves;
};
extern GlyphList glyph_lists[256];

// Glyphs the last print_outline_text left out as wholly outside the view.
extern int text_glyphs_left_out;

// Builds the lists of codes 0..254 from the bold sans face; result of the
// outline service (the caller ignores it).
bool build_outline_font();
void release_outline_font();

// Prints a formatted text (at most 255 characters) centred on the current
// origin; leaves the modelview matrix moved by half the text's advance.
// With the modelview matrix current, glyphs wholly outside the view are not
// drawn (only their advance is applied), which leaves the picture, the
// matrix and the current normal as drawing them would.  Prints nothing when
// the font has no lists.
void print_outline_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
