// The message and frame loop, pass by pass, with injected window messages on
// the offscreen driver: every queued message in one pass, frames only on
// idle passes while the window is active, a swap on every idle pass, Escape
// however short the tap, and the window messages' effect on the display
// state.
#include <GL/gl.h>

#include <array>
#include <cmath>

#include "gfx/render_state.h"
#include "shell_fixture.h"

namespace {

constexpr int VIEW_W = 160;
constexpr int VIEW_H = 120;

struct MainLoop : ShellTest {
    LoopState loop;

    MainLoop() {
        win_switches.frame_pacing = false; // these tests count passes, not time
        EXPECT_TRUE(create_display(SHOW_TITLE, VIEW_W, VIEW_H, SHOW_COLOUR_BITS, false));
        loop = main_loop_begin();
        drain();
    }
    ~MainLoop() override { win_switches.frame_pacing = true; }

    // Runs passes until one finds the queue empty (the window's own start-up
    // messages are gone).
    void drain() {
        for (int i = 0; i < 1000; ++i) {
            int64_t messages = loop_counts.messages;
            main_loop_pass(loop);
            if (loop_counts.messages == messages) break;
        }
        // The show starts over from its first step with the scripted clock.
        loop = main_loop_begin();
        shell_record.frames = 0;
    }

    std::array<GLint, 4> viewport() {
        std::array<GLint, 4> v = {};
        glGetIntegerv(GL_VIEWPORT, v.data());
        return v;
    }
};

TEST_F(MainLoop, EveryQueuedMessageInOnePassAndNoFrameOnThatPass) {
    for (int i = 0; i < 3; ++i)
        push_other_event();
    main_loop_pass(loop);
    EXPECT_EQ(loop_counts.messages, 1);
    EXPECT_EQ(loop_counts.frames, 0);
    EXPECT_EQ(loop_counts.swaps, 0);
    EXPECT_EQ(shell_record.frames, 0);
    main_loop_pass(loop);
    EXPECT_EQ(loop_counts.messages, 1);
    EXPECT_EQ(loop_counts.frames, 1);
    EXPECT_EQ(loop_counts.swaps, 1);
    EXPECT_EQ(shell_record.frames, 1); // the pass read the clock once
    EXPECT_FALSE(loop.done);
}

TEST_F(MainLoop, AFloodOfMessagesIsTakenOverAFewPassesWithoutAFrame) {
    for (int i = 0; i < DISPLAY_MAX_MESSAGES + 10; ++i)
        push_other_event();
    main_loop_pass(loop);
    main_loop_pass(loop);
    EXPECT_EQ(loop_counts.messages, 2);
    EXPECT_EQ(loop_counts.frames, 0);
    main_loop_pass(loop);
    EXPECT_EQ(loop_counts.frames, 1);
}

// Minimised, the show draws nothing but its steps go on with the clock (one
// step a pass here), undrawn, leaving the collapsed viewport as it was.
TEST_F(MainLoop, MinimisedDrawsNothingButRunsTheStepsAndSwapsOnEveryIdlePass) {
    push_window_event(SDL_WINDOWEVENT_MINIMIZED);
    main_loop_pass(loop);
    EXPECT_FALSE(display.window_active);
    // A collapsed client area: a viewport 0 wide and (0 counted as 1) 1 high.
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 0, 1}));
    for (int i = 0; i < 5; ++i)
        main_loop_pass(loop);
    EXPECT_EQ(loop_counts.frames, 0);
    EXPECT_EQ(frame_driver.next_step, 5);
    EXPECT_EQ(frame_driver.last_drawn_step, -1);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 0, 1}));
    EXPECT_EQ(loop_counts.swaps, 5);

    push_window_event(SDL_WINDOWEVENT_RESTORED);
    main_loop_pass(loop);
    EXPECT_TRUE(display.window_active);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, VIEW_W, VIEW_H}));
    main_loop_pass(loop);
    EXPECT_EQ(loop_counts.frames, 1);
    EXPECT_EQ(loop_counts.swaps, 6);
}

TEST_F(MainLoop, LosingFocusWithoutMinimisingKeepsDrawing) {
    push_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
    main_loop_pass(loop);
    main_loop_pass(loop);
    EXPECT_TRUE(display.window_active);
    EXPECT_EQ(loop_counts.frames, 1);
}

