// Stand-in show data for tests: the 63 pictures of the texture set as small
// two-colour checks, different colours per slot, and a short looping module in
// which only instrument 2 sounds, a short burst on a fixed beat with silence
// between.  Written under DIR/data.
#pragma once

#include <string>

// Song time between two notes of instrument 2 in the stand-in module; the
// first one sounds at 0.
constexpr int SHOW_TEST_BEAT_MS = 480;

// Writes one picture for every file of the texture set; false on a write
// error.
bool show_test_pictures_write(const std::string& dir);

// Writes "data/Kvadrat2.xm"; false on a write error.
bool show_test_module_write(const std::string& dir);

// Both of the above.
bool show_test_data_write(const std::string& dir);

// Where the stand-in picture of texture slot `slot` lies under `dir`.
std::string show_test_picture_path(const std::string& dir, int slot);
