// The file of glyph lists recorded at build time: the GL calls that
// outline_build_lists makes for each glyph, so that a build without FreeType,
// fontconfig and GLU (the browser's) compiles the same lists.
//
// Little-endian.  The magic, then the glyph count (uint32) and the face's
// name (OUTLINE_BAKED_NAME_SIZE bytes), then per glyph: its six metrics
// (float: black box x, y, origin x, y, advance x, y), whether it moves
// (uint8), and its calls, each a tag byte with its arguments: begin (uint32
// mode), vertex (3 floats), normal (3 floats), translate (3 floats), end,
// and the end of the glyph's list.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char OUTLINE_BAKED_MAGIC[8] = {'V', 'M', 'G', 'L', 'Y', 'P', 'H', '1'};
constexpr size_t OUTLINE_BAKED_NAME_SIZE = 128;

enum OutlineBakedTag : uint8_t {
    BAKED_BEGIN = 'B',
    BAKED_VERTEX = 'V',
    BAKED_NORMAL = 'N',
    BAKED_TRANSLATE = 'T',
    BAKED_END = 'E',
    BAKED_LIST_END = 'L',
};
