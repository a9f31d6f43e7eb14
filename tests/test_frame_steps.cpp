// The show moves in fixed steps of song time, whatever the display does.
// The player's own loop, driven by a scripted song clock and wall clock, is
// compared with the frame harness step for step: presents at 60 Hz with a
// random phase and jitter, across a stall and a minimised window, and at 24
// and 144 Hz, must leave the whole show state and the presented picture
// exactly as the harness has them at the same step.  The pacer's choice of
// step is checked alone for smoothness at a steady 60 Hz, and through the
// finale's first 30 s under many live-like schedules.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "show/demo_state.h"
#include "show/frame_pacer.h"
#include "harness/harness.h"
#include "show/show_check.h"
#include "platform/offscreen.h"
#include "platform/sound_internal.h"
#include "shell_fixture.h"

namespace {

constexpr int W = 96;
constexpr int H = 72;
constexpr double STEP_MS = 1000.0 / FRAME_STEP_RATE;

// ---- the pacer alone ----------------------------------------------------

// Presents at a steady rate: wall time of present k is phase + k / hz; the
// song clock reads that time stretched by the drift between the two clocks,
// plus a uniform jitter, in whole milliseconds and never backwards.
struct SteadyPresents {
    double hz;
    double phase_ms;
    double jitter_ms;
    double drift;
    uint32_t seed;
};

// What the pacer did over a run.
struct PacerRun {
    int64_t repeats = 0; // presents that showed no new step (after lock-in)
    int64_t skips = 0;   // presents that left out a step (after lock-in)
    int64_t worst_lag = 0;
    int64_t ahead = 0;                              // presents of a step not due yet
    std::vector<std::pair<int64_t, int64_t>> shown; // (present, step)
};

constexpr int LOCK_IN_PRESENTS = 60;

PacerRun run_pacer(const SteadyPresents& s, int presents) {
    std::mt19937 rng(s.seed);
    std::uniform_real_distribution<double> jitter(-s.jitter_ms, s.jitter_ms);
    FramePacer pacer;
    PacerRun run;
    int64_t clock = 0;
    for (int k = 0; k < presents; ++k) {
        double wall_ms = s.phase_ms + k * 1000.0 / s.hz;
        int64_t read = static_cast<int64_t>(std::floor(wall_ms * (1.0 + s.drift) + jitter(rng)));
        clock = std::max(clock, read);
        int64_t due = frame_last_step_at(clock);
        int64_t before = pacer.shown_step;
        int64_t show = frame_pacer_choose(pacer, due);
        run.ahead += show > due;
        run.worst_lag = std::max(run.worst_lag, due - show);
        if (show > before) frame_pacer_presented(pacer, show, static_cast<int64_t>(wall_ms * 1e6));
        if (k >= LOCK_IN_PRESENTS) {
            run.repeats += show == before;
            run.skips += show > before + 1;
        }
        run.shown.push_back({k, show});
    }
    return run;
}

TEST(FramePacer, SteadySixtyHertzShowsEveryStepOnceEvenAtStepBoundaries) {
    // Refreshes right at step boundaries (phase 0 and just either side of
    // them) and in between; the clock jitters by up to 2 ms.
    for (double phase : {0.0, 0.3, 0.7, 8.0, 15.9, 16.4}) {
        for (uint32_t seed : {1u, 2u, 3u}) {
            PacerRun run = run_pacer({60.0, phase, 2.0, 0.0, seed}, 10000);
            EXPECT_EQ(run.repeats, 0) << phase << " " << seed;
            EXPECT_EQ(run.skips, 0) << phase << " " << seed;
            EXPECT_LE(run.worst_lag, 1);
            EXPECT_EQ(run.ahead, 0);
        }
    }
}

TEST(FramePacer, DriftingClocksRepeatOrSkipOnlyAsOftenAsTheDriftRequires) {
    // 0.1 % over 10,000 presents is 10 steps of difference to absorb.
    for (double drift : {0.001, -0.001}) {
        for (double phase : {0.0, 0.5, 8.3}) {
            PacerRun run = run_pacer({60.0, phase, 2.0, drift, 7}, 10000);
            int64_t needed = static_cast<int64_t>(std::ceil(10000 * std::fabs(drift)));
            EXPECT_LE(run.repeats + run.skips, needed + 1) << drift << " " << phase;
            EXPECT_GE(run.repeats + run.skips, needed - 1) << drift << " " << phase;
            EXPECT_EQ(drift > 0 ? run.repeats : run.skips, 0) << drift << " " << phase;
            EXPECT_LE(run.worst_lag, 1);
            EXPECT_EQ(run.ahead, 0);
        }
    }
}

TEST(FramePacer, OtherRatesShowWhatIsDueAndNeverLagMoreThanAStep) {
    for (double hz : {24.0, 30.0, 50.0, 75.0, 144.0, 240.0}) {
        PacerRun run = run_pacer({hz, 3.0, 4.0, 0.0, 11}, 5000);
        EXPECT_LE(run.worst_lag, 1) << hz;
        EXPECT_EQ(run.ahead, 0) << hz;
        // Faster than the steps: every step shows (no skips after lock-in).
        if (hz > FRAME_STEP_RATE) {
            EXPECT_EQ(run.skips, 0) << hz;
        }
    }
}

// ---- the player's loop against the harness ------------------------------

// What the scripted clocks read on the next pass.
struct ScriptedClocks {
    int64_t song_ms = 0;
    int64_t wall_ns = 0;
};
ScriptedClocks scripted;

// The offline song stands in for the live one: the clock moves it to the
// time it reads, so every note due by then is known (as the audio callback
// renders ahead of what is heard), and the audio is thrown away.
int64_t scripted_song_clock() {
    snd_offline_advance_to(song_module, scripted.song_ms);
    int16_t discard[2 * 4096];
    while (snd_offline_take_audio(song_module, discard, 4096) > 0) {
    }
    return scripted.song_ms;
}

int64_t scripted_wall_clock() {
    return scripted.wall_ns;
}

void no_idle_wait(int64_t) {}

// The state and picture of one presented step.
struct Presented {
    std::vector<uint8_t> state;
    std::vector<uint8_t> rgb;
};

// A pass of a run: when it happens and what else happens then.
enum PassEvent { PASS_ONLY, PASS_MINIMISE, PASS_RESTORE };
struct Pass {
    double wall_ms;
    int64_t song_ms;
    PassEvent event;
};

// Song times at which a run keeps the next presented step: two in each of
// the six scenes.
const int64_t CHECK_TIMES[] = {20000,  60000,  85000,  100000, 106000, 118000,
                               130000, 150000, 170000, 230000, 262000, 275000};
constexpr int64_t RUN_END_MS = 276000;

// Presents at 60 Hz with a random phase and up to 4 ms of clock jitter; in
// scene 3 the process stalls for 2 s, in scene 4 the window is minimised for
// 3 s.
std::vector<Pass> sixty_hertz_with_stall_and_minimise(uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> jitter(-4.0, 4.0);
    double wall = std::uniform_real_distribution<double>(0.0, STEP_MS)(rng);
    std::vector<Pass> passes;
    int64_t song = 0;
    bool stalled = false, minimised = false, restored = false;
    while (song < RUN_END_MS) {
        wall += STEP_MS;
        if (!stalled && wall > 112000) {
            wall += 2000; // nothing runs for 2 s
            stalled = true;
        }
        song = std::max<int64_t>(song, static_cast<int64_t>(std::floor(wall + jitter(rng))));
        PassEvent event = PASS_ONLY;
        if (!minimised && wall > 140000) {
            event = PASS_MINIMISE;
            minimised = true;
        } else if (minimised && !restored && wall > 143000) {
            event = PASS_RESTORE;
            restored = true;
        }
        passes.push_back({wall, song, event});
    }
    return passes;
}

// Presents at 24 Hz and at 144 Hz, changing every 10 s of song time.
std::vector<Pass> twenty_four_and_144_hertz() {
    std::vector<Pass> passes;
    double wall = 5.0;
    while (wall < RUN_END_MS) {
        bool slow = static_cast<int64_t>(wall / 10000) % 2 == 0;
        wall += 1000.0 / (slow ? 24.0 : 144.0);
        passes.push_back({wall, static_cast<int64_t>(wall), PASS_ONLY});
    }
    return passes;
}

struct FrameSteps : ShellTest {
    LoopState loop = {};

