// Shrinks a supersampled frame by a whole factor N: each pixel of the result
// is the mean of the N x N pixels it covers (a box filter), rounded to the
// nearest value.
//
// Why a box: for a whole factor it is exactly the share of the pixel's area
// each sample covers, so a pixel takes nothing from its neighbours' areas.
// The black bars and flat colours come out exactly as drawn, the edge of the
// 4:3 picture stays a hard edge, and nothing rings or overshoots around the
// thin bright wires and sparks, as filters with negative lobes (bicubic,
// Lanczos) would.  It is also cheap and the same on every machine.
#pragma once

#include <cstddef>
#include <cstdint>

// `source` holds rows of width * factor pixels of `channels` bytes, height *
// factor rows; `target` gets width x height pixels in the same row order
// (top or bottom first alike).  A factor of 1 copies.
void box_filter_shrink(const uint8_t* source, int width, int height, int channels, int factor,
                       uint8_t* target);
