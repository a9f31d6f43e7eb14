// The bitmap decoder's in-memory entry, for the decoder itself and its fuzz
// target: decodes a whole bitmap file that is already in memory.
#pragma once

#include <cstdint>

#include "assets/bmp_decoder.h"

// Largest width and height, in pixels, that decode_dib_file accepts.
constexpr int32_t DIB_MAX_EDGE = 16384;

// Decodes the `size` bytes of a bitmap file at `file`, rejecting images
// wider or taller than `max_edge`.  Reports every failure in an "Error" box
// like decode_dib_file (an empty buffer is a conversion error here: only a
// file can fail to open).
RgbImage* decode_dib_memory(const uint8_t* file, uint64_t size, int32_t max_edge);
