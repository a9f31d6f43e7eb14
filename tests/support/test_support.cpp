#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

std::string temp_dir_make(const char* tag) {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/vm_" + tag + "_XXXXXX";
    char* made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

void temp_dir_remove(const std::string& path) {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

WorkingDirGuard working_dir_enter(const std::string& path) {
    WorkingDirGuard guard{std::filesystem::current_path().string()};
    std::filesystem::current_path(path);
    return guard;
}

void working_dir_leave(const WorkingDirGuard& guard) { std::filesystem::current_path(guard.previous); }

bool write_file(const std::string& path, const void* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}
