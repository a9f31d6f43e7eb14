#include "platform/report.h"

#include <SDL2/SDL.h>

#include <cerrno>
#include <cstdio>

namespace {

// The name the program was started under ("vintermoot",
// "vintermoot-capture", a test), so that a script's log says who failed.
const char* program_name() {
#if defined(__GLIBC__)
    return program_invocation_short_name;
#else
    return "vintermoot";
#endif
}

} // namespace

void report_failure(const char* what, const char* reason, const char* mend) {
    if (reason && *reason)
        std::fprintf(stderr, "%s: %s: %s; %s\n", program_name(), what, reason, mend);
    else
        std::fprintf(stderr, "%s: %s; %s\n", program_name(), what, mend);
    std::fflush(stderr);
}

const char* report_sdl_reason() {
    return SDL_GetError();
}
