// vintermoot-bench --seek: how long a seek takes to its first picture.
#pragma once

#include <cstdint>

// Runs `seeks` seeks to random steps (a fixed seed) through the frame
// harness at width x height, timing each from the seek to the target
// step's picture finished by GL, and prints p50, p95 and max by kind: back
// into the part already played, forward, and from a fresh start straight
// into the finale (`finale_seeks` of those); and the memory kept for
// seeking.  False when the harness cannot start.
bool bench_seek_run(int width, int height, int seeks, int finale_seeks, uint32_t seed);
