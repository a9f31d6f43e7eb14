// The beat callback: each note of instrument 2 advances the beat state of
// demo_state.h according to the scene on screen.
#pragma once

struct SndSong;

constexpr int BEAT_INSTRUMENT = 2;

void beat_callback(SndSong* song, int param);

// Puts the callback's private note counters back to 0 (tests, harness).
void beat_reset();
