// A contact sheet: frames shrunk to thumbnails in a grid, each labelled with
// its song time, written as one PNG.
#pragma once

#include <cstdint>
#include <vector>

struct ContactSheet {
    int thumb_w = 0, thumb_h = 0;
    int columns = 0, rows = 0;
    std::vector<std::vector<uint8_t>> thumbs; // RGB, one per cell, in order
    std::vector<int64_t> labels;              // song time (ms) of each cell
};

// A sheet of `count` cells for frames of `frame_w` x `frame_h`.
void sheet_begin(ContactSheet* sheet, int frame_w, int frame_h, int count);

// Shrinks a frame (RGB, top row first) into cell `index`.
void sheet_put(ContactSheet* sheet, int index, const uint8_t* rgb, int frame_w, int frame_h,
               int64_t label_ms);

// The whole sheet as RGB pixels, and its size.
std::vector<uint8_t> sheet_compose(const ContactSheet* sheet, int* width, int* height);
