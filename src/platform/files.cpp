#include "platform/files.h"

#include <cstring>
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
