#include "show/show_check.h"

#include <algorithm>
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

// Hands every piece of the kept state, in its fixed order, to `take`.
template <typename Take> void walk_state(Take take) {
    take(&frame_driver.next_step, sizeof frame_driver.next_step);
    uint32_t rand_state = demo_rand_state();
    take(&rand_state, sizeof rand_state);
    for (const RecordView& r : RECORDS)
        take(r.data, r.size);
    take(&finale_sparks, sizeof finale_sparks);
}

// XXH64 taken over pieces: four lanes over 32-byte stripes, the bytes of
// an unfinished stripe kept until the next piece.
constexpr uint64_t XXH_P1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t XXH_P2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t XXH_P3 = 0x165667B19E3779F9ull;
constexpr uint64_t XXH_P4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t XXH_P5 = 0x27D4EB2F165667C5ull;
constexpr size_t XXH_STRIPE = 32;

struct HashRun {
    uint64_t lanes[4] = {XXH_P1 + XXH_P2, XXH_P2, 0, 0 - XXH_P1};
    uint8_t pending[XXH_STRIPE] = {};
    size_t pending_size = 0;
    uint64_t total = 0;
};

uint64_t rotl(uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

uint64_t read64(const uint8_t* p) {
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return v; // the show runs on little-endian machines only
}

uint64_t xxh_round(uint64_t acc, uint64_t input) {
    return rotl(acc + input * XXH_P2, 31) * XXH_P1;
}

uint64_t xxh_merge(uint64_t acc, uint64_t lane) {
    return (acc ^ xxh_round(0, lane)) * XXH_P1 + XXH_P4;
}

void hash_stripe(HashRun& h, const uint8_t* p) {
    for (int i = 0; i < 4; ++i)
        h.lanes[i] = xxh_round(h.lanes[i], read64(p + 8 * i));
}

void hash_take(HashRun& h, const void* data, size_t size) {
    if (size == 0) return;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    h.total += size;
    if (h.pending_size > 0) {
        size_t fill = std::min(size, XXH_STRIPE - h.pending_size);
        memcpy(h.pending + h.pending_size, p, fill);
        h.pending_size += fill;
        p += fill;
        size -= fill;
        if (h.pending_size < XXH_STRIPE) return;
        hash_stripe(h, h.pending);
        h.pending_size = 0;
    }
    for (; size >= XXH_STRIPE; p += XXH_STRIPE, size -= XXH_STRIPE)
        hash_stripe(h, p);
    memcpy(h.pending, p, size);
    h.pending_size = size;
}

uint64_t hash_end(const HashRun& h) {
    uint64_t acc;
    if (h.total >= XXH_STRIPE) {
        const uint64_t* v = h.lanes;
        acc = rotl(v[0], 1) + rotl(v[1], 7) + rotl(v[2], 12) + rotl(v[3], 18);
        for (uint64_t lane : h.lanes)
            acc = xxh_merge(acc, lane);
    } else {
        acc = XXH_P5;
    }
    acc += h.total;
    const uint8_t* p = h.pending;
    size_t left = h.pending_size;
    for (; left >= 8; p += 8, left -= 8)
        acc = rotl(acc ^ xxh_round(0, read64(p)), 27) * XXH_P1 + XXH_P4;
    if (left >= 4) {
        uint32_t word;
        memcpy(&word, p, sizeof word);
        acc = rotl(acc ^ (word * XXH_P1), 23) * XXH_P2 + XXH_P3;
        p += 4;
        left -= 4;
    }
    for (; left > 0; ++p, --left)
        acc = rotl(acc ^ (*p * XXH_P5), 11) * XXH_P1;
    acc ^= acc >> 33;
    acc *= XXH_P2;
    acc ^= acc >> 29;
    acc *= XXH_P3;
    return acc ^ (acc >> 32);
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
    out.reserve(state_size());
    walk_state([&out](const void* data, size_t size) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        out.insert(out.end(), bytes, bytes + size);
    });
    return out;
}

uint64_t show_state_hash() {
    HashRun h;
    walk_state([&h](const void* data, size_t size) { hash_take(h, data, size); });
    return hash_end(h);
}

uint64_t show_hash_bytes(const void* data, size_t size) {
    HashRun h;
    hash_take(h, data, size);
    return hash_end(h);
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
