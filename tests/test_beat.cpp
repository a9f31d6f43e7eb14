#include <gtest/gtest.h>

#include "show/beat.h"
#include "show/demo_state.h"

namespace {

// Every value a note may touch, to compare before and after.
struct BeatValues {
    float glow, spin, scale, lift;
    int32_t picture, credit, greet, greet_beats, scroller, end_beats;
    float pulse;
};

BeatValues snapshot() {
    return {demo.beat_glow,      demo.beat_spin,    demo.beat_scale,  demo.beat_lift,
            demo.picture_index,  demo.credit_index, demo.greet_index, demo.greet_beats,
            demo.scroller_index, demo.end_beats,    demo.end_pulse};
}

void fresh_state(int32_t scene) {
    demo = {};
    beat_counters = {};
    demo.current_scene = scene;
}

void note() {
    beat_callback(nullptr, 0);
}

// Checks the values every note changes, whatever the scene, after one note.
void expect_common_steps(const BeatValues& before, const BeatValues& after) {
    EXPECT_FLOAT_EQ(after.glow, before.glow + 1.0f);
    EXPECT_FLOAT_EQ(after.spin, before.spin + 10.0f);
    EXPECT_FLOAT_EQ(after.scale, 1.0f);
    EXPECT_EQ(after.picture, before.picture + 1);
    EXPECT_EQ(after.credit, before.credit + 1);
    EXPECT_FLOAT_EQ(after.lift, before.lift); // only the tenth note lifts
}

} // namespace

TEST(BeatCallback, ScenesOneTwoFiveChangeOnlyTheCommonValues) {
    for (int32_t scene : {1, 2, 5}) {
        SCOPED_TRACE(scene);
        fresh_state(scene);
        BeatValues before = snapshot();
        note();
        BeatValues after = snapshot();
        expect_common_steps(before, after);
        EXPECT_EQ(after.greet, before.greet);
        EXPECT_EQ(after.greet_beats, before.greet_beats);
        EXPECT_EQ(after.scroller, before.scroller);
        EXPECT_EQ(after.end_beats, before.end_beats);
    }
}

TEST(BeatCallback, SceneThreeRunsGreetingScrollerAndEndingSteps) {
    fresh_state(3);
    BeatValues before = snapshot();
    note();
    BeatValues after = snapshot();
    expect_common_steps(before, after);
    EXPECT_EQ(after.greet, 44);
    EXPECT_EQ(after.greet_beats, 1);
    EXPECT_EQ(after.scroller, 25);
    EXPECT_EQ(after.end_beats, 2);
}

TEST(BeatCallback, SceneFourRunsScrollerAndEndingSteps) {
    fresh_state(4);
    BeatValues before = snapshot();
    note();
    BeatValues after = snapshot();
    expect_common_steps(before, after);
    EXPECT_EQ(after.greet, before.greet);
    EXPECT_EQ(after.greet_beats, before.greet_beats);
    EXPECT_EQ(after.scroller, 25);
    EXPECT_EQ(after.end_beats, 2);
}

TEST(BeatCallback, SceneSixRunsOnlyTheEndingStep) {
    fresh_state(6);
    BeatValues before = snapshot();
    note();
    BeatValues after = snapshot();
    expect_common_steps(before, after);
    EXPECT_EQ(after.greet, before.greet);
    EXPECT_EQ(after.scroller, before.scroller);
    EXPECT_EQ(after.end_beats, 2);
}

TEST(BeatCallback, OutOfRangeSceneRunsNoSceneStep) {
    for (int32_t scene : {0, 7, -3, 1000}) {
        fresh_state(scene);
        BeatValues before = snapshot();
        note();
        BeatValues after = snapshot();
        expect_common_steps(before, after);
        EXPECT_EQ(after.greet, before.greet);
        EXPECT_EQ(after.scroller, before.scroller);
        EXPECT_EQ(after.end_beats, before.end_beats);
    }
}

TEST(BeatCallback, IndicesWrap) {
    fresh_state(3);
    demo.greet_index = 52;
    note();
    EXPECT_EQ(demo.greet_index, 43);
    std::vector<int32_t> seen;
    for (int i = 0; i < 11; ++i) {
        note();
        seen.push_back(demo.greet_index);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{44, 45, 46, 47, 48, 49, 50, 51, 52, 43, 44}));

    fresh_state(4);
    demo.scroller_index = 25;
    note();
    EXPECT_EQ(demo.scroller_index, 24);
    note();
    EXPECT_EQ(demo.scroller_index, 25);
    note();
    EXPECT_EQ(demo.scroller_index, 24);
}

TEST(BeatCallback, EveryTenthNoteLifts) {
    fresh_state(1);
    for (int i = 1; i <= 30; ++i) {
        demo.beat_lift = -1.5f; // the scene's decay brings it back between notes
        note();
        bool tenth = i % 10 == 0;
        EXPECT_FLOAT_EQ(demo.beat_lift, tenth ? -1.3f : -1.5f) << "note " << i;
    }
}

TEST(BeatCallback, TenthNoteCountRunsAcrossScenes) {
    fresh_state(2);
    for (int i = 0; i < 9; ++i)
        note();
    demo.current_scene = 5;
    note();
    EXPECT_FLOAT_EQ(demo.beat_lift, -1.3f);
}

TEST(BeatCallback, EveryFourthNoteOfScenesThreeFourSixPulses) {
    fresh_state(3);
    std::vector<int> pulses;
    // Notes in scenes 3, 4 (and 1, 5 in between, which do not count), then 6.
    const int32_t scenes[] = {3, 3, 1, 4, 4, 5, 4, 6, 6, 6, 6, 2, 6};
    int counted = 0;
    for (int32_t scene : scenes) {
        demo.current_scene = scene;
        demo.end_pulse = 0.15f;
        note();
        if (scene == 3 || scene == 4 || scene == 6) ++counted;
        if (demo.end_pulse == 1.0f) pulses.push_back(counted);
    }
    EXPECT_EQ(pulses, (std::vector<int>{4, 8}));
}

TEST(BeatCallback, ResetRestartsThePrivateCounters) {
    fresh_state(6);
    for (int i = 0; i < 9; ++i)
        note(); // tenth count 9, fourth count 1
    beat_counters = {};
    demo.beat_lift = -1.5f;
    demo.end_pulse = 0.15f;
    for (int i = 0; i < 3; ++i)
        note();
    EXPECT_FLOAT_EQ(demo.end_pulse, 0.15f);
    note();
    EXPECT_FLOAT_EQ(demo.end_pulse, 1.0f);
    EXPECT_FLOAT_EQ(demo.beat_lift, -1.5f);
}
