// The player started later in the song (--from): with the generated show
// data, the first presented step and the whole kept state equal the
// harness's at that step, at the start of every scene and inside the
// finale; afterwards, on the live song clock, every step the player
// presents still equals the harness's, so the notes after the start reach
// the same steps.  Also the sound layer's cueing on its own.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include "app/display.h"
#include "app/main_loop.h"
#include "gfx/render_state.h"
#include "app/seek_keys.h"
#include "app/start_at.h"
#include "show/frame.h"
#include "harness/harness.h"
#include "show/seek.h"
#include "show/show_check.h"
#include "platform/msgbox.h"
#include "platform/sound.h"
#include "platform/window.h"

namespace {

// A frame wider than 4:3, so the picture sits between black bars in both.
constexpr int VIEW_W = 200;
constexpr int VIEW_H = 120;
// Steps followed on the live clock after the start.
constexpr int64_t LIVE_STEPS = 60;
constexpr int MIX_RATE = 44100;

// Start times: inside scene 1, each later scene's first moment, and inside
// the finale.
constexpr int64_t START_TIMES[] = {1000, 77000, 102500, 121800, 159760, 260000, 290000};

// FNV-1a over the show's whole kept state (a window's worth of steps of
// the full state would not fit in memory).
uint64_t show_state_hash() {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t byte : show_state_bytes())
        h = (h ^ byte) * 1099511628211ull;
    return h;
}

