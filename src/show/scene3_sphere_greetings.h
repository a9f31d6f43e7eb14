// State of the sphere greetings scene (scene3_sphere_greetings.cpp), one
// record visible to the tests and the frame harness.  Only
// run_sphere_greetings changes it; `sphere_greetings = {}` puts it back.
#pragma once

constexpr int STRIPE_COUNT = 9;

struct SphereGreetingsState {
    // The sphere cluster is scaled by sphere_zoom + 10; sphere_zoom grows
    // 0.1 per step while greet_beats is at least 10.
    float sphere_zoom = 1.0f;
    // Heights (y) of the nine stripes of the scrolling column, 0.205 apart
    // from 1.0 up; each falls 0.005 per step and restarts at 1.0 once at or
    // below -0.825.
    float stripe_heights[STRIPE_COUNT] = {1.0f,   1.205f, 1.41f,  1.615f, 1.82f,
                                          2.025f, 2.23f,  2.435f, 2.64f};
};

extern SphereGreetingsState sphere_greetings;
