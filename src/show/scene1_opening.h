// Private state of the opening scene (scene1_opening.cpp), visible to the
// tests and the frame harness.  Only run_opening_scene changes these values
// (and opening_scene_reset puts them back); they keep their values from frame
// to frame and after the scene ends.
#pragma once

#include <cstdint>

// The greeting line that scrolls across the screen from 30 s: 60 printable
// characters announcing the demo and the party, without any '%'.
extern const char GREETING_LINE[];

// Where the cube chain starts and how its links scale: 1 (low start, links
// pulse with beat_scale) until 25 s, then 2 (high start, links fixed at 0.75).
extern int32_t chain_layout;

// 1 while the background picture fades in (before 20 s), then 2 (fade out).
extern int32_t intro_phase;

// Alpha of the background picture: +0.001 per frame in phase 1, -0.001 per
// frame in phase 2, never clamped.
extern float intro_fade;

// Alpha of the word logo: +0.001 per frame in phase 2, never clamped.
extern float logo_alpha;

// Phase of the background's rocking, +0.05 per frame in phase 1; its cosine
// becomes the per-frame rotation of the texture matrix.
extern float wobble_phase;

// x of the greeting line; 25 until the line first shows, then 35 - t/1500
// of the previous frame.
extern float scroller_x;
