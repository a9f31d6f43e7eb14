// Writes the seek fuzz target's seed corpus: schedules from fixed seeds,
// and one that plays early, seeks forward, plays on with map pieces between
// the steps, completes the map and seeks far (the map jumping over states
// the show kept).
// Usage: vintermoot-seek-seeds <directory>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "seek_schedule.h"

namespace {

bool write_seed(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vintermoot-seek-seeds <directory>\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = true;
    for (uint32_t seed : {7u, 11u})
        ok = write_seed(dir + "/random_" + std::to_string(seed), seek_schedule_random(seed, 160)) &&
             ok;
    // Play 60 steps with one-step map pieces, seek 4620 steps forward, play
    // 90 with pieces, complete the map, seek 4123 steps further.  The
    // operations: 0 plays n + 1 steps, 1 maps 1 + 4n steps, 3 seeks (kind 1:
    // forward by 1 + the next 16 bits), 6 maps 1 + 64n steps.
    std::vector<uint8_t> skip = {};
    for (int i = 0; i < 4; ++i)
        skip.insert(skip.end(), {0, 14, 1, 0});
    skip.insert(skip.end(), {3, 1, 0x12, 0x0b, 0, 0});
    for (int i = 0; i < 6; ++i)
        skip.insert(skip.end(), {0, 14, 1, 0});
    skip.insert(skip.end(), {6, 1, 255, 6, 1, 255, 6, 1, 255, 3, 1, 0x10, 0x1a, 0, 0});
    ok = write_seed(dir + "/map_jump", skip) && ok;
    if (!ok)
        std::fprintf(stderr, "vintermoot-seek-seeds: cannot write the seeds into %s\n", argv[1]);
    return ok ? 0 : 1;
}
