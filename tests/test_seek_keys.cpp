// The player's seeking keys: where each key lands from a given step, and in
// the loop with a playing song: the show moves to that step and draws it at
// once, Space pauses the music in place (its clock stands at the step on
// screen) and resumes it, and `.` and `,` step only while paused; the media
// keys and the desktop's media controls act as the keys, added up with them;
// F12 writes the picture on screen and never replaces a file.  A burst
// of keys is one seek and one picture; Escape stops a long seek at once;
// every presented step is traced; a new size while paused draws the step
// again; a music seek that fails leaves the music playing.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/media_controls.h"
#include "app/seek_keys.h"
#include "app/snapshot.h"
#include "app/time_bar.h"
#include "gfx/carried_state.h"
#include "platform/png_file.h"
#include "platform/sound_internal.h"
#include "show/seek.h"
#include "show/show_check.h"
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
        {WIN_VK_MEDIA_NEXT_TRACK, 5, false, scene2},
        {WIN_VK_MEDIA_PREV_TRACK, scene2 + 10, true, scene2},
        {'A', 50, false, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(seek_keys_target(c.vk, c.shown, c.paused), c.target)
            << "key " << c.vk << " from " << c.shown;
}

// The desktop's requests, from the step the next move starts from: the
// scenes as Page Down and Page Up, positions to the step showing there.
TEST(MediaControls, RequestsMoveAsTheKeysDo) {
    const int64_t scene2 = frame_scene_first_step(2), scene3 = frame_scene_first_step(3);
    const int64_t finale = frame_scene_first_step(6);
    struct Case {
        MbusRequestKind kind;
        int64_t us, base;
        bool paused;
        MediaAction action;
        int64_t target;
    } cases[] = {
        {MBUS_PLAY_PAUSE, 0, 50, false, MEDIA_PAUSE, -1},
        {MBUS_PLAY_PAUSE, 0, 50, true, MEDIA_RESUME, -1},
        {MBUS_PLAY, 0, 50, false, MEDIA_NONE, -1},
        {MBUS_PLAY, 0, 50, true, MEDIA_RESUME, -1},
        {MBUS_PAUSE, 0, 50, false, MEDIA_PAUSE, -1},
        {MBUS_PAUSE, 0, 50, true, MEDIA_NONE, -1},
        {MBUS_STOP, 0, 50, false, MEDIA_END, -1},
        {MBUS_NEXT, 0, scene2 + 10, false, MEDIA_GO_TO, scene3},
        {MBUS_NEXT, 0, finale + 1, false, MEDIA_NONE, -1},
        {MBUS_PREVIOUS, 0, scene2 + 10, true, MEDIA_GO_TO, scene2},
        {MBUS_PREVIOUS, 0, 0, false, MEDIA_NONE, -1},
        {MBUS_SEEK, 10000000, 7200, false, MEDIA_GO_TO, 7800},
        {MBUS_SEEK, 1, 7200, false, MEDIA_GO_TO, 7200},
        {MBUS_SEEK, -1, 7200, false, MEDIA_GO_TO, 7199},
        {MBUS_SEEK, -5000000, 30, true, MEDIA_GO_TO, 0},
        {MBUS_SET_POSITION, 120000000, 50, false, MEDIA_GO_TO, 7200},
        {MBUS_SET_POSITION, 102500000, 50, true, MEDIA_GO_TO, scene3},
        {MBUS_SET_POSITION, 16667, 50, false, MEDIA_GO_TO, 1},
        {MBUS_SET_POSITION, 15999, 50, false, MEDIA_GO_TO, 0},
    };
    for (const Case& c : cases) {
        MediaMove move = media_move(MbusRequest{c.kind, c.us}, c.base, c.paused);
        EXPECT_EQ(move.action, c.action) << "request " << c.kind << " from " << c.base;
        EXPECT_EQ(move.target, c.target) << "request " << c.kind << " from " << c.base;
    }
    EXPECT_EQ(media_file_url("/usr/share/a b/Ü.png"), "file:///usr/share/a%20b/%C3%9C.png");
}

