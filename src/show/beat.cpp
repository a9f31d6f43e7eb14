#include "show/beat.h"

#include "show/demo_state.h"

// The sound layer delivers note events on the main thread from inside the
// clock read (snd_get_time, called by render_frame), so the beat state is
// plain globals written by one thread only.

namespace {

// Notes since beat_lift last peaked; private to the callback.
int32_t tenth_note_count = 0;
// Notes heard in scenes 3, 4 and 6 since end_pulse last peaked; private to
// the callback, carried over between those scenes.
int32_t fourth_note_count = 0;

constexpr int32_t GREET_FIRST = 43;
constexpr int32_t GREET_LAST = 52;
constexpr int32_t SCROLLER_FIRST = 24;
constexpr int32_t SCROLLER_LAST = 25;
constexpr int32_t LIFT_EVERY = 10;
constexpr int32_t PULSE_EVERY = 4;
constexpr float LIFT_PEAK = -1.3f;

void greeting_step() {
    greet_index += 1;
    if (greet_index > GREET_LAST) greet_index = GREET_FIRST;
    greet_beats += 1;
}

void scroller_step() {
    scroller_index += 1;
    if (scroller_index > SCROLLER_LAST) scroller_index = SCROLLER_FIRST;
}

void ending_step() {
    end_beats += 1;
    fourth_note_count += 1;
    if (fourth_note_count >= PULSE_EVERY) {
        end_pulse = 1.0f;
        fourth_note_count = 0;
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
    beat_glow += 1.0f;
    beat_spin += 10.0f;
    picture_index += 1;
    tenth_note_count += 1;
    credit_index += 1;
    beat_scale = 1.0f;
    if (tenth_note_count >= LIFT_EVERY) {
        beat_lift = LIFT_PEAK;
        tenth_note_count = 0;
    }
    for (int step = first_step(current_scene); step < STEP_COUNT; ++step)
        SCENE_STEPS[step]();
}

void beat_reset() {
    tenth_note_count = 0;
    fourth_note_count = 0;
}
