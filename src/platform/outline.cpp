#include "platform/outline.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

namespace {

// Unicode of the Windows-1252 codes 0x80..0x9F (0 where the set has none);
// every other code is its own Latin-1 code point.
const uint16_t CP1252_HIGH[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Faces tried in order when the requested family cannot be read.
const char* const FALLBACK_FAMILIES[] = {"sans-serif", "sans"};

// Most straight pieces one curve is cut into.
constexpr int MAX_CURVE_SEGMENTS = 64;

// A point of a flattened contour, in em units, with the double coordinates
// the tessellator reads.
struct TessVertex {
    double xyz[3];
};

// One glyph being built: flattened contours, then the filled triangles.
struct GlyphWork {
    std::vector<TessVertex> points;         // all contour points, contour after contour
    std::vector<size_t> contour_starts;     // index of each contour's first point
    std::deque<TessVertex> combined;        // points the tessellator made at crossings
    std::vector<const TessVertex*> corners; // triangle corners, three per triangle
    double scale;                           // em units per font unit
    double tolerance;                       // chord deviation in font units
    double pen_x, pen_y;                    // current point in font units
    bool tess_failed;
};

// The module's state: the figures of the last build (written by
// outline_build_lists only).
struct OutlineState {
    OutlineStats stats;
};
OutlineState outline;

void add_point(GlyphWork* work, double x, double y) {
    work->pen_x = x;
    work->pen_y = y;
    TessVertex v = {{x * work->scale, y * work->scale, 0.0}};
    size_t start = work->contour_starts.back();
    if (work->points.size() > start) {
        const TessVertex& last = work->points.back();
        if (last.xyz[0] == v.xyz[0] && last.xyz[1] == v.xyz[1]) return;
    }
    work->points.push_back(v);
}

int curve_segments(double bend) {
    if (bend <= 0.0) return 1;
    double n = std::ceil(std::sqrt(bend));
    if (n < 1.0) return 1;
    return n > MAX_CURVE_SEGMENTS ? MAX_CURVE_SEGMENTS : static_cast<int>(n);
}

int on_move(const FT_Vector* to, void* user) {
    GlyphWork* work = static_cast<GlyphWork*>(user);
    work->contour_starts.push_back(work->points.size());
    add_point(work, to->x, to->y);
    return 0;
}

int on_line(const FT_Vector* to, void* user) {
    add_point(static_cast<GlyphWork*>(user), to->x, to->y);
    return 0;
}

// Quadratic piece: the chord error of n equal steps is |p0 - 2c + p1| / (4 n^2).
int on_conic(const FT_Vector* control, const FT_Vector* to, void* user) {
    GlyphWork* work = static_cast<GlyphWork*>(user);
    double x0 = work->pen_x, y0 = work->pen_y;
    double ddx = x0 - 2.0 * control->x + to->x, ddy = y0 - 2.0 * control->y + to->y;
    int n = curve_segments(std::hypot(ddx, ddy) / (4.0 * work->tolerance));
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n, u = 1.0 - t;
        add_point(work, u * u * x0 + 2.0 * u * t * control->x + t * t * to->x,
                  u * u * y0 + 2.0 * u * t * control->y + t * t * to->y);
    }
    return 0;
}

// Cubic piece: the second derivative is at most 6 times the larger second
// difference of the control points; the chord error is that times h^2 / 8.
int on_cubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    GlyphWork* work = static_cast<GlyphWork*>(user);
    double x0 = work->pen_x, y0 = work->pen_y;
    double d1 = std::hypot(x0 - 2.0 * c1->x + c2->x, y0 - 2.0 * c1->y + c2->y);
    double d2 = std::hypot(c1->x - 2.0 * c2->x + to->x, c1->y - 2.0 * c2->y + to->y);
    int n = curve_segments(0.75 * (d1 > d2 ? d1 : d2) / work->tolerance);
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n, u = 1.0 - t;
        double a = u * u * u, b = 3.0 * u * u * t, c = 3.0 * u * t * t, d = t * t * t;
        add_point(work, a * x0 + b * c1->x + c * c2->x + d * to->x,
                  a * y0 + b * c1->y + c * c2->y + d * to->y);
    }
    return 0;
}

const FT_Outline_Funcs OUTLINE_FUNCS = {on_move, on_line, on_conic, on_cubic, 0, 0};

