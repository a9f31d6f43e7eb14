#include "app/main_loop.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "app/display.h"
#include "app/media_controls.h"
#include "app/seek_keys.h"
#include "app/snapshot.h"
#include "app/sound_start.h"
#include "app/start_at.h"
#include "show/frame.h"
#include "show/frame_pacer.h"
#include "show/seek.h"
#include "show/show_check.h"
#include "platform/report.h"
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
    if (version >= SHOW_MIN_SOUND_VERSION) return true;
    report_failure("the libopenmpt library found at run time is older than the one the program "
                   "was built with",
                   nullptr, "update libopenmpt (Debian package libopenmpt0) to that version");
    return false;
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

// Wall time of the first traced present.
int64_t step_trace_start_ns = -1;

void step_trace_close() {
    if (step_trace) std::fclose(step_trace);
    step_trace = nullptr;
}

// A path that cannot be written is said once; the show plays on untraced.
void step_trace_open() {
    step_trace_close();
    step_trace_start_ns = -1;
    const char* path = std::getenv(STEP_TRACE_VARIABLE);
    if (!path || !*path) return;
    step_trace = std::fopen(path, "w");
    if (step_trace) return;
    std::string what = std::string("cannot write the step trace \"") + path + "\"";
    report_failure(what.c_str(), std::strerror(errno),
                   "name a file in a folder that exists and can be written in VM_STEP_TRACE, "
                   "or unset it; the show plays on without the trace");
}

// One line per presented step: the step, its song time, the song clock the
// pass read, the wall clock after the swap (ms since the first present), the
// output latency (ms) that clock reading took off and the checksum of the
// show's state after the step, to compare with a straight run's.
void step_trace_write() {
    if (!step_trace) return;
    if (step_trace_start_ns < 0) step_trace_start_ns = show_wall_clock();
    std::fprintf(step_trace, "%lld %lld %lld %.3f %.3f " SHOW_HASH_FORMAT "\n",
                 static_cast<long long>(frame_driver.last_drawn_step),
                 static_cast<long long>(frame_step_time(frame_driver.last_drawn_step)),
                 static_cast<long long>(frame_driver.clock_ms),
                 static_cast<double>(show_wall_clock() - step_trace_start_ns) / 1e6,
                 snd_latency_ms(song_module), static_cast<unsigned long long>(show_state_hash()));
    std::fflush(step_trace);
}

// Presents the step just drawn, and traces it.
void present_step() {
    ++loop_counts.swaps;
    snapshot_before_present();
    win_swap_buffers(display.window_handle);
    step_trace_write();
}

// The end of the show asked for during long work (a seek, a catch-up), by
// frame_driver.poll; the pass that ran the work ends the loop on it.
struct LoopStop {
    bool asked;
    int exit_code;
};
LoopStop loop_stop = {};

// The seek keys' part of a message: added up, carried out once the pass has
// taken them all.
bool main_loop_seek_key(const WinMessage& message) {
    if (display.window_active) seek_keys_take(message);
    snapshot_take(message);
    return false;
}

} // namespace

bool main_loop_poll(void*) {
    ++loop_counts.polls;
    DisplayMessages taken = display_take_messages(main_loop_seek_key, true);
    if (!taken.quit && !taken.escape) return false;
    loop_stop = {true, taken.escape ? EXIT_CLEAN : taken.last_code};
    return true;
}

namespace {

// True when a poll asked to end the show: the loop ends with its code.
bool main_loop_stopped(LoopState& loop) {
    if (!loop_stop.asked) return false;
    loop.done = true;
    loop.exit_code = loop_stop.exit_code;
    loop_stop = {};
    return true;
}

// The map ahead (show/seek.h) runs between frames: a piece after each
// present, and in the time a pass would otherwise wait, a millisecond to
// spare.
constexpr double MAP_AHEAD_AFTER_PRESENT_MS = 2.0;
constexpr double MAP_AHEAD_SPARE_MS = 1.0;

// It waits for the song's seek map, whose thread is still at work for a
// moment after the start.  True when it mapped.
bool map_ahead(double budget_ms) {
    if (!display.window_active || budget_ms <= 0.0 || !snd_seek_map_ready(song_module))
        return false;
    return seek_map_run(song_module, budget_ms);
}

// Longest idle wait: one step, so that a clock that jumps is seen soon.
constexpr int64_t IDLE_WAIT_MAX_MS = 17;

} // namespace

