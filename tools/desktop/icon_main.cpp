// Writes the desktop icon from one of the show's own pictures: the bitmap is
// decoded as the show loads it and written as a PNG, top row first.
// Usage: vintermoot-icon PICTURE.bmp ICON.png
#include <cstdio>
#include <cstring>
#include <vector>

#include "assets/bmp_decoder.h"
#include "platform/png_file.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vintermoot-icon PICTURE.bmp ICON.png\n");
        return 2;
    }
    RgbImage* image = decode_dib_file(argv[1]);
    if (!image) return 1;
    size_t stride = static_cast<size_t>(image->width) * 3;
    std::vector<uint8_t> rows(stride * static_cast<size_t>(image->height));
    // The bitmap stores its bottom row first.
    for (int y = 0; y < image->height; ++y)
        std::memcpy(&rows[static_cast<size_t>(y) * stride],
                    image->pixels + static_cast<size_t>(image->height - 1 - y) * stride, stride);
    bool ok = png_write_rgb(argv[2], image->width, image->height, rows.data());
    rgb_image_free(image);
    if (!ok) std::fprintf(stderr, "vintermoot-icon: cannot write %s\n", argv[2]);
    return ok ? 0 : 1;
}