// Drops each contour's closing point (equal to its first) and reverses the
// contours of outlines whose filled side is on the left, so that every
// contour has the filled side on its right (the TrueType orientation).
void normalise_contours(GlyphWork* work, bool filled_on_left) {
    std::vector<TessVertex> kept;
    kept.reserve(work->points.size());
    std::vector<size_t> starts;
    size_t count = work->contour_starts.size();
    for (size_t c = 0; c < count; ++c) {
        size_t begin = work->contour_starts[c];
        size_t end = c + 1 < count ? work->contour_starts[c + 1] : work->points.size();
        const TessVertex& first = work->points[begin];
        while (end - begin > 1 && work->points[end - 1].xyz[0] == first.xyz[0] &&
               work->points[end - 1].xyz[1] == first.xyz[1])
            --end;
        if (end - begin < 3) continue;
        starts.push_back(kept.size());
        if (filled_on_left)
            kept.insert(kept.end(), work->points.rbegin() + (work->points.size() - end),
                        work->points.rbegin() + (work->points.size() - begin));
        else
            kept.insert(kept.end(), work->points.begin() + begin, work->points.begin() + end);
    }
    work->points.swap(kept);
    work->contour_starts.swap(starts);
}

void GLAPIENTRY tess_vertex(void* vertex, void* user) {
    static_cast<GlyphWork*>(user)->corners.push_back(static_cast<const TessVertex*>(vertex));
}

// Registering an edge-flag callback makes the tessellator emit independent
// triangles only.
void GLAPIENTRY tess_edge_flag(GLboolean, void*) {}

void GLAPIENTRY tess_combine(GLdouble coords[3], void* [4], GLfloat[4], void** out, void* user) {
    GlyphWork* work = static_cast<GlyphWork*>(user);
    work->combined.push_back(TessVertex{{coords[0], coords[1], 0.0}});
    *out = &work->combined.back();
}

void GLAPIENTRY tess_error(GLenum, void* user) {
    static_cast<GlyphWork*>(user)->tess_failed = true;
}

GLUtesselator* new_tessellator() {
    GLUtesselator* tess = gluNewTess();
    if (!tess) return nullptr;
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0.0, 0.0, 1.0);
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(tess_vertex));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(tess_edge_flag));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(tess_combine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(tess_error));
    return tess;
}