    FrameSteps() {
        frame_clock = scripted_song_clock;
        show_wall_clock = scripted_wall_clock;
        show_idle_wait = no_idle_wait;
        win_switches.frame_pacing = false;
    }
    ~FrameSteps() override {
        show_wall_clock = show_wall_clock_steady;
        show_idle_wait = show_idle_sleep;
        win_switches.frame_pacing = true;
        harness_end();
    }

    // The player's set-up, as in a fresh process, with an offline song in
    // place of the live one; the window's own start-up messages are taken
    // while the clock stands before the show.
    void start_player() {
        show_state_reset();
        ASSERT_TRUE(create_display(SHOW_TITLE, W, H, SHOW_COLOUR_BITS, false));
        ASSERT_TRUE(snd_offline_init(SHOW_MIX_RATE, SHOW_CHANNELS));
        song_module = snd_load_song(SHOW_MODULE_PATH);
        snd_play_song(song_module);
        scripted = ScriptedClocks{};
        scripted.song_ms = -1;
        loop = main_loop_begin();
        for (int i = 0; i < 100; ++i) {
            int64_t messages = loop_counts.messages;
            main_loop_pass(loop);
            if (loop_counts.messages == messages) break;
        }
        ASSERT_EQ(frame_driver.next_step, 0);
        scripted.song_ms = 0;
    }

