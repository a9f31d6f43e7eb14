// A small stand-in for the show's data, written by the tests that run the
// whole show: the 63 pictures (16 x 16, a distinct two-colour check per
// slot) and a module in which only instrument 2 plays, a short burst on a
// fixed beat with silence between.
#pragma once

#include <string>

// Song time between two notes of instrument 2 in the stand-in module, and
// the time of the first one.
constexpr int SHOW_DATA_BEAT_MS = 480;
constexpr int SHOW_DATA_FIRST_NOTE_MS = 0;
// Length of each burst, about.
constexpr int SHOW_DATA_BURST_MS = 48;

// Writes `dir`/data/ with every picture and data/Kvadrat2.xm; false on an
// I/O error.
bool show_data_write(const std::string& dir);
