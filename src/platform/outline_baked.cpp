#include "platform/outline_baked.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/outline.h"

namespace {

// A whole baked file in memory and how far it has been read.
struct BakedReader {
    std::vector<uint8_t> bytes;
    size_t at;
    bool failed;
};

bool read_file(const char* path, std::vector<uint8_t>* bytes) {
    FILE* file = files_open(path, "rb");
    if (!file) return false;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

void take(BakedReader* r, void* out, size_t size) {
    if (r->failed || r->at + size > r->bytes.size()) {
        r->failed = true;
        memset(out, 0, size);
        return;
    }
    memcpy(out, &r->bytes[r->at], size);
    r->at += size;
}

void take_floats(BakedReader* r, float* out, int count) {
    take(r, out, sizeof(float) * static_cast<size_t>(count));
}

// Replays one glyph's calls into the list being compiled; false at a tag
// that is not one of the file's.
bool replay_glyph(BakedReader* r, OutlineGlyphMetrics* metrics) {
    for (;;) {
        uint8_t tag = 0;
        take(r, &tag, 1);
        if (r->failed) return false;
        float v[3];
        uint32_t mode = 0;
        switch (tag) {
        case BAKED_BEGIN:
            take(r, &mode, sizeof mode);
            glBegin(mode);
            break;
        case BAKED_VERTEX:
            take_floats(r, v, 3);
            glVertex3f(v[0], v[1], v[2]);
            break;
        case BAKED_NORMAL:
            take_floats(r, v, 3);
            glNormal3f(v[0], v[1], v[2]);
            break;
        case BAKED_TRANSLATE:
            take_floats(r, v, 3);
            glTranslatef(v[0], v[1], v[2]);
            break;
        case BAKED_END:
            glEnd();
            break;
        case BAKED_LIST_END:
            return true;
        default:
            return false;
        }
        if (tag == BAKED_VERTEX) ++metrics->triangles;
    }
}

// Reads the header and every glyph into the lists; false when the file does
// not hold `count` glyphs of this format.
bool load_glyphs(BakedReader* r, uint32_t count, uint32_t list_base, OutlineGlyphMetrics* metrics) {
    char magic[sizeof OUTLINE_BAKED_MAGIC];
    uint32_t glyphs = 0;
    char name[OUTLINE_BAKED_NAME_SIZE];
    take(r, magic, sizeof magic);
    take(r, &glyphs, sizeof glyphs);
    take(r, name, sizeof name);
    if (r->failed || memcmp(magic, OUTLINE_BAKED_MAGIC, sizeof magic) != 0 || glyphs < count)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        float m[6];
        uint8_t moves = 0;
        take_floats(r, m, 6);
        take(r, &moves, 1);
        metrics[i] = OutlineGlyphMetrics{m[0], m[1], m[2], m[3], m[4], m[5], 0, moves != 0};
        glNewList(list_base + i, GL_COMPILE);
        bool ok = replay_glyph(r, &metrics[i]);
        glEndList();
        if (!ok) return false;
        // Three vertices per triangle (every glyph is one GL_TRIANGLES run).
        metrics[i].triangles /= 3;
    }
    return true;
}

} // namespace

bool outline_load_baked(const char* path, uint32_t first_code, uint32_t count, uint32_t list_base,
                        OutlineGlyphMetrics* metrics) {
    BakedReader reader{};
    bool loaded = first_code == 0 && read_file(path, &reader.bytes) &&
                  load_glyphs(&reader, count, list_base, metrics);
    if (loaded) return true;
    fprintf(stderr, "outline: cannot read the baked glyphs in %s\n", path);
    for (uint32_t i = 0; i < count; ++i) {
        metrics[i] = OutlineGlyphMetrics{};
        glNewList(list_base + i, GL_COMPILE);
        glEndList();
    }
    return false;
}
