// Start-up and shutdown of the whole show, run in-process on the offscreen
// driver: version check, display set-up with its fallback question and its
// failure boxes, sound start-up, and the release order at the end.
#include <GL/gl.h>
#include <array>
#include <cmath>

#include "shell_fixture.h"

namespace {

float version_349() {
    return 3.49f;
}
float version_35() {
    return 3.5f;
}
float version_nan() {
    return std::nanf("");
}

// Frame script: shows song time 0 and presses Escape on frame `at`.
std::function<int64_t(int)> escape_at(int at) {
    return [at](int frame) -> int64_t {
        if (frame == at) push_key(SDLK_ESCAPE, true);
        return 0;
    };
}

// Frame script: the user closes the window on frame `at`.
std::function<int64_t(int)> close_at(int at) {
    return [at](int frame) -> int64_t {
        if (frame == at) push_window_event(SDL_WINDOWEVENT_CLOSE);
        return 0;
    };
}

struct ShowStartup : ShellTest {};

TEST_F(ShowStartup, VersionBelowMinimumExitsOneWithoutWindowOrBox) {
    show_sound_version = version_349;
    EXPECT_EQ(run_show_reporting(), 1);
    expect_failure_line({"libopenmpt", "older", "update"});
    EXPECT_TRUE(shell_record.boxes.empty());
    EXPECT_TRUE(shell_record.trace.empty()); // not even the video subsystem
    EXPECT_EQ(shell_record.frames, 0);
}

TEST_F(ShowStartup, VersionThatDoesNotCompareExitsOne) {
    show_sound_version = version_nan;
    EXPECT_EQ(run_show_reporting(), 1);
    expect_failure_line({"libopenmpt"});
    EXPECT_TRUE(shell_record.boxes.empty());
    EXPECT_TRUE(shell_record.trace.empty());
}

TEST_F(ShowStartup, VersionExactlyMinimumIsAccepted) {
    show_sound_version = version_35;
    shell_record.frame_script = escape_at(2);
    EXPECT_EQ(run_show_reporting(), 0);
    EXPECT_TRUE(shell_record.errors.empty()); // a show that ran reports no failure
    // The pass after the one that drew frame 2 takes the key and ends.
    EXPECT_EQ(shell_record.frames, 3);
}

TEST_F(ShowStartup, FullscreenRefusedAndAnsweredYesRunsWindowed) {
    shell_record.fallback_answer = MSGBOX_ANSWER_YES;
    bool was_fullscreen = true;
    int client_w = 0, client_h = 0;
    shell_record.frame_script = [&](int frame) -> int64_t {
        was_fullscreen = (SDL_GetWindowFlags(shell_sdl_window()) & SDL_WINDOW_FULLSCREEN) != 0;
        win_client_size(display.window_handle, &client_w, &client_h);
        if (frame == 1) push_key(SDLK_ESCAPE, true);
        return 0;
    };
    EXPECT_EQ(run_show(), 0);
    // The offscreen display has no 1024 x 768 mode: the question comes first.
    ASSERT_EQ(shell_record.boxes.size(), 1u);
    const ShownBox& box = shell_record.boxes[0];
    EXPECT_EQ(box.text, FALLBACK_QUESTION_TEXT);
    EXPECT_EQ(box.caption, "Vexil GL");
    EXPECT_EQ(box.buttons, MSGBOX_YES_NO);
    EXPECT_EQ(box.icon, MSGBOX_ICON_EXCLAMATION);
    EXPECT_FALSE(box.owned_by_focus);
    EXPECT_FALSE(box.window_existed);
    EXPECT_FALSE(display.fullscreen);
    EXPECT_FALSE(was_fullscreen);
    EXPECT_EQ(client_w, SHOW_WIDTH);
    EXPECT_EQ(client_h, SHOW_HEIGHT);
    EXPECT_FALSE(trace_has("leave_fullscreen")); // the desktop mode was never touched
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST_F(ShowStartup, FullscreenRefusedAndAnsweredNoClosesWithZero) {
    shell_record.fallback_answer = MSGBOX_ANSWER_NO;
    EXPECT_EQ(run_show_reporting(), 0);
    expect_failure_line({"1024 x 768 at 32 bits", "--window", "--fullscreen"});
    ASSERT_EQ(shell_record.boxes.size(), 2u);
    EXPECT_EQ(shell_record.boxes[0].caption, "Vexil GL");
    EXPECT_EQ(shell_record.boxes[1].text, "Program Will Now Close.");
    EXPECT_EQ(shell_record.boxes[1].caption, "ERROR");
    EXPECT_EQ(shell_record.boxes[1].buttons, MSGBOX_OK);
    EXPECT_EQ(shell_record.boxes[1].icon, MSGBOX_ICON_STOP);
    EXPECT_FALSE(trace_has("create_window"));
    EXPECT_FALSE(trace_has("unregister")); // the class stays registered
    EXPECT_EQ(shell_record.frames, 0);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u); // no sound was started
    win_unregister();
}

TEST_F(ShowStartup, EscapeEndsWithZeroAndReleasesInOrder) {
    shell_record.frame_script = escape_at(3);
    EXPECT_EQ(run_show(), 0);
    EXPECT_EQ(shell_record.frames, 4);
    EXPECT_EQ(trace_from("destroy_display"), WINDOWED_SHUTDOWN);
    EXPECT_EQ(display.window_handle, nullptr);
    EXPECT_EQ(display.render_context, nullptr);
    EXPECT_EQ(song_module, nullptr);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO | SDL_INIT_AUDIO), 0u);
}

