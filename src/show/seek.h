// Seeking: putting the show at any step exactly, back or forward.
//
// As the steps run, the show's records (everything show_state_bytes walks)
// and the GL state one step leaves for the next (gfx/carried_state.h) are
// kept every SEEK_INTERVAL_STEPS steps.  A seek puts back the last kept
// state at or before the target (or goes on from the present one when that
// is nearer) and runs the steps between, each with the notes a straight run
// delivers before it (from the song's seek map, platform/sound.h), so the
// show arrives at the target in the state the harness has there.  Runs of
// more than SEEK_GL_STEPS steps go GL-free (platform/gl_detach.h) except the
// last SEEK_GL_STEPS and the last SEEK_SCENE_END_GL_STEPS of each scene on
// the way, which run the cheap way with GL to bring its state along (the
// opening scene's turns of the texture matrix are held while GL-free and
// made afterwards, gfx/carried_state.h); the spark sets, which only the finale moves, are kept once
// for all the states that share them.  The store keeps at most SEEK_MEMORY_BUDGET bytes: past it,
// the states that carry spark sets of their own are thinned.
#pragma once

#include <cstddef>
#include <cstdint>

struct SndSong;

constexpr int64_t SEEK_INTERVAL_STEPS = 30;
constexpr int64_t SEEK_GL_STEPS = 8;
// Steps run with GL before each scene change inside a GL-free stretch.
constexpr int64_t SEEK_SCENE_END_GL_STEPS = 2;
constexpr size_t SEEK_MEMORY_BUDGET = 64u << 20;

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

// Puts the show just before step `target` (>= 0): the records, the GL state
// and frame_driver.next_step == target, with `song` (if any) moved by
// snd_seek to the time of step target - 1 (to before its start for the first step) with
// every note due by then counted as delivered.  The caller then runs step
// `target` its own way (drawn), moving the song's clock to its time.
// frame_driver.before_step is left as it was.  When frame_driver.poll asks
// to stop, the seek ends where it is with `stopped` set (the music left
// unmoved): the caller is expected to end the show.
SeekReport seek_to_step(int64_t target, SndSong* song);

// What the last seek_to_step did.
SeekReport seek_last_report();

// Bytes the kept states take now, and how many states are kept.
size_t seek_memory_bytes();
size_t seek_state_count();
