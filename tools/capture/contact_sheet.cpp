#include "contact_sheet.h"

#include <algorithm>
#include <string>

namespace {

constexpr int THUMB_WIDTH = 256; // at most; smaller frames keep their width
constexpr int MAX_COLUMNS = 4;
constexpr int GAP = 8;           // between cells and around the sheet
constexpr int LABEL_HEIGHT = 20; // band under each thumbnail
constexpr int GLYPH_W = 5, GLYPH_H = 7;
constexpr int GLYPH_SCALE = 2;
constexpr int GLYPH_ADVANCE = (GLYPH_W + 1) * GLYPH_SCALE;
const uint8_t BACKGROUND[3] = {24, 24, 32};
const uint8_t INK[3] = {235, 240, 255};

// The label font: 5 x 7 cells, one byte per row, bit 4 the leftmost pixel.
struct Glyph {
    char code;
    uint8_t rows[GLYPH_H];
};
const Glyph GLYPHS[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
};

const Glyph* find_glyph(char code) {
    for (const Glyph& g : GLYPHS)
        if (g.code == code) return &g;
    return nullptr; // a space
}

void put_pixel(std::vector<uint8_t>& rgb, int width, int x, int y, const uint8_t* colour) {
    uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    p[0] = colour[0];
    p[1] = colour[1];
    p[2] = colour[2];
}

void draw_text(std::vector<uint8_t>& rgb, int width, int x, int y, const std::string& text) {
    for (char c : text) {
        const Glyph* g = find_glyph(c);
        for (int row = 0; g && row < GLYPH_H; ++row)
            for (int col = 0; col < GLYPH_W; ++col) {
                if (!(g->rows[row] & (0x10 >> col))) continue;
                for (int dy = 0; dy < GLYPH_SCALE; ++dy)
                    for (int dx = 0; dx < GLYPH_SCALE; ++dx)
                        put_pixel(rgb, width, x + col * GLYPH_SCALE + dx,
                                  y + row * GLYPH_SCALE + dy, INK);
            }
        x += GLYPH_ADVANCE;
    }
}

// Average of the source block that maps to thumbnail pixel (x, y).
void shrink_pixel(const uint8_t* rgb, int frame_w, int frame_h, int thumb_w, int thumb_h, int x,
                  int y, uint8_t* out) {
    int x0 = x * frame_w / thumb_w, x1 = std::max(x0 + 1, (x + 1) * frame_w / thumb_w);
    int y0 = y * frame_h / thumb_h, y1 = std::max(y0 + 1, (y + 1) * frame_h / thumb_h);
    unsigned sum[3] = {0, 0, 0};
    for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx)
            for (int c = 0; c < 3; ++c)
                sum[c] += rgb[(static_cast<size_t>(sy) * frame_w + sx) * 3 + c];
    unsigned count = static_cast<unsigned>((x1 - x0) * (y1 - y0));
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<uint8_t>((sum[c] + count / 2) / count);
}

// Widest label of the sheet, in pixels.
int widest_label(const ContactSheet* sheet) {
    size_t widest = 0;
    for (int64_t ms : sheet->labels)
        widest = std::max(widest, (std::to_string(ms) + " ms").size());
    return static_cast<int>(widest) * GLYPH_ADVANCE;
}

} // namespace

void sheet_begin(ContactSheet* sheet, int frame_w, int frame_h, int count) {
    sheet->thumb_w = std::min(THUMB_WIDTH, frame_w);
    sheet->thumb_h = std::max(1, sheet->thumb_w * frame_h / frame_w);
    sheet->columns = std::min(count, MAX_COLUMNS);
    sheet->rows = (count + sheet->columns - 1) / sheet->columns;
    sheet->thumbs.assign(static_cast<size_t>(count), {});
    sheet->labels.assign(static_cast<size_t>(count), 0);
}

void sheet_put(ContactSheet* sheet, int index, const uint8_t* rgb, int frame_w, int frame_h,
               int64_t label_ms) {
    std::vector<uint8_t>& thumb = sheet->thumbs[static_cast<size_t>(index)];
    thumb.assign(static_cast<size_t>(sheet->thumb_w) * sheet->thumb_h * 3, 0);
    for (int y = 0; y < sheet->thumb_h; ++y)
        for (int x = 0; x < sheet->thumb_w; ++x)
            shrink_pixel(rgb, frame_w, frame_h, sheet->thumb_w, sheet->thumb_h, x, y,
                         &thumb[(static_cast<size_t>(y) * sheet->thumb_w + x) * 3]);
    sheet->labels[static_cast<size_t>(index)] = label_ms;
}

std::vector<uint8_t> sheet_compose(const ContactSheet* sheet, int* width, int* height) {
    int inner_w = std::max(sheet->thumb_w, widest_label(sheet));
    int cell_w = inner_w + GAP, cell_h = sheet->thumb_h + LABEL_HEIGHT + GAP;
    *width = GAP + sheet->columns * cell_w;
    *height = GAP + sheet->rows * cell_h;
    std::vector<uint8_t> rgb(static_cast<size_t>(*width) * *height * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = BACKGROUND[i % 3];
    for (size_t i = 0; i < sheet->thumbs.size(); ++i) {
        int x0 = GAP + static_cast<int>(i) % sheet->columns * cell_w;
        int y0 = GAP + static_cast<int>(i) / sheet->columns * cell_h;
        int thumb_x = x0 + (inner_w - sheet->thumb_w) / 2;
        const std::vector<uint8_t>& thumb = sheet->thumbs[i];
        for (int y = 0; !thumb.empty() && y < sheet->thumb_h; ++y)
            std::copy_n(&thumb[static_cast<size_t>(y) * sheet->thumb_w * 3], sheet->thumb_w * 3,
                        &rgb[(static_cast<size_t>(y0 + y) * *width + thumb_x) * 3]);
        std::string label = std::to_string(sheet->labels[i]) + " ms";
        int text_w = static_cast<int>(label.size()) * GLYPH_ADVANCE - GLYPH_SCALE;
        int text_x = x0 + (inner_w - text_w) / 2;
        int text_y = y0 + sheet->thumb_h + (LABEL_HEIGHT - GLYPH_H * GLYPH_SCALE) / 2;
        draw_text(rgb, *width, text_x, text_y, label);
    }
    return rgb;
}
