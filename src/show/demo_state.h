// Shared demo state: the plain globals that the frame driver, the beat
// callback and the scenes read and write.  Each keeps its value from frame to
// frame and from scene to scene; nothing resets them except where noted.
#pragma once

#include <cstdint>

// Song position of the current frame in whole milliseconds.  Written once per
// frame by render_frame, read by every scene.
extern double song_time_ms;

// Scene on screen, 1 to 6.  Written by the timeline in render_frame, read by
// beat_callback to decide which beat steps a note runs.
extern int32_t current_scene;

// Overlay bar layout: 1 near bars, 2 far bars, other values no bars.  Scenes
// 4, 5 and 6 store 2; nothing sets it back.
extern int32_t bar_mode;

// Slowly falling phase (initially 20).  Scenes 1 and 4 lower it by 0.01 per
// frame; the overlay tail uses it as the x of its last placement.
extern float drift;

// Rotation in degrees shared by scenes 1 to 6 (texture rocking, tunnels,
// spheres, star cards).  Each scene adds its own step.
extern float spin_angle;

// Flight position of scene 4's text (used halved); scene 1 reads it for the
// placement of its "{x}" text.
extern float glyph_x, glyph_y, glyph_z;

// Depth of the word logo plane (initially -6.1); scene 1 raises it.
extern float effect_z;

// Beat state, advanced by beat_callback on each note of instrument 2 and
// decayed or wrapped by the scenes that use it.
extern float beat_glow;        // greeting-line brightness (scene 1)
extern float beat_spin;        // spin of the three dots (scene 1)
extern float beat_scale;       // scale of the cube chain links (scene 1)
extern float beat_lift;        // z of the greeting line (scene 1)
extern int32_t picture_index;  // panel pictures, slots 5..10 (scene 2)
extern int32_t credit_index;   // credits picture, slots 37..42 (scene 5)
extern int32_t greet_index;    // greeting label, slots 43..52 (scene 3)
extern int32_t greet_beats;    // frames of scenes 1-2 plus notes of scene 3
extern int32_t scroller_index; // banner layer, slot 24 or 25 (scene 4)
extern int32_t end_beats;      // notes heard in scene 6 (reset by the timeline)
extern int32_t end_stage;      // stage of scene 6: 1, 2 or 4
extern float end_pulse;        // grey level of scene 6's tunnel

// Puts every value above back to its initial value.  Only tests and the
// frame harness call it, so that each run starts like a fresh process.
void demo_state_reset();
