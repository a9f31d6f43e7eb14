#include "demo/scenes.h"
// Placeholder until the scene lands.
void run_flying_words() {}
void flying_words_reset() {}
