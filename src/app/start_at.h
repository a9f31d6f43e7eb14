// Starting the show later in the song (the player's --from).  Every step
// before the starting time runs the cheap way with the song cued at its
// time, so the notes reach the same steps as in the harness and the show
// arrives in exactly the state it has there; then the music starts from the
// starting time.  A fast-forward that takes more than a moment draws a
// progress bar and keeps answering the window: Escape and the close button
// end the show there too.
#pragma once

#include <cstdint>

// Song time the show starts at; 0 (the default) is the show's own start.
// Set by the entry point before run_show.
extern int64_t show_start_ms;

// Fast-forward steps between two looks at the window's messages: about
// 15 ms of work on two cores of llvmpipe (up to 40 ms in the heaviest
// scenes on a busy machine), so Escape is answered at once.
constexpr int64_t START_AT_CHUNK_STEPS = 30;
// The progress bar shows once the fast-forward has taken this long, and is
// drawn again at most this often (each present may wait for the display).
constexpr double START_AT_PROGRESS_AFTER_MS = 250.0;
constexpr double START_AT_PROGRESS_EVERY_MS = 100.0;

// What the last start_at_run did.
struct StartAtResult {
    int64_t steps;     // steps run before the start
    int64_t bars;      // progress pictures presented
    double elapsed_ms; // wall time of the fast-forward
    bool interrupted;  // Escape or a close request stopped it early
};
extern StartAtResult start_at_result;

// Runs the steps before song time `ms` with song_module cued (snd_cue_song),
// then starts the music at `ms` (snd_play_cued).  Call after
// main_loop_begin; the loop then shows the step of `ms` first.  Escape or a
// close request stops the fast-forward at once and leaves the quit message
// for the loop, which ends on it; the music does not start then.
void start_at_run(int64_t ms);
