#include "app/time_bar.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "gfx/carried_state.h"
#include "show/frame.h"

namespace {

const char* const SCENE_NAMES[6] = {"OPENING",      "BIT TUNNEL", "SPHERE GREETINGS",
                                    "FLYING WORDS", "LANDSCAPE",  "PARTICLE FINALE"};

// Letters three cells wide and five high, rows from the top, '1' filled.
struct Glyph {
    char code;
    const char* rows;
};
const Glyph GLYPHS[] = {
    {'0', "111101101101111"}, {'1', "010110010010111"}, {'2', "111001111100111"},
    {'3', "111001111001111"}, {'4', "101101111001001"}, {'5', "111100111001111"},
    {'6', "111100111101111"}, {'7', "111001001001001"}, {'8', "111101111101111"},
    {'9', "111101111001111"}, {'A', "010101111101101"}, {'B', "110101110101110"},
    {'C', "011100100100011"}, {'D', "110101101101110"}, {'E', "111100110100111"},
    {'F', "111100110100100"}, {'G', "011100101101011"}, {'H', "101101111101101"},
    {'I', "111010010010111"}, {'J', "001001001101010"}, {'K', "101101110101101"},
    {'L', "100100100100111"}, {'M', "101111111101101"}, {'N', "110101101101101"},
    {'O', "010101101101010"}, {'P', "110101110100100"}, {'Q', "010101101110011"},
    {'R', "110101110101101"}, {'S', "011100010001110"}, {'T', "111010010010010"},
    {'U', "101101101101111"}, {'V', "101101101101010"}, {'W', "101101111111101"},
    {'X', "101101010101101"}, {'Y', "101101010010010"}, {'Z', "111001010100111"},
    {':', "000010000010000"},
};
constexpr int GLYPH_W = 3, GLYPH_H = 5;

// The bar's look: shares of the picture's height, greys.
constexpr float PANEL_HEIGHT_SHARE = 0.11f;
constexpr float PANEL_GREY = 0.08f, PANEL_ALPHA = 0.8f;
constexpr float TEXT_GREY = 0.92f;
constexpr float TRACK_GREYS[2] = {0.28f, 0.38f}; // scenes alternate
constexpr float FILL_RGB[3] = {0.95f, 0.65f, 0.15f};
constexpr float MARK_GREY = 0.0f;

const Glyph* glyph_of(char c) {
    for (const Glyph& g : GLYPHS)
        if (g.code == c) return &g;
    return nullptr;
}

void box(float x0, float y0, float x1, float y1) {
    glVertex3f(x0, y0, 0.0f);
    glVertex3f(x1, y0, 0.0f);
    glVertex3f(x1, y1, 0.0f);
    glVertex3f(x0, y1, 0.0f);
}

// Text with its top left corner at (x, y), `cell` pixels per glyph cell
// (y grows downwards here).
void draw_text(const std::string& text, float x, float y, float cell) {
    for (char c : text) {
        const Glyph* g = glyph_of(c);
        for (int row = 0; g && row < GLYPH_H; ++row)
            for (int col = 0; col < GLYPH_W; ++col)
                if (g->rows[row * GLYPH_W + col] == '1')
                    box(x + col * cell, y + row * cell, x + (col + 1) * cell, y + (row + 1) * cell);
        x += (GLYPH_W + 1) * cell;
    }
}

// Pixels (in the picture, y down) of a song time on the bar.
float bar_x(int64_t ms, float left, float right) {
    double share = std::min(1.0, std::max(0.0, static_cast<double>(ms) / TIME_BAR_SPAN_MS));
    return left + static_cast<float>(share) * (right - left);
}

void draw_panel(float w, float h, int64_t song_ms, int scene) {
    float panel = std::max(24.0f, h * PANEL_HEIGHT_SHARE);
    float top = h - panel;
    float cell = std::max(1.0f, panel / 22.0f);
    float margin = 3 * cell;
    glColor4f(PANEL_GREY, PANEL_GREY, PANEL_GREY, PANEL_ALPHA);
    glBegin(GL_QUADS);
    box(0, top, w, h);
    glEnd();
    float left = margin, right = w - margin;
    float track_top = top + margin + GLYPH_H * cell + 2 * cell;
    float track_bottom = h - margin;
    glBegin(GL_QUADS);
    for (int s = 1; s <= 6; ++s) {
        int64_t from = frame_scene_start_ms(s);
        int64_t to = s < 6 ? frame_scene_start_ms(s + 1) : TIME_BAR_SPAN_MS;
        float grey = TRACK_GREYS[s % 2];
        glColor4f(grey, grey, grey, 1.0f);
        box(bar_x(from, left, right), track_top, bar_x(to, left, right), track_bottom);
    }
    glColor4f(FILL_RGB[0], FILL_RGB[1], FILL_RGB[2], 1.0f);
    box(left, track_top + cell, bar_x(song_ms, left, right), track_bottom - cell);
    glColor4f(MARK_GREY, MARK_GREY, MARK_GREY, 1.0f);
    for (int s = 2; s <= 6; ++s) {
        float x = bar_x(frame_scene_start_ms(s), left, right);
        box(x - cell / 2, track_top, x + cell / 2, track_bottom);
    }
    glColor4f(TEXT_GREY, TEXT_GREY, TEXT_GREY, 1.0f);
    draw_text(time_bar_text(song_ms, scene), left, top + margin, cell);
    glEnd();
}

} // namespace

std::string time_bar_text(int64_t song_ms, int scene) {
    int64_t seconds = std::max<int64_t>(0, song_ms) / 1000;
    char text[64];
    const char* name = scene >= 1 && scene <= 6 ? SCENE_NAMES[scene - 1] : "";
    std::snprintf(text, sizeof text, "%lld:%02lld  SCENE %d  %s",
                  static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60), scene,
                  name);
    return text;
}

namespace {

// The projection onto picture pixels, y down (as glOrtho(0, w, h, 0, -1, 1)
// makes it, which the GL 1.1 subset lacks).
void load_pixel_projection(double w, double h) {
    const GLdouble m[16] = {2.0 / w, 0, 0, 0, 0, -2.0 / h, 0, 0, 0, 0, -1, 0, -1, 1, 0, 1};
    glMultMatrixd(m);
}

} // namespace

void time_bar_draw(int64_t song_ms, int scene) {
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    // What the bar changes, put back afterwards: over the subset (which
    // keeps no attribute stack) the GL state steps carry from one to the next.
#if VM_GL11
    CarriedGlState carried;
    carried_state_save(&carried);
#else
    glPushAttrib(GL_ALL_ATTRIB_BITS);
#endif
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    const GLenum stacks[3] = {GL_PROJECTION, GL_MODELVIEW, GL_TEXTURE};
    for (GLenum s : stacks) {
        glMatrixMode(s);
        glPushMatrix();
        glLoadIdentity();
    }
    glMatrixMode(GL_PROJECTION);
    load_pixel_projection(view[2], view[3]);
    draw_panel(static_cast<float>(view[2]), static_cast<float>(view[3]), song_ms, scene);
    for (GLenum s : stacks) {
        glMatrixMode(s);
        glPopMatrix();
    }
    glMatrixMode(static_cast<GLenum>(mode));
#if VM_GL11
    carried_state_restore(carried);
#else
    glPopAttrib();
#endif
}
