// vintermoot-font-bake OUT: runs the outline layer on the system's face with the
// show's font settings, records the GL calls of each glyph list, and writes
// them with the metrics to OUT (the format of platform/outline_baked.h).
#include <cstdio>
#include <cstring>
#include <string>

#include "assets/outline_font.h"
#include "glyph_recorder.h"
#include "platform/outline.h"
#include "platform/outline_baked.h"

namespace {

// Codes 0..254 get a glyph, as in the show's font.
constexpr uint32_t GLYPH_COUNT = 255;
// List names of the recording (any non-zero base).
constexpr uint32_t LIST_BASE = 1;

bool write_all(FILE* file, const void* data, size_t size) {
    return fwrite(data, 1, size, file) == size;
}

bool write_font(FILE* file, const char* face_name, const OutlineGlyphMetrics* metrics) {
    char name[OUTLINE_BAKED_NAME_SIZE] = {};
    snprintf(name, sizeof name, "%s", face_name);
    uint32_t count = GLYPH_COUNT;
    bool ok = write_all(file, OUTLINE_BAKED_MAGIC, sizeof OUTLINE_BAKED_MAGIC) &&
              write_all(file, &count, sizeof count) && write_all(file, name, sizeof name);
    for (uint32_t i = 0; ok && i < GLYPH_COUNT; ++i) {
        const OutlineGlyphMetrics& m = metrics[i];
        const float values[6] = {m.black_box_x, m.black_box_y, m.origin_x,
                                 m.origin_y,    m.cell_inc_x,  m.cell_inc_y};
        uint8_t moves = m.moves ? 1 : 0;
        const std::vector<uint8_t>& calls = recorded_lists[LIST_BASE - 1 + i];
        ok = write_all(file, values, sizeof values) && write_all(file, &moves, 1) &&
             write_all(file, calls.data(), calls.size());
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        fprintf(stderr, "usage: vintermoot-font-bake OUT\n");
        return 2;
    }
    OutlineFace face{};
    if (!outline_find_face(OUTLINE_FONT_FAMILY, OUTLINE_FONT_BOLD, &face)) {
        fprintf(stderr, "vintermoot-font-bake: no usable face for %s\n", OUTLINE_FONT_FAMILY);
        return 1;
    }
    static OutlineGlyphMetrics metrics[GLYPH_COUNT];
    if (!outline_build_lists(&face, 0, GLYPH_COUNT, LIST_BASE, OUTLINE_FONT_DEVIATION,
                             OUTLINE_FONT_EXTRUSION, metrics)) {
        fprintf(stderr, "vintermoot-font-bake: cannot read %s\n", face.path);
        return 1;
    }
    // Written beside the target and renamed, so no half-written file remains.
    std::string part = std::string(argv[1]) + ".part";
    FILE* file = fopen(part.c_str(), "wb");
    bool ok = file && write_font(file, face.name, metrics);
    if (file) ok = fclose(file) == 0 && ok;
    if (!ok || rename(part.c_str(), argv[1]) != 0) {
        remove(part.c_str());
        fprintf(stderr, "vintermoot-font-bake: cannot write %s\n", argv[1]);
        return 1;
    }
    OutlineStats stats = outline_stats();
    printf("vintermoot-font-bake: %u glyphs of %s, %ld triangles, into %s\n", GLYPH_COUNT,
           face.name, stats.triangle_count, argv[1]);
    return 0;
}
