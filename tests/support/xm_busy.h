// Modules that keep a player busy: every channel plays random notes of
// instruments with looped, ping-pong and one-shot samples, volume and
// panning envelopes, and the effect column draws from the effects a player
// has to handle (slides, vibrato, offsets, retrigger, delays, jumps, tempo).
// Used by the module fuzz target's seeds and by tests that need a module
// exercising as much of the player as possible.
#pragma once

#include <cstdint>

#include "xm_writer.h"

// What a busy module looks like.
struct XmBusyLayout {
    uint32_t seed = 1;   // the same seed gives the same module
    int channels = 8;    // even, 2..32
    int patterns = 2;    // each played once per pass
    int rows = 32;       // per pattern
    int instruments = 4; // 1..16
    int speed = 4;       // ticks per row
    int tempo = 150;     // BPM
    bool linear_frequencies = true;
};

XmModule xm_busy_module(const XmBusyLayout& layout);
