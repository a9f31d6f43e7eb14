// Helpers shared by the tests.
#pragma once

#include <string>

// A fresh empty directory under the system's temporary directory, removed
// by temp_dir_remove.
std::string temp_dir_make(const char* tag);
void temp_dir_remove(const std::string& path);

// Changes the working directory for the lifetime of the guard.
struct WorkingDirGuard {
    std::string previous;
};
WorkingDirGuard working_dir_enter(const std::string& path);
void working_dir_leave(const WorkingDirGuard& guard);

// Writes bytes to a file; false on failure.
bool write_file(const std::string& path, const void* data, size_t size);
