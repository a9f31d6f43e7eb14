// Windows bitmap (DIB) decoding into tightly packed RGB rows.
#pragma once

#include <cstdint>

// A decoded picture: red, green, blue bytes per pixel, rows in the file's
// storage order (bottom row first), no padding.  Released with
// rgb_image_free (buffer first, then the record).
struct RgbImage {
    int32_t width;
    int32_t height;
    uint8_t* pixels;
};

// Decodes one bitmap file, with or without the 14-byte file header.  Every
// failure is reported in an "Error" message box and gives null.
RgbImage* decode_dib_file(const char* path);

// Colour table entries of the DIB header that starts at `header`.
uint16_t dib_colour_count(const uint8_t* header);

void rgb_image_free(RgbImage* image);
