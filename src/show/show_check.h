// Checks over the whole show's state, for long runs and tests: every float
// the scenes keep from frame to frame must stay finite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// True when every kept float of the frame driver, the beat state, the six
// scenes and the spark sets is finite.
bool show_state_finite();

// Every piece of state the show keeps from step to step, as bytes: the frame
// driver's step, the shared demo and beat state, the six scenes' state, the
// spark sets and the position in the demo_rand sequence.  Two runs that
// compare equal here continue identically.
std::vector<uint8_t> show_state_bytes();

// A 64-bit checksum of those bytes (XXH64, seed 0), taken without copying
// them: cheap enough to take after every step, so that a live run can be
// compared step by step with a straight one.  Printed as 16 lowercase hex
// digits (SHOW_HASH_FORMAT).
uint64_t show_state_hash();

// XXH64 (seed 0) of `size` bytes: the checksum show_state_hash takes.
uint64_t show_hash_bytes(const void* data, size_t size);

// printf format of a checksum as 16 lowercase hex digits (the value as
// unsigned long long).
#define SHOW_HASH_FORMAT "%016llx"

// Every piece of that state back to what a fresh process has (the frame
// driver and the pacer are reset by their users).
void show_state_reset();

// Puts back state that show_state_bytes gave (the same walk, written
// instead of read).  False, changing nothing, when the size does not match.
bool show_state_restore(const std::vector<uint8_t>& bytes);
