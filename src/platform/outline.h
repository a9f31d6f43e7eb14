// Extruded outline glyphs as GL display lists.  fontconfig finds a system
// TrueType face, FreeType reads each glyph's outline and advance, the GLU
// tessellator fills the front and back faces and side walls join them.
// Character codes are Windows-1252 (ANSI) codes.
#pragma once

#include <cstddef>
#include <cstdint>

// One glyph's metrics in em units (the em square is 1 unit): black box size,
// upper-left corner of the black box relative to the glyph origin, advance.
struct OutlineGlyphMetrics {
    float black_box_x, black_box_y;
    float origin_x, origin_y;
    float cell_inc_x, cell_inc_y;
    // What the glyph's list does: the triangles it draws (0: none), and
    // whether it ends with glTranslatef(cell_inc_x, 0, 0) (false for a
    // glyph the face cannot give, whose list is empty).
    long triangles;
    bool moves;
};

// A face file found by outline_find_face.
struct OutlineFace {
    char path[1024]; // font file
    int index;       // face index inside the file
    char name[128];  // family and style, e.g. "Liberation Sans Bold"
};

// Figures of the last outline_build_lists.
struct OutlineStats {
    char face_name[128]; // face the glyphs came from; empty when none
    long triangle_count; // triangles in all lists (front, back, side walls)
    double build_ms;     // wall time of the build
};

// Chord deviation (em units) used when the caller asks for 0, "as fine as
// the service allows": a third of a pixel at 350 pixels per em, where letters
// a third of a 768-line screen high are drawn; about 43000 triangles for the
// 255 glyphs of a sans face.
constexpr float OUTLINE_FINEST_DEVIATION = 0.001f;

// Looks up `family` (bold when `bold`) through fontconfig, accepting its
// substitutes (Arial -> Liberation Sans), then any scalable sans face.
// False when no usable face file exists.
bool outline_find_face(const char* family, bool bold, OutlineFace* face);

// Compiles list `list_base` + i for code `first_code` + i, i < count: the
// glyph filled at z = 0 (normal +z) and z = -extrusion (normal -z), side walls
// with outward normals, then glTranslatef(advance, 0, 0).  `metrics[i]` gets
// the glyph's metrics.  A deviation of 0 means OUTLINE_FINEST_DEVIATION.
// When `face` is null or cannot be read every list is compiled empty, every
// metric is zero and the result is false.
bool outline_build_lists(const OutlineFace* face, uint32_t first_code, uint32_t count,
                         uint32_t list_base, float deviation, float extrusion,
                         OutlineGlyphMetrics* metrics);

// The glyph lists recorded at build time (see outline_baked.h for the file):
// compiles list `list_base` + i for code `first_code` + i with the same GL
// calls outline_build_lists made, and fills `metrics`.  When the file cannot
// be read every list is compiled empty, every metric is zero and the result
// is false.
bool outline_load_baked(const char* path, uint32_t first_code, uint32_t count, uint32_t list_base,
                        OutlineGlyphMetrics* metrics);

// Unicode code point of a Windows-1252 code; 0 for the five unassigned codes.
uint32_t outline_ansi_to_unicode(uint8_t code);

// Figures of the last build.
OutlineStats outline_stats();
