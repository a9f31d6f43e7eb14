// The player: reads its options (none: the show as it always started), finds
// the show's data and runs the show.
#include <cstdio>
#include <string>

#include "app/display.h"
#include "app/main_loop.h"
#include "app/options.h"
#include "app/start_at.h"
#include "platform/data_dir.h"
#include "platform/sound.h"
#include "platform/window.h"

namespace {

constexpr int EXIT_BAD_OPTIONS = 2;

// Hands the options to the display, the window layer and the start.
void apply_options(const PlayerOptions& options) {
    if (options.display == OPTIONS_DISPLAY_WINDOW)
        display.request = {DISPLAY_WINDOW, options.width, options.height};
    else if (options.display == OPTIONS_DISPLAY_FULLSCREEN)
        display.request = {DISPLAY_DESKTOP_FULLSCREEN, 0, 0};
    if (!options.vsync) {
        win_switches.want_vsync = false;
        win_switches.frame_pacing = false;
    }
    show_start_ms = options.from_ms;
    snd_set_audio_delay(static_cast<double>(options.audio_delay_ms));
}

} // namespace

int main(int argc, char** argv) {
    PlayerOptions options;
    std::string error;
    switch (options_parse(argc, argv, &options, &error)) {
    case OPTIONS_HELP:
        std::fputs(options_help(), stdout);
        return EXIT_CLEAN;
    case OPTIONS_VERSION:
        std::fputs(options_version(), stdout);
        return EXIT_CLEAN;
    case OPTIONS_BAD:
        std::fprintf(stderr, "vintermoot: %s\n%s", error.c_str(), options_usage());
        return EXIT_BAD_OPTIONS;
    case OPTIONS_OK:
        break;
    }
    // Started from a launcher or another directory: look for the data
    // beside the program and where it is installed.  With data/ in the
    // working directory nothing changes; with none found anywhere the show
    // starts as it is and reports the missing pictures itself.  A directory
    // named with --data must hold it.
    if (!data_dir_enter(options.data_dir, &error) && !options.data_dir.empty()) {
        std::fprintf(stderr, "vintermoot: %s\n", error.c_str());
        return EXIT_SET_UP_FAILED;
    }
    apply_options(options);
    int code = run_show();
    win_end_process();
    return code;
}