// Fills the contours with the non-zero rule into work->corners.
void tessellate(GLUtesselator* tess, GlyphWork* work) {
    work->corners.clear();
    work->combined.clear();
    work->tess_failed = false;
    if (work->contour_starts.empty()) return;
    gluTessBeginPolygon(tess, work);
    size_t count = work->contour_starts.size();
    for (size_t c = 0; c < count; ++c) {
        size_t end = c + 1 < count ? work->contour_starts[c + 1] : work->points.size();
        gluTessBeginContour(tess);
        for (size_t i = work->contour_starts[c]; i < end; ++i)
            gluTessVertex(tess, work->points[i].xyz, &work->points[i]);
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    if (work->tess_failed) work->corners.clear();
}

double cross_z(const TessVertex* a, const TessVertex* b, const TessVertex* c) {
    return (b->xyz[0] - a->xyz[0]) * (c->xyz[1] - a->xyz[1]) -
           (b->xyz[1] - a->xyz[1]) * (c->xyz[0] - a->xyz[0]);
}

// Front face at z = 0 (counter-clockwise seen from +z) and back face at
// z = -extrusion (counter-clockwise seen from -z).  Returns the triangles drawn.
long emit_faces(const GlyphWork& work, float extrusion) {
    long triangles = 0;
    glNormal3f(0.0f, 0.0f, 1.0f);
    for (size_t i = 0; i + 2 < work.corners.size(); i += 3) {
        const TessVertex *a = work.corners[i], *b = work.corners[i + 1], *c = work.corners[i + 2];
        double turn = cross_z(a, b, c);
        if (turn == 0.0) continue;
        if (turn < 0.0) std::swap(b, c);
        glVertex3d(a->xyz[0], a->xyz[1], 0.0);
        glVertex3d(b->xyz[0], b->xyz[1], 0.0);
        glVertex3d(c->xyz[0], c->xyz[1], 0.0);
        ++triangles;
    }
    glNormal3f(0.0f, 0.0f, -1.0f);
    for (size_t i = 0; i + 2 < work.corners.size(); i += 3) {
        const TessVertex *a = work.corners[i], *b = work.corners[i + 1], *c = work.corners[i + 2];
        double turn = cross_z(a, b, c);
        if (turn == 0.0) continue;
        if (turn > 0.0) std::swap(b, c);
        glVertex3d(a->xyz[0], a->xyz[1], -extrusion);
        glVertex3d(b->xyz[0], b->xyz[1], -extrusion);
        glVertex3d(c->xyz[0], c->xyz[1], -extrusion);
        ++triangles;
    }
    return triangles;
}

// One flat rectangle (two triangles) per contour segment, facing away from
// the filled side (the left of each segment, as every contour has the filled
// side on its right).  Returns the triangles drawn.
long emit_walls(const GlyphWork& work, float extrusion) {
    long triangles = 0;
    size_t count = work.contour_starts.size();
    for (size_t c = 0; c < count; ++c) {
        size_t begin = work.contour_starts[c];
        size_t end = c + 1 < count ? work.contour_starts[c + 1] : work.points.size();
        for (size_t i = begin; i < end; ++i) {
            const double* a = work.points[i].xyz;
            const double* b = work.points[i + 1 < end ? i + 1 : begin].xyz;
            double dx = b[0] - a[0], dy = b[1] - a[1], length = std::hypot(dx, dy);
            if (length == 0.0) continue;
            glNormal3d(-dy / length, dx / length, 0.0);
            glVertex3d(a[0], a[1], 0.0);
            glVertex3d(b[0], b[1], 0.0);
            glVertex3d(b[0], b[1], -extrusion);
            glVertex3d(a[0], a[1], 0.0);
            glVertex3d(b[0], b[1], -extrusion);
            glVertex3d(a[0], a[1], -extrusion);
            triangles += 2;
        }
    }
    return triangles;
}

// The whole glyph is one run of independent triangles: one primitive per
// list compiles compactly (and Mesa's feedback mode replays only the first
// primitive of a compiled list).
long emit_glyph(const GlyphWork& work, float extrusion) {
    glBegin(GL_TRIANGLES);
    long triangles = emit_faces(work, extrusion) + emit_walls(work, extrusion);
    glEnd();
    return triangles;
}

FT_UInt glyph_index_of(FT_Face face, uint32_t code) {
    if (code > 255) return 0;
    uint32_t unicode = outline_ansi_to_unicode(static_cast<uint8_t>(code));
    if (unicode == 0 && code != 0) return 0;
    return FT_Get_Char_Index(face, unicode);
}

OutlineGlyphMetrics metrics_of(FT_GlyphSlot slot, double scale) {
    const FT_Glyph_Metrics& m = slot->metrics;
    OutlineGlyphMetrics out{};
    out.black_box_x = static_cast<float>(m.width * scale);
    out.black_box_y = static_cast<float>(m.height * scale);
    out.origin_x = static_cast<float>(m.horiBearingX * scale);
    out.origin_y = static_cast<float>(m.horiBearingY * scale);
    out.cell_inc_x = static_cast<float>(slot->advance.x * scale);
    out.cell_inc_y = 0.0f;
    return out;
}

// Reads, flattens and fills one glyph; compiles it into `list`.  Returns the
// triangles drawn; a glyph FreeType cannot load compiles to an empty list
// with zero metrics.
long build_glyph(FT_Face face, GLUtesselator* tess, GlyphWork* work, uint32_t code, GLuint list,
                 float extrusion, OutlineGlyphMetrics* metrics) {
    *metrics = OutlineGlyphMetrics{};
    long triangles = 0;
    glNewList(list, GL_COMPILE);
    if (FT_Load_Glyph(face, glyph_index_of(face, code), FT_LOAD_NO_SCALE) == 0 &&
        face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
        *metrics = metrics_of(face->glyph, work->scale);
        FT_Outline* shape = &face->glyph->outline;
        work->points.clear();
        work->contour_starts.clear();
        if (FT_Outline_Decompose(shape, &OUTLINE_FUNCS, work) != 0) {
            work->points.clear();
            work->contour_starts.clear();
        }
        normalise_contours(work, FT_Outline_Get_Orientation(shape) == FT_ORIENTATION_FILL_LEFT);
        tessellate(tess, work);
        triangles = emit_glyph(*work, extrusion);
        glTranslatef(metrics->cell_inc_x, 0.0f, 0.0f);
        metrics->triangles = triangles;
        metrics->moves = true;
    }
    glEndList();
    return triangles;
}

void build_empty_lists(uint32_t count, uint32_t list_base, OutlineGlyphMetrics* metrics) {
    for (uint32_t i = 0; i < count; ++i) {
        metrics[i] = OutlineGlyphMetrics{};
        glNewList(list_base + i, GL_COMPILE);
        glEndList();
    }
}

// Opens a face whose outlines FreeType can read; null when it cannot.
FT_Face open_face(FT_Library library, const char* path, int index) {
    FT_Face face = nullptr;
    if (FT_New_Face(library, path, index, &face) != 0) return nullptr;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    return face;
}

// The best match for one pattern whose file FreeType can open as a scalable face.
bool match_face(FcPattern* pattern, OutlineFace* out) {
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    bool found = false;
    FT_Library library = nullptr;
    if (fonts && FT_Init_FreeType(&library) == 0) {
        for (int i = 0; i < fonts->nfont && !found; ++i) {
            FcPattern* font = FcFontRenderPrepare(nullptr, pattern, fonts->fonts[i]);
            FcChar8* file = nullptr;
            FcChar8* full_name = nullptr;
            int index = 0;
            FcBool scalable = FcFalse;
            if (font && FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch &&
                (FcPatternGetBool(font, FC_SCALABLE, 0, &scalable) != FcResultMatch || scalable)) {
                FcPatternGetInteger(font, FC_INDEX, 0, &index);
                if (FcPatternGetString(font, FC_FULLNAME, 0, &full_name) != FcResultMatch)
                    FcPatternGetString(font, FC_FAMILY, 0, &full_name);
                FT_Face face = open_face(library, reinterpret_cast<const char*>(file), index);
                if (face) {
                    FT_Done_Face(face);
                    snprintf(out->path, sizeof out->path, "%s", file);
                    snprintf(out->name, sizeof out->name, "%s",
                             full_name ? reinterpret_cast<const char*>(full_name) : "");
                    out->index = index;
                    found = strlen(out->path) + 1 < sizeof out->path;
                }
            }
            if (font) FcPatternDestroy(font);
        }
        FT_Done_FreeType(library);
    }
    if (fonts) FcFontSetDestroy(fonts);
    return found;
}

bool match_family(const char* family, bool bold, OutlineFace* out) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    bool found = match_face(pattern, out);
    FcPatternDestroy(pattern);
    return found;
}

