#include "demo/scenes.h"
// Placeholder until the scene lands.
void run_opening_scene() {}
void opening_scene_reset() {}