TEST_F(ShowStartup, ClosingTheWindowEndsWithZeroWithoutAnotherFrame) {
    shell_record.frame_script = close_at(2);
    EXPECT_EQ(run_show(), 0);
    // The close request and the quit it posts are taken before the queue
    // runs empty again.
    EXPECT_EQ(shell_record.frames, 3);
    EXPECT_EQ(trace_from("destroy_display"), WINDOWED_SHUTDOWN);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO | SDL_INIT_AUDIO), 0u);
}

TEST_F(ShowStartup, SetUpStepsRunInOrder) {
    shell_record.frame_script = escape_at(0);
    EXPECT_EQ(run_show(), 0);
    std::vector<std::string> expected = {
        "register",   "fullscreen_mode FAILED", "create_window", "acquire_device", "choose_format",
        "set_format", "create_context",         "make_current"};
    ASSERT_GE(shell_record.trace.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(shell_record.trace.begin(),
                                       shell_record.trace.begin() + expected.size()),
              expected);
}

TEST_F(ShowStartup, SoundRefusedShowsDamnWithTheDisplayStillUpAndExitsOne) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    int code = run_show_reporting();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(code, 1);
    ASSERT_EQ(shell_record.boxes.size(), 2u); // the question, then the sound box
    const ShownBox& box = shell_record.boxes[1];
    EXPECT_EQ(box.text, "DAMN!!!");
    EXPECT_EQ(box.caption, "Your sound device is used by an other applet");
    EXPECT_EQ(box.buttons, MSGBOX_OK);
    EXPECT_EQ(box.icon, MSGBOX_ICON_ERROR);
    EXPECT_FALSE(box.owned_by_focus);
    EXPECT_TRUE(box.window_existed);
    EXPECT_FALSE(trace_has("destroy_display"));
    EXPECT_EQ(shell_record.frames, 0);
    EXPECT_NE(display.window_handle, nullptr); // the process ends with it
    expect_failure_line({"cannot open the sound output", "SDL_AUDIODRIVER"});
}

// Each set-up step that fails after the window class exists: its box, shown
// after everything made so far was released.
struct SetUpFailure {
    WinStep step;
    const char* text;
    const char* what; // in the line on stderr
};
const SetUpFailure SET_UP_FAILURES[] = {
    {WIN_STEP_CREATE_WINDOW, "Window Creation Error.", "cannot create the window"},
    {WIN_STEP_ACQUIRE_DEVICE, "Can't Create A GL Device Context.", "OpenGL driver"},
    {WIN_STEP_CHOOSE_FORMAT, "Can't Find A Suitable PixelFormat.", "pixel format"},
    {WIN_STEP_SET_FORMAT, "Can't Set The PixelFormat.", "cannot draw with OpenGL"},
    {WIN_STEP_CREATE_CONTEXT, "Can't Create A GL Rendering Context.", "create an OpenGL context"},
    {WIN_STEP_MAKE_CURRENT, "Can't Activate The GL Rendering Context.", "context current"},
};