void main_loop_trace_close() {
    step_trace_close();
}

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
    loop_stop = {};
    frame_driver_reset();
    frame_pacer = FramePacer{};
    seek_keys_begin();
    step_trace_open();
    return LoopState{false, EXIT_CLEAN};
}

namespace {

void main_loop_pass_work(LoopState& loop) {
    // Messages first: the pass takes every queued one, the seek keys among
    // them added up.  A key-down of Escape ends the show as the quit message
    // does, also when its key-up was queued with it.
    DisplayMessages taken = display_take_messages(main_loop_seek_key);
    if (taken.taken > 0) {
        ++loop_counts.messages;
        // Ended by Escape: the key's code means nothing as an exit code.
        loop.exit_code = taken.escape ? EXIT_CLEAN : taken.last_code;
        loop.done = taken.quit || taken.escape;
    }
    if (loop.done || main_loop_stopped(loop)) return;
    if (seek_keys.pending.any) {
        // The keys taken (here or during the last long work) move the show
        // once, and the step they land on is presented at once.
        bool drew = seek_keys_settle(show_wall_clock());
        if (!main_loop_stopped(loop) && drew) present_step();
        return;
    }
    if (taken.taken > 0) return; // a pass that took messages draws nothing
    bool drew = false;
    if (display.window_active) {
        drew = frame_play_pass(show_wall_clock());
        if (main_loop_stopped(loop)) return;
        if (drew) ++loop_counts.frames;
        if (drew) seek_keys_overlay(show_wall_clock());
    } else {
        // Minimised: nothing is drawn, but the steps go on with the song, so
        // every note reaches its own step however long the window stays
        // down, and the show is where the song is when it comes back.
        frame_follow_pass();
        if (main_loop_stopped(loop)) return;
    }
    if (display.window_active && !drew) {
        // The picture on screen is still the newest step: presenting it
        // again would only repeat it, so wait for the next step instead.
        ++loop_counts.idle;
        int64_t wait_ms = frame_ms_to_next_step();
        // Mapped instead of waiting: the next pass reads the clock again.
        if (map_ahead(static_cast<double>(wait_ms) - MAP_AHEAD_SPARE_MS)) return;
        show_idle_wait(wait_ms);
        return;
    }
    if (drew) {
        present_step();
        map_ahead(MAP_AHEAD_AFTER_PRESENT_MS);
        return;
    }
    ++loop_counts.swaps; // minimised: nothing new to trace
    win_swap_buffers(display.window_handle);
}

} // namespace

void main_loop_pass(LoopState& loop) {
    ++loop_counts.passes;
    media_controls_pass();
    frame_driver.poll = main_loop_poll;
    main_loop_pass_work(loop);
    frame_driver.poll = nullptr;
}

int run_show() {
    if (!sound_version_accepted()) return EXIT_SOUND_REFUSED;
    if (!create_display(SHOW_TITLE, SHOW_WIDTH, SHOW_HEIGHT, SHOW_COLOUR_BITS, display.fullscreen))
        return display.fallback_declined ? EXIT_CLEAN : EXIT_SET_UP_FAILED;
    // Started later in the song, the music waits for the seek there.
    if (!show_start_sound(show_start_ms <= 0)) return EXIT_SOUND_REFUSED;
    LoopState loop = main_loop_begin();
    if (show_start_ms > 0) start_at_run(show_start_ms);
    media_controls_begin();
    while (!loop.done)
        main_loop_pass(loop);
    media_controls_end();
    snapshot_end();
    main_loop_trace_close();
    shut_down();
    return loop.exit_code;
}
