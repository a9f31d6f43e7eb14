// Private state of the sphere greetings scene (scene3_sphere_greetings.cpp),
// visible to the tests and the frame harness.  Only run_sphere_greetings
// changes these values (and sphere_greetings_reset puts them back).
#pragma once

constexpr int STRIPE_COUNT = 9;

// The sphere cluster is scaled by sphere_zoom + 10; sphere_zoom (initially
// 1.0) grows 0.1 per frame while greet_beats is at least 10.
extern float sphere_zoom;

// Heights (y) of the nine stripes of the scrolling column, 0.205 apart from
// 1.0 up; each falls 0.005 per frame and restarts at 1.0 once at or below
// -0.825.
extern float stripe_heights[STRIPE_COUNT];
