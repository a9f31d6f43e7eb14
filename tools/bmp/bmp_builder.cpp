#include "bmp_builder.h"

namespace {

void put_u16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

void pad_row(std::vector<uint8_t>& out, size_t row_start) {
    while ((out.size() - row_start) % 4 != 0)
        out.push_back(0);
}

size_t table_entry_size(const BmpLayout& layout) {
    return layout.core_header ? 3 : 4;
}

size_t dib_header_size(const BmpLayout& layout) {
    if (layout.header_size) return layout.header_size;
    return layout.core_header ? 12 : 40;
}

void put_dib_header(std::vector<uint8_t>& out, const BmpLayout& layout) {
    size_t start = out.size();
    put_u32(out, static_cast<uint32_t>(dib_header_size(layout)));
    if (layout.core_header) {
        put_u16(out, static_cast<uint32_t>(layout.width));
        put_u16(out, static_cast<uint32_t>(layout.height));
        put_u16(out, 1);
        put_u16(out, layout.bits);
    } else {
        put_u32(out, static_cast<uint32_t>(layout.width));
        put_u32(out, static_cast<uint32_t>(layout.height));
        put_u16(out, 1);
        put_u16(out, layout.bits);
        put_u32(out, layout.compression);
        put_u32(out, layout.image_size);
        put_u32(out, 2835); // 72 dpi
        put_u32(out, 2835);
        put_u32(out, layout.colours_used);
        put_u32(out, 0);
    }
    while (out.size() - start < dib_header_size(layout))
        out.push_back(0);
}

// Appends a run-length row: runs for repeats, absolute runs for variety.
void rle_row(std::vector<uint8_t>& out, int bits, const uint8_t* row, int width) {
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 255 && row[x + run] == row[x])
            ++run;
        int literal = 0;
        while (x + literal < width && literal < 255 &&
               (x + literal + 1 >= width || row[x + literal + 1] != row[x + literal]))
            ++literal;
        if (run == 1 && literal >= 3) {
            out.push_back(0);
            out.push_back(static_cast<uint8_t>(literal));
            size_t start = out.size();
            for (int i = 0; i < literal; ++i) {
                if (bits == 8)
                    out.push_back(row[x + i]);
                else if (i % 2 == 0)
                    out.push_back(static_cast<uint8_t>(row[x + i] << 4));
                else
                    out.back() = static_cast<uint8_t>(out.back() | row[x + i]);
            }
            if ((out.size() - start) % 2) out.push_back(0);
            x += literal;
            continue;
        }
        out.push_back(static_cast<uint8_t>(run));
        out.push_back(bits == 8 ? row[x] : static_cast<uint8_t>(row[x] << 4 | row[x]));
        x += run;
    }
}

} // namespace

std::vector<uint8_t> bmp_build(const BmpLayout& layout, const std::vector<uint8_t>& table_bgr,
                               const std::vector<uint8_t>& pixel_data) {
    size_t entries = table_bgr.size() / 3;
    size_t pixel_offset = (layout.file_header ? 14 : 0) + dib_header_size(layout) +
                          entries * table_entry_size(layout) + layout.gap;
    std::vector<uint8_t> out;
    if (layout.file_header) {
        out.push_back('B');
        out.push_back('M');
        put_u32(out, static_cast<uint32_t>(pixel_offset + pixel_data.size()));
        put_u32(out, 0);
        put_u32(out, static_cast<uint32_t>(pixel_offset));
    }
    put_dib_header(out, layout);
    for (size_t i = 0; i < entries; ++i) {
        out.insert(out.end(), table_bgr.begin() + 3 * i, table_bgr.begin() + 3 * i + 3);
        if (!layout.core_header) out.push_back(0);
    }
    out.resize(out.size() + layout.gap, 0xEE);
    out.insert(out.end(), pixel_data.begin(), pixel_data.end());
    return out;
}

std::vector<uint8_t> bmp_pack_indexes(int bits, int width, int height,
                                      const std::vector<uint8_t>& indexes) {
    std::vector<uint8_t> out;
    int per_byte = 8 / bits;
    for (int y = 0; y < height; ++y) {
        size_t start = out.size();
        for (int x = 0; x < width; ++x) {
            int slot = x % per_byte;
            if (slot == 0) out.push_back(0);
            int shift = 8 - bits * (slot + 1);
            out.back() = static_cast<uint8_t>(out.back() | indexes[y * width + x] << shift);
        }
        pad_row(out, start);
    }
    return out;
}

std::vector<uint8_t> bmp_pack_direct(int bits, int width, int height,
                                     const std::vector<uint32_t>& values) {
    std::vector<uint8_t> out;
    for (int y = 0; y < height; ++y) {
        size_t start = out.size();
        for (int x = 0; x < width; ++x) {
            uint32_t v = values[y * width + x];
            if (bits == 16) {
                put_u16(out, v);
                continue;
            }
            out.push_back(static_cast<uint8_t>(v));       // blue
            out.push_back(static_cast<uint8_t>(v >> 8));  // green
            out.push_back(static_cast<uint8_t>(v >> 16)); // red
            if (bits == 32) out.push_back(0x5A);
        }
        pad_row(out, start);
    }
    return out;
}

std::vector<uint8_t> bmp_rle_encode(int bits, int width, int height,
                                    const std::vector<uint8_t>& indexes) {
    std::vector<uint8_t> out;
    for (int y = 0; y < height; ++y) {
        rle_row(out, bits, indexes.data() + y * width, width);
        out.push_back(0);
        out.push_back(y + 1 < height ? 0 : 1);
    }
    return out;
}
