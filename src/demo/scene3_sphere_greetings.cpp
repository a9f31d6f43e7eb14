#include "demo/scenes.h"
// Placeholder until the scene lands.
void run_sphere_greetings() {}
void sphere_greetings_reset() {}
