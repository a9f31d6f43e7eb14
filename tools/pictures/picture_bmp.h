// Storing painted pictures as Windows bitmap files: 24-bit direct colour, or
// 8-bit (plain or RLE8) and 4-bit palettised for pictures painted from one
// colour ramp.
#pragma once

#include <cstdint>
#include <vector>

#include "picture_canvas.h"

// How a picture is stored.
enum PictureEncoding : int {
    ENCODE_RGB24 = 0,
    ENCODE_INDEX8 = 1, // 256-entry colour table, uncompressed
    ENCODE_RLE8 = 2,   // 256-entry colour table, run-length coded
    ENCODE_INDEX4 = 3, // 16-entry colour table, uncompressed
};

// The file bytes of a canvas (rows stored bottom first).  For the
// palettised encodings `ramp_stops` (count `stop_count`) spans the colour
// table: entry i is ramp(i / (entries - 1)) and each pixel takes the nearest
// entry.
std::vector<uint8_t> bmp_encode(const Canvas& canvas, PictureEncoding encoding,
                                const Colour* ramp_stops, int stop_count);

// Writes `bytes` to `path` unless the file already holds exactly them (so
// an unchanged picture keeps its time stamp).  False on a write failure.
bool write_if_changed(const char* path, const std::vector<uint8_t>& bytes);
