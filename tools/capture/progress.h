// Progress of a long capture on standard error: frames done, song time,
// frames per second and time left, as a bar redrawn in place on a terminal;
// elsewhere (a log, a pipe) as one line at every tenth of the run.
#pragma once

#include <chrono>
#include <cstdint>

struct Progress {
    bool terminal = false;
    int64_t total_frames = 0;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point last_draw;
    bool drawn = false;
    int64_t next_line = 0; // without a terminal: frames done at the next line
};

void progress_begin(Progress* progress, int64_t total_frames);

// After each frame: `done` frames of the total run, the frame's song time.
void progress_update(Progress* progress, int64_t done, int64_t song_ms);

// Clears the bar and prints "<what>: N frames in S s (F fps)" and `detail`.
void progress_finish(Progress* progress, int64_t done, const char* what, const char* detail);

// Takes the bar off the terminal line (before an error message).
void progress_clear(Progress* progress);

// Seconds since progress_begin.
double progress_seconds(const Progress* progress);
