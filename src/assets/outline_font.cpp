#include "assets/outline_font.h"

#include <GL/gl.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/outline.h"
#include "platform/gl_clip.h"

// First of the 256 font lists; written only by build_outline_font.
uint32_t font_list_base = 0;
// Metrics of codes 0..254 (code 255 stays zero); written only by
// build_outline_font, read by print_outline_text.
GlyphMetricsFloat glyph_metrics[256];
// What each code's list does besides its metrics; written only by
// build_outline_font, read by print_outline_text.
GlyphList glyph_lists[256];
// Glyphs the last print_outline_text left out; written only by it.
int text_glyphs_left_out = 0;

namespace {

// Lists reserved for the font; the last one (code 255) stays empty.
constexpr uint32_t FONT_LIST_COUNT = 256;
// Codes that get a glyph: 0 to 254.
constexpr uint32_t FONT_GLYPH_COUNT = 255;
// Size of the text buffer: at most 255 characters and the terminating zero.
constexpr size_t TEXT_BUFFER_SIZE = 256;
// Room (em units) kept around each glyph's box before it counts as outside
// the view: far more than the rounding between the text's advances summed
// here and the same advances applied to GL's matrix one by one.
constexpr double GLYPH_BOX_MARGIN = 0.05;

GlyphMetricsFloat to_glyph_metrics(const OutlineGlyphMetrics& m) {
    return GlyphMetricsFloat{m.black_box_x, m.black_box_y, m.origin_x,
                             m.origin_y,    m.cell_inc_x,  m.cell_inc_y};
}

// True when the box of glyph `m` with its origin at x along the text lies
// wholly on the outer side of one plane of the view volume, so that none of
// its triangles can reach a pixel.
bool glyph_outside_view(const double clip[16], double x, const GlyphMetricsFloat& m) {
    const double xs[2] = {x + m.origin_x - GLYPH_BOX_MARGIN,
                          x + m.origin_x + m.black_box_x + GLYPH_BOX_MARGIN};
    const double ys[2] = {m.origin_y - m.black_box_y - GLYPH_BOX_MARGIN,
                          m.origin_y + GLYPH_BOX_MARGIN};
    const double zs[2] = {-OUTLINE_FONT_EXTRUSION - GLYPH_BOX_MARGIN, GLYPH_BOX_MARGIN};
    // One bit per plane (x < -w, x > w, y < -w, y > w, z < -w, z > w) that
    // every corner so far lies beyond.
    int beyond_all = 0x3F;
    for (double cx : xs)
        for (double cy : ys)
            for (double cz : zs) {
                double c[4];
                for (int row = 0; row < 4; ++row)
                    c[row] =
                        clip[row] * cx + clip[4 + row] * cy + clip[8 + row] * cz + clip[12 + row];
                int beyond = (c[0] < -c[3]) | (c[0] > c[3]) << 1 | (c[1] < -c[3]) << 2 |
                             (c[1] > c[3]) << 3 | (c[2] < -c[3]) << 4 | (c[2] > c[3]) << 5;
                beyond_all &= beyond;
            }
    return beyond_all != 0;
}

// Index of the last character whose glyph draws triangles; `length` when
// none does.
size_t last_drawing_glyph(const char* text, size_t length) {
    for (size_t i = length; i > 0; --i)
        if (glyph_lists[static_cast<unsigned char>(text[i - 1])].draws) return i - 1;
    return length;
}

void call_glyph_run(const char* text, size_t begin, size_t end) {
    if (end > begin) glCallLists(static_cast<GLsizei>(end - begin), GL_UNSIGNED_BYTE, text + begin);
}

// True when the modelview matrix is current.  Only then do the centring and
// the glyphs' own moves place the glyphs along the text as the view test
// assumes; with another matrix current (the show's first frame prints with
// the texture matrix current) they move that matrix instead, and every
// glyph is drawn at the modelview's origin.
bool modelview_current() {
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    return mode == GL_MODELVIEW;
}

// Calls the glyph lists of `text` in order, except that a glyph lying
// wholly outside the view only moves the origin as its list would: the same
// matrix, and no pixel lost.  From the last glyph that draws on, every list
// is called, so the current normal ends where the whole text leaves it
// (every glyph that draws sets its own normals first).  Without the
// modelview matrix current every list is called.
void call_visible_glyphs(const char* text, size_t length) {
    text_glyphs_left_out = 0;
    if (!modelview_current()) {
        call_glyph_run(text, 0, length);
        return;
    }
    double clip[16];
    gl_clip_matrix(clip);
    size_t keep_from = last_drawing_glyph(text, length);
    size_t run_begin = 0;
    double x = 0.0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char code = static_cast<unsigned char>(text[i]);
        const GlyphMetricsFloat& m = glyph_metrics[code];
        if (i < keep_from && glyph_outside_view(clip, x, m)) {
            call_glyph_run(text, run_begin, i);
            if (glyph_lists[code].moves) glTranslatef(m.cell_inc_x, 0.0f, 0.0f);
            run_begin = i + 1;
            ++text_glyphs_left_out;
        }
        if (glyph_lists[code].moves) x += m.cell_inc_x;
    }
    call_glyph_run(text, run_begin, length);
}

} // namespace

bool build_outline_font() {
    memset(glyph_metrics, 0, sizeof glyph_metrics);
    memset(glyph_lists, 0, sizeof glyph_lists);
    font_list_base = glGenLists(FONT_LIST_COUNT);
    if (font_list_base == 0) return false;
    OutlineGlyphMetrics metrics[FONT_GLYPH_COUNT];
#ifdef VM_BAKED_FONT
    // Where neither FreeType nor GLU exists: the glyphs recorded at build time.
    bool built =
        outline_load_baked(OUTLINE_FONT_BAKED_PATH, 0, FONT_GLYPH_COUNT, font_list_base, metrics);
#else
    OutlineFace face{};
    bool found = outline_find_face(OUTLINE_FONT_FAMILY, OUTLINE_FONT_BOLD, &face);
    bool built = outline_build_lists(found ? &face : nullptr, 0, FONT_GLYPH_COUNT, font_list_base,
                                     OUTLINE_FONT_DEVIATION, OUTLINE_FONT_EXTRUSION, metrics);
#endif
    for (uint32_t code = 0; code < FONT_GLYPH_COUNT; ++code) {
        glyph_metrics[code] = to_glyph_metrics(metrics[code]);
        glyph_lists[code] = GlyphList{metrics[code].triangles > 0, metrics[code].moves};
    }
    glNewList(font_list_base + FONT_GLYPH_COUNT, GL_COMPILE);
    glEndList();
    return built;
}

// Deletes the lists and forgets their names, which GL may hand out again:
// a released font prints nothing and a second release deletes nothing.
void release_outline_font() {
    if (font_list_base != 0) glDeleteLists(font_list_base, FONT_LIST_COUNT);
    font_list_base = 0;
}

void print_outline_text(const char* format, ...) {
    // Without lists of its own the font prints nothing: list base 0 would
    // replay whatever lists the codes name (the compiled quadric shapes).
    if (!format || font_list_base == 0) return;
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
    call_visible_glyphs(text, length);
    glPopAttrib();
}
