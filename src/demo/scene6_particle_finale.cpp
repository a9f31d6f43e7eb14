#include "demo/scenes.h"
// Placeholder until the scene lands.
void run_particle_finale() {}
void particle_finale_reset() {}
