// Data file paths.  The show names its pictures "Data/..." and its module
// "data/..."; on a case-sensitive file system both must reach the one data
// directory.
#pragma once

#include <cstddef>
#include <cstdio>

// Writes into `out` the path under which `path` exists: the path as written,
// else with its first component spelled "data" or "Data".  When none exists
// the path is copied unchanged.  False only when `out` is too small.
bool files_resolve(const char* path, char* out, size_t out_size);

// fopen of the resolved path.
FILE* files_open(const char* path, const char* mode);
