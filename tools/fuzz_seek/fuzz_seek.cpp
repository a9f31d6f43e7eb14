// The seek engine's fuzz target: each input is a schedule of steps played,
// map pieces, seeks in slices, paused steps and --from starts
// (seek_schedule.h); every step drawn must equal a straight run's.  The
// show's data is read from the build's data folder: run it from the build
// directory with SDL_VIDEODRIVER=offscreen (scripts/fuzz.sh does).
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "seek_schedule.h"

namespace {

// A tiny viewport and a bounded schedule keep one input to seconds.
constexpr int W = 16;
constexpr int H = 12;
constexpr int64_t MAX_OPERATIONS = 120;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    ScheduleSights sights;
    ScheduleResult played = seek_schedule_play(bytes, W, H, MAX_OPERATIONS, &sights);
    int64_t compared = 0;
    std::string fault =
        played.fault.empty() ? seek_schedule_check(sights, W, H, &compared) : played.fault;
    if (!fault.empty()) {
        std::fprintf(stderr, "fuzz_seek: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
