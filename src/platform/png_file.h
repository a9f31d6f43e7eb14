// PNG files of RGB pictures (8 bits per channel, top row first), through
// libpng.
#pragma once

#include <cstdint>
#include <vector>

// Writes `width` x `height` RGB pixels; false (file left as far as written)
// when the file cannot be written.
bool png_write_rgb(const char* path, int width, int height, const uint8_t* rgb);

// As png_write_rgb into a new file only: never replaces one.  0 when
// written, else the reason as an errno value (EEXIST: the name is taken);
// a file begun and not finished is removed.
int png_write_rgb_new(const char* path, int width, int height, const uint8_t* rgb);

// Reads a PNG of any colour type as RGB; false when it cannot be read.
bool png_read_rgb(const char* path, int* width, int* height, std::vector<uint8_t>* rgb);
