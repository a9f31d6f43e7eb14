// The beat callback: each note of instrument 2 advances the beat state of
// the demo state (demo_state.h) according to the scene on screen.
#pragma once

#include <cstdint>

struct SndSong;

constexpr int BEAT_INSTRUMENT = 2;

void beat_callback(SndSong* song, int param);

// The callback's own note counters, carried from note to note; only
// beat_callback writes them (`beat_counters = {}` puts them back for tests
// and the harness).
struct BeatCounters {
    // Notes since beat_lift last peaked.
    int32_t tenth_note_count = 0;
    // Notes heard in scenes 3, 4 and 6 since end_pulse last peaked, carried
    // over between those scenes.
    int32_t fourth_note_count = 0;
};
extern BeatCounters beat_counters;
