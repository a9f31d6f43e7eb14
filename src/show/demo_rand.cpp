#include "show/demo_rand.h"

namespace {

// The generator's state; advanced only by demo_rand, put back by
// demo_rand_reset.
struct DemoRand {
    uint32_t state = 1;
};
DemoRand rand_sequence;

constexpr uint32_t RAND_MULTIPLIER = 214013u;
constexpr uint32_t RAND_INCREMENT = 2531011u;

} // namespace

int demo_rand() {
    rand_sequence.state = rand_sequence.state * RAND_MULTIPLIER + RAND_INCREMENT;
    return static_cast<int>((rand_sequence.state >> 16) & 0x7FFFu);
}

void demo_rand_reset() {
    rand_sequence = {};
}

uint32_t demo_rand_state() {
    return rand_sequence.state;
}

void demo_rand_set_state(uint32_t state) {
    rand_sequence.state = state;
}
