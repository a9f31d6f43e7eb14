// Data file paths.  The show names its pictures "Data/..." and its module
// "data/..."; on a case-sensitive file system both must reach the one data
// directory.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Writes into `out` the path under which `path` exists: the path as written,
// else with its first component spelled "data" or "Data".  When none exists
// the path is copied unchanged.  False only when `out` is too small.
bool files_resolve(const char* path, char* out, size_t out_size);

// fopen of the resolved path.
FILE* files_open(const char* path, const char* mode);

// The user's pictures folder: XDG_PICTURES_DIR of the user-dirs.dirs file
// in `config_home` (where $XDG_CONFIG_HOME points, else `home`/.config),
// else `home`/Pictures.  Empty when `home` is.
std::string files_pictures_dir(const std::string& home, const std::string& config_home);
