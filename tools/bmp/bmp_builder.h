// Writes Windows bitmap files, straight from the published file layout: the
// one writer of the picture generator, the decoder's tests and the fuzz
// target's seed corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// How a picture is stored.
struct BmpLayout {
    int32_t width;
    int32_t height;
    uint16_t bits;         // bits per pixel
    uint32_t compression;  // 0 none, 1 RLE8, 2 RLE4 (40-byte header only)
    bool file_header;      // starts with the 14-byte "BM" header
    bool core_header;      // 12-byte header instead of the 40-byte one
    uint32_t colours_used; // 40-byte header field
    uint32_t image_size;   // 40-byte header field
    uint32_t gap;          // spare bytes between colour table and pixel data
    uint32_t header_size;  // written header size; 0 writes 40 or 12
};

// A whole file: file header (pixel offset after the gap), DIB header, the
// colour table (`table_bgr` holds 3 bytes per entry; written as 4-byte
// entries after a 40-byte header), the gap, then `pixel_data`.
std::vector<uint8_t> bmp_build(const BmpLayout& layout, const std::vector<uint8_t>& table_bgr,
                               const std::vector<uint8_t>& pixel_data);

// Rows of colour indexes (bottom row first, one byte per pixel in
// `indexes`) packed at 1, 4 or 8 bits, each row padded to 4 bytes.
std::vector<uint8_t> bmp_pack_indexes(int bits, int width, int height,
                                      const std::vector<uint8_t>& indexes);

// Rows of direct colours packed at 16 bits (each value a 5-5-5 word), 24 or
// 32 bits (each value 0xRRGGBB), each row padded to 4 bytes.
std::vector<uint8_t> bmp_pack_direct(int bits, int width, int height,
                                     const std::vector<uint32_t>& values);

// Run-length data (bits 8: RLE8, bits 4: RLE4) for rows of indexes: runs of
// equal pixels, absolute runs for three or more differing ones, an
// end-of-line code after each row and an end-of-bitmap code last.
std::vector<uint8_t> bmp_rle_encode(int bits, int width, int height,
                                    const std::vector<uint8_t>& indexes);