    void stop_player() {
        destroy_display();
        snd_free_song(song_module);
        song_module = nullptr;
        snd_close();
    }

    // Runs the passes; keeps the first presented step at or after each
    // check time.  Every pass checks that the step on screen is due and
    // lags the clock by at most one step, or by the catch-up bound.
    void run(const std::vector<Pass>& passes, std::map<int64_t, Presented>& kept) {
        size_t next_check = 0;
        for (const Pass& p : passes) {
            scripted.song_ms = p.song_ms;
            scripted.wall_ns = static_cast<int64_t>(p.wall_ms * 1e6);
            if (p.event == PASS_MINIMISE) push_window_event(SDL_WINDOWEVENT_MINIMIZED);
            if (p.event == PASS_RESTORE) push_window_event(SDL_WINDOWEVENT_RESTORED);
            int64_t frames = loop_counts.frames;
            main_loop_pass(loop);
            ASSERT_FALSE(loop.done);
            if (loop_counts.frames == frames) continue;
            int64_t step = frame_driver.last_drawn_step;
            ASSERT_LE(frame_step_time(step), p.song_ms);
            if (next_check < std::size(CHECK_TIMES) &&
                frame_step_time(step) >= CHECK_TIMES[next_check]) {
                ++next_check;
                glReadBuffer(GL_FRONT);
                kept[step] = {show_state_bytes(), offscreen_read_rgb(W, H)};
                glReadBuffer(GL_BACK);
            }
        }
        EXPECT_EQ(next_check, std::size(CHECK_TIMES));
    }
};

// The first index of the step at which end_stage reaches `stage`.
int64_t first_at_stage(const std::vector<int32_t>& stages, int32_t stage) {
    return std::find_if(stages.begin(), stages.end(), [stage](int32_t v) { return v >= stage; }) -
           stages.begin();
}

// The finale's stages under live-like schedules: the steps the pacer picks
// for the presents, against the stage the harness had after every step of
// the finale's first 30 s (from `first`).  Stage 2 must show, and the end
// pictures (which begin with it) on the first present at or after its step.
void expect_finale_stages_show(const std::vector<int32_t>& stages, int64_t first) {
    int64_t stage2 = first_at_stage(stages, 2);
    ASSERT_EQ(stages.front(), 1) << "the finale starts at stage 1";
    ASSERT_LT(stage2, first_at_stage(stages, 4)) << "stage 2 lasts some steps";
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> jitter(-4.0, 4.0);
    for (int run = 0; run < 200; ++run) {
        double hz = run % 4 == 0 ? 24.0 + run % 7 * 5.0 : 60.0;
        double wall =
            frame_step_time(first) - 200 + std::uniform_real_distribution<double>(0, 50)(rng);
        FramePacer pacer;
        bool saw_stage2 = false;
        int64_t first_shown_end = -1;
        int64_t clock = 0;
        for (; wall < frame_step_time(first + static_cast<int64_t>(stages.size()) - 1);
             wall += 1000.0 / hz) {
            clock = std::max<int64_t>(clock, static_cast<int64_t>(wall + jitter(rng)));
            int64_t show = frame_pacer_choose(pacer, frame_last_step_at(clock));
            if (show <= pacer.shown_step) continue;
            frame_pacer_presented(pacer, show, static_cast<int64_t>(wall * 1e6));
            int64_t i = show - first;
            if (i < 0) continue;
            int32_t stage = stages[static_cast<size_t>(i)];
            saw_stage2 = saw_stage2 || stage == 2;
            if (first_shown_end < 0 && stage >= 2) first_shown_end = i;
        }
        EXPECT_TRUE(saw_stage2) << run;
        EXPECT_GE(first_shown_end, stage2) << run;
        EXPECT_LE(first_shown_end, stage2 + static_cast<int64_t>(FRAME_STEP_RATE / hz) + 1) << run;
    }
}

// Index of the first byte where two buffers differ (-1: equal).
int64_t first_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a == b) return -1;
    auto d = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return d.first - a.begin();
}

