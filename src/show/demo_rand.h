// The show's one pseudo-random source: LCG state * 214013 + 2531011, output
// bits 16..30.  Seeded with 1, never reseeded during a show (demo_rand_reset
// is for tests and the harness only).  Drawn by the finale's spark seeding
// at start-up and by its respawns.
#pragma once

#include <cstdint>

int demo_rand();
void demo_rand_reset();
// The generator's raw 32-bit state (tests check where start-up leaves it).
uint32_t demo_rand_state();
// Puts the generator at a raw state demo_rand_state gave (seeking).
void demo_rand_set_state(uint32_t state);
