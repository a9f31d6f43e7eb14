#include "show/frame_pacer.h"

#include <cmath>

#include "show/frame.h"

// The player's pacer; advanced by every present of a new step.
FramePacer frame_pacer;

namespace {

// Wall time of one step.
constexpr double STEP_MS = 1000.0 / FRAME_STEP_RATE;
// Weight of the newest interval in the smoothed present interval.
constexpr double INTERVAL_WEIGHT = 0.1;

// Whole steps between presents at the smoothed interval (0: faster than
// steps, or not known yet).
int64_t steps_per_present(const FramePacer& pacer) {
    return static_cast<int64_t>(std::lround(pacer.present_ms / STEP_MS));
}

} // namespace

int64_t frame_pacer_choose(const FramePacer& pacer, int64_t due) {
    if (due <= pacer.shown_step) return pacer.shown_step;
    int64_t cadence = steps_per_present(pacer);
    if (cadence < 1 || pacer.shown_step < 0) return due;
    int64_t wanted = pacer.shown_step + cadence;
    if (wanted > due) return due;         // the clock is slower: show what is due
    if (wanted < due - 1) return due - 1; // faster: skip, one step behind
    return wanted;
}

void frame_pacer_presented(FramePacer& pacer, int64_t step, int64_t now_ns) {
    if (pacer.last_present_ns >= 0) {
        double interval = static_cast<double>(now_ns - pacer.last_present_ns) / 1e6;
        if (interval < FRAME_PACER_GAP_MS) {
            if (pacer.present_ms <= 0.0)
                pacer.present_ms = interval;
            else
                pacer.present_ms += INTERVAL_WEIGHT * (interval - pacer.present_ms);
        }
    }
    pacer.shown_step = step;
    pacer.last_present_ns = now_ns;
}