TEST_F(ShowStartup, EachSetUpFailureReleasesThenShowsItsBoxAndExitsOne) {
    for (const SetUpFailure& failure : SET_UP_FAILURES) {
        SCOPED_TRACE(failure.text);
        shell_record.boxes.clear();
        shell_record.trace.clear();
        display.fullscreen = true;
        win_switches.fail_step[failure.step] = true;
        EXPECT_EQ(run_show_reporting(), 1);
        expect_failure_line({failure.what, "glxinfo", "--window"});
        win_switches.fail_step[failure.step] = false;
        ASSERT_EQ(shell_record.boxes.size(), 2u);
        const ShownBox& box = shell_record.boxes[1];
        EXPECT_EQ(box.text, failure.text);
        EXPECT_EQ(box.caption, "ERROR");
        EXPECT_EQ(box.icon, MSGBOX_ICON_EXCLAMATION);
        EXPECT_EQ(box.buttons, MSGBOX_OK);
        EXPECT_FALSE(box.owned_by_focus);
        EXPECT_FALSE(box.window_existed);
        // The release ran before the box, ending with the class.
        ASSERT_GE(box.trace_at, 1u);
        EXPECT_EQ(shell_record.trace[box.trace_at - 1], "unregister");
        EXPECT_EQ(shell_record.frames, 0);
        EXPECT_EQ(display.window_handle, nullptr);
        EXPECT_EQ(display.render_context, nullptr);
        EXPECT_FALSE(display.device_context);
        EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO | SDL_INIT_AUDIO), 0u);
    }
}

TEST_F(ShowStartup, ClassRegistrationFailureShowsItsBoxWithoutReleaseAndExitsOne) {
    win_switches.fail_step[WIN_STEP_REGISTER] = true;
    EXPECT_EQ(run_show_reporting(), 1);
    expect_failure_line({"cannot start the video system", "SDL_VIDEODRIVER"});
    ASSERT_EQ(shell_record.boxes.size(), 1u);
    EXPECT_EQ(shell_record.boxes[0].text, "Failed To Register The Window Class.");
    EXPECT_EQ(shell_record.boxes[0].caption, "ERROR");
    EXPECT_EQ(shell_record.boxes[0].icon, MSGBOX_ICON_EXCLAMATION);
    EXPECT_EQ(shell_record.trace, std::vector<std::string>{"register FAILED"});
}

// A release step that fails: its "SHUTDOWN ERROR" box, and the later steps
// still run.
struct ReleaseFailure {
    WinStep step;
    const char* text;
};
const ReleaseFailure RELEASE_FAILURES[] = {
    {WIN_STEP_DETACH_CONTEXT, "Release Of DC And RC Failed."},
    {WIN_STEP_DELETE_CONTEXT, "Release Rendering Context Failed."},
    {WIN_STEP_RELEASE_DEVICE, "Release Device Context Failed."},
    {WIN_STEP_DESTROY_WINDOW, "Could Not Release hWnd."},
    {WIN_STEP_UNREGISTER, "Could Not Unregister Class."},
};

