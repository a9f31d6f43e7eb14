#include "demo/scenes.h"
// Placeholder until the scene lands.
void run_landscape() {}
void landscape_reset() {}
