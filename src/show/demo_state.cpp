#include "show/demo_state.h"

double song_time_ms = 0.0;
int32_t current_scene = 1;
int32_t bar_mode = 1;
float drift = 20.0f;
float spin_angle = 0.0f;
float glyph_x = 10.0f, glyph_y = -6.0f, glyph_z = -20.0f;
float effect_z = -6.1f;

float beat_glow = 1.0f;
float beat_spin = 0.0f;
float beat_scale = 0.75f;
float beat_lift = -1.5f;
int32_t picture_index = 5;
int32_t credit_index = 37;
int32_t greet_index = 43;
int32_t greet_beats = 0;
int32_t scroller_index = 24;
int32_t end_beats = 1;
int32_t end_stage = 1;
float end_pulse = 0.15f;

void demo_state_reset() {
    song_time_ms = 0.0;
    current_scene = 1;
    bar_mode = 1;
    drift = 20.0f;
    spin_angle = 0.0f;
    glyph_x = 10.0f;
    glyph_y = -6.0f;
    glyph_z = -20.0f;
    effect_z = -6.1f;
    beat_glow = 1.0f;
    beat_spin = 0.0f;
    beat_scale = 0.75f;
    beat_lift = -1.5f;
    picture_index = 5;
    credit_index = 37;
    greet_index = 43;
    greet_beats = 0;
    scroller_index = 24;
    end_beats = 1;
    end_stage = 1;
    end_pulse = 0.15f;
}
