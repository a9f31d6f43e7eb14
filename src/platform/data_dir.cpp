#include "platform/data_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <vector>

namespace {

// Names the data directory may have (the show spells it both ways).
const char* const DATA_NAMES[] = {"data", "Data"};
// Where an installed program's data lies, relative to its own directory
// (the build says where it installs them).
constexpr const char* INSTALLED_FROM_BIN = VM_INSTALL_DATA_FROM_BIN;

bool holds_data(const std::string& dir) {
    for (const char* name : DATA_NAMES) {
        struct stat info;
        if (stat((dir + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return true;
    }
    return false;
}

std::string executable_dir() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    buffer[n] = '\0';
    return std::filesystem::path(buffer).parent_path().string();
}

} // namespace

bool data_dir_enter(const std::string& given, std::string* error) {
    std::vector<std::string> candidates;
    if (!given.empty()) {
        candidates = {given};
        std::filesystem::path named = std::filesystem::path(given).lexically_normal();
        if (named.filename().empty()) named = named.parent_path();
        for (const char* name : DATA_NAMES)
            if (named.filename() == name) {
                std::string parent = named.parent_path().string();
                candidates.push_back(parent.empty() ? "." : parent);
            }
    } else {
        std::string beside = executable_dir();
        // Installed under some prefix: PREFIX/games/program, PREFIX/share/games/vintermoot/data.
        candidates = {".", beside, beside + INSTALLED_FROM_BIN, VM_INSTALL_DATA_DIR};
    }
    for (const std::string& dir : candidates) {
        if (dir.empty() || !holds_data(dir)) continue;
        if (chdir(dir.c_str()) == 0) return true;
    }
    *error = given.empty() ? "no data/ directory here, beside the program or in " +
                                 std::string(VM_INSTALL_DATA_DIR) +
                                 " (run from the directory that holds data/, or give --data DIR)"
                           : "no data/ directory in " + given;
    return false;
}
