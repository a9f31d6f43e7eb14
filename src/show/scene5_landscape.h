// Private state of the landscape scene (scene5_landscape.cpp), visible to the
// tests and the frame harness.  Only run_landscape changes these values (and
// landscape_reset puts them back); none is reset during a show.
#pragma once

// x of both message lines, initially 60; every frame lowers it by
// song_time_ms / 5000000.
extern float message_x;

// z of the water plane and the tree plane, initially -3; -0.01 per frame.
extern float water_z;

// x of the flying saucer, initially -40; +0.3 per frame.
extern float ufo_x;

// The two lines scrolling across the top, each printed whole in one call:
// the authors' note (254 characters) and the thanks and greetings to the
// party (255 characters, the printer's whole buffer).
extern const char UPPER_MESSAGE[];
extern const char LOWER_MESSAGE[];