bool has_colour(const std::vector<uint8_t>& rgb) {
    return std::any_of(rgb.begin(), rgb.end(), [](uint8_t v) { return v != 0; });
}

TEST_F(FrameSteps, PlayerLoopShowsTheHarnessStateAndPictureAtEveryRate) {
    std::map<int64_t, Presented> kept;
    std::map<int64_t, Presented> slow_fast;
    start_player();
    run(sixty_hertz_with_stall_and_minimise(5), kept);
    stop_player();
    start_player();
    run(twenty_four_and_144_hertz(), slow_fast);
    stop_player();
    kept.insert(slow_fast.begin(), slow_fast.end());
    ASSERT_GE(kept.size(), std::size(CHECK_TIMES));

    ASSERT_EQ(harness_begin(W, H, FRAME_STEP_RATE), HARNESS_OK);
    constexpr int64_t FINALE_MS = 260000, FINALE_CHECKED_MS = 290000;
    int64_t finale = frame_last_step_at(FINALE_MS - 1) + 1;
    std::vector<int32_t> stages; // end_stage after each step of the finale
    while (frame_step_time(harness_next_frame()) <= FINALE_CHECKED_MS) {
        int64_t step = harness_next_frame();
        auto player = kept.find(step);
        harness_step(player != kept.end());
        if (step >= finale) stages.push_back(demo.end_stage);
        if (player == kept.end()) continue;
        SCOPED_TRACE(step);
        std::vector<uint8_t> rgb = harness_read_rgb();
        EXPECT_TRUE(has_colour(rgb));
        EXPECT_EQ(first_difference(show_state_bytes(), player->second.state), -1);
        EXPECT_EQ(first_difference(rgb, player->second.rgb), -1);
    }
    expect_finale_stages_show(stages, finale);
}

