// Starting the show later in the song (the player's --from).  The map ahead
// (show/seek.h) runs up to the starting time, then a seek puts the show at
// its step with the song cued: the show arrives in exactly the state the
// harness has there, then the music starts from the starting time.  Between
// the map's pieces and the seek's steps the window is answered: Escape and
// the close button end the show there too.  When it takes more than a
// moment a progress bar shows.
#pragma once

#include <cstdint>

// Song time the show starts at; 0 (the default) is the show's own start.
// Set by the entry point before run_show.
extern int64_t show_start_ms;

// The map ahead runs in pieces of this many milliseconds before the start:
// the window's messages are looked at between them.
constexpr double START_AT_MAP_PIECE_MS = 20.0;
// The progress bar shows once the seek has taken this long, and is
// drawn again at most this often (each present may wait for the display).
constexpr double START_AT_PROGRESS_AFTER_MS = 250.0;
constexpr double START_AT_PROGRESS_EVERY_MS = 100.0;

// What the last start_at_run did.
struct StartAtResult {
    int64_t steps;     // steps the seek replayed (after the map)
    int64_t bars;      // progress pictures presented
    double elapsed_ms; // wall time of the seek
    bool interrupted;  // Escape or a close request stopped it early
};
extern StartAtResult start_at_result;

// Seeks to the step of song time `ms` with song_module cued
// (snd_cue_song), then starts the music at `ms` (snd_play_cued).  Call after
// main_loop_begin; the loop then shows the step of `ms` first.  Escape or a
// close request stops the seek at once and leaves the quit message for the
// loop, which ends on it; the music does not start then.
void start_at_run(int64_t ms);
