// Shared demo state: the one record that the frame driver, the beat
// callback and the scenes read and write.  Each member keeps its value from
// step to step and from scene to scene; nothing resets them except where
// noted.  `demo = {}` puts every member back to its initial value (only tests
// and the frame harness do, so that each run starts like a fresh process).
#pragma once

#include <cstdint>

#include "assets/texture_set.h"

struct DemoState {
    // Song position of the current step in whole milliseconds.  Written once
    // per step by render_frame, read by every scene.
    double song_time_ms = 0.0;

    // Scene on screen, 1 to 6.  Written by the timeline in render_frame,
    // read by beat_callback to decide which beat steps a note runs.
    int32_t current_scene = 1;

    // Overlay bar layout: 1 near bars, 2 far bars, other values no bars.
    // Scenes 4, 5 and 6 store 2; nothing sets it back.
    int32_t bar_mode = 1;

    // Slowly falling phase.  Scenes 1 and 4 lower it by 0.01 per step; the
    // overlay tail uses it as the x of its last placement.
    float drift = 20.0f;

    // Rotation in degrees shared by scenes 1 to 6 (texture rocking, tunnels,
    // spheres, star cards).  Each scene adds its own step.
    float spin_angle = 0.0f;

    // Flight position of scene 4's text (used halved); scene 1 reads it for
    // the placement of its "{x}" text.
    float glyph_x = 10.0f, glyph_y = -6.0f, glyph_z = -20.0f;

    // Depth of the word logo plane; scene 1 raises it.
    float effect_z = -6.1f;

    // Beat state, advanced by beat_callback on each note of instrument 2 and
    // decayed or wrapped by the scenes that use it.  The floats come before
    // the counters, so that the record's floats lie in one run (show_check).
    float beat_glow = 1.0f;                    // greeting-line brightness (scene 1)
    float beat_spin = 0.0f;                    // spin of the three dots (scene 1)
    float beat_scale = 0.75f;                  // scale of the cube chain links (scene 1)
    float beat_lift = -1.5f;                   // z of the greeting line (scene 1)
    float end_pulse = 0.15f;                   // grey level of scene 6's tunnel
    int32_t picture_index = SLOT_PICTURE_1;    // panel pictures, SLOT_PICTURE_1..6 (scene 2)
    int32_t credit_index = SLOT_CODE;          // credits picture, SLOT_CODE..SLOT_ADD3 (scene 5)
    int32_t greet_index = SLOT_GREETZ1;        // greeting label, SLOT_GREETZ1..10 (scene 3)
    int32_t greet_beats = 0;                   // steps of scenes 1-2 plus notes of scene 3
    int32_t scroller_index = SLOT_S4_SCROLLER; // banner layer, SLOT_S4_SCROLLER or 2 (scene 4)
    int32_t end_beats = 1;                     // notes heard in scene 6 (reset by the timeline)
    int32_t end_stage = 1;                     // stage of scene 6: 1, 2 or 4
};

extern DemoState demo;
