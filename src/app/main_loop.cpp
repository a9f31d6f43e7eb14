#include "app/main_loop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/display.h"
#include "app/seek_keys.h"
#include "app/sound_start.h"
#include "app/start_at.h"
#include "show/frame.h"
#include "show/frame_pacer.h"
#include "platform/sound.h"

SoundVersionQuery show_sound_version = snd_get_version;
ShutdownHook show_shutdown_hook = nullptr;
LoopCounts loop_counts = {};
WallClock show_wall_clock = show_wall_clock_steady;
IdleWait show_idle_wait = show_idle_sleep;

namespace {

void shutdown_step(const char* name) {
    if (show_shutdown_hook) show_shutdown_hook(name);
}

// The version must compare as at least the minimum (a NaN never does).
bool sound_version_accepted() {
    float version = show_sound_version();
    return version >= SHOW_MIN_SOUND_VERSION;
}

void shut_down() {
    shutdown_step("destroy_display");
    destroy_display();
    shutdown_step("free_song");
    snd_free_song(song_module);
    song_module = nullptr;
    shutdown_step("close_sound");
    snd_close();
}

// Where the loop writes each presented step, when VM_STEP_TRACE names a
// file: tests compare a screenshot with the harness frame of that step.
constexpr const char* STEP_TRACE_VARIABLE = "VM_STEP_TRACE";
FILE* step_trace = nullptr;

void step_trace_open() {
    const char* path = std::getenv(STEP_TRACE_VARIABLE);
    if (path && *path) step_trace = std::fopen(path, "w");
}

// Wall time of the first traced present.
int64_t step_trace_start_ns = -1;

// One line per presented step: the step, its song time, the song clock the
// pass read and the wall clock after the swap (ms since the first present).
void step_trace_write() {
    if (!step_trace) return;
    if (step_trace_start_ns < 0) step_trace_start_ns = show_wall_clock();
    std::fprintf(step_trace, "%lld %lld %lld %.3f\n",
                 static_cast<long long>(frame_driver.last_drawn_step),
                 static_cast<long long>(frame_step_time(frame_driver.last_drawn_step)),
                 static_cast<long long>(frame_driver.clock_ms),
                 static_cast<double>(show_wall_clock() - step_trace_start_ns) / 1e6);
    std::fflush(step_trace);
}

void step_trace_close() {
    if (step_trace) std::fclose(step_trace);
    step_trace = nullptr;
}

// Longest idle wait: one step, so that a clock that jumps is seen soon.
constexpr int64_t IDLE_WAIT_MAX_MS = 17;

} // namespace

int64_t show_wall_clock_steady() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void show_idle_sleep(int64_t ms) {
    ms = std::min(std::max<int64_t>(ms, 1), IDLE_WAIT_MAX_MS);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

LoopState main_loop_begin() {
    loop_counts = LoopCounts{};
    frame_driver_reset();
    frame_pacer = FramePacer{};
    seek_keys_begin();
    return LoopState{false, EXIT_CLEAN};
}

void main_loop_pass(LoopState& loop) {
    ++loop_counts.passes;
    WinMessage message;
    if (win_peek_message(&message)) {
        ++loop_counts.messages;
        loop.exit_code = message.code;
        if (message.kind == WIN_MSG_QUIT)
            loop.done = true;
        else
            display_window_proc(message);
        if (window_active && seek_keys_handle(message, show_wall_clock())) {
            ++loop_counts.swaps; // the step a key moved to, presented at once
            win_swap_buffers(window_handle);
        }
        return;
    }
    bool drew = false;
    if (window_active) {
        drew = frame_play_pass(show_wall_clock());
        if (drew) ++loop_counts.frames;
        if (drew) seek_keys_overlay(show_wall_clock());
    }
    if (key_down[WIN_VK_ESCAPE]) {
        // Ended by Escape: the last message's parameter means nothing here.
        loop.done = true;
        loop.exit_code = EXIT_CLEAN;
        return;
    }
    if (window_active && !drew) {
        // The picture on screen is still the newest step: presenting it
        // again would only repeat it, so wait for the next step instead.
        ++loop_counts.idle;
        show_idle_wait(frame_ms_to_next_step());
        return;
    }
    ++loop_counts.swaps;
    win_swap_buffers(window_handle);
    if (drew) step_trace_write();
}

int run_show() {
    if (!sound_version_accepted()) return EXIT_SOUND_REFUSED;
    if (!create_display(SHOW_TITLE, SHOW_WIDTH, SHOW_HEIGHT, SHOW_COLOUR_BITS, fullscreen))
        return fallback_declined ? EXIT_CLEAN : EXIT_SET_UP_FAILED;
    // Started later in the song, the music waits for the fast-forward.
    if (!show_start_sound(show_start_ms <= 0)) return EXIT_SOUND_REFUSED;
    LoopState loop = main_loop_begin();
    if (show_start_ms > 0) start_at_run(show_start_ms);
    step_trace_open();
    while (!loop.done)
        main_loop_pass(loop);
    step_trace_close();
    shut_down();
    return loop.exit_code;
}
