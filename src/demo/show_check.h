// Checks over the whole show's state, for long runs and tests: every float
// the scenes keep from frame to frame must stay finite.
#pragma once

// True when every kept float of the frame driver, the beat state, the six
// scenes and the spark sets is finite.
bool show_state_finite();
