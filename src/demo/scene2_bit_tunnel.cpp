#include "demo/scenes.h"
// Placeholder until the scene lands.
void run_bit_tunnel() {}
void bit_tunnel_reset() {}