std::vector<uint8_t> read_back_rgb() {
    std::vector<uint8_t> rgb(static_cast<size_t>(VIEW_W * VIEW_H * 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, VIEW_W, VIEW_H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    // Top row first, as the harness gives it.
    std::vector<uint8_t> rows(rgb.size());
    size_t stride = VIEW_W * 3;
    for (int y = 0; y < VIEW_H; ++y)
        std::memcpy(&rows[y * stride], &rgb[(VIEW_H - 1 - y) * stride], stride);
    return rows;
}

// What the harness shows from each start step on: the state after every
// step of the window that follows it, and the start step's picture.
struct HarnessRun {
    std::map<int64_t, uint64_t> hashes; // step -> state after it
    std::map<int64_t, std::vector<uint8_t>> pictures;
};

// One run of the harness through all the start times.
HarnessRun run_harness() {
    HarnessRun run;
    EXPECT_EQ(harness_begin(VIEW_W, VIEW_H, FRAME_STEP_RATE), HARNESS_OK);
    int64_t end = frame_last_step_at(START_TIMES[std::size(START_TIMES) - 1]) + LIVE_STEPS;
    for (int64_t n = 0; n <= end; ++n) {
        bool first = false, watched = false;
        for (int64_t t : START_TIMES) {
            int64_t step = frame_last_step_at(t);
            first = first || n == step;
            watched = watched || (n >= step && n <= step + LIVE_STEPS);
        }
        harness_step(first);
        if (watched) run.hashes[n] = show_state_hash();
        if (first) run.pictures[n] = harness_read_rgb();
    }
    harness_end();
    return run;
}

int64_t scripted_ms = 0;
int64_t scripted_clock() {
    return scripted_ms;
}

// The live song clock, but at most one step past the last one drawn: every
// step is presented on its own while its notes come from the live song.
int64_t one_step_live_clock() {
    return std::min(snd_peek_time(song_module), frame_step_time(frame_driver.last_drawn_step + 1));
}

MsgBoxAnswer no_box(const char*, const char*, MsgBoxButtons, MsgBoxIcon, bool) {
    ADD_FAILURE() << "a message box came up";
    return MSGBOX_ANSWER_OK;
}

// The player in a window of VIEW_W x VIEW_H with the live song (SDL's dummy
// audio driver), set up as run_show does.
struct StartAt : ::testing::Test {
    StartAt() {
        msgbox_set_hook(no_box);
        display.request = {DISPLAY_WINDOW, VIEW_W, VIEW_H};
        win_switches.frame_pacing = false;
    }
    ~StartAt() override {
        frame_clock = frame_clock_song;
        if (display.window_handle) destroy_display();
        if (song_module) snd_free_song(song_module);
        song_module = nullptr;
        snd_close();
        display.request = DisplayRequest{};
        win_switches.frame_pacing = true;
        msgbox_set_hook(nullptr);
    }

    void start_player() {
        show_state_reset();
        ASSERT_TRUE(create_display(SHOW_TITLE, VIEW_W, VIEW_H, SHOW_COLOUR_BITS, false));
        ASSERT_TRUE(snd_init(MIX_RATE, SHOW_CHANNELS, 0));
        song_module = snd_load_song(SHOW_MODULE_PATH);
        main_loop_begin();
    }
};

double mean_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double total = 0;
    for (size_t i = 0; i < a.size(); ++i)
        total += std::abs(int(a[i]) - int(b[i]));
    return total / static_cast<double>(a.size());
}

TEST_F(StartAt, FirstStepAndEveryLiveStepAfterItEqualTheHarness) {
    HarnessRun expected = run_harness();
    for (int64_t start : START_TIMES) {
        SCOPED_TRACE("from " + std::to_string(start) + " ms");
        int64_t first = frame_last_step_at(start);

        start_player();
        start_at_run(start);
        EXPECT_LE(start_at_result.steps, SEEK_INTERVAL_STEPS); // the map went first
        EXPECT_FALSE(start_at_result.interrupted);
        EXPECT_EQ(snd_peek_time(song_module), start); // the music starts at T

        // The first pass reads the clock at the starting time.
        scripted_ms = start;
        frame_clock = scripted_clock;
        ASSERT_TRUE(frame_play_pass(show_wall_clock_steady()));
        ASSERT_EQ(frame_driver.last_drawn_step, first);
        EXPECT_EQ(show_state_hash(), expected.hashes[first]);
        std::vector<uint8_t> picture = read_back_rgb();
        EXPECT_LT(mean_difference(picture, expected.pictures[first]), 0.05);
        EXPECT_EQ(picture[0] + picture[1] + picture[2], 0); // a black bar at the left

        // Then the live clock: each step is presented and equals the
        // harness's.
        frame_clock = one_step_live_clock;
        auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (int64_t step = first + 1; step <= first + LIVE_STEPS;) {
            ASSERT_LT(std::chrono::steady_clock::now(), give_up) << "the song clock stands";
            if (!frame_play_pass(show_wall_clock_steady())) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            ASSERT_EQ(frame_driver.last_drawn_step, step);
            ASSERT_EQ(show_state_hash(), expected.hashes[step]) << "step " << step;
            ++step;
        }
        destroy_display();
        snd_free_song(song_module);
        song_module = nullptr;
        snd_close();
    }
}

SDL_Event key_event(bool down) {
    SDL_Event event = {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = SDLK_ESCAPE;
    return event;
}

SDL_Event close_event() {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = SDL_GetWindowID(reinterpret_cast<SDL_Window*>(display.window_handle));
    return event;
}

// Escape, however short the tap, and the close button stop the seek at its
// first look at the messages: the music never moves nor starts, and the loop ends on its first pass
// without drawing, with exit code 0.
TEST_F(StartAt, EscapeTapOrCloseEndsTheShowDuringTheFastForward) {
    constexpr int64_t START_MS = 200000;
    const char* const CASES[] = {"Escape tap", "Escape held", "close button"};
    for (const char* what : CASES) {
        SCOPED_TRACE(what);
        start_player();
        std::vector<SDL_Event> events;
        if (what == CASES[2]) {
            events = {close_event()};
        } else {
            events = {key_event(true)};
            if (what == CASES[0]) events.push_back(key_event(false));
        }
        for (SDL_Event& event : events)
            SDL_PushEvent(&event);
        start_at_run(START_MS);
        EXPECT_TRUE(start_at_result.interrupted);
        // Stopped at the first look at the messages, after the map's first
        // piece: the seek never ran.
        EXPECT_EQ(start_at_result.steps, 0);
        EXPECT_EQ(snd_peek_time(song_module), 0); // the music never moved

        LoopState loop = {false, -1};
        main_loop_pass(loop);
        EXPECT_TRUE(loop.done);
        EXPECT_EQ(loop.exit_code, 0);
        EXPECT_EQ(loop_counts.frames, 0);
        EXPECT_EQ(loop_counts.swaps, 0);
        display.key_down[WIN_VK_ESCAPE] = false;
        destroy_display();
        snd_free_song(song_module);
        song_module = nullptr;
        snd_close();
    }
}

// Keys and a new size that come while the start maps and seeks are kept
// for the loop's first pass, as during any long work: the Right key moves on
// from the start, and the view takes the new size before anything is drawn.
TEST_F(StartAt, KeysAndANewSizeDuringTheStartWaitForTheFirstPass) {
    start_player();
    SDL_Window* window = reinterpret_cast<SDL_Window*>(display.window_handle);
    SDL_Event events[2] = {};
    events[0].type = SDL_KEYDOWN;
    events[0].key.state = SDL_PRESSED;
    events[0].key.keysym.sym = SDLK_RIGHT;
    events[1].type = SDL_WINDOWEVENT;
    events[1].window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    events[1].window.windowID = SDL_GetWindowID(window);
    events[1].window.data1 = VIEW_W / 2;
    events[1].window.data2 = VIEW_H / 2;
    for (SDL_Event& event : events)
        SDL_PushEvent(&event);
    SDL_SetWindowSize(window, VIEW_W / 2, VIEW_H / 2);
    constexpr int64_t START_MS = 120000;
    start_at_run(START_MS);
    ASSERT_FALSE(start_at_result.interrupted);
    EXPECT_EQ(seek_keys.pending.target, frame_last_step_at(START_MS) + SEEK_KEYS_JUMP_STEPS);
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_GT(view[2], VIEW_W / 2); // not yet

    LoopState loop = {false, -1};
    main_loop_pass(loop);
    EXPECT_FALSE(loop.done);
    EXPECT_EQ(frame_driver.last_drawn_step, frame_last_step_at(START_MS) + SEEK_KEYS_JUMP_STEPS);
    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_LE(view[2], VIEW_W / 2);
}

// The sound layer alone, offline against live-cued: the same notes at the
// same song times, and the cued clock stands until the song plays.
TEST(SoundCue, CuedClockStandsThenRunsOnFromTheCuedTime) {
    ASSERT_TRUE(snd_init(MIX_RATE, SHOW_CHANNELS, 0));
    SndSong* song = snd_load_song(SHOW_MODULE_PATH);
    EXPECT_FALSE(snd_play_cued(song)); // not cued
    ASSERT_TRUE(snd_cue_song(song));
    snd_cue_advance_to(song, 5000);
    snd_cue_advance_to(song, 4000); // never back
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(snd_peek_time(song), 5000);
    auto cued_at = std::chrono::steady_clock::now();
    ASSERT_TRUE(snd_play_cued(song));
    EXPECT_GE(snd_peek_time(song), 5000);
    // It runs on from the cued time (the limit only ends a clock that
    // stands), never ahead of the time passed since.
    int64_t later = snd_peek_time(song);
    while (later <= 5100 && std::chrono::steady_clock::now() < cued_at + std::chrono::seconds(60)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        later = snd_peek_time(song);
    }
    auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - cued_at)
                      .count();
    EXPECT_GT(later, 5100);
    EXPECT_LE(later, 5000 + passed + 5);
    snd_free_song(song);
    snd_close();
}

} // namespace