TEST_F(MainLoop, SizeMessageSetsTheViewport) {
    push_window_event(SDL_WINDOWEVENT_SIZE_CHANGED, 200, 100);
    main_loop_pass(loop);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 200, 100}));
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    // 45 degrees: f = 1 / tan(22.5 deg); aspect 2.
    EXPECT_NEAR(projection[0], 1.0 / std::tan(M_PI / 8) / 2.0, 1e-6);
    EXPECT_NEAR(projection[5], 1.0 / std::tan(M_PI / 8), 1e-6);
}

// However short the tap (its key-up queued with its key-down) and whatever
// waits with it, the pass that takes an Escape key-down ends the show: no
// frame, no present, exit code 0; while minimised too.
TEST_F(MainLoop, AnEscapeTapEndsTheShowOnThePassThatTakesIt) {
    struct TapCase {
        const char* what;
        int before;     // other messages queued ahead of the tap
        bool minimised; // the window goes down first
        bool held;      // no key-up follows
    };
    const TapCase cases[] = {
        {"tap", 0, false, false},
        {"held", 0, false, true},
        {"tap behind messages", 40, false, false},
        {"tap behind a full pass of messages", DISPLAY_MAX_MESSAGES, false, false},
        {"tap while minimised", 0, true, false},
    };
    for (const TapCase& c : cases) {
        SCOPED_TRACE(c.what);
        loop = main_loop_begin();
        shell_record.frames = 0;
        if (c.minimised) push_window_event(SDL_WINDOWEVENT_MINIMIZED);
        for (int i = 0; i < c.before; ++i)
            push_other_event();
        push_key(SDLK_ESCAPE, true);
        if (!c.held) push_key(SDLK_ESCAPE, false);
        push_other_event();
        int passes = 0;
        while (!loop.done && passes < 10) {
            main_loop_pass(loop);
            ++passes;
        }
        EXPECT_TRUE(loop.done);
        EXPECT_EQ(passes, 1 + c.before / DISPLAY_MAX_MESSAGES);
        EXPECT_EQ(loop.exit_code, 0);
        EXPECT_EQ(loop_counts.frames, 0);
        EXPECT_EQ(loop_counts.swaps, 0);
        EXPECT_EQ(shell_record.frames, 0);
        // What came after the key is left for nobody: the show has ended.
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        push_window_event(SDL_WINDOWEVENT_RESTORED, VIEW_W, VIEW_H);
        display.key_down[WIN_VK_ESCAPE] = false;
        loop = main_loop_begin();
        main_loop_pass(loop);
    }
}

// A key pressed while a frame is being drawn is there for the next pass,
// which ends the show even when the key is already up again.
TEST_F(MainLoop, AnEscapeTapDuringAFrameEndsTheShowOnTheNextPass) {
    shell_record.frame_script = [](int frame) -> int64_t {
        if (frame == 1) {
            push_key(SDLK_ESCAPE, true);
            push_key(SDLK_ESCAPE, false);
        }
        return frame_step_time(frame);
    };
    main_loop_pass(loop);
    main_loop_pass(loop);
    EXPECT_FALSE(loop.done);
    main_loop_pass(loop);
    EXPECT_TRUE(loop.done);
    EXPECT_EQ(loop.exit_code, 0);
    EXPECT_EQ(loop_counts.frames, 2);
    EXPECT_EQ(loop_counts.swaps, 2);
}

// During a catch-up of many steps the loop looks at its messages every few
// steps: Escape ends the show on that pass, nothing presented; a new size
// is held until the steps are done and set on the next pass.
TEST_F(MainLoop, ACatchUpStopsOnEscapeAndHoldsANewSizeForTheNextPass) {
    static bool escape;
    for (bool e : {true, false}) {
        SCOPED_TRACE(e ? "Escape" : "new size");
        escape = e;
        loop = main_loop_begin();
        shell_record.frames = 0;
        shell_record.frame_script = [](int frame) -> int64_t {
            if (frame == 0 && escape) push_key(SDLK_ESCAPE, true);
            if (frame == 0 && !escape) push_window_event(SDL_WINDOWEVENT_SIZE_CHANGED, 200, 100);
            return frame_step_time(FRAME_MAX_STEPS_PER_PASS * (frame + 1));
        };
        main_loop_pass(loop);
        EXPECT_EQ(loop.done, e);
        EXPECT_GE(loop_counts.polls, 1);
        if (e) {
            EXPECT_EQ(loop_counts.swaps, 0);
            EXPECT_LE(frame_driver.next_step, FRAME_POLL_STEPS);
            display.key_down[WIN_VK_ESCAPE] = false;
            continue;
        }
        EXPECT_EQ(frame_driver.next_step, FRAME_MAX_STEPS_PER_PASS);
        EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, VIEW_W, VIEW_H}));
        main_loop_pass(loop);
        EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 200, 100}));
        EXPECT_TRUE(display.held.empty());
    }
    shell_record.frame_script = nullptr;
}

