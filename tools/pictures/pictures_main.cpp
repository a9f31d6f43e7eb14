// Writes the show's bitmap files into a data directory:
//   vintermoot-pictures OUT_DIR [--sheet SHEET.png]
// Every picture is painted from fixed seeds, so two runs give the same bytes;
// files whose bytes are already there are left untouched.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/texture_set.h"
#include "picture_sheet.h"
#include "picture_table.h"
#include "picture_text.h"

namespace {

// Index into PICTURES of a file-table path ("Data/name.bmp"); -1 if none.
int picture_of(const char* table_path) {
    const char* slash = strrchr(table_path, '/');
    const char* name = slash ? slash + 1 : table_path;
    for (int k = 0; k < PICTURE_COUNT; ++k)
        if (strcmp(PICTURES[k].file, name) == 0) return k;
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 4 && strcmp(argv[2], "--sheet") == 0)) {
        fprintf(stderr, "usage: vintermoot-pictures OUT_DIR [--sheet SHEET.png]\n");
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    if (!text_begin()) return 1;
    std::vector<Canvas> pictures;
    long total_bytes = 0;
    int written = 0;
    for (int k = 0; k < PICTURE_COUNT; ++k) {
        const PictureSpec& spec = PICTURES[k];
        pictures.push_back(picture_render(spec));
        std::vector<uint8_t> bytes =
            bmp_encode(pictures.back(), spec.encoding, spec.ramp, spec.ramp_count);
        std::string path = std::string(argv[1]) + "/" + spec.file;
        if (!write_if_changed(path.c_str(), bytes)) {
            fprintf(stderr, "vintermoot-pictures: cannot write %s\n", path.c_str());
            text_end();
            return 1;
        }
        total_bytes += static_cast<long>(bytes.size());
        ++written;
    }
    // Every file of the show's table must be among the pictures.
    for (const char* table_path : TEXTURE_FILES)
        if (picture_of(table_path) < 0) {
            fprintf(stderr, "vintermoot-pictures: no painter for %s\n", table_path);
            text_end();
            return 1;
        }
    if (argc == 4) {
        std::vector<const Canvas*> sheet;
        std::vector<const char*> names;
        for (const char* table_path : TEXTURE_FILES) {
            sheet.push_back(&pictures[picture_of(table_path)]);
            names.push_back(PICTURES[picture_of(table_path)].file);
        }
        if (!sheet_write(argv[3], sheet.data(), names.data(), TEXTURE_COUNT)) {
            fprintf(stderr, "vintermoot-pictures: cannot write %s\n", argv[3]);
            text_end();
            return 1;
        }
    }
    text_end();
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    printf("vintermoot-pictures: %d files, %ld bytes, %.0f ms\n", written, total_bytes, ms);
    return 0;
}
