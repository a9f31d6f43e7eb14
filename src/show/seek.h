// Seeking: putting the show at any step exactly, back or forward.
//
// Kept states.  Every SEEK_INTERVAL_STEPS steps the show's records
// (everything show_state_bytes walks) and GL's carried state
// (gfx/carried_state.h) are kept.  A kept state can be started from only
// when GL's state at its step is known.  The finale's spark sets are large:
// neighbours with the same sets share one copy.  Past SEEK_MEMORY_BUDGET,
// states with sets of their own are kept half as often (thinning).
//
// A seek puts back the last kept state at or before the target (or goes on
// from the present step when that is nearer) and replays the steps between,
// each with the notes a straight run delivers before it, so the show
// arrives in the state the harness has there.  Long replays run GL-free
// (platform/gl_detach.h): GL is let go and the steps only change the show's
// records.  GL-free steps leave GL's state behind, so the last SEEK_GL_STEPS
// steps before the target run with GL to bring it along, and so do the last
// SEEK_SCENE_END_GL_STEPS steps of each scene passed.
//
// The map ahead.  seek_map_run runs a second copy of the show a few
// milliseconds further at a time, between the show's own steps, keeping a
// state at every interval; with the map complete no seek replays more than
// one interval (in the finale, one spacing of its thinned states).
#pragma once

#include <cstddef>
#include <cstdint>

#include "show/frame.h"

struct SndSong;
struct CarriedGlState;

// Steps between kept states.
constexpr int64_t SEEK_INTERVAL_STEPS = 30;
// Steps run with GL before the target of a GL-free replay.
constexpr int64_t SEEK_GL_STEPS = 8;
// Steps the map ahead runs with GL before each state it keeps.  One step
// brings all of GL's carried state along at every interval of the show
// (a test compares them all with a straight run's); two for a margin.
constexpr int64_t SEEK_MAP_GL_STEPS = 2;
// Steps run with GL before each scene change inside a GL-free stretch.
constexpr int64_t SEEK_SCENE_END_GL_STEPS = 2;
constexpr size_t SEEK_MEMORY_BUDGET = 64u << 20;
// The map reaches this far: the song's first pass (329 s) and a little more.
constexpr int64_t SEEK_MAP_MS = 330000;
constexpr int64_t SEEK_MAP_LAST_STEP = SEEK_MAP_MS * FRAME_STEP_RATE / 1000;

// What the last seek did.
struct SeekReport {
    bool done;             // false: no state known before the target (nothing changed)
    int64_t from_step;     // the state it started from (kept or present)
    int64_t steps;         // steps run to reach the target
    int64_t gl_free_steps; // of them, run GL-free
    bool stopped;          // frame_driver.poll stopped it: the show is somewhere on the way
};

// Starts (or stops) keeping states as the steps pass; stopping forgets them.
void seek_enable(bool on);

// Called by the frame driver before each step runs: keeps the state before
// `step` when it is due.
void seek_step_passing(int64_t step);

// Puts the show just before step `target` (>= 0): the records, the GL
// state and frame_driver.next_step == target.  `song` (if any) goes to the
// time of step target - 1 by snd_seek (before its start for the first
// step), every note due by then counted as delivered.  The caller then
// runs step `target` its own way (drawn), moving the song's clock to its
// time.  frame_driver.before_step is left as it was.  When
// frame_driver.poll asks to stop, the seek ends where it is with `stopped`
// set and the music unmoved: the caller is expected to end the show.
SeekReport seek_to_step(int64_t target, SndSong* song);

// For frame_driver.poll during a seek: runs `work` with GL current (a
// progress bar, say), letting GL go again afterwards.
void seek_with_gl(void (*work)(void*), void* user);

// What the last seek_to_step did.
SeekReport seek_last_report();

// Bytes the kept states take now, and how many states are kept.
size_t seek_memory_bytes();
size_t seek_state_count();
// Steps between kept states with spark sets of their own (the finale's):
// SEEK_INTERVAL_STEPS, doubled by each thinning.
int64_t seek_spark_interval();

// The map ahead, in pieces of bounded work the player (or the page) runs
// between frames.  seek_map_run maps step by step for about `budget_ms` (at
// least one step) and keeps a state at every interval it completes.  The
// show on screen is put aside and back exactly (its records, the frame
// driver and GL's carried state), so it goes on as if nothing had run.
// False when there is nothing more to map (or nothing yet: the show has not
// run its first step, or seeking is off).  `song` gives the notes, as for
// seek_to_step.
bool seek_map_run(SndSong* song, double budget_ms);
// Maps the rest at once (the harness, tests, benchmarks).
void seek_map_all(SndSong* song);
// The map is complete through SEEK_MAP_LAST_STEP.
bool seek_map_complete();
// The map's last interval boundary (-1: not started).
int64_t seek_mapped_through();
// GL's carried state kept with the state before `step`, for tests: false
// when no state is kept there or its GL state is not known.
bool seek_kept_gl(int64_t step, CarriedGlState* out);
