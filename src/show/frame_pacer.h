// Which step a present shows.  The song clock is read with a little jitter
// and the display's refresh is not locked to the audio clock, so simply
// showing the last step that is due would repeat a step on one refresh and
// skip one on the next whenever refreshes fall near step boundaries.  The
// pacer keeps the cadence of the presents instead: when presents come about
// one step apart it shows the step after the last one shown as long as that
// is the step due or the one before it, and corrects only when the clock has
// really moved away (a repeat when it runs slower, a skip when it runs
// faster).  It never shows a step that is not due yet and never lags the
// clock by more than one step.
#pragma once

#include <cstdint>

// The pacer's memory of the presents.
struct FramePacer {
    int64_t shown_step = -1;      // the step the last present showed
    int64_t last_present_ns = -1; // wall time of the last present
    double present_ms = 0.0;      // smoothed wall time between presents (0: not known)
};
extern FramePacer frame_pacer;

// Presents further apart than this (a stall, a minimised window) say
// nothing about the display's cadence.
constexpr double FRAME_PACER_GAP_MS = 100.0;

// The step to show now, given the last step due by the clock (`due`, -1
// before the show).  Equal to pacer.shown_step when there is nothing new.
int64_t frame_pacer_choose(const FramePacer& pacer, int64_t due);

// Records that `step` was presented at wall time `now_ns`.
void frame_pacer_presented(FramePacer& pacer, int64_t step, int64_t now_ns);
