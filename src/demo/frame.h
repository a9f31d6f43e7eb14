// The frame driver: reads the song clock, applies the timeline, runs the
// current scene and draws the overlay bars.
#pragma once

struct SndSong;

// The playing song, stored by the entry point (or the harness) and read by
// render_frame for the clock and the callback registration.
extern SndSong* song_module;

// Draws one frame; always returns true.
bool render_frame();
