// The show's texture set: every picture is decoded first, and only when all
// 63 have decoded are the textures made, so start-up either has the whole
// set or none of it.
#include "assets/texture_set.h"

#include <GL/gl.h>
#include <cstdio>

#include "platform/files.h"
#include "platform/report.h"

// Slot order.  The greetings 3 to 5 are listed twice and become separate
// textures; the end pictures run end1, end2, end3, end6, end4, end5.
const char* const TEXTURE_FILES[TEXTURE_COUNT] = {
    "Data/bin2.bmp",        "Data/logo.bmp",
    "Data/back.bmp",        "Data/bin.bmp",
    "Data/comp.bmp",        "Data/1.bmp",
    "Data/2.bmp",           "Data/3.bmp",
    "Data/4.bmp",           "Data/5.bmp",
    "Data/6.bmp",           "Data/env.bmp",
    "Data/star.bmp",        "Data/logo2.bmp",
    "Data/env1.bmp",        "Data/rotstar.bmp",
    "Data/back_s3.bmp",     "Data/logo3.bmp",
    "Data/ufo.bmp",         "Data/ufo_inv.bmp",
    "Data/greetz3.bmp",     "Data/greetz4.bmp",
    "Data/greetz5.bmp",     "Data/s4_back.bmp",
    "Data/s4_scroller.bmp", "Data/s4_scroller2.bmp",
    "Data/cozsin.bmp",      "Data/s4_head.bmp",
    "Data/grass.bmp",       "Data/water.bmp",
    "Data/wall.bmp",        "Data/sand.bmp",
    "Data/bridge.bmp",      "Data/back_s5.bmp",
    "Data/tree.bmp",        "Data/tree2.bmp",
    "Data/door.bmp",        "Data/code.bmp",
    "Data/gfx.bmp",         "Data/zik.bmp",
    "Data/add1.bmp",        "Data/add2.bmp",
    "Data/add3.bmp",        "Data/greetz1.bmp",
    "Data/greetz2.bmp",     "Data/greetz3.bmp",
    "Data/greetz4.bmp",     "Data/greetz5.bmp",
    "Data/greetz6.bmp",     "Data/greetz7.bmp",
    "Data/greetz8.bmp",     "Data/greetz9.bmp",
    "Data/greetz10.bmp",    "Data/introup.bmp",
    "Data/introdown.bmp",   "Data/dot.bmp",
    "Data/wire.bmp",        "Data/end1.bmp",
    "Data/end2.bmp",        "Data/end3.bmp",
    "Data/end6.bmp",        "Data/end4.bmp",
    "Data/end5.bmp",
};

// GL texture names by slot; written once by load_texture_set, read by every scene.
uint32_t texture_slots[TEXTURE_COUNT] = {};

RgbImage* load_bitmap_file(const char* path) {
    if (!path) return nullptr;
    // Open once only to learn that the file is there; a missing file is not
    // reported here.
    FILE* probe = files_open(path, "r");
    if (!probe) return nullptr;
    fclose(probe);
    return decode_dib_file(path);
}

namespace {

// Rows as the decoder returns them: packed without padding, whatever the
// width, so the upload reads them one byte aligned.
constexpr GLint PACKED_ROW_ALIGNMENT = 1;

// Makes the 63 textures from the decoded images, leaving the last bound.
// The unpack alignment is put back as it was found.
void upload_texture_set(RgbImage* const* images) {
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, PACKED_ROW_ALIGNMENT);
    glGenTextures(TEXTURE_COUNT, texture_slots);
    for (int k = 0; k < TEXTURE_COUNT; ++k) {
        glBindTexture(GL_TEXTURE_2D, texture_slots[k]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        // Rows bottom first and tightly packed, three components, no alpha.
        glTexImage2D(GL_TEXTURE_2D, 0, 3, images[k]->width, images[k]->height, 0, GL_RGB,
                     GL_UNSIGNED_BYTE, images[k]->pixels);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

// The line on stderr for the picture that stopped the set (the show's
// start-up box does not name it).
void report_failure_of(const char* path) {
    char what[160];
    FILE* probe = files_open(path, "r");
    const char* why = probe ? "not a bitmap the show can read" : "missing or unreadable";
    if (probe) fclose(probe);
    std::snprintf(what, sizeof what, "cannot load the picture \"%s\"", path);
    report_failure(what, why,
                   "build the show's data (scripts/build.sh) or start with --data naming the "
                   "directory that holds data/");
}

} // namespace

int load_texture_set() {
    int result = 0;
    RgbImage* images[TEXTURE_COUNT] = {};
    int decoded = 0;
    while (decoded < TEXTURE_COUNT) {
        images[decoded] = load_bitmap_file(TEXTURE_FILES[decoded]);
        if (!images[decoded]) {
            report_failure_of(TEXTURE_FILES[decoded]);
            break; // later files are not opened
        }
        ++decoded;
    }
    if (decoded == TEXTURE_COUNT) {
        result = 1;
        upload_texture_set(images);
    }
    // The decoded images go in slot order, after an upload and a failure alike.
    for (int k = 0; k < TEXTURE_COUNT; ++k) {
        if (images[k]) rgb_image_free(images[k]);
    }
    return result;
}
