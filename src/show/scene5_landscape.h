// State of the landscape scene (scene5_landscape.cpp), one record visible
// to the tests and the frame harness.  Only run_landscape changes it; none
// of it is reset during a show.  `landscape = {}` puts it back.
#pragma once

struct LandscapeState {
    // x of both message lines; every step lowers it by song_time_ms / 5000000.
    float message_x = 60.0f;
    // z of the water plane and the tree plane; -0.01 per step.
    float water_z = -3.0f;
    // x of the flying saucer; +0.3 per step.
    float ufo_x = -40.0f;
};

extern LandscapeState landscape;

// The two lines scrolling across the top, each printed whole in one call:
// the authors' note (254 characters) and the thanks and greetings to the
// party (255 characters, the printer's whole buffer).
extern const char UPPER_MESSAGE[];
extern const char LOWER_MESSAGE[];
