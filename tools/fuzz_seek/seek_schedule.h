// Random schedules for the seek engine: a run of the show through the
// harness driven by a byte string (a fixed seed's random bytes in the
// suites, the fuzzer's input in its target).  The bytes pick, one after
// another: steps played, pieces of the map ahead (their length in steps, so
// a run is repeatable), seeks of every kind carried on in slices of random
// length with more keys arriving between them, paused single steps and
// --from starts.  After every step drawn the run notes the show's state
// checksum and picture; a straight run then checks every note.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What the schedules saw at every step drawn: the show's state checksum
// and its picture.
struct ScheduleSight {
    uint64_t state;
    std::vector<uint8_t> rgb;
};
struct ScheduleSights {
    std::map<int64_t, ScheduleSight> by_step;
};

// What a schedule did and the first fault found ("" when none).
struct ScheduleResult {
    int64_t operations = 0;
    int64_t landings = 0; // seeks that landed and were drawn
    int64_t max_step = 0; // the furthest step drawn
    std::string fault;
};

// A schedule of `size` random bytes from a fixed seed.
std::vector<uint8_t> seek_schedule_random(uint32_t seed, size_t size);

// Plays the schedule `bytes` (at most `max_operations`) at a w x h
// viewport, noting every step drawn in `sights`.  The harness must be free
// (not begun).
ScheduleResult seek_schedule_play(const std::vector<uint8_t>& bytes, int w, int h,
                                  int64_t max_operations, ScheduleSights* sights);

// One straight run through the furthest step seen: the first step whose
// state or picture differs ("" when none).  Counts the steps compared.
std::string seek_schedule_check(const ScheduleSights& sights, int w, int h, int64_t* compared);
