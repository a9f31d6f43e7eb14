// State of the opening scene (scene1_opening.cpp), one record visible to the
// tests and the frame harness.  Only run_opening_scene changes it; its
// members keep their values from step to step and after the scene ends.
// `opening = {}` puts them back.
#pragma once

#include <cstdint>

// The greeting line that scrolls across the screen from 30 s: 60 printable
// characters announcing the demo and the party, without any '%'.
extern const char GREETING_LINE[];

struct OpeningState {
    // Where the cube chain starts and how its links scale: 1 (low start,
    // links pulse with beat_scale) until 25 s, then 2 (high start, links
    // fixed at 0.75).
    int32_t chain_layout = 1;
    // 1 while the background picture fades in (before 20 s), then 2 (fade
    // out).
    int32_t intro_phase = 1;
    // Alpha of the background picture: +0.001 per step in phase 1, -0.001
    // per step in phase 2, never clamped.
    float intro_fade = 0.0f;
    // Alpha of the word logo: +0.001 per step in phase 2, never clamped.
    float logo_alpha = 1.0f;
    // Phase of the background's rocking, +0.05 per step in phase 1; its
    // cosine becomes the per-step rotation of the texture matrix.
    float wobble_phase = 0.0f;
    // x of the greeting line; 25 until the line first shows, then
    // 35 - t/1500 of the previous step.
    float scroller_x = 25.0f;
};

extern OpeningState opening;
