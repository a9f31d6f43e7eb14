// vintermoot-bench --seek: how long a seek takes to its first picture.
#pragma once

#include <cstdint>

// Maps the whole show ahead (seek_map_run in pieces of the player's size, timed), then
// runs `finale_seeks` seeks from the start into the finale and `seeks`
// seeks to random steps (a fixed seed) through the frame harness at
// width x height, timing each from the seek to the target step's picture
// finished by GL, and prints p50, p95 and max by kind: back into the part
// played, elsewhere in it, from the start into the finale, and into parts
// never played; and the memory kept for seeking.  False when the harness
// cannot start.
bool bench_seek_run(int width, int height, int seeks, int finale_seeks, uint32_t seed);