TEST_F(FrameSteps, APassRunsAtMostTheCatchUpBoundAndCatchesUpOnLaterPasses) {
    start_player();
    scripted.song_ms = 0;
    main_loop_pass(loop);
    EXPECT_EQ(frame_driver.next_step, 1);
    // Five seconds behind: bounded passes, each drawing its last step.
    scripted.song_ms = 5000;
    int64_t due = frame_last_step_at(5000);
    int passes = 0;
    while (frame_driver.last_drawn_step < due - 1) {
        int64_t before = frame_driver.next_step;
        scripted.wall_ns += 16667000;
        main_loop_pass(loop);
        ASSERT_LE(frame_driver.next_step - before, FRAME_MAX_STEPS_PER_PASS);
        EXPECT_EQ(frame_driver.last_drawn_step, frame_driver.next_step - 1);
        ASSERT_LT(++passes, 100);
    }
    EXPECT_EQ(passes, (due - 1 + FRAME_MAX_STEPS_PER_PASS - 1) / FRAME_MAX_STEPS_PER_PASS);
    // Nothing new due: the pass draws nothing, presents nothing and waits.
    int64_t swaps = loop_counts.swaps;
    main_loop_pass(loop);
    main_loop_pass(loop);
    EXPECT_LE(loop_counts.swaps - swaps, 1);
    EXPECT_GE(loop_counts.idle, 1);
    stop_player();
}

// However long the window stays down, every note reaches its own step:
// while minimised the steps run with the clock, so the song's note ring
// never holds more than the notes of one pass (it would overflow after
// about half an hour otherwise), and the first step shown after the restore
// is the one due, in exactly the harness's state and picture.
TEST_F(FrameSteps, AMinimisedPlayerKeepsUpWithTheSongAndRestoresToTheHarnessState) {
    constexpr int64_t DOWN_MS = 20000, UP_MS = 80000, PASS_MS = 17;
    start_player();
    // The song renders on as the audio thread would, read or not.
    auto pass_at = [this](int64_t song_ms) {
        scripted.song_ms = song_ms;
        scripted.wall_ns = song_ms * 1000000;
        scripted_song_clock();
        main_loop_pass(loop);
    };
    for (int64_t t = 0; t < DOWN_MS; t += PASS_MS)
        pass_at(t);
    push_window_event(SDL_WINDOWEVENT_MINIMIZED);
    int64_t frames = loop_counts.frames;
    for (int64_t t = DOWN_MS; t < UP_MS; t += PASS_MS)
        pass_at(t);
    EXPECT_EQ(loop_counts.frames, frames); // nothing drawn while down
    EXPECT_EQ(frame_driver.next_step, frame_last_step_at(UP_MS - PASS_MS) + 1);
    const SndEventQueue& ring = song_module->events;
    EXPECT_LE(ring.tail.load() - ring.head.load(), 2u); // only notes after the last step
    EXPECT_EQ(ring.dropped.load(), 0u);

    push_window_event(SDL_WINDOWEVENT_RESTORED);
    int64_t t = UP_MS;
    for (; loop_counts.frames == frames && t < UP_MS + 1000; t += PASS_MS)
        pass_at(t);
    int64_t shown = frame_driver.last_drawn_step;
    EXPECT_GE(shown, frame_last_step_at(t - PASS_MS) - 1); // the step due, or one before
    glReadBuffer(GL_FRONT);
    Presented player = {show_state_bytes(), offscreen_read_rgb(W, H)};
    glReadBuffer(GL_BACK);
    stop_player();

    ASSERT_EQ(harness_begin(W, H, FRAME_STEP_RATE), HARNESS_OK);
    while (harness_next_frame() < shown)
        harness_step(false);
    harness_step(true);
    EXPECT_EQ(first_difference(show_state_bytes(), player.state), -1);
    EXPECT_EQ(first_difference(harness_read_rgb(), player.rgb), -1);
}

} // namespace
