#include "picture_sheet.h"

#include <algorithm>
#include <cstdio>
#include <png.h>

#include "picture_text.h"

namespace {

constexpr int SHEET_COLUMNS = 8;
constexpr int CELL_SIZE = 160;   // picture area of one cell, pixels
constexpr int LABEL_HEIGHT = 22; // name strip under each picture
constexpr int CELL_GAP = 8;
constexpr Colour SHEET_BACKGROUND = {0.16f, 0.16f, 0.18f};

// Copies a picture scaled to fit a cell (nearest texel), centred.
void place(Canvas& sheet, const Canvas& picture, int left, int top) {
    float scale = std::min(static_cast<float>(CELL_SIZE) / picture.width,
                           static_cast<float>(CELL_SIZE) / picture.height);
    int w = std::max(1, static_cast<int>(picture.width * scale));
    int h = std::max(1, static_cast<int>(picture.height * scale));
    int x0 = left + (CELL_SIZE - w) / 2, y0 = top + (CELL_SIZE - h) / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            canvas_set(sheet, x0 + x, y0 + y,
                       canvas_get(picture, std::min(picture.width - 1, static_cast<int>(x / scale)),
                                  std::min(picture.height - 1, static_cast<int>(y / scale))));
}

// Writes RGB rows (top first) as a PNG; false on a libpng error.
bool png_store(FILE* file, int width, int height, const std::vector<png_byte>& pixels) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, &pixels[static_cast<size_t>(y) * width * 3]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool sheet_write(const char* path, const Canvas* const* pictures, const char* const* names,
                 int count) {
    int rows = (count + SHEET_COLUMNS - 1) / SHEET_COLUMNS;
    int cell_w = CELL_SIZE + CELL_GAP, cell_h = CELL_SIZE + LABEL_HEIGHT + CELL_GAP;
    int width = SHEET_COLUMNS * cell_w + CELL_GAP, height = rows * cell_h + CELL_GAP;
    Canvas sheet = canvas_make(width, height, static_cast<float>(width) / height, SHEET_BACKGROUND);
    Mask labels = mask_like(sheet);
    for (int k = 0; k < count; ++k) {
        int left = CELL_GAP + (k % SHEET_COLUMNS) * cell_w;
        int top = CELL_GAP + (k / SHEET_COLUMNS) * cell_h;
        place(sheet, *pictures[k], left, top);
        float cx = (left + CELL_SIZE * 0.5f) / height; // design units: sheet height is 1
        float cy = (top + CELL_SIZE + LABEL_HEIGHT * 0.5f) / height;
        text_draw(labels, FONT_REGULAR, names[k], cx, cy, 14.0f / height, 0.0f);
    }
    canvas_over(sheet, labels, WHITE);

    std::vector<png_byte> pixels(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<png_byte>(clamp01(sheet.rgb[i]) * 255.0f + 0.5f);
    FILE* file = fopen(path, "wb");
    if (!file) return false;
    bool ok = png_store(file, width, height, pixels);
    return fclose(file) == 0 && ok;
}
