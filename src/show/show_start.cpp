#include "show/show_start.h"

#include <chrono>

#include "assets/outline_font.h"
#include "assets/texture_set.h"
#include "gfx/render_state.h"
#include "show/scene6_particle_finale.h"

// Written by show_start_up; read by the harness and the start-up report.
StartupTimes show_startup_times;

namespace {

double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

bool show_start_up() {
    auto start = std::chrono::steady_clock::now();
    show_startup_times = StartupTimes{};
    if (!load_texture_set()) return false;
    show_startup_times.textures_ms = ms_since(start);

    auto rest_start = std::chrono::steady_clock::now();
    finale_sparks_seed();
    render_state_set_fixed();
    show_startup_times.rest_ms = ms_since(rest_start);

    auto font_start = std::chrono::steady_clock::now();
    build_outline_font(); // a font failure only leaves the texts out
    show_startup_times.font_ms = ms_since(font_start);
    return true;
}
