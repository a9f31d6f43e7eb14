// The show from start to end: sound-library version check, display, sound
// start-up, the message and frame loop, and the shutdown in fixed order.
#pragma once

#include <cstdint>

#include "show/show_start.h"

// Start-up constants (the picture size, module and sound output are the
// show's own, show/show_start.h).
constexpr const char* SHOW_TITLE = "Vintermoot 2002";
constexpr int SHOW_COLOUR_BITS = 32;
constexpr float SHOW_MIN_SOUND_VERSION = 3.5f;
constexpr unsigned SHOW_SOUND_FLAGS_FIRST = 2;
constexpr unsigned SHOW_SOUND_FLAGS_SECOND = 0;

// Exit codes.  A show that never started says so, so that a launcher or
// script can tell it from one that played and was closed; the viewer's No
// to the windowed fallback is a choice and ends cleanly.
constexpr int EXIT_SOUND_REFUSED = 1; // library too old, or no sound output
constexpr int EXIT_SET_UP_FAILED = 1; // window, context, pictures or render state
constexpr int EXIT_CLEAN = 0;

// Where the version check reads the sound library's version; the sound
// layer's by default.  Only tests point it elsewhere (and put it back).
typedef float (*SoundVersionQuery)();
extern SoundVersionQuery show_sound_version;

// Called with the name of each shutdown step as it starts
// ("destroy_display", "free_song", "close_sound"); null by default, set by
// tests only.
typedef void (*ShutdownHook)(const char* step);
extern ShutdownHook show_shutdown_hook;

// The wall clock the loop hands to the frame driver's pacer (nanoseconds of
// a monotonic clock).  Only tests point it elsewhere (and put it back).
typedef int64_t (*WallClock)();
extern WallClock show_wall_clock;
int64_t show_wall_clock_steady();

// How the loop waits when no new step of the show is due yet: `ms` is the
// song time until the next step.  Only tests point it elsewhere.
typedef void (*IdleWait)(int64_t ms);
extern IdleWait show_idle_wait;
void show_idle_sleep(int64_t ms);

// What the loop has done so far; reset by main_loop_begin, advanced by
// main_loop_pass, read by tests and benchmarks.
struct LoopCounts {
    int64_t passes;
    int64_t messages; // passes that took messages
    int64_t frames;   // passes that drew a new step of the show
    int64_t swaps;    // presented frames
    int64_t idle;     // passes that found no new step due and waited
    int64_t polls;    // looks at the messages during long work (frame_driver.poll)
};
extern LoopCounts loop_counts;

// The loop's own state across passes.
struct LoopState {
    bool done;
    int exit_code; // the code of the last message taken (0 when none)
};

// A fresh loop state (and fresh counts).  Opens the step trace when VM_STEP_TRACE names a file (one
// line on stderr when it cannot be written): one line per presented step, key moves and paused
// steps included.
LoopState main_loop_begin();

// One pass: takes the queued messages (the quit message or a key-down of
// Escape ends the show; the seek keys among them add up to one move, which
// the pass carries out, drawing and presenting the step it lands on; a pass
// that took other messages ends there), else advances the show to the step
// its clock has reached and draws it, and presents.  With no new step due
// it presents nothing and waits for the next one instead; while minimised
// it runs the steps due without drawing them and presents.
void main_loop_pass(LoopState& loop);

// The player's frame_driver.poll, installed during each pass: every few
// steps of long work (a seek, a catch-up) it takes the window's messages;
// on Escape or the quit message it stops the work at once, and the next
// part of the pass (or the next pass) ends the loop.  Seek keys are added
// to the next move, changes of the window's size held until the steps are
// done.  Other long work of the player may install it too.
bool main_loop_poll(void* user);

// Closes the step trace (run_show does, at the end).
void main_loop_trace_close();

// Runs the whole show; returns the process exit code.  On the sound failure
// path the display is left as it is (the process ends with it).
int run_show();
