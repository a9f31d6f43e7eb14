// Contact sheet: one PNG showing every picture of the show's file table with
// its file name, for reviewing the set at a glance.
#pragma once

#include "picture_canvas.h"

// Writes the sheet of `count` pictures (in file-table order) to `path`;
// false when the file cannot be written.
bool sheet_write(const char* path, const Canvas* const* pictures, const char* const* names,
                 int count);
