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
// The map reaches as far as the show's length (show/frame.h).
constexpr int64_t SEEK_MAP_MS = SHOW_LENGTH_MS;
constexpr int64_t SEEK_MAP_LAST_STEP = SEEK_MAP_MS * FRAME_STEP_RATE / 1000;

// What the last seek did.
struct SeekReport {
    bool done;             // false: no state known before the target (nothing changed)
    int64_t from_step;     // the state it started from (kept or present)
    int64_t steps;         // steps run to reach the target
    int64_t gl_free_steps; // of them, run GL-free
    bool stopped;          // frame_driver.poll stopped it: the show is somewhere on the way
    bool unmappable;       // the song's notes cannot be replayed: no seek can be made
    bool music_failed;     // the records arrived but the music could not move
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

// Maps ahead by at most `max_steps` steps (at least one): the same work as
// seek_map_run, its length counted in steps, so a run is repeatable.
bool seek_map_steps(SndSong* song, int64_t max_steps);
// The song cannot be mapped (its notes cannot be replayed): the map never
// runs and no seek can be made; the show plays on from where it is.
bool seek_unmappable();

// ---- the seek engine --------------------------------------------------------
//
// Everyone who moves the show (the player's keys and media controls, the
// page's bar and keys, --from, the harness, the benchmark) asks here, and
// the one seek under way is carried on here in slices until it lands:
//
//   seek_ask(target)         the target, replacing one not reached yet
//   seek_carry_on(song, s)   replays towards it until it stands before the
//                            target, or the slice `s` is spent, or the
//                            host's frame_driver.poll ends the work
//   seek_land(song, paused)  runs the target step drawn, the music cued
//                            with it, and plays on unless paused
//
// A slice only decides how much work is done before the engine returns:
// where it ends never changes the state the seek lands in.  The music moves
// once, when the seek arrives.

// How long one call may work before it returns (0: no limit).  The steps
// are counted in the frame driver's polls (every FRAME_POLL_STEPS steps).
struct SeekSlice {
    double ms = 0;
    int64_t steps = 0;
};

enum SeekOutcome : int {
    SEEK_IDLE,       // no seek asked for
    SEEK_ON_THE_WAY, // the slice ended first: call again to go on
    SEEK_THERE,      // stands before the target, the music there: seek_land
    SEEK_ENDED,      // the host's poll asked to end the work (Escape, close)
    SEEK_CANNOT,     // no seek can be made (nothing known, or an unmappable song)
};

// The seek under way, as far as it has come.
struct SeekRun {
    int64_t target = -1;       // -1: none asked
    bool begun = false;        // a slice has run
    int64_t from_step = 0;     // where its first slice started
    int64_t steps = 0;         // steps run so far
    int64_t gl_free_steps = 0; // of them, GL-free or state-only
    int64_t slices = 0;        // calls of seek_carry_on that worked on it
    bool there = false;        // seek_carry_on arrived: seek_land is due
};

void seek_ask(int64_t target);
// The target asked for and not landed on yet (-1: none).
int64_t seek_asked();
const SeekRun& seek_run();
SeekOutcome seek_carry_on(SndSong* song, SeekSlice slice = {});
// Runs the target step drawn (in the current viewport), the music cued
// with it, then plays it on unless `paused`.  True when it was drawn.
bool seek_land(SndSong* song, bool paused);
// Forgets the seek under way (the show ends, or stands where it is).
void seek_cancel();
