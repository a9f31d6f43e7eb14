// The show's texture set: 63 pictures decoded from Data/ at start-up and
// uploaded as GL textures in slot order.  Scenes bind slots by these names.
#pragma once

#include <cstdint>

#include "assets/bmp_decoder.h"

constexpr int TEXTURE_COUNT = 63;

// Slot numbers, in the order of the file table (texture_set.cpp).
enum TextureSlot : int {
    SLOT_BIN2 = 0,
    SLOT_LOGO = 1,
    SLOT_BACK = 2,
    SLOT_BIN = 3,
    SLOT_COMP = 4,
    SLOT_PICTURE_1 = 5, // "Data/1.bmp" .. "Data/6.bmp" in slots 5..10
    SLOT_PICTURE_6 = 10,
    SLOT_ENV = 11,
    SLOT_STAR = 12,
    SLOT_LOGO2 = 13,
    SLOT_ENV1 = 14,
    SLOT_ROTSTAR = 15,
    SLOT_BACK_S3 = 16,
    SLOT_LOGO3 = 17,
    SLOT_UFO = 18,
    SLOT_UFO_INV = 19,
    SLOT_S4_BACK = 23,
    SLOT_S4_SCROLLER = 24,
    SLOT_S4_SCROLLER2 = 25,
    SLOT_COZSIN = 26,
    SLOT_S4_HEAD = 27,
    SLOT_GRASS = 28,
    SLOT_WATER = 29,
    SLOT_WALL = 30,
    SLOT_SAND = 31,
    SLOT_BRIDGE = 32,
    SLOT_BACK_S5 = 33,
    SLOT_TREE = 34,
    SLOT_TREE2 = 35,
    SLOT_DOOR = 36,
    SLOT_CODE = 37, // credits cycle 37..42
    SLOT_ADD3 = 42,
    SLOT_GREETZ1 = 43, // greeting cycle 43..52
    SLOT_GREETZ10 = 52,
    SLOT_INTROUP = 53,
    SLOT_INTRODOWN = 54,
    SLOT_DOT = 55,
    SLOT_WIRE = 56,
    SLOT_END1 = 57, // end pictures in the order the finale shows them
    SLOT_END2 = 58,
    SLOT_END3 = 59,
    SLOT_END6 = 60,
    SLOT_END4 = 61,
    SLOT_END5 = 62,
};

// The file of each slot, relative to the working directory.
extern const char* const TEXTURE_FILES[TEXTURE_COUNT];

// GL texture names, zero until load_texture_set succeeds.  Written once at
// start-up, read by every scene.
extern uint32_t texture_slots[TEXTURE_COUNT];

// Opens the file once to check that it exists, then decodes it.  Returns null
// for a null path, a file that cannot be opened (silently) or a decoder
// failure (the decoder has shown its message).
RgbImage* load_bitmap_file(const char* path);

// Decodes all 63 files in slot order and uploads them; 1 on success, 0 when
// any file failed (then no texture exists).  Needs a current GL context.
int load_texture_set();
