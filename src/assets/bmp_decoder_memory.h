// The bitmap decoder's in-memory entry, for the decoder itself and its fuzz
// target: decodes a whole bitmap file that is already in memory.
#pragma once

#include <cstdint>

#include "assets/bmp_decoder.h"

// Largest width and height, in pixels, that decode_dib_file accepts.
constexpr int32_t DIB_MAX_EDGE = 16384;

// Most pixels a picture may have, whatever its edges: the pixels of a
// 4096 x 4096 texture.  Every picture becomes a texture, and the decoder
// holds it twice while converting (48 MiB each at this size), 64 times the
// show's largest picture (512 x 512).  The edge limit alone would let a
// run-length file of a few bytes claim 16384 x 16384 pixels (768 MiB each),
// all but the first left black by its end-of-bitmap code.
constexpr int64_t DIB_MAX_PIXELS = int64_t{4096} * 4096;

// Decodes the `size` bytes of a bitmap file at `file`, rejecting images
// wider or taller than `max_edge` or of more than DIB_MAX_PIXELS pixels.
// Reports every failure in an "Error" box
// like decode_dib_file (an empty buffer is a conversion error here: only a
// file can fail to open).
RgbImage* decode_dib_memory(const uint8_t* file, uint64_t size, int32_t max_edge);