TEST_F(ShowStartup, EachReleaseFailureIsReportedAndTheRestStillRuns) {
    for (const ReleaseFailure& failure : RELEASE_FAILURES) {
        SCOPED_TRACE(failure.text);
        shell_record.boxes.clear();
        shell_record.trace.clear();
        ASSERT_TRUE(create_display(SHOW_TITLE, 64, 48, SHOW_COLOUR_BITS, false));
        win_switches.fail_step[failure.step] = true;
        run_reporting(destroy_display);
        win_switches.fail_step[failure.step] = false;
        expect_failure_line({"at shutdown", "display settings"});
        ASSERT_EQ(shell_record.boxes.size(), 1u);
        EXPECT_EQ(shell_record.boxes[0].text, failure.text);
        EXPECT_EQ(shell_record.boxes[0].caption, "SHUTDOWN ERROR");
        EXPECT_EQ(shell_record.boxes[0].icon, MSGBOX_ICON_INFORMATION);
        EXPECT_EQ(shell_record.boxes[0].buttons, MSGBOX_OK);
        EXPECT_TRUE(trace_has("unregister") || failure.step == WIN_STEP_UNREGISTER);
        EXPECT_EQ(display.window_handle, nullptr);
        EXPECT_EQ(display.render_context, nullptr);
        EXPECT_FALSE(display.device_context);
        // Undo what the injected failure skipped, so the next round starts clean.
        if (failure.step == WIN_STEP_UNREGISTER) win_unregister();
    }
}

TEST_F(ShowStartup, SecondSoundInitDoesNotDisturbTheRunningOutput) {
    int64_t before_second = -1, after_second = -1;
    shell_record.frame_script = [&](int frame) -> int64_t {
        int64_t t = frame_clock_song();
        if (frame == 0) {
            before_second = t;
            EXPECT_TRUE(snd_init(SHOW_MIX_RATE, SHOW_CHANNELS, SHOW_SOUND_FLAGS_SECOND));
        }
        if (frame >= 1) after_second = t;
        if (frame == 20) push_key(SDLK_ESCAPE, true);
        return t;
    };
    EXPECT_EQ(run_show(), 0);
    EXPECT_GE(after_second, before_second); // the clock went on
}

} // namespace

namespace {

// Cursor state seen when the context is detached.
int cursor_at_detach = -1;
void record_cursor_at_detach(WinStep step, bool ok) {
    shell_record_step(step, ok);
    if (step == WIN_STEP_DETACH_CONTEXT) cursor_at_detach = SDL_ShowCursor(SDL_QUERY);
}

TEST_F(ShowStartup, FullScreenReleaseGivesBackModeAndCursorBeforeAnythingElse) {
    ASSERT_TRUE(create_display(SHOW_TITLE, 64, 48, SHOW_COLOUR_BITS, false));
    // As after an accepted full-screen mode: the flag set, the cursor hidden.
    display.fullscreen = true;
    win_show_cursor(false);
    shell_record.trace.clear();
    win_switches.step_hook = record_cursor_at_detach;
    destroy_display();
    std::vector<std::string> expected = {"leave_fullscreen", "detach_context", "delete_context",
                                         "release_device",   "destroy_window", "unregister"};
    EXPECT_EQ(shell_record.trace, expected);
    EXPECT_EQ(cursor_at_detach, SDL_ENABLE);
    EXPECT_TRUE(shell_record.boxes.empty());
}

} // namespace

namespace {

// Pretends that showing the window made the window system report its size,
// as X does for a full-screen window.
void size_reported_when_shown(WinStep step, bool ok) {
    shell_record_step(step, ok);
    if (step == WIN_STEP_MAKE_CURRENT) push_window_event(SDL_WINDOWEVENT_SIZE_CHANGED, 1024, 768);
}

TEST_F(ShowStartup, SizeReportedOnShowIsHandledBeforeTheRenderStateIsSet) {
    win_switches.step_hook = size_reported_when_shown;
    GLint first_mode = 0;
    std::array<GLint, 4> first_viewport = {};
    shell_record.frame_script = [&](int frame) -> int64_t {
        if (frame == 0) {
            glGetIntegerv(GL_MATRIX_MODE, &first_mode);
            glGetIntegerv(GL_VIEWPORT, first_viewport.data());
            push_key(SDLK_ESCAPE, true);
        }
        return 0;
    };
    EXPECT_EQ(run_show(), 0);
    EXPECT_EQ(first_mode, GL_TEXTURE);
    EXPECT_EQ(first_viewport, (std::array<GLint, 4>{0, 0, SHOW_WIDTH, SHOW_HEIGHT}));
}

} // namespace
