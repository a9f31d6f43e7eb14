#include "fx/effects.h"
// Placeholder until the effect primitives land.
void draw_bit_tile(int) {}
void draw_panel() {}
void draw_stripe() {}
