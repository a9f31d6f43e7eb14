// The player's seeking keys: where each key lands from a given step, and in
// the loop with a playing song: the show moves to that step and draws it at
// once, Space pauses the music in place (its clock stands at the step on
// screen) and resumes it, and `.` and `,` step only while paused.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/seek_keys.h"
#include "app/time_bar.h"
#include "gfx/carried_state.h"
#include "shell_fixture.h"
#include "show/demo_state.h"
#include "show/show_start.h"

namespace {

constexpr int VIEW_W = 160;
constexpr int VIEW_H = 120;

TEST(SeekKeysTarget, EachKeyLandsWhereTheViewerExpects) {
    const int64_t scene2 = frame_scene_first_step(2), scene3 = frame_scene_first_step(3);
    const int64_t finale = frame_scene_first_step(6);
    struct Case {
        int vk;
        int64_t shown;
        bool paused;
        int64_t target;
    } cases[] = {
        {WIN_VK_LEFT, 1000, false, 700},
        {WIN_VK_LEFT, 100, false, 0},
        {WIN_VK_RIGHT, 1000, false, 1300},
        {WIN_VK_HOME, 9000, false, 0},
        {WIN_VK_PRIOR, scene2 + 10, false, scene2},
        {WIN_VK_UP, scene2, false, 0},
        {WIN_VK_PRIOR, 0, false, -1},
        {WIN_VK_NEXT, 5, false, scene2},
        {WIN_VK_DOWN, scene2, false, scene3},
        {WIN_VK_NEXT, finale + 1, false, -1},
        {WIN_VK_PERIOD, 50, true, 51},
        {WIN_VK_COMMA, 50, true, 49},
        {WIN_VK_PERIOD, 50, false, -1},
        {WIN_VK_COMMA, 0, true, -1},
        {'A', 50, false, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(seek_keys_target(c.vk, c.shown, c.paused), c.target)
            << "key " << c.vk << " from " << c.shown;
}

TEST(SeekKeysTarget, TheBarNamesTimeAndScene) {
    EXPECT_EQ(time_bar_text(125400, 4), "2:05  SCENE 4  FLYING WORDS");
    EXPECT_EQ(time_bar_text(0, 1), "0:00  SCENE 1  OPENING");
}

struct SeekKeysLoop : ShellTest {
    LoopState loop;
    SndSong* song = nullptr;

    SeekKeysLoop() {
        win_switches.frame_pacing = false;
        EXPECT_TRUE(create_display(SHOW_TITLE, VIEW_W, VIEW_H, SHOW_COLOUR_BITS, false));
        EXPECT_TRUE(snd_init(SHOW_MIX_RATE, SHOW_CHANNELS, 0));
        song = snd_load_song(SHOW_MODULE_PATH);
        snd_play_song(song);
        song_module = song;
        loop = main_loop_begin();
        for (int i = 0; i < 200 && frame_driver.next_step < 120; ++i)
            main_loop_pass(loop);
        // From here on the loop reads the song's own clock, as the player
        // does: paused, it stands.
        frame_clock = frame_clock_song;
    }
    ~SeekKeysLoop() override {
        song_module = nullptr;
        snd_free_song(song);
        snd_close();
        win_switches.frame_pacing = true;
    }

    // Presses a key and runs the pass that takes it.
    void press(SDL_Keycode key) {
        push_key(key, true);
        push_key(key, false);
        int64_t swaps = loop_counts.swaps;
        main_loop_pass(loop);
        main_loop_pass(loop); // the key-up
        last_swapped = loop_counts.swaps > swaps;
    }
    bool last_swapped = false;
};

TEST_F(SeekKeysLoop, KeysMoveTheShowAndPauseTheMusicInPlace) {
    int64_t shown = frame_driver.last_drawn_step;
    ASSERT_GE(shown, 100);
    press(SDLK_SPACE);
    EXPECT_TRUE(seek_keys.paused);
    EXPECT_EQ(frame_driver.last_drawn_step, shown); // the picture holds (drawn again with the bar)
    EXPECT_EQ(snd_peek_time(song), frame_step_time(shown));
    for (int i = 0; i < 5; ++i)
        main_loop_pass(loop);
    EXPECT_EQ(snd_peek_time(song), frame_step_time(shown)); // the clock stands
    EXPECT_EQ(frame_driver.last_drawn_step, shown);

    press(SDLK_PERIOD);
    EXPECT_EQ(frame_driver.last_drawn_step, shown + 1);
    EXPECT_TRUE(last_swapped);
    press(SDLK_COMMA);
    press(SDLK_COMMA);
    EXPECT_EQ(frame_driver.last_drawn_step, shown - 1);
    EXPECT_EQ(snd_peek_time(song), frame_step_time(shown - 1));

    press(SDLK_PAGEDOWN);
    EXPECT_EQ(frame_driver.last_drawn_step, frame_scene_first_step(2));
    EXPECT_EQ(demo.current_scene, 2);
    press(SDLK_LEFT);
    EXPECT_EQ(frame_driver.last_drawn_step, frame_scene_first_step(2) - SEEK_KEYS_JUMP_STEPS);
    press(SDLK_HOME);
    EXPECT_EQ(frame_driver.last_drawn_step, 0);
    EXPECT_TRUE(seek_keys.paused);

    press(SDLK_SPACE);
    EXPECT_FALSE(seek_keys.paused);
    press(SDLK_PERIOD); // not while playing
    EXPECT_EQ(seek_keys.moves, 8);
}

TEST_F(SeekKeysLoop, TheTimeBarDrawsAtTheBottomAndLeavesGlAsItWas) {
    CarriedGlState before, after;
    ASSERT_TRUE(carried_state_save(&before));
    glClear(GL_COLOR_BUFFER_BIT);
    time_bar_draw(125400, 4);
    ASSERT_TRUE(carried_state_save(&after));
    EXPECT_EQ(memcmp(&before, &after, sizeof before), 0);
    std::vector<uint8_t> rgb(VIEW_W * VIEW_H * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, VIEW_W, VIEW_H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    auto lit_rows = [&](int from, int to) { // rows counted from the bottom
        int lit = 0;
        for (size_t i = static_cast<size_t>(from) * VIEW_W * 3;
             i < static_cast<size_t>(to) * VIEW_W * 3; ++i)
            lit += rgb[i] > 0;
        return lit;
    };
    EXPECT_GT(lit_rows(0, VIEW_H / 10), VIEW_W); // the bar and its text
    EXPECT_EQ(lit_rows(VIEW_H / 5, VIEW_H), 0);  // the picture above untouched
}

TEST_F(SeekKeysLoop, EscapeStillEndsAtOnceAfterSeeking) {
    press(SDLK_RIGHT);
    push_key(SDLK_ESCAPE, true);
    for (int i = 0; i < 3 && !loop.done; ++i)
        main_loop_pass(loop);
    EXPECT_TRUE(loop.done);
}

} // namespace
