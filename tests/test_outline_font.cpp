#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <fontconfig/fontconfig.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/outline_font.h"
#include "platform/offscreen.h"
#include "platform/outline.h"
#include "support/test_support.h"

namespace {

// Viewport of the tests; the orthographic view shows x and y in [-2, 2] and
// z in [-1, 1], so window x = (x + 2) * 64 and window z = (1 - z) / 2.
constexpr int VIEW_SIZE = 256;
constexpr float VIEW_HALF = 2.0f;
constexpr float EXTRUSION = 0.2f;
// Room for the feedback of a few glyphs.
constexpr size_t FEEDBACK_FLOATS = 1 << 20;

struct FbVertex {
    float x, y, z; // object coordinates (the view undone)
    float r, g, b, a;
};
using FbPolygon = std::vector<FbVertex>;

void set_view() {
    glViewport(0, 0, VIEW_SIZE, VIEW_SIZE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-VIEW_HALF, VIEW_HALF, -VIEW_HALF, VIEW_HALF, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

FbVertex to_object(const float* w) {
    float scale = 2.0f * VIEW_HALF / VIEW_SIZE;
    return FbVertex{w[0] * scale - VIEW_HALF,
                    w[1] * scale - VIEW_HALF,
                    1.0f - 2.0f * w[2],
                    w[3],
                    w[4],
                    w[5],
                    w[6]};
}

// Runs `draw` in feedback mode (3D position and colour per vertex) and
// returns the polygons it produced; fails the test on anything else.
template <typename Draw> std::vector<FbPolygon> feedback(Draw draw) {
    std::vector<float> buffer(FEEDBACK_FLOATS);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0) << "feedback buffer overflow";
    std::vector<FbPolygon> polygons;
    for (GLint i = 0; i < used;) {
        EXPECT_EQ(buffer[i], static_cast<float>(GL_POLYGON_TOKEN));
        if (buffer[i] != static_cast<float>(GL_POLYGON_TOKEN)) break;
        int count = static_cast<int>(buffer[i + 1]);
        i += 2;
        FbPolygon polygon;
        for (int k = 0; k < count; ++k, i += 7)
            polygon.push_back(to_object(&buffer[i]));
        polygons.push_back(polygon);
    }
    return polygons;
}

// Signed area seen from +z (positive when counter-clockwise).
float signed_area(const FbPolygon& p) {
    float area = 0.0f;
    for (size_t i = 0; i < p.size(); ++i) {
        const FbVertex& a = p[i];
        const FbVertex& b = p[(i + 1) % p.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return area / 2.0f;
}

struct Extent {
    float min_x, max_x, min_y, max_y;
};

Extent extent_of(const std::vector<FbPolygon>& polygons) {
    Extent e{1e9f, -1e9f, 1e9f, -1e9f};
    for (const FbPolygon& p : polygons)
        for (const FbVertex& v : p) {
            e.min_x = std::fmin(e.min_x, v.x);
            e.max_x = std::fmax(e.max_x, v.x);
            e.min_y = std::fmin(e.min_y, v.y);
            e.max_y = std::fmax(e.max_y, v.y);
        }
    return e;
}

float modelview_x() {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    return m[12];
}

bool modelview_is_translation() {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const float identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    for (int i = 0; i < 12; ++i)
        if (m[i] != identity[i]) return false;
    return m[13] == 0.0f && m[14] == 0.0f && m[15] == 1.0f;
}

float advance_of(const std::string& text) {
    float sum = 0.0f;
    for (unsigned char c : text)
        sum += glyph_metrics[c].cell_inc_x;
    return sum;
}

// Three directional lights, one per colour channel, along the given axes
// (x, y, z per light), so that each lit channel is max(0, n . axis).
void light_axes(const float axes[3][3]) {
    const GLfloat zero[4] = {0, 0, 0, 1};
    const GLfloat white[4] = {1, 1, 1, 1};
    glEnable(GL_LIGHTING);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    for (int k = 0; k < 3; ++k) {
        GLenum light = GL_LIGHT0 + k;
        GLfloat colour[4] = {k == 0 ? 1.0f : 0.0f, k == 1 ? 1.0f : 0.0f, k == 2 ? 1.0f : 0.0f, 1};
        GLfloat direction[4] = {axes[k][0], axes[k][1], axes[k][2], 0.0f};
        glEnable(light);
        glLightfv(light, GL_AMBIENT, zero);
        glLightfv(light, GL_SPECULAR, zero);
        glLightfv(light, GL_DIFFUSE, colour);
        glLightfv(light, GL_POSITION, direction);
    }
}

struct LitPolygon {
    FbPolygon shape;
    float normal[3];
};

// Turns the text so that its side walls face the viewer in part; the
// feedback drops polygons seen edge-on.
void turn_text() {
    glRotatef(25.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(35.0f, 0.0f, 1.0f, 0.0f);
}

// Applies the transpose of the modelview's rotation to (x, y, z).
void unturn(const GLfloat m[16], float* x, float* y, float* z) {
    float v[3] = {*x, *y, *z};
    *x = m[0] * v[0] + m[1] * v[1] + m[2] * v[2];
    *y = m[4] * v[0] + m[5] * v[1] + m[6] * v[2];
    *z = m[8] * v[0] + m[9] * v[1] + m[10] * v[2];
}

// Feedback of one printed text, turned by turn_text and turned back, with
// each polygon's normal recovered from two lit passes: red, green, blue light
// along +z, +x, +y, then along -z, -x, -y.
std::vector<LitPolygon> lit_feedback(const char* text) {
    const float positive[3][3] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
    const float negative[3][3] = {{0, 0, -1}, {-1, 0, 0}, {0, -1, 0}};
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    set_view();
    light_axes(positive);
    turn_text();
    GLfloat turn[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, turn);
    std::vector<FbPolygon> lit_a = feedback([&] { print_outline_text("%s", text); });
    set_view();
    light_axes(negative);
    turn_text();
    std::vector<FbPolygon> lit_b = feedback([&] { print_outline_text("%s", text); });
    glPopAttrib();
    set_view();
    std::vector<LitPolygon> out;
    EXPECT_EQ(lit_a.size(), lit_b.size());
    for (size_t i = 0; i < lit_a.size() && i < lit_b.size(); ++i) {
        const FbVertex& a = lit_a[i][0];
        const FbVertex& b = lit_b[i][0];
        LitPolygon p{lit_a[i], {a.g - b.g, a.b - b.b, a.r - b.r}};
        for (FbVertex& v : p.shape)
            unturn(turn, &v.x, &v.y, &v.z);
        unturn(turn, &p.normal[0], &p.normal[1], &p.normal[2]);
        out.push_back(p);
    }
    return out;
}

// Draws `text` white on black, `size` pixels per em, centred; returns the
// frame (RGB, top row first).
std::vector<uint8_t> render_text(const char* text, float em_pixels) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    set_view();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    float scale = em_pixels * 2.0f * VIEW_HALF / VIEW_SIZE;
    glScalef(scale, scale, scale);
    print_outline_text("%s", text);
    glPopAttrib();
    return offscreen_read_rgb(VIEW_SIZE, VIEW_SIZE);
}

bool white_at(const std::vector<uint8_t>& rgb, int x, int y_from_top) {
    return rgb[(static_cast<size_t>(y_from_top) * VIEW_SIZE + x) * 3] > 128;
}

class Font : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(offscreen_begin(VIEW_SIZE, VIEW_SIZE));
        ASSERT_TRUE(build_outline_font());
    }
    static void TearDownTestSuite() {
        release_outline_font();
        offscreen_end();
    }
    void SetUp() override { set_view(); }
};

TEST_F(Font, BuildsFromBoldArialSubstituteWithAdvancesPerAnsiCode) {
    OutlineStats stats = outline_stats();
    EXPECT_STREQ(stats.face_name, "Liberation Sans Bold");
    EXPECT_GT(stats.triangle_count, 10000);
    EXPECT_NE(font_list_base, 0u);
    // Metric-compatible with Arial Bold: "." advances 569 of 2048 units, "W" 1933.
    EXPECT_FLOAT_EQ(glyph_metrics[uint8_t('.')].cell_inc_x, 569.0f / 2048.0f);
    EXPECT_FLOAT_EQ(glyph_metrics[uint8_t('W')].cell_inc_x, 1933.0f / 2048.0f);
    EXPECT_EQ(glyph_metrics[255].cell_inc_x, 0.0f);
    for (int code = 32; code < 255; ++code) {
        if (code == 0x81 || code == 0x8D || code == 0x8F || code == 0x90 || code == 0x9D) continue;
        EXPECT_GT(glyph_metrics[code].cell_inc_x, 0.0f) << "code " << code;
        EXPECT_EQ(glyph_metrics[code].cell_inc_y, 0.0f);
    }
    // The black box of "W" spans the glyph from the baseline to the cap
    // height (1409 units).
    EXPECT_GT(glyph_metrics[uint8_t('W')].black_box_x, 0.9f);
    EXPECT_FLOAT_EQ(glyph_metrics[uint8_t('W')].origin_y, 1409.0f / 2048.0f);
    EXPECT_FLOAT_EQ(glyph_metrics[uint8_t('W')].black_box_y, 1409.0f / 2048.0f);
}

TEST_F(Font, AnsiCodesMapThroughWindows1252) {
    EXPECT_EQ(outline_ansi_to_unicode('A'), 0x41u);
    EXPECT_EQ(outline_ansi_to_unicode(0x80), 0x20ACu);
    EXPECT_EQ(outline_ansi_to_unicode(0x81), 0u);
    EXPECT_EQ(outline_ansi_to_unicode(0x8A), 0x160u);
    EXPECT_EQ(outline_ansi_to_unicode(0x99), 0x2122u);
    EXPECT_EQ(outline_ansi_to_unicode(0x9F), 0x178u);
    EXPECT_EQ(outline_ansi_to_unicode(0xA0), 0xA0u);
    EXPECT_EQ(outline_ansi_to_unicode(0xFF), 0xFFu);
    // The euro sign has its own glyph, wider than the notdef-free space.
    EXPECT_GT(glyph_metrics[0x80].cell_inc_x, glyph_metrics[uint8_t(' ')].cell_inc_x);
}

TEST_F(Font, DotIsCentredOnItsOwnAdvance) {
    float advance = glyph_metrics[uint8_t('.')].cell_inc_x;
    std::vector<FbPolygon> drawn = feedback([] { print_outline_text("."); });
    ASSERT_FALSE(drawn.empty());
    EXPECT_TRUE(modelview_is_translation());
    EXPECT_NEAR(modelview_x(), advance / 2.0f, 1e-6f);
    Extent e = extent_of(drawn);
    float pixel = 2.0f * VIEW_HALF / VIEW_SIZE;
    EXPECT_GE(e.min_x, -advance / 2.0f - pixel);
    EXPECT_LE(e.max_x, advance / 2.0f + pixel);
    EXPECT_NEAR((e.min_x + e.max_x) / 2.0f, 0.0f, 0.02f);
    EXPECT_NEAR(e.min_y, 0.0f, pixel);
}

TEST_F(Font, EmptyNullAndCode255TextsDrawAndMoveNothing) {
    std::vector<FbPolygon> drawn = feedback([] {
        print_outline_text("%s", "");
        print_outline_text(nullptr);
        print_outline_text("\xff");
        print_outline_text("\xff\xff\xff");
    });
    EXPECT_TRUE(drawn.empty());
    EXPECT_TRUE(modelview_is_translation());
    EXPECT_EQ(modelview_x(), 0.0f);
    GLint list_base = -1;
    glGetIntegerv(GL_LIST_BASE, &list_base);
    EXPECT_EQ(list_base, 0);
}

TEST_F(Font, LongestTextFitsAndLongerFormatsAreCut) {
    std::string longest(254, 'i');
    longest += 'W';
    print_outline_text("%s", longest.c_str());
    // Every list ran, the last "W" included: the origin ends at +advance / 2.
    EXPECT_NEAR(modelview_x(), advance_of(longest) / 2.0f, 1e-4f);

    std::string longer = longest + std::string(300, 'M');
    glLoadIdentity();
    print_outline_text("%s", longer.c_str());
    EXPECT_NEAR(modelview_x(), advance_of(longest) / 2.0f, 1e-4f);
    glLoadIdentity();
    // The text itself as the format, as callers without arguments pass it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    print_outline_text(longer.c_str());
#pragma GCC diagnostic pop
    EXPECT_NEAR(modelview_x(), advance_of(longest) / 2.0f, 1e-4f);
}

TEST_F(Font, SecondPrintIsShiftedByHalfTheAdvance) {
    std::vector<FbPolygon> once = feedback([] { print_outline_text("Ab"); });
    glLoadIdentity();
    std::vector<FbPolygon> twice = feedback([] {
        print_outline_text("Ab");
        print_outline_text("Ab");
    });
    ASSERT_FALSE(once.empty());
    ASSERT_EQ(twice.size(), 2 * once.size());
    float shift = advance_of("Ab") / 2.0f;
    float pixel = 2.0f * VIEW_HALF / VIEW_SIZE;
    for (size_t i = 0; i < once.size(); ++i) {
        const FbPolygon& second = twice[once.size() + i];
        ASSERT_EQ(second.size(), once[i].size());
        for (size_t k = 0; k < second.size(); ++k) {
            EXPECT_NEAR(twice[i][k].x, once[i][k].x, 1e-4f);
            EXPECT_NEAR(second[k].x, once[i][k].x + shift, pixel / 64.0f);
            EXPECT_NEAR(second[k].y, once[i][k].y, 1e-4f);
        }
    }
    EXPECT_NEAR(modelview_x(), 2.0f * shift, 1e-6f);
}

TEST_F(Font, LetterOHasFrontBackAndOutwardSideFaces) {
    std::vector<LitPolygon> polygons = lit_feedback("O");
    ASSERT_FALSE(polygons.empty());
    Extent e = extent_of([&] {
        std::vector<FbPolygon> shapes;
        for (const LitPolygon& p : polygons)
            shapes.push_back(p.shape);
        return shapes;
    }());
    float cx = (e.min_x + e.max_x) / 2.0f, cy = (e.min_y + e.max_y) / 2.0f;
    float rx = (e.max_x - e.min_x) / 2.0f, ry = (e.max_y - e.min_y) / 2.0f;
    float front_area = 0.0f, back_area = 0.0f;
    int sides_outer = 0, sides_inner = 0;
    for (const LitPolygon& p : polygons) {
        const float* n = p.normal;
        EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 0.01f);
        bool at_front = true, at_back = true;
        for (const FbVertex& v : p.shape) {
            EXPECT_TRUE(std::fabs(v.z) < 1e-3f || std::fabs(v.z + EXTRUSION) < 1e-3f) << v.z;
            at_front = at_front && std::fabs(v.z) < 1e-3f;
            at_back = at_back && std::fabs(v.z + EXTRUSION) < 1e-3f;
        }
        if (at_front) {
            EXPECT_NEAR(n[2], 1.0f, 0.01f);
            EXPECT_GT(signed_area(p.shape), 0.0f); // counter-clockwise seen from +z
            front_area += signed_area(p.shape);
        } else if (at_back) {
            EXPECT_NEAR(n[2], -1.0f, 0.01f);
            EXPECT_LT(signed_area(p.shape), 0.0f); // counter-clockwise seen from -z
            back_area -= signed_area(p.shape);
        } else {
            // A wall: horizontal normal pointing out of the ring, away from
            // the centre on the outer contour, towards it on the inner one.
            EXPECT_NEAR(n[2], 0.0f, 0.01f);
            float mx = 0.0f, my = 0.0f;
            for (const FbVertex& v : p.shape)
                mx += v.x / p.shape.size(), my += v.y / p.shape.size();
            float dx = mx - cx, dy = my - cy;
            bool outer = (dx / rx) * (dx / rx) + (dy / ry) * (dy / ry) > 0.75f;
            float facing = n[0] * dx + n[1] * dy;
            if (outer) {
                EXPECT_GT(facing, 0.0f);
                ++sides_outer;
            } else {
                EXPECT_LT(facing, 0.0f);
                ++sides_inner;
            }
        }
    }
    EXPECT_GT(sides_outer, 40);
    EXPECT_GT(sides_inner, 40);
    EXPECT_NEAR(front_area, back_area, 1e-3f);
    // The ring's area is well under its outline's ellipse: the hole is empty.
    float ellipse = 3.14159265f * rx * ry;
    EXPECT_GT(front_area, 0.3f * ellipse);
    EXPECT_LT(front_area, 0.75f * ellipse);
}

TEST_F(Font, LetterOIsDrawnWithAHole) {
    std::vector<uint8_t> rgb = render_text("O", 200.0f);
    // Scan the row through the middle of the letter (cap height 0.716 em).
    int row = VIEW_SIZE / 2 - static_cast<int>(200.0f * 0.716f / 2.0f);
    std::string runs;
    for (int x = 0; x < VIEW_SIZE; ++x) {
        char c = white_at(rgb, x, row) ? '#' : '.';
        if (runs.empty() || runs.back() != c) runs += c;
    }
    EXPECT_EQ(runs, ".#.#.");
    EXPECT_FALSE(white_at(rgb, VIEW_SIZE / 2, row));
}

TEST_F(Font, MissingFaceGivesEmptyListsWithZeroAdvances) {
    GLuint base = glGenLists(4);
    OutlineGlyphMetrics metrics[4];
    memset(metrics, 0x7f, sizeof metrics);
    OutlineFace bogus{};
    snprintf(bogus.path, sizeof bogus.path, "%s/CMakeLists.txt", VM_TEST_SOURCE_DIR);
    EXPECT_FALSE(outline_build_lists(&bogus, 'A', 4, base, 0.0f, EXTRUSION, metrics));
    EXPECT_FALSE(outline_build_lists(nullptr, 'A', 4, base, 0.0f, EXTRUSION, metrics));
    for (const OutlineGlyphMetrics& m : metrics)
        EXPECT_EQ(m.cell_inc_x, 0.0f);
    std::vector<FbPolygon> drawn = feedback([&] {
        for (GLuint i = 0; i < 4; ++i)
            glCallList(base + i);
    });
    EXPECT_TRUE(drawn.empty());
    EXPECT_EQ(modelview_x(), 0.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glDeleteLists(base, 4);
}

// What a print leaves behind: the picture, the modelview and texture
// matrices and the current normal.
struct PrintResult {
    std::vector<uint8_t> rgb;
    std::array<float, 16> modelview;
    std::array<float, 16> texture;
    std::array<float, 3> normal;
};

// Every list of the text called, as a print without leaving glyphs out
// would: the same centring, then one glCallLists.
void print_every_glyph(const char* text) {
    size_t length = strlen(text);
    glTranslatef(-advance_of(text) / 2.0f, 0.0f, 0.0f);
    glPushAttrib(GL_LIST_BIT);
    glListBase(font_list_base);
    glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

// The show's kind of view (45 degrees, lit), the text at (x, y, z) printed
// with `text_matrix` current, then a lit quad that sends no normal of its
// own, so that the normal the text left behind shows in its colour.
PrintResult print_in_perspective(void (*print)(const char*), const char* text, float x, float y,
                                 float z, GLenum text_matrix = GL_MODELVIEW) {
    PrintResult r{};
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glViewport(0, 0, VIEW_SIZE, VIEW_SIZE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat light_at[4] = {1.0f, 2.0f, 3.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light_at);
    glNormal3f(0.3f, 0.3f, 0.9f);
    glTranslatef(x, y, z);
    glMatrixMode(text_matrix);
    print(text);
    glGetFloatv(GL_MODELVIEW_MATRIX, r.modelview.data());
    glGetFloatv(GL_TEXTURE_MATRIX, r.texture.data());
    glGetFloatv(GL_CURRENT_NORMAL, r.normal.data());
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, -2.5f, -6.0f);
    glVertex3f(1.0f, -2.5f, -6.0f);
    glVertex3f(1.0f, -1.5f, -6.0f);
    glVertex3f(-1.0f, -1.5f, -6.0f);
    glEnd();
    glPopAttrib();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    r.rgb = offscreen_read_rgb(VIEW_SIZE, VIEW_SIZE);
    return r;
}

void print_text(const char* text) {
    print_outline_text("%s", text);
}

TEST_F(Font, GlyphsOutsideTheViewAreLeftOutWithNothingElseChanged) {
    // A long line seen from close by, placed so that it runs off the left
    // edge, off the right edge, off both, and wholly outside; the texts end
    // in glyphs that draw nothing, after glyphs that lie outside.
    const char* const texts[] = {
        "Greetings to everyone at the party, far and near, young and old.  ",
        "WAVY (fill) {x} .,;:!? Mirabo plix vondrel Lise-K. Nordlys Fjellrev :) ",
    };
    // x in half advances of the text: -1 puts its right end, +1 its left
    // end at the middle of the view.
    struct Place {
        float half_advances, y, z;
        bool some_drawn;
    };
    const Place places[] = {
        {-1.0f, 0.5f, -8.0f, true}, {1.0f, -0.5f, -8.0f, true}, {0.0f, 0.0f, -6.0f, true},
        {0.0f, 9.0f, -6.0f, false}, {0.0f, 0.0f, 5.0f, false},
    };
    for (const char* text : texts)
        for (const Place& p : places) {
            float x = p.half_advances * advance_of(text) / 2.0f;
            SCOPED_TRACE(std::string(text) + " at x " + std::to_string(x) + " y " +
                         std::to_string(p.y) + " z " + std::to_string(p.z));
            PrintResult all = print_in_perspective(print_every_glyph, text, x, p.y, p.z);
            PrintResult culled = print_in_perspective(print_text, text, x, p.y, p.z);
            EXPECT_GT(text_glyphs_left_out, 10);
            EXPECT_LT(text_glyphs_left_out, static_cast<int>(strlen(text)));
            EXPECT_EQ(culled.rgb, all.rgb);
            EXPECT_EQ(culled.modelview, all.modelview);
            EXPECT_EQ(culled.normal, all.normal);
            // The quad lies in the bottom quarter; the text above it.
            size_t text_area = static_cast<size_t>(VIEW_SIZE * 3 / 4) * VIEW_SIZE * 3;
            bool text_seen = std::any_of(all.rgb.begin(), all.rgb.begin() + text_area,
                                         [](uint8_t v) { return v != 0; });
            EXPECT_EQ(text_seen, p.some_drawn);
        }
}

TEST_F(Font, WithTheTextureMatrixCurrentEveryGlyphIsDrawn) {
    // The show's first frame prints "{x}" with the texture matrix current:
    // the centring and the glyphs' moves turn that matrix, so every glyph
    // lands on the modelview's origin, however far along the text it is.
    struct Print {
        const char* text;
        float x;
    };
    const Print prints[] = {
        {"{x}", 2.3f}, // at the right edge: "x" would lie outside if moved along
        {"Greetings to everyone at the party, far and near, young and old.", 0.0f},
    };
    for (const Print& p : prints) {
        SCOPED_TRACE(p.text);
        PrintResult all =
            print_in_perspective(print_every_glyph, p.text, p.x, 0.0f, -6.0f, GL_TEXTURE);
        PrintResult printed =
            print_in_perspective(print_text, p.text, p.x, 0.0f, -6.0f, GL_TEXTURE);
        EXPECT_EQ(text_glyphs_left_out, 0);
        EXPECT_EQ(printed.rgb, all.rgb);
        EXPECT_EQ(printed.modelview, all.modelview);
        EXPECT_EQ(printed.texture, all.texture);
        EXPECT_EQ(printed.normal, all.normal);
        EXPECT_TRUE(std::any_of(all.rgb.begin(), all.rgb.end(), [](uint8_t v) { return v != 0; }));
    }
}

// A display list of someone else's under `name`: one triangle.
void compile_triangle_list(GLuint name) {
    glNewList(name, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(0, 1);
    glEnd();
    glEndList();
}

TEST_F(Font, FontWithoutListsPrintsNothing) {
    // glGenLists gives 0 between glBegin and glEnd: the font's request for
    // its lists fails.
    release_outline_font();
    glBegin(GL_POINTS);
    EXPECT_FALSE(build_outline_font());
    glEnd();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_OPERATION));
    EXPECT_EQ(font_list_base, 0u);
    // Lists of others under the names of the character codes, as the
    // compiled sphere and cylinder may be: each draws a triangle.
    std::vector<GLuint> others;
    for (GLuint name = 1; name < 255; ++name) {
        if (glIsList(name)) continue;
        compile_triangle_list(name);
        others.push_back(name);
    }
    EXPECT_GE(others.size(), 250u);
    std::vector<FbPolygon> drawn = feedback([] { print_outline_text("Arial {x}"); });
    EXPECT_TRUE(drawn.empty());
    EXPECT_TRUE(modelview_is_translation());
    EXPECT_EQ(modelview_x(), 0.0f);
    for (GLuint name : others)
        glDeleteLists(name, 1);
    EXPECT_TRUE(build_outline_font());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Lists that others make later under the names the released font had:
// the font neither draws them nor deletes them.
TEST_F(Font, ReleasedFontLeavesListsMadeLaterUnderItsNamesAlone) {
    GLuint old_base = font_list_base;
    ASSERT_NE(old_base, 0u);
    release_outline_font();
    EXPECT_EQ(font_list_base, 0u);
    for (GLuint name = old_base; name < old_base + 256; ++name)
        compile_triangle_list(name);
    EXPECT_TRUE(feedback([] { print_outline_text("Arial {x}"); }).empty());
    release_outline_font();
    for (GLuint name = old_base; name < old_base + 256; ++name)
        EXPECT_TRUE(glIsList(name)) << name;
    glDeleteLists(old_base, 256);
    EXPECT_TRUE(build_outline_font());
}

TEST_F(Font, NoFontsInstalledBuildsAnEmptyFont) {
    // Swap in a font configuration that knows no fonts at all.
    FcConfig* system = FcConfigReference(nullptr);
    FcConfig* empty = FcConfigCreate();
    ASSERT_TRUE(FcConfigSetCurrent(empty));
    FcConfigDestroy(empty);
    OutlineFace face{};
    EXPECT_FALSE(outline_find_face("Arial", true, &face));
    EXPECT_EQ(face.path[0], '\0');
    release_outline_font();
    EXPECT_FALSE(build_outline_font());
    FcConfigSetCurrent(system);
    FcConfigDestroy(system);
    for (const GlyphMetricsFloat& m : glyph_metrics)
        EXPECT_EQ(m.cell_inc_x, 0.0f);
    std::vector<FbPolygon> drawn = feedback([] { print_outline_text("Arial"); });
    EXPECT_TRUE(drawn.empty());
    EXPECT_EQ(modelview_x(), 0.0f);
    // With the fonts back the next build finds the face again.
    release_outline_font();
    EXPECT_TRUE(build_outline_font());
    EXPECT_GT(glyph_metrics[uint8_t('A')].cell_inc_x, 0.0f);
}

} // namespace

// What one glyph list does, as feedback and matrix show it: its polygons
// (lit, so that the colours carry the normals) and the modelview's x shift.
struct ListEffect {
    std::vector<FbPolygon> polygons;
    float shift;
};

ListEffect list_effect(GLuint list) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat light[4] = {0.3f, 0.5f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glLoadIdentity();
    glRotatef(30.0f, 1.0f, 1.0f, 0.0f);
    glTranslatef(-0.5f, -0.5f, 0.0f);
    ListEffect effect;
    float before = modelview_x();
    effect.polygons = feedback([&] { glCallList(list); });
    effect.shift = modelview_x() - before;
    glPopAttrib();
    glLoadIdentity();
    return effect;
}

bool same_polygons(const std::vector<FbPolygon>& a, const std::vector<FbPolygon>& b) {
    if (a.size() != b.size()) return false;
    for (size_t p = 0; p < a.size(); ++p) {
        if (a[p].size() != b[p].size()) return false;
        for (size_t v = 0; v < a[p].size(); ++v)
            if (memcmp(&a[p][v], &b[p][v], sizeof(FbVertex)) != 0) return false;
    }
    return true;
}

// The recorder's file compiles lists that draw bit for bit what the outline
// layer's lists draw, with the same metrics; a damaged file gives an empty
// font.
TEST_F(Font, BakedGlyphsDrawWhatTheOutlineLayerDraws) {
    std::string dir = temp_dir_make("baked_font");
    std::string path = dir + "/outline_font.bin";
    ASSERT_EQ(
        system((std::string(VM_TOOL_VINTERMOOT_FONT_BAKE) + " " + path + " > /dev/null").c_str()),
        0);
    constexpr uint32_t COUNT = 255;
    OutlineFace face{};
    ASSERT_TRUE(outline_find_face(OUTLINE_FONT_FAMILY, OUTLINE_FONT_BOLD, &face));
    GLuint live = glGenLists(COUNT), baked = glGenLists(COUNT);
    static OutlineGlyphMetrics live_metrics[COUNT], baked_metrics[COUNT];
    ASSERT_TRUE(outline_build_lists(&face, 0, COUNT, live, OUTLINE_FONT_DEVIATION,
                                    OUTLINE_FONT_EXTRUSION, live_metrics));
    ASSERT_TRUE(outline_load_baked(path.c_str(), 0, COUNT, baked, baked_metrics));
    for (uint32_t code = 0; code < COUNT; ++code) {
        const OutlineGlyphMetrics &a = live_metrics[code], &b = baked_metrics[code];
        EXPECT_TRUE(a.black_box_x == b.black_box_x && a.black_box_y == b.black_box_y &&
                    a.origin_x == b.origin_x && a.origin_y == b.origin_y &&
                    a.cell_inc_x == b.cell_inc_x && a.cell_inc_y == b.cell_inc_y &&
                    a.triangles == b.triangles && a.moves == b.moves)
            << "code " << code;
        ListEffect from_live = list_effect(live + code), from_file = list_effect(baked + code);
        EXPECT_TRUE(same_polygons(from_live.polygons, from_file.polygons)) << "code " << code;
        EXPECT_EQ(from_live.shift, from_file.shift) << "code " << code;
    }
    // Cut short: every list empty, every metric zero.
    std::vector<uint8_t> bytes;
    {
        FILE* file = fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        bytes.resize(4096);
        bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
        fclose(file);
    }
    ASSERT_TRUE(write_file(path, bytes.data(), bytes.size()));
    EXPECT_FALSE(outline_load_baked(path.c_str(), 0, COUNT, baked, baked_metrics));
    EXPECT_EQ(baked_metrics[uint8_t('W')].cell_inc_x, 0.0f);
    EXPECT_TRUE(list_effect(baked + 'A').polygons.empty());
    glDeleteLists(live, COUNT);
    glDeleteLists(baked, COUNT);
    temp_dir_remove(dir);
}