TEST_F(MainLoop, HeldKeyStaysDownUntilItsKeyUp) {
    push_key(SDLK_a, true);
    main_loop_pass(loop);
    for (int i = 0; i < 3; ++i)
        main_loop_pass(loop);
    EXPECT_TRUE(display.key_down[int{'A'}]);
    push_key(SDLK_a, false);
    main_loop_pass(loop);
    EXPECT_FALSE(display.key_down[int{'A'}]);
}

TEST_F(MainLoop, KeysWithAltHeldAreSystemKeysAndNotRecorded) {
    push_key(SDLK_ESCAPE, true, KMOD_LALT);
    push_key(SDLK_F10, true);
    main_loop_pass(loop);
    main_loop_pass(loop);
    main_loop_pass(loop);
    EXPECT_FALSE(display.key_down[WIN_VK_ESCAPE]);
    EXPECT_FALSE(display.key_down[0x79]);
    EXPECT_FALSE(loop.done);
}

TEST_F(MainLoop, CloseRequestPostsQuitWithZeroAndKeepsTheWindow) {
    push_window_event(SDL_WINDOWEVENT_CLOSE);
    push_other_event();
    // The quit message goes behind what is queued; the same pass takes it.
    main_loop_pass(loop);
    EXPECT_TRUE(loop.done);
    EXPECT_NE(display.window_handle, nullptr);
    EXPECT_EQ(loop.exit_code, 0);
    EXPECT_EQ(loop_counts.frames, 0);
}

TEST_F(MainLoop, QuitCodeIsTheExitCode) {
    win_post_quit(7);
    main_loop_pass(loop);
    EXPECT_TRUE(loop.done);
    EXPECT_EQ(loop.exit_code, 7);
}

TEST_F(MainLoop, ScreenSaverStaysOffWhileTheDisplayIsUp) {
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
}

TEST(VirtualKeys, CodesOfCommonKeys) {
    EXPECT_EQ(win_virtual_key(SDLK_ESCAPE), 27);
    EXPECT_EQ(win_virtual_key(SDLK_a), 'A');
    EXPECT_EQ(win_virtual_key(SDLK_z), 'Z');
    EXPECT_EQ(win_virtual_key(SDLK_0), '0');
    EXPECT_EQ(win_virtual_key(SDLK_SPACE), 0x20);
    EXPECT_EQ(win_virtual_key(SDLK_RETURN), 0x0D);
    EXPECT_EQ(win_virtual_key(SDLK_LEFT), 0x25);
    EXPECT_EQ(win_virtual_key(SDLK_F1), 0x70);
    EXPECT_EQ(win_virtual_key(SDLK_F12), 0x7B);
}

} // namespace

// With --window or --fullscreen the 4:3 picture stays centred in the
// drawable at any size, between black bars, with the show's projection.
TEST_F(MainLoop, KeptAspectDisplayCentresTheFourByThreePicture) {
    display.request.kind = DISPLAY_WINDOW;
    struct SizeCase {
        int width, height;
        std::array<GLint, 4> viewport;
    };
    const SizeCase cases[] = {
        {200, 100, {33, 0, 133, 100}}, // wider: bars left and right
        {90, 160, {0, 46, 90, 67}},    // taller: bars above and below
        {160, 120, {0, 0, 160, 120}},  // 4:3: no bars
    };
    for (const SizeCase& c : cases) {
        SDL_SetWindowSize(shell_sdl_window(), c.width, c.height);
        push_window_event(SDL_WINDOWEVENT_SIZE_CHANGED, c.width, c.height);
        main_loop_pass(loop);
        EXPECT_EQ(viewport(), c.viewport) << c.width << "x" << c.height;
        GLdouble projection[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        // The picture's own aspect, about 4:3 (whole pixels).
        double aspect = double(c.viewport[2]) / double(c.viewport[3]);
        EXPECT_NEAR(aspect, 4.0 / 3.0, 0.02);
        EXPECT_NEAR(projection[0], 1.0 / std::tan(M_PI / 8) / aspect, 1e-6);
        PictureRect r = picture_rect(c.width, c.height);
        EXPECT_EQ((std::array<GLint, 4>{r.x, r.y, r.width, r.height}), c.viewport);
    }
    display.request = DisplayRequest{};
}
