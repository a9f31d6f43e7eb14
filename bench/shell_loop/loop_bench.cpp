// vintermoot-bench-loop [SECONDS [WIDTHxHEIGHT]]: runs the show's loop in a window
// (Xvfb or the offscreen driver) of that client size (default 1024x768) for
// SECONDS (default 5) with frame pacing on, then off,
// and prints presented frames per second; then reads the live song clock
// once per 1/60 s and prints its steps.  Run from the folder holding data/;
// without pictures there it uses stand-in data in a temporary folder.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/display.h"
#include "app/main_loop.h"
#include "show/frame.h"
#include "platform/msgbox.h"
#include "platform/sound.h"
#include "show_test_data.h"

namespace {

using Clock = std::chrono::steady_clock;

MsgBoxAnswer answer_yes(const char* text, const char* caption, MsgBoxButtons buttons, MsgBoxIcon,
                        bool) {
    std::fprintf(stderr, "box: %s: %s\n", caption, text);
    return buttons == MSGBOX_YES_NO ? MSGBOX_ANSWER_YES : MSGBOX_ANSWER_OK;
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the loop for `seconds`; prints frames and swaps per second.
void measure_loop(const char* label, double seconds) {
    LoopState loop = main_loop_begin();
    Clock::time_point start = Clock::now();
    while (!loop.done && seconds_since(start) < seconds)
        main_loop_pass(loop);
    double elapsed = seconds_since(start);
    std::printf("%-14s %8.1f presented/s %8.1f drawn/s %8lld messages  (%.1f s)\n", label,
                loop_counts.swaps / elapsed, loop_counts.frames / elapsed,
                static_cast<long long>(loop_counts.messages), elapsed);
}

struct Stats {
    double mean, stddev, min, max;
};

Stats stats_of(const std::vector<double>& values) {
    Stats s = {0, 0, 1e300, -1e300};
    for (double v : values) {
        s.mean += v;
        s.min = std::min(s.min, v);
        s.max = std::max(s.max, v);
    }
    s.mean /= static_cast<double>(values.size());
    for (double v : values)
        s.stddev += (v - s.mean) * (v - s.mean);
    s.stddev = std::sqrt(s.stddev / static_cast<double>(values.size()));
    return s;
}

// Reads the clock at a steady 60 Hz for `seconds` and prints the steps
// between readings, and how far the clock drifts from the wall clock.
void measure_clock(double seconds) {
    if (!snd_init(SHOW_MIX_RATE, SHOW_CHANNELS, SHOW_SOUND_FLAGS_FIRST)) {
        std::printf("clock: no audio output\n");
        return;
    }
    SndSong* song = snd_load_song(SHOW_MODULE_PATH);
    snd_play_song(song);
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / WIN_MAX_FPS));
    Clock::time_point start = Clock::now(), next = start;
    std::vector<double> steps, offsets;
    int64_t previous = snd_get_time(song);
    while (seconds_since(start) < seconds) {
        next += period;
        std::this_thread::sleep_until(next);
        int64_t t = snd_get_time(song);
        steps.push_back(static_cast<double>(t - previous));
        offsets.push_back(seconds_since(start) * 1000.0 - static_cast<double>(t));
        previous = t;
    }
    snd_free_song(song);
    snd_close();
    Stats step = stats_of(steps);
    Stats offset = stats_of(offsets);
    std::printf("clock steps at 60 Hz (%zu readings): mean %.3f ms, stddev %.3f ms, min %.0f, "
                "max %.0f ms (ideal 16.667)\n",
                steps.size(), step.mean, step.stddev, step.min, step.max);
    std::printf("wall clock minus song clock: mean %.2f ms, stddev %.2f ms, min %.2f, max %.2f\n",
                offset.mean, offset.stddev, offset.min, offset.max);
}

// A folder with the show's data: the working directory when it has the
// pictures, else stand-in data in a temporary folder.
std::string data_folder() {
    if (std::filesystem::exists("data/bin2.bmp") || std::filesystem::exists("Data/bin2.bmp"))
        return ".";
    std::string dir = (std::filesystem::temp_directory_path() / "vintermoot-bench-loop").string();
    show_test_pictures_write(dir);
    if (std::filesystem::exists("data/Kvadrat2.xm"))
        std::filesystem::copy_file("data/Kvadrat2.xm", dir + "/data/Kvadrat2.xm",
                                   std::filesystem::copy_options::overwrite_existing);
    else
        show_test_module_write(dir);
    std::printf("using stand-in pictures in %s\n", dir.c_str());
    return dir;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    int width = SHOW_WIDTH, height = SHOW_HEIGHT;
    if (argc > 2 && std::sscanf(argv[2], "%dx%d", &width, &height) != 2) {
        std::fprintf(stderr, "usage: vintermoot-bench-loop [SECONDS [WIDTHxHEIGHT]]\n");
        return 2;
    }
    std::filesystem::current_path(data_folder());
    msgbox_set_hook(answer_yes);
    // Full screen only at the show's own size.
    bool want_fullscreen = width == SHOW_WIDTH && height == SHOW_HEIGHT;
    if (!create_display(SHOW_TITLE, width, height, SHOW_COLOUR_BITS, want_fullscreen)) return 1;
    std::printf("%dx%d, ", width, height);
    std::printf("swap interval %d (-1 adaptive, 1 vsync, 0 none)\n", win_swap_interval());
    measure_loop("pacing on", seconds);
    win_switches.frame_pacing = false;
    measure_loop("pacing off", seconds);
    win_switches.frame_pacing = true;
    destroy_display();
    measure_clock(seconds);
    return 0;
}