double elapsed_ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

} // namespace

uint32_t outline_ansi_to_unicode(uint8_t code) {
    if (code >= 0x80 && code <= 0x9F) return CP1252_HIGH[code - 0x80];
    return code;
}

bool outline_find_face(const char* family, bool bold, OutlineFace* face) {
    *face = OutlineFace{};
    if (!FcInit()) return false;
    if (family && match_family(family, bold, face)) return true;
    for (const char* fallback : FALLBACK_FAMILIES)
        if (match_family(fallback, bold, face)) return true;
    *face = OutlineFace{};
    return false;
}

bool outline_build_lists(const OutlineFace* face, uint32_t first_code, uint32_t count,
                         uint32_t list_base, float deviation, float extrusion,
                         OutlineGlyphMetrics* metrics) {
    auto start = std::chrono::steady_clock::now();
    outline.stats = OutlineStats{};
    FT_Library library = nullptr;
    FT_Face ft_face = nullptr;
    GLUtesselator* tess = nullptr;
    if (face && face->path[0] && FT_Init_FreeType(&library) == 0) {
        ft_face = open_face(library, face->path, face->index);
        if (ft_face) tess = new_tessellator();
    }
    if (!tess) {
        build_empty_lists(count, list_base, metrics);
    } else {
        GlyphWork work{};
        work.scale = 1.0 / ft_face->units_per_EM;
        float finest = deviation > 0.0f ? deviation : OUTLINE_FINEST_DEVIATION;
        work.tolerance = finest * static_cast<double>(ft_face->units_per_EM);
        for (uint32_t i = 0; i < count; ++i)
            outline.stats.triangle_count += build_glyph(ft_face, tess, &work, first_code + i,
                                                        list_base + i, extrusion, &metrics[i]);
        snprintf(outline.stats.face_name, sizeof outline.stats.face_name, "%s", face->name);
        gluDeleteTess(tess);
    }
    if (ft_face) FT_Done_Face(ft_face);
    if (library) FT_Done_FreeType(library);
    outline.stats.build_ms = elapsed_ms(start);
    return tess != nullptr;
}

OutlineStats outline_stats() {
    return outline.stats;
}
