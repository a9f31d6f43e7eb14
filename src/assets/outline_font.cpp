#include "assets/outline_font.h"

#include <GL/gl.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/outline.h"

// First of the 256 font lists; written only by build_outline_font.
uint32_t font_list_base = 0;
// Metrics of codes 0..254 (code 255 stays zero); written only by
// build_outline_font, read by print_outline_text.
GlyphMetricsFloat glyph_metrics[256];

namespace {

// Lists reserved for the font; the last one (code 255) stays empty.
constexpr uint32_t FONT_LIST_COUNT = 256;
// Codes that get a glyph: 0 to 254.
constexpr uint32_t FONT_GLYPH_COUNT = 255;
// The face asked for; fontconfig substitutes a metric-compatible one.
const char* const FONT_FAMILY = "Arial";
constexpr bool FONT_BOLD = true;
// Chord deviation (0: as fine as the outline layer allows) and depth.
constexpr float FONT_DEVIATION = 0.0f;
constexpr float FONT_EXTRUSION = 0.2f;
// Size of the text buffer: at most 255 characters and the terminating zero.
constexpr size_t TEXT_BUFFER_SIZE = 256;

GlyphMetricsFloat to_glyph_metrics(const OutlineGlyphMetrics& m) {
    return GlyphMetricsFloat{m.black_box_x, m.black_box_y, m.origin_x,
                             m.origin_y,    m.cell_inc_x,  m.cell_inc_y};
}

} // namespace

bool build_outline_font() {
    memset(glyph_metrics, 0, sizeof glyph_metrics);
    font_list_base = glGenLists(FONT_LIST_COUNT);
    if (font_list_base == 0) return false;
    OutlineFace face{};
    bool found = outline_find_face(FONT_FAMILY, FONT_BOLD, &face);
    OutlineGlyphMetrics metrics[FONT_GLYPH_COUNT];
    bool built = outline_build_lists(found ? &face : nullptr, 0, FONT_GLYPH_COUNT, font_list_base,
                                     FONT_DEVIATION, FONT_EXTRUSION, metrics);
    for (uint32_t code = 0; code < FONT_GLYPH_COUNT; ++code)
        glyph_metrics[code] = to_glyph_metrics(metrics[code]);
    glNewList(font_list_base + FONT_GLYPH_COUNT, GL_COMPILE);
    glEndList();
    return built;
}

void release_outline_font() {
    if (font_list_base != 0) glDeleteLists(font_list_base, FONT_LIST_COUNT);
}

void print_outline_text(const char* format, ...) {
    if (!format) return;
    char text[TEXT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    int written = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (written < 0) return;
    size_t length = strlen(text);
    float advance = 0.0f;
    for (size_t i = 0; i < length; ++i)
        advance += glyph_metrics[static_cast<unsigned char>(text[i])].cell_inc_x;
    glTranslatef(-advance / 2.0f, 0.0f, 0.0f);
    glPushAttrib(GL_LIST_BIT);
    glListBase(font_list_base);
    glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}
