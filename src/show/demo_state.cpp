#include "show/demo_state.h"

// The show's shared state; see demo_state.h for who writes each member.
DemoState demo;
