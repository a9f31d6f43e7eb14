#include "fx/effects.h"
// Placeholder until the effect primitives land.
void draw_textured_cube() {}
