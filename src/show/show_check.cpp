#include "show/show_check.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "show/beat.h"
#include "show/demo_rand.h"
#include "show/demo_state.h"
#include "show/frame.h"
#include "show/scene1_opening.h"
#include "show/scene2_bit_tunnel.h"
#include "show/scene3_sphere_greetings.h"
#include "show/scene4_flying_words.h"
#include "show/scene5_landscape.h"
#include "show/scene6_particle_finale.h"

namespace {

// One state record as the checks see it: its bytes, and the run of floats
// inside it (every record keeps its floats together and its members are all
// four bytes wide after any eight-byte ones, so it has no padding).
struct RecordView {
    const void* data;
    size_t size;
    size_t floats_at;   // offset of the first float
    size_t float_count; // floats from there on
};

// How many floats run from member offset `first` through member offset
// `last` (both floats).
constexpr size_t floats_through(size_t first, size_t last) {
    return (last - first) / sizeof(float) + 1;
}

// Every record the show keeps from step to step, in a fixed order.  The
// spark sets are walked separately: only some of their members are floats.
const RecordView RECORDS[] = {
    {&demo, sizeof demo, offsetof(DemoState, drift),
     floats_through(offsetof(DemoState, drift), offsetof(DemoState, end_pulse))},
    {&beat_counters, sizeof beat_counters, 0, 0},
    {&opening, sizeof opening, offsetof(OpeningState, intro_fade),
     floats_through(offsetof(OpeningState, intro_fade), offsetof(OpeningState, scroller_x))},
    {&bit_tunnel, sizeof bit_tunnel, 0, sizeof bit_tunnel / sizeof(float)},
    {&sphere_greetings, sizeof sphere_greetings, 0, sizeof sphere_greetings / sizeof(float)},
    {&flying_words, sizeof flying_words, offsetof(FlyingWordsState, banner_x), 1},
    {&landscape, sizeof landscape, 0, sizeof landscape / sizeof(float)},
    {&finale, sizeof finale, offsetof(FinaleState, flow_x),
     floats_through(offsetof(FinaleState, flow_x), offsetof(FinaleState, ring_angle_c))},
};

bool floats_finite(const RecordView& r) {
    const unsigned char* bytes = static_cast<const unsigned char*>(r.data) + r.floats_at;
    for (size_t i = 0; i < r.float_count; ++i) {
        float v;
        memcpy(&v, bytes + i * sizeof v, sizeof v);
        if (!std::isfinite(v)) return false;
    }
    return true;
}

bool sparks_finite(const Spark* set) {
    for (int i = 0; i < SPARK_COUNT; ++i) {
        const Spark& s = set[i];
        for (float v : {s.energy, s.decay, s.pos_x, s.pos_y, s.pos_z, s.vel_x, s.vel_y, s.vel_z})
            if (!std::isfinite(v)) return false;
    }
    return true;
}

void put_bytes(std::vector<uint8_t>& out, const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

void take_bytes(const uint8_t*& in, void* data, size_t size) {
    memcpy(data, in, size);
    in += size;
}

size_t state_size() {
    size_t size = sizeof frame_driver.next_step + sizeof(uint32_t) + sizeof finale_sparks;
    for (const RecordView& r : RECORDS)
        size += r.size;
    return size;
}

} // namespace

bool show_state_finite() {
    for (const RecordView& r : RECORDS)
        if (!floats_finite(r)) return false;
    return sparks_finite(finale_sparks.sparks_a) && sparks_finite(finale_sparks.sparks_b) &&
           sparks_finite(finale_sparks.sparks_c);
}

std::vector<uint8_t> show_state_bytes() {
    std::vector<uint8_t> out;
    put_bytes(out, &frame_driver.next_step, sizeof frame_driver.next_step);
    uint32_t rand_state = demo_rand_state();
    put_bytes(out, &rand_state, sizeof rand_state);
    for (const RecordView& r : RECORDS)
        put_bytes(out, r.data, r.size);
    put_bytes(out, &finale_sparks, sizeof finale_sparks);
    return out;
}

void show_state_reset() {
    demo = {};
    beat_counters = {};
    demo_rand_reset();
    opening = {};
    bit_tunnel = {};
    sphere_greetings = {};
    flying_words = {};
    landscape = {};
    finale = {};
}

bool show_state_restore(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != state_size()) return false;
    const uint8_t* in = bytes.data();
    take_bytes(in, &frame_driver.next_step, sizeof frame_driver.next_step);
    uint32_t rand_state;
    take_bytes(in, &rand_state, sizeof rand_state);
    demo_rand_set_state(rand_state);
    for (const RecordView& r : RECORDS)
        take_bytes(in, const_cast<void*>(r.data), r.size);
    take_bytes(in, &finale_sparks, sizeof finale_sparks);
    return true;
}
