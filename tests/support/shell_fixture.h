// Shared set-up for the start-up, loop and fault tests: a working directory
// with stand-in show data, a message-box recorder that answers the full-screen
// question, a trace of every display step and shutdown step in order, and a
// frame hook that runs a script of injected events.
#pragma once

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/display.h"
#include "app/main_loop.h"
#include "show/frame.h"
#include "platform/msgbox.h"
#include "platform/sound.h"
#include "platform/window.h"
#include "show_test_data.h"
#include "support/test_support.h"

// One box as the recorder saw it.
struct ShownBox {
    std::string text;
    std::string caption;
    MsgBoxButtons buttons;
    MsgBoxIcon icon;
    bool owned_by_focus;
    bool window_existed; // the display window was still there
    size_t trace_at;     // how many trace entries came before it
};

// Everything the fixture records; cleared by each test's set-up.
struct ShellRecord {
    std::vector<ShownBox> boxes;
    std::vector<std::string> trace;
    MsgBoxAnswer fallback_answer = MSGBOX_ANSWER_YES;
    // Called on each clock reading of the loop (one per pass that may draw)
    // with the reading's number (0 first); returns the song time.  Without a
    // script the clock moves one step of the show per reading, so every such
    // pass draws.
    std::function<int64_t(int)> frame_script;
    int frames = 0;
    // The failure lines (those that start with the program's name) printed
    // on stderr by the last run_reporting.
    std::vector<std::string> errors;
};
inline ShellRecord shell_record;

inline const char* win_step_name(WinStep step) {
    static const char* const NAMES[WIN_STEP_COUNT] = {
        "register",       "fullscreen_mode", "create_window",  "acquire_device",   "choose_format",
        "set_format",     "create_context",  "make_current",   "leave_fullscreen", "detach_context",
        "delete_context", "release_device",  "destroy_window", "unregister"};
    return NAMES[step];
}

inline MsgBoxAnswer shell_record_box(const char* text, const char* caption, MsgBoxButtons buttons,
                                     MsgBoxIcon icon, bool owned) {
    shell_record.boxes.push_back({text, caption, buttons, icon, owned,
                                  display.window_handle != nullptr, shell_record.trace.size()});
    if (buttons == MSGBOX_YES_NO) return shell_record.fallback_answer;
    return MSGBOX_ANSWER_OK;
}

inline void shell_record_step(WinStep step, bool ok) {
    shell_record.trace.push_back(std::string(win_step_name(step)) + (ok ? "" : " FAILED"));
}

inline void shell_record_shutdown(const char* step) {
    shell_record.trace.push_back(step);
}

inline int64_t shell_frame_clock() {
    int frame = shell_record.frames++;
    if (shell_record.frame_script) return shell_record.frame_script(frame);
    return frame_step_time(frame);
}

inline SDL_Window* shell_sdl_window() {
    return reinterpret_cast<SDL_Window*>(display.window_handle);
}

// Puts a key message on the queue, as the window would get it.
inline void push_key(SDL_Keycode key, bool down, Uint16 mod = KMOD_NONE) {
    SDL_Event event = {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    event.key.windowID = display.window_handle ? SDL_GetWindowID(shell_sdl_window()) : 0;
    SDL_PushEvent(&event);
}

inline void push_window_event(Uint8 what, int data1 = 0, int data2 = 0) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    event.window.data1 = data1;
    event.window.data2 = data2;
    event.window.windowID = display.window_handle ? SDL_GetWindowID(shell_sdl_window()) : 0;
    SDL_PushEvent(&event);
}

// A message that the display code passes by.
inline void push_other_event() {
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = display.window_handle ? SDL_GetWindowID(shell_sdl_window()) : 0;
    SDL_PushEvent(&event);
}

// Runs `run` with stderr captured and keeps its failure lines.
inline void run_reporting(const std::function<void()>& run) {
    testing::internal::CaptureStderr();
    run();
    std::string text = testing::internal::GetCapturedStderr();
    std::string prefix = std::string(program_invocation_short_name) + ": ";
    shell_record.errors.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (line.compare(0, prefix.size(), prefix) == 0) shell_record.errors.push_back(line);
        start = end + 1;
    }
}

inline int run_show_reporting() {
    int code = -1;
    run_reporting([&code] { code = run_show(); });
    return code;
}

// The run printed exactly one failure line, and it holds each of `words`.
inline void expect_failure_line(std::initializer_list<const char*> words) {
    ASSERT_EQ(shell_record.errors.size(), 1u) << ::testing::PrintToString(shell_record.errors);
    for (const char* word : words)
        EXPECT_NE(shell_record.errors[0].find(word), std::string::npos)
            << shell_record.errors[0] << " lacks " << word;
}

inline bool trace_has(const std::string& entry) {
    for (const std::string& t : shell_record.trace)
        if (t == entry) return true;
    return false;
}

// The trace from the first occurrence of `entry` on.
inline std::vector<std::string> trace_from(const std::string& entry) {
    std::vector<std::string> rest;
    bool found = false;
    for (const std::string& t : shell_record.trace) {
        found = found || t == entry;
        if (found) rest.push_back(t);
    }
    return rest;
}

// The release order of a windowed display, then the sound.
inline const std::vector<std::string> WINDOWED_SHUTDOWN = {
    "destroy_display", "detach_context", "delete_context", "release_device",
    "destroy_window",  "unregister",     "free_song",      "close_sound"};

struct ShellTest : ::testing::Test {
    std::string dir = temp_dir_make("shell");
    WorkingDirGuard guard = working_dir_enter(dir);

    ShellTest() {
        shell_record = ShellRecord{};
        msgbox_set_hook(shell_record_box);
        win_switches.step_hook = shell_record_step;
        show_shutdown_hook = shell_record_shutdown;
        frame_clock = shell_frame_clock;
        for (bool& fail : win_switches.fail_step)
            fail = false;
        display.fullscreen = true;
        display.window_active = true;
        for (bool& key : display.key_down)
            key = false;
        EXPECT_TRUE(show_test_data_write(dir));
    }
    ~ShellTest() override {
        for (bool& fail : win_switches.fail_step)
            fail = false;
        // Whatever a test left open goes now.
        if (display.window_handle || display.render_context || display.device_context)
            destroy_display();
        if (song_module) snd_free_song(song_module);
        song_module = nullptr;
        snd_close();
        msgbox_set_hook(nullptr);
        win_switches.step_hook = nullptr;
        show_shutdown_hook = nullptr;
        show_sound_version = snd_get_version;
        frame_clock = frame_clock_song;
        working_dir_leave(guard);
        temp_dir_remove(dir);
    }

    // The boxes' texts in order.
    std::vector<std::string> box_texts() const {
        std::vector<std::string> texts;
        for (const ShownBox& box : shell_record.boxes)
            texts.push_back(box.text);
        return texts;
    }
};

// Texts of the boxes.
inline const char* const FALLBACK_QUESTION_TEXT =
    "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode "
    "Instead?";
