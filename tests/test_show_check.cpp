// The long-run check finds a non-finite value wherever the show keeps one;
// the state checksum sees every kept byte and is the same over equal runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "gfx/render_state.h"
#include "harness/harness.h"
#include "show/beat.h"
#include "show/demo_state.h"
#include "show/frame.h"
#include "show/scene1_opening.h"
#include "show/scene4_flying_words.h"
#include "show/scene2_bit_tunnel.h"
#include "show/scene3_sphere_greetings.h"
#include "show/scene5_landscape.h"
#include "show/demo_rand.h"
#include "show/scene6_particle_finale.h"
#include "show/scenes.h"
#include "show/show_check.h"
#include "show_test_data.h"
#include "support/test_support.h"

namespace {

struct ShowCheck : ::testing::Test {
    void SetUp() override {
        demo = {};
        bit_tunnel = {};
        sphere_greetings = {};
        landscape = {};
        finale = {};
        demo_rand_reset();
        finale_sparks_seed();
    }
};

TEST_F(ShowCheck, FreshStateIsFinite) {
    EXPECT_TRUE(show_state_finite());
}

TEST_F(ShowCheck, FindsANonFiniteValueInEveryKindOfState) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    float* places[] = {&demo.spin_angle,
                       &demo.beat_lift,
                       &bit_tunnel.bit_heights[5],
                       &sphere_greetings.stripe_heights[8],
                       &landscape.message_x,
                       &finale.flow_z,
                       &finale_sparks.sparks_a[0].pos_x,
                       &finale_sparks.sparks_c[4999].vel_z,
                       &finale_sparks.sparks_b[2500].energy};
    for (float* place : places) {
        float kept = *place;
        *place = nan;
        EXPECT_FALSE(show_state_finite());
        *place = -inf;
        EXPECT_FALSE(show_state_finite());
        *place = kept;
        EXPECT_TRUE(show_state_finite());
    }
}

TEST(ShowHash, IsXxh64) {
    // Values of the reference tool (xxhsum -H64); the bytes of the longer
    // inputs are (7 i + 3) mod 256.
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    EXPECT_EQ(show_hash_bytes(nullptr, 0), 0xef46db3751d8e999ull);
    EXPECT_EQ(show_hash_bytes("abc", 3), 0x44bc2cf5ad770999ull);
    EXPECT_EQ(show_hash_bytes(bytes.data(), 45), 0x86faee00897c4b41ull);
    EXPECT_EQ(show_hash_bytes(bytes.data(), 1000), 0x5f235fa033f1a3fbull);
}

TEST_F(ShowCheck, HashSeesEveryRecordAndEqualsTheBytesHash) {
    struct Place {
        void* data;
        size_t size;
    };
    const Place places[] = {{&frame_driver.next_step, sizeof frame_driver.next_step},
                            {&demo, sizeof demo},
                            {&beat_counters, sizeof beat_counters},
                            {&opening, sizeof opening},
                            {&bit_tunnel, sizeof bit_tunnel},
                            {&sphere_greetings, sizeof sphere_greetings},
                            {&flying_words, sizeof flying_words},
                            {&landscape, sizeof landscape},
                            {&finale, sizeof finale},
                            {&finale_sparks, sizeof finale_sparks}};
    const std::vector<uint8_t> kept = show_state_bytes();
    const uint64_t hash = show_state_hash();
    EXPECT_EQ(hash, show_hash_bytes(kept.data(), kept.size()));
    for (const Place& place : places)
        for (size_t at : {size_t{0}, place.size - 1}) {
            uint8_t* byte = static_cast<uint8_t*>(place.data) + at;
            *byte ^= 1;
            std::vector<uint8_t> changed = show_state_bytes();
            EXPECT_NE(show_state_hash(), hash) << "byte " << at << " of " << place.size;
            EXPECT_EQ(show_state_hash(), show_hash_bytes(changed.data(), changed.size()));
            *byte ^= 1;
            EXPECT_EQ(show_state_hash(), hash);
        }
    demo_rand_set_state(demo_rand_state() ^ 1);
    EXPECT_NE(show_state_hash(), hash);
    ASSERT_TRUE(show_state_restore(kept));
    EXPECT_EQ(show_state_hash(), hash);
}

// Every step's checksum of a run, at a frame size, drawn at full size
// every `drawn_every` steps (the others cheaply).
std::vector<uint64_t> run_hashes(int width, int height, int drawn_every) {
    std::vector<uint64_t> hashes;
    EXPECT_EQ(harness_begin(width, height, FRAME_STEP_RATE), HARNESS_OK);
    for (int64_t n = 0; n < 240; ++n) {
        harness_step(n % drawn_every == 0);
        hashes.push_back(show_state_hash());
    }
    harness_end();
    return hashes;
}

TEST(ShowHash, EqualRunsHashAlikeWhateverIsDrawn) {
    std::string dir = temp_dir_make("show_hash");
    ASSERT_TRUE(show_test_data_write(dir));
    WorkingDirGuard guard = working_dir_enter(dir);
    std::vector<uint64_t> straight = run_hashes(64, 48, 1000);
    EXPECT_EQ(run_hashes(160, 120, 1), straight);
    EXPECT_EQ(run_hashes(64, 48, 7), straight);
    working_dir_leave(guard);
    temp_dir_remove(dir);
}

} // namespace
