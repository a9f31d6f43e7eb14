#include "show/beat.h"

#include "assets/texture_set.h"
#include "show/demo_state.h"

// The sound layer delivers note events on the main thread from inside the
// clock read (snd_get_time, called by render_frame), so the beat state is
// plain globals written by one thread only.

BeatCounters beat_counters;

namespace {

constexpr int32_t GREET_FIRST = SLOT_GREETZ1;
constexpr int32_t GREET_LAST = SLOT_GREETZ10;
constexpr int32_t SCROLLER_FIRST = SLOT_S4_SCROLLER;
constexpr int32_t SCROLLER_LAST = SLOT_S4_SCROLLER2;
constexpr int32_t LIFT_EVERY = 10;
constexpr int32_t PULSE_EVERY = 4;
constexpr float LIFT_PEAK = -1.3f;

void greeting_step() {
    demo.greet_index += 1;
    if (demo.greet_index > GREET_LAST) demo.greet_index = GREET_FIRST;
    demo.greet_beats += 1;
}

void scroller_step() {
    demo.scroller_index += 1;
    if (demo.scroller_index > SCROLLER_LAST) demo.scroller_index = SCROLLER_FIRST;
}

void ending_step() {
    demo.end_beats += 1;
    beat_counters.fourth_note_count += 1;
    if (beat_counters.fourth_note_count >= PULSE_EVERY) {
        demo.end_pulse = 1.0f;
        beat_counters.fourth_note_count = 0;
    }
}

// The scene-dependent steps; a scene runs the list from its own first step
// to the end.
void (*const SCENE_STEPS[])() = {greeting_step, scroller_step, ending_step};
constexpr int STEP_COUNT = 3;

// First step of each scene (index = scene); STEP_COUNT means none.
const int FIRST_STEP_OF_SCENE[7] = {STEP_COUNT, STEP_COUNT, STEP_COUNT, 0, 1, STEP_COUNT, 2};

int first_step(int32_t scene) {
    if (scene < 0 || scene > 6) return STEP_COUNT;
    return FIRST_STEP_OF_SCENE[scene];
}

} // namespace

void beat_callback(SndSong*, int) {
    demo.beat_glow += 1.0f;
    demo.beat_spin += 10.0f;
    demo.picture_index += 1;
    beat_counters.tenth_note_count += 1;
    demo.credit_index += 1;
    demo.beat_scale = 1.0f;
    if (beat_counters.tenth_note_count >= LIFT_EVERY) {
        demo.beat_lift = LIFT_PEAK;
        beat_counters.tenth_note_count = 0;
    }
    for (int step = first_step(demo.current_scene); step < STEP_COUNT; ++step)
        SCENE_STEPS[step]();
}
