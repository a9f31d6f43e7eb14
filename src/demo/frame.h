// The frame driver: reads the song clock, applies the timeline, runs the
// current scene and draws the overlay bars.
#pragma once

#include <cstdint>

struct SndSong;

// The playing song, stored by the entry point (or the harness) and read by
// render_frame for the clock and the callback registration.
extern SndSong* song_module;

// Draws one frame; always returns true.
bool render_frame();

// The timeline: sets current_scene from the song time t (ms) and resets
// end_beats and end_stage in 260000..260009.  Times outside 0..299999 leave
// current_scene as it is.  render_frame calls it once per frame.
void apply_timeline(double t);

// Where render_frame reads the song time.  By default the sound layer's clock
// of song_module (which also delivers the due note events); the harness and
// tests may point it at a fixed clock and must put back frame_clock_song.
typedef int64_t (*FrameClock)();
extern FrameClock frame_clock;
int64_t frame_clock_song();
