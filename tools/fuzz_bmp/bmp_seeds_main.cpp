// Writes the fuzz target's seed corpus: one small bitmap for each bit depth,
// compression and header layout the decoder reads.
// Usage: vintermoot-bmp-seeds <directory>
#include <cstdio>
#include <string>

#include "bmp_builder.h"

namespace {

// The seed picture's size: odd, so that every row carries padding.
constexpr int SEED_WIDTH = 5;
constexpr int SEED_HEIGHT = 3;

// One seed: how it is stored.
struct SeedKind {
    const char* name;
    uint16_t bits;
    uint32_t compression;
    bool file_header;
    bool core_header;
};

const SeedKind SEED_KINDS[] = {
    {"bits1", 1, 0, true, false},    {"bits4", 4, 0, true, false},
    {"bits8", 8, 0, true, false},    {"bits16", 16, 0, true, false},
    {"bits24", 24, 0, true, false},  {"bits32", 32, 0, true, false},
    {"rle8", 8, 1, true, false},     {"rle4", 4, 2, true, false},
    {"packed8", 8, 0, false, false}, {"packed_rle4", 4, 2, false, false},
    {"core1", 1, 0, true, true},     {"core8", 8, 0, false, true},
    {"core24", 24, 0, false, true},
};

std::vector<uint8_t> seed_indexes(int colours) {
    std::vector<uint8_t> indexes;
    for (int y = 0; y < SEED_HEIGHT; ++y)
        for (int x = 0; x < SEED_WIDTH; ++x)
            indexes.push_back(static_cast<uint8_t>((x / 2 + y) % colours));
    return indexes;
}

std::vector<uint8_t> seed_file(const SeedKind& kind) {
    BmpLayout layout{
        SEED_WIDTH, SEED_HEIGHT, kind.bits, kind.compression, kind.file_header, kind.core_header, 0,
        0,          0,           0};
    std::vector<uint8_t> table;
    std::vector<uint8_t> pixels;
    if (kind.bits <= 8) {
        // A short colour table keeps the seeds small.
        int colours = kind.bits == 1 ? 2 : 4;
        if (!kind.core_header) layout.colours_used = static_cast<uint32_t>(colours);
        for (int i = 0; i < (kind.core_header ? 1 << kind.bits : colours); ++i)
            table.insert(table.end(),
                         {static_cast<uint8_t>(40 * i), 200, static_cast<uint8_t>(255 - 50 * i)});
        std::vector<uint8_t> indexes = seed_indexes(colours);
        pixels = kind.compression ? bmp_rle_encode(kind.bits, SEED_WIDTH, SEED_HEIGHT, indexes)
                                  : bmp_pack_indexes(kind.bits, SEED_WIDTH, SEED_HEIGHT, indexes);
    } else {
        std::vector<uint32_t> values;
        for (int i = 0; i < SEED_WIDTH * SEED_HEIGHT; ++i)
            values.push_back(0x123456u * (i + 1));
        pixels = bmp_pack_direct(kind.bits, SEED_WIDTH, SEED_HEIGHT, values);
    }
    return bmp_build(layout, table, pixels);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: vintermoot-bmp-seeds <directory>\n");
        return 2;
    }
    for (const SeedKind& kind : SEED_KINDS) {
        std::vector<uint8_t> file = seed_file(kind);
        std::string path = std::string(argv[1]) + "/" + kind.name + ".bmp";
        FILE* f = fopen(path.c_str(), "wb");
        if (!f || fwrite(file.data(), 1, file.size(), f) != file.size() || fclose(f) != 0) {
            fprintf(stderr, "vintermoot-bmp-seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
