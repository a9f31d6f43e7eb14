// Stand-in show data for tests: the 63 pictures of the texture set as small
// gradient bitmaps, and a short looping module whose instrument 2 plays a
// note on every fourth row.  Written under DIR/data.
#pragma once

#include <string>

// Writes one picture for every file of the texture set; false on a write
// error.
bool show_test_pictures_write(const std::string& dir);

// Writes "data/Kvadrat2.xm"; false on a write error.
bool show_test_module_write(const std::string& dir);

// Both of the above.
bool show_test_data_write(const std::string& dir);

// Where the stand-in picture of texture slot `slot` lies under `dir`.
std::string show_test_picture_path(const std::string& dir, int slot);