// F12's names: the song time, then " (2)", " (3)", ... for a name taken;
// a folder that cannot be made is a failure that says which.
TEST(Snapshot, NamesAfterTheSongTimeAndNeverReplacesAFile) {
    EXPECT_EQ(snapshot_file_name(179850, 1), "Vintermoot 2002 at 2m59.850s.png");
    EXPECT_EQ(snapshot_file_name(5007, 3), "Vintermoot 2002 at 0m05.007s (3).png");
    const std::string dir = temp_dir_make("snapshot"), shots = dir + "/new/Pictures";
    const uint8_t red[3] = {255, 0, 0}, blue[3] = {0, 0, 255};
    std::string path, error;
    ASSERT_TRUE(snapshot_write(shots, 65000, 1, 1, red, &path, &error)) << error;
    EXPECT_EQ(path, shots + "/Vintermoot 2002 at 1m05.000s.png");
    ASSERT_TRUE(snapshot_write(shots, 65000, 1, 1, blue, &path, &error)) << error;
    EXPECT_EQ(path, shots + "/Vintermoot 2002 at 1m05.000s (2).png");
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(png_read_rgb((shots + "/Vintermoot 2002 at 1m05.000s.png").c_str(), &w, &h, &rgb));
    EXPECT_EQ(rgb, std::vector<uint8_t>(red, red + 3)); // the first one is untouched
    ASSERT_TRUE(write_file(dir + "/file", "x", 1));
    EXPECT_FALSE(snapshot_write(dir + "/file/Pictures", 65000, 1, 1, red, &path, &error));
    EXPECT_NE(error.find(dir + "/file/Pictures"), std::string::npos) << error;
    temp_dir_remove(dir);
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
        setenv("VM_STEP_TRACE", trace_path.c_str(), 1);
        loop = main_loop_begin();
        for (int i = 0; i < 200 && frame_driver.next_step < 120; ++i)
            main_loop_pass(loop);
        // From here on the loop reads the song's own clock, as the player
        // does: paused, it stands.
        frame_clock = frame_clock_song;
    }
    ~SeekKeysLoop() override {
        main_loop_trace_close();
        unsetenv("VM_STEP_TRACE");
        show_wall_clock = show_wall_clock_steady;
        display.request = DisplayRequest{};
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
    std::string trace_path = dir + "/steps.txt";

    // The steps the trace names, in order.
    std::vector<int64_t> traced_steps() {
        std::vector<int64_t> steps;
        std::ifstream in(trace_path);
        std::string line;
        while (std::getline(in, line))
            steps.push_back(std::stoll(line));
        return steps;
    }
    // The last column of each line: the state checksum after its step.
    std::vector<std::string> traced_hashes() {
        std::vector<std::string> hashes;
        std::ifstream in(trace_path);
        std::string line;
        while (std::getline(in, line))
            hashes.push_back(line.substr(line.rfind(' ') + 1));
        return hashes;
    }
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

// Keys queued together (a burst, auto-repeat) add up to one target: one
// seek of the show and of the music, one picture presented.
TEST_F(SeekKeysLoop, ABurstOfKeysIsOneSeekAndOnePictureAtTheSummedTarget) {
    int64_t shown = frame_driver.last_drawn_step;
    SndSeekCounts seeks = snd_seek_counts();
    int64_t swaps = loop_counts.swaps, settles = seek_keys.settles, draws = seek_keys.draws;
    for (int i = 0; i < 5; ++i)
        push_key(SDLK_RIGHT, true); // auto-repeat: key-downs, one key-up
    push_key(SDLK_RIGHT, false);
    push_key(SDLK_LEFT, true);
    main_loop_pass(loop);
    EXPECT_EQ(frame_driver.last_drawn_step, shown + 4 * SEEK_KEYS_JUMP_STEPS);
    EXPECT_EQ(seek_keys.settles - settles, 1);
    EXPECT_EQ(seek_keys.draws - draws, 1);
    EXPECT_EQ(loop_counts.swaps - swaps, 1);
    EXPECT_EQ(snd_seek_counts().seeks - seeks.seeks, 1);
    EXPECT_EQ(snd_seek_counts().failed, seeks.failed);
    EXPECT_EQ(seek_keys.moves, 6);
    EXPECT_FALSE(seek_keys.pending.any);
}

// Pausing seeks the music once, to the step on screen.
TEST_F(SeekKeysLoop, PauseSeeksTheMusicOnce) {
    SndSeekCounts seeks = snd_seek_counts();
    press(SDLK_SPACE);
    EXPECT_TRUE(seek_keys.paused);
    EXPECT_EQ(snd_seek_counts().seeks - seeks.seeks, 1);
}

// Escape or the close button, queued once a long seek has begun, stops it
// at its first look at the messages; the pass ends the show, presenting
// nothing.
TEST_F(SeekKeysLoop, EscapeOrCloseDuringALongSeekEndsTheShowAtOnce) {
    static bool close_instead;
    static int armed;
    for (bool close : {false, true}) {
        SCOPED_TRACE(close ? "close button" : "Escape");
        close_instead = close;
        armed = 1;
        // The pass reads the wall clock just before it seeks: the stop comes then.
        show_wall_clock = [] {
            if (armed-- == 1) {
                if (close_instead)
                    push_window_event(SDL_WINDOWEVENT_CLOSE);
                else
                    push_key(SDLK_ESCAPE, true);
            }
            return show_wall_clock_steady();
        };
        loop = LoopState{false, -1};
        int64_t swaps = loop_counts.swaps;
        for (int i = 0; i < 40; ++i)
            push_key(SDLK_RIGHT, true); // 200 s ahead: thousands of steps to run
        main_loop_pass(loop);
        EXPECT_TRUE(loop.done);
        EXPECT_EQ(loop.exit_code, 0);
        EXPECT_TRUE(seek_last_report().stopped);
        EXPECT_LE(frame_driver.next_step - seek_last_report().from_step, 2 * FRAME_POLL_STEPS);
        EXPECT_EQ(loop_counts.swaps, swaps);
        show_wall_clock = show_wall_clock_steady;
        display.key_down[WIN_VK_ESCAPE] = false;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

// Every present has its line: the steps of the clock, those the keys moved
// to and those shown while paused.
TEST_F(SeekKeysLoop, TheTraceHasEveryPresentedStepPausedOnesIncluded) {
    press(SDLK_SPACE);
    int64_t shown = frame_driver.last_drawn_step;
    press(SDLK_PERIOD);
    press(SDLK_PERIOD);
    press(SDLK_COMMA);
    std::vector<int64_t> steps = traced_steps();
    EXPECT_EQ(static_cast<int64_t>(steps.size()), loop_counts.swaps);
    ASSERT_GE(steps.size(), 4u);
    EXPECT_EQ(std::vector<int64_t>(steps.end() - 4, steps.end()),
              (std::vector<int64_t>{shown, shown + 1, shown + 2, shown + 1}));
    // Each line ends with the checksum of the state after its step: the
    // step reached twice carries the state's checksum now both times.
    char now[17];
    snprintf(now, sizeof now, SHOW_HASH_FORMAT, static_cast<unsigned long long>(show_state_hash()));
    std::vector<std::string> hashes = traced_hashes();
    EXPECT_EQ(hashes.back(), now);
    EXPECT_EQ(hashes[hashes.size() - 3], now);
    EXPECT_NE(hashes[hashes.size() - 2], now);
}

TEST_F(SeekKeysLoop, ATraceThatCannotBeWrittenIsSaidOnce) {
    setenv("VM_STEP_TRACE", (dir + "/no/such/folder/steps.txt").c_str(), 1);
    run_reporting([this] { loop = main_loop_begin(); });
    expect_failure_line({"step trace", "no/such/folder", "No such file", "VM_STEP_TRACE"});
}

// A new size while paused draws the paused step again, centred in the new
// size, with the bar.
TEST_F(SeekKeysLoop, ANewSizeWhilePausedDrawsThePausedStepAgain) {
    display.request.kind = DISPLAY_WINDOW;
    press(SDLK_SPACE);
    int64_t shown = frame_driver.last_drawn_step, draws = seek_keys.draws;
    int64_t swaps = loop_counts.swaps;
    SDL_SetWindowSize(shell_sdl_window(), 200, 100);
    push_window_event(SDL_WINDOWEVENT_SIZE_CHANGED, 200, 100);
    main_loop_pass(loop);
    EXPECT_EQ(seek_keys.draws - draws, 1);
    EXPECT_EQ(loop_counts.swaps - swaps, 1);
    EXPECT_EQ(frame_driver.last_drawn_step, shown);
    std::array<GLint, 4> view = {};
    glGetIntegerv(GL_VIEWPORT, view.data());
    EXPECT_EQ(view, (std::array<GLint, 4>{33, 0, 133, 100}));
    EXPECT_EQ(traced_steps().back(), shown);
    EXPECT_TRUE(seek_keys.paused);
}

// A music seek that fails leaves the song playing where it was, says so
// once, and the show goes where the music is and plays on; Space pauses it.
TEST_F(SeekKeysLoop, AFailedMusicSeekKeepsTheShowRunning) {
    snd_seek_map_free(song);
    song->file.assign(64, 0); // no map can be made of it now
    SndSeekCounts seeks = snd_seek_counts();
    run_reporting([this] {
        press(SDLK_RIGHT);
        press(SDLK_RIGHT);
    });
    expect_failure_line({"cannot move the music", "--from"});
    EXPECT_GT(snd_seek_counts().failed, seeks.failed);
    int64_t before = snd_peek_time(song), frames = loop_counts.frames;
    for (int i = 0; i < 200 && loop_counts.frames < frames + 5; ++i)
        main_loop_pass(loop);
    EXPECT_GE(loop_counts.frames, frames + 5);
    EXPECT_GT(snd_peek_time(song), before);
    EXPECT_LE(frame_step_time(frame_driver.last_drawn_step), snd_peek_time(song) + 100);
    // Such a song is never mapped ahead (its states would carry the live
    // notes), and Space still pauses it where it is and resumes it.
    EXPECT_FALSE(seek_map_run(song, 50.0));
    EXPECT_TRUE(seek_unmappable());
    press(SDLK_SPACE);
    ASSERT_TRUE(seek_keys.paused);
    int64_t held = snd_peek_time(song), shown = frame_driver.last_drawn_step;
    for (int i = 0; i < 5; ++i)
        main_loop_pass(loop);
    EXPECT_EQ(snd_peek_time(song), held);
    EXPECT_EQ(frame_driver.last_drawn_step, shown);
    press(SDLK_SPACE);
    EXPECT_FALSE(seek_keys.paused);
    for (int i = 0; i < 200 && frame_driver.last_drawn_step < shown + 5; ++i)
        main_loop_pass(loop);
    EXPECT_GE(frame_driver.last_drawn_step, shown + 5);
}

TEST_F(SeekKeysLoop, EscapeStillEndsAtOnceAfterSeeking) {
    press(SDLK_RIGHT);
    push_key(SDLK_ESCAPE, true);
    for (int i = 0; i < 3 && !loop.done; ++i)
        main_loop_pass(loop);
    EXPECT_TRUE(loop.done);
}

// The desktop's requests join the keys of the same pass: one seek to where
// they add up to; pause, play and stop act as Space and Escape.
TEST_F(SeekKeysLoop, MediaRequestsAddUpWithTheKeysOfAPass) {
    const int64_t scene2 = frame_scene_first_step(2);
    SndSeekCounts seeks = snd_seek_counts();
    int64_t settles = seek_keys.settles;
    media_controls_apply(MbusRequest{MBUS_SET_POSITION, frame_step_time(scene2) * 1000});
    push_key(SDLK_RIGHT, true);
    main_loop_pass(loop);
    EXPECT_EQ(frame_driver.last_drawn_step, scene2 + SEEK_KEYS_JUMP_STEPS);
    EXPECT_EQ(seek_keys.settles - settles, 1);
    EXPECT_EQ(snd_seek_counts().seeks - seeks.seeks, 1);
    media_controls_apply(MbusRequest{MBUS_PAUSE, 0});
    media_controls_apply(MbusRequest{MBUS_SEEK, -1000000});
    main_loop_pass(loop);
    EXPECT_TRUE(seek_keys.paused);
    EXPECT_EQ(frame_driver.last_drawn_step, scene2 + SEEK_KEYS_JUMP_STEPS - 60);
    media_controls_apply(MbusRequest{MBUS_PLAY, 0});
    main_loop_pass(loop);
    EXPECT_FALSE(seek_keys.paused);
    media_controls_apply(MbusRequest{MBUS_STOP, 0});
    main_loop_pass(loop);
    EXPECT_TRUE(loop.done);
    EXPECT_EQ(loop.exit_code, 0);
}

// The keyboard's media keys: play/pause as Space, next and previous as Page
// Down and Page Up, stop as Escape.
TEST_F(SeekKeysLoop, MediaKeysActAsTheirKeys) {
    press(SDLK_AUDIOPLAY);
    EXPECT_TRUE(seek_keys.paused);
    press(SDLK_AUDIONEXT);
    EXPECT_EQ(frame_driver.last_drawn_step, frame_scene_first_step(2));
    press(SDLK_AUDIONEXT);
    press(SDLK_AUDIOPREV);
    EXPECT_EQ(frame_driver.last_drawn_step, frame_scene_first_step(2));
    press(SDLK_AUDIOPLAY);
    EXPECT_FALSE(seek_keys.paused);
    push_key(SDLK_AUDIOSTOP, true);
    main_loop_pass(loop);
    EXPECT_TRUE(loop.done);
    EXPECT_EQ(loop.exit_code, 0);
}

// F12 writes the picture on screen into the pictures folder (made when
// missing), named after its song time; paused, again under " (2)".
TEST_F(SeekKeysLoop, F12WritesThePictureOnScreen) {
    const char* old_home = std::getenv("HOME");
    const std::string saved_home = old_home ? old_home : "";
    setenv("HOME", (dir + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    press(SDLK_F12);
    // Playing, the next picture presented is written.
    for (int64_t i = 0, swaps = loop_counts.swaps; i < 1000 && loop_counts.swaps == swaps; ++i)
        main_loop_pass(loop);
    snapshot_end();
    const std::string shots = dir + "/home/Pictures/";
    const int64_t ms = frame_step_time(frame_driver.last_drawn_step);
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    EXPECT_TRUE(png_read_rgb((shots + snapshot_file_name(ms, 1)).c_str(), &w, &h, &rgb));
    EXPECT_EQ(w, VIEW_W);
    EXPECT_EQ(h, VIEW_H);
    press(SDLK_SPACE);
    const int64_t paused_ms = frame_step_time(frame_driver.last_drawn_step);
    press(SDLK_F12);
    press(SDLK_F12);
    snapshot_end();
    const int taken = paused_ms == ms ? 1 : 0; // the name the playing picture took
    std::vector<uint8_t> first, second;
    EXPECT_TRUE(
        png_read_rgb((shots + snapshot_file_name(paused_ms, taken + 1)).c_str(), &w, &h, &first));
    EXPECT_TRUE(
        png_read_rgb((shots + snapshot_file_name(paused_ms, taken + 2)).c_str(), &w, &h, &second));
    EXPECT_EQ(first, second); // the same paused picture, twice
    EXPECT_NE(std::count(first.begin(), first.end(), 0), static_cast<long>(first.size()));
    EXPECT_EQ(frame_driver.last_drawn_step, frame_last_step_at(paused_ms));
    unsetenv("XDG_CONFIG_HOME");
    if (old_home)
        setenv("HOME", saved_home.c_str(), 1);
    else
        unsetenv("HOME");
}

} // namespace
