#include "picture_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "platform/outline.h"

namespace {

// Family and style of each face, in PictureFont order.
struct FaceWish {
    const char* family;
    bool bold;
    const char* style; // fontconfig style to prefer; null for the plain match
};
const FaceWish FACE_WISHES[FONT_COUNT] = {
    {"Liberation Sans", true, nullptr},
    {"Liberation Sans", false, nullptr},
    {"Liberation Sans", true, "Bold Italic"},
    {"Liberation Mono", true, nullptr},
};

// Capital height of the sans faces as a fraction of the em.
constexpr float CAP_HEIGHT = 0.72f;

// FreeType state, open between text_begin and text_end; only those two write it.
FT_Library text_library = nullptr;
FT_Face text_faces[FONT_COUNT] = {};

// The italic file sits beside the bold one with the same naming scheme.
bool italic_path(const char* bold_path, char* out, size_t size) {
    const char* found = strstr(bold_path, "-Bold.");
    if (!found) return false;
    snprintf(out, size, "%.*s-BoldItalic%s", static_cast<int>(found - bold_path), bold_path,
             found + 5);
    FILE* f = fopen(out, "rb");
    if (!f) return false;
    fclose(f);
    return true;
}

// Sets the face's size for `em` design units in this mask's pixel grid.
void set_size(FT_Face face, const Mask& mask, float em) {
    float px_x = em * static_cast<float>(mask.width) / mask.aspect;
    float px_y = em * static_cast<float>(mask.height);
    FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(std::lround(px_x * 64.0f)),
                     static_cast<FT_F26Dot6>(std::lround(px_y * 64.0f)), 72, 72);
}

// Pen advance of the text in 26.6 pixels.
long advance_of(FT_Face face, const char* text, float tracking_px) {
    long pen = 0;
    for (const char* p = text; *p; ++p) {
        if (FT_Load_Char(face, static_cast<unsigned char>(*p),
                         FT_LOAD_DEFAULT | FT_LOAD_NO_HINTING))
            continue;
        pen += face->glyph->advance.x;
        if (p[1]) pen += std::lround(tracking_px * 64.0f);
    }
    return pen;
}

} // namespace

bool text_begin() {
    if (FT_Init_FreeType(&text_library) != 0) return false;
    for (int k = 0; k < FONT_COUNT; ++k) {
        OutlineFace found;
        if (!outline_find_face(FACE_WISHES[k].family, FACE_WISHES[k].bold, &found)) {
            fprintf(stderr, "vintermoot-pictures: no face for %s\n", FACE_WISHES[k].family);
            return false;
        }
        char path[1100];
        snprintf(path, sizeof path, "%s", found.path);
        if (FACE_WISHES[k].style) italic_path(found.path, path, sizeof path);
        if (FT_New_Face(text_library, path, k == FONT_BOLD_ITALIC ? 0 : found.index,
                        &text_faces[k]) != 0) {
            fprintf(stderr, "vintermoot-pictures: cannot open %s\n", path);
            return false;
        }
        FT_Select_Charmap(text_faces[k], FT_ENCODING_UNICODE);
    }
    return true;
}

void text_end() {
    for (FT_Face& face : text_faces) {
        if (face) FT_Done_Face(face);
        face = nullptr;
    }
    if (text_library) FT_Done_FreeType(text_library);
    text_library = nullptr;
}

float text_width(const Mask& mask, PictureFont font, const char* text, float em, float tracking) {
    FT_Face face = text_faces[font];
    set_size(face, mask, em);
    float tracking_px = tracking * em * static_cast<float>(mask.width) / mask.aspect;
    long pen = advance_of(face, text, tracking_px);
    return static_cast<float>(pen) / 64.0f * mask.aspect / static_cast<float>(mask.width);
}

float text_draw(Mask& mask, PictureFont font, const char* text, float cx, float cy, float em,
                float tracking) {
    FT_Face face = text_faces[font];
    set_size(face, mask, em);
    float scale_x = static_cast<float>(mask.width) / mask.aspect; // pixels per unit
    float scale_y = static_cast<float>(mask.height);
    float tracking_px = tracking * em * scale_x;
    float width_px = static_cast<float>(advance_of(face, text, tracking_px)) / 64.0f;
    float pen_x = cx * scale_x - width_px * 0.5f;
    float baseline = (cy + CAP_HEIGHT * em * 0.5f) * scale_y;
    for (const char* p = text; *p; ++p) {
        // Sub-pixel placement: shift the outline by the pen's fraction.
        FT_Vector shift = {
            static_cast<FT_Pos>(std::lround((pen_x - std::floor(pen_x)) * 64.0f)),
            static_cast<FT_Pos>(std::lround((std::ceil(baseline) - baseline) * 64.0f))};
        FT_Set_Transform(face, nullptr, &shift);
        if (FT_Load_Char(face, static_cast<unsigned char>(*p),
                         FT_LOAD_RENDER | FT_LOAD_NO_HINTING) == 0) {
            FT_GlyphSlot slot = face->glyph;
            int left = static_cast<int>(std::floor(pen_x)) + slot->bitmap_left;
            int top = static_cast<int>(std::ceil(baseline)) - slot->bitmap_top;
            const FT_Bitmap& bm = slot->bitmap;
            for (unsigned row = 0; row < bm.rows; ++row)
                for (unsigned col = 0; col < bm.width; ++col) {
                    int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
                    if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) continue;
                    float c = bm.buffer[row * bm.pitch + col] / 255.0f;
                    float& v = mask.value[static_cast<size_t>(y) * mask.width + x];
                    if (c > v) v = c;
                }
            pen_x += static_cast<float>(slot->advance.x) / 64.0f;
            if (p[1]) pen_x += tracking_px;
        }
        FT_Set_Transform(face, nullptr, nullptr);
    }
    return width_px / scale_x;
}

float text_draw_fit(Mask& mask, PictureFont font, const char* text, float cx, float cy, float em,
                    float tracking, float max_width) {
    float width = text_width(mask, font, text, em, tracking);
    if (width > max_width) em *= max_width / width;
    text_draw(mask, font, text, cx, cy, em, tracking);
    return em;
}
