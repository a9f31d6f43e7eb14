#include "platform/files.h"

#include <cstring>
#include <fstream>
#include <unistd.h>

namespace {

// The two spellings of the data directory in the show's paths.
const char* const DATA_DIR_SPELLINGS[] = {"data", "Data"};

bool copy_path(const char* prefix, const char* rest, char* out, size_t out_size) {
    int written = snprintf(out, out_size, "%s%s", prefix, rest);
    return written >= 0 && static_cast<size_t>(written) < out_size;
}

} // namespace

bool files_resolve(const char* path, char* out, size_t out_size) {
    if (!copy_path("", path, out, out_size)) return false;
    if (access(path, F_OK) == 0) return true;
    const char* slash = strchr(path, '/');
    if (!slash) return true;
    size_t first_len = static_cast<size_t>(slash - path);
    for (const char* spelling : DATA_DIR_SPELLINGS) {
        if (first_len != strlen(spelling) || strncasecmp(path, spelling, first_len) != 0) continue;
        char candidate[4096];
        if (!copy_path(spelling, slash, candidate, sizeof candidate)) continue;
        if (access(candidate, F_OK) == 0) return copy_path("", candidate, out, out_size);
    }
    return true;
}

FILE* files_open(const char* path, const char* mode) {
    char resolved[4096];
    if (!files_resolve(path, resolved, sizeof resolved)) return nullptr;
    return fopen(resolved, mode);
}

std::string files_pictures_dir(const std::string& home, const std::string& config_home) {
    if (home.empty()) return std::string();
    std::string config = config_home.empty() ? home + "/.config" : config_home;
    std::ifstream dirs(config + "/user-dirs.dirs");
    const std::string key = "XDG_PICTURES_DIR=\"";
    std::string line, found;
    // Lines as xdg-user-dirs writes them: KEY="$HOME/Folder" or KEY="/path".
    while (std::getline(dirs, line)) {
        if (line.compare(0, key.size(), key) != 0) continue;
        size_t end = line.find('"', key.size());
        if (end == std::string::npos) continue;
        std::string value = line.substr(key.size(), end - key.size());
        if (value.compare(0, 5, "$HOME") == 0)
            found = home + value.substr(5);
        else if (!value.empty() && value[0] == '/')
            found = value;
    }
    return found.empty() ? home + "/Pictures" : found;
}
