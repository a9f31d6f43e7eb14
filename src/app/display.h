// The show's one window and its OpenGL context: set-up with a message box
// for every failure, release in reverse order, and the handling of the
// window's messages (minimise, restore, size, keys, close).
#pragma once

#include <vector>

#include "platform/window.h"

// How the display is asked for.  The show's own way (the default): full
// screen in the exact mode asked for, else a window after asking, the
// picture stretched over the client area.  The other two keep the 4:3
// picture centred with black bars and a sharp picture on high-DPI screens:
// a resizable window at once, or full screen at the desktop's own
// resolution without a mode change.
enum DisplayKind { DISPLAY_SHOW_MODE, DISPLAY_WINDOW, DISPLAY_DESKTOP_FULLSCREEN };

struct DisplayRequest {
    DisplayKind kind = DISPLAY_SHOW_MODE;
    int width = 0, height = 0; // DISPLAY_WINDOW: the client size (0: create_display's)
};

// The display of the show: one per process.
struct DisplayState {
    // How the display is asked for; set by the entry point before
    // create_display, put back by tests.
    DisplayRequest request;
    // The display runs in the full-screen mode.  Set from create_display's
    // argument, cleared when the user accepts the windowed fallback; read by
    // destroy_display.
    bool fullscreen = true;
    // False while the window is minimised; the main loop draws frames only
    // while it is true.  Written by display_window_proc only.
    bool window_active = true;
    // One entry per virtual-key code, true from its key-down to its key-up
    // message.  Written by display_window_proc only.
    bool key_down[WIN_KEY_COUNT] = {};
    // The window, the hold on its GL driver and the GL context; set and
    // cleared by create_display and destroy_display only.
    WinWindow* window_handle = nullptr;
    bool device_context = false;
    WinContext* render_context = nullptr;
    // True when the last create_display stopped because the user answered
    // No to the windowed fallback: the viewer's choice, not a failure.  Set
    // by create_display only.
    bool fallback_declined = false;
    // Messages about the window's size and state taken during long work
    // (display_take_messages with `hold_window`), handled first by the next
    // display_take_messages: the view must not change while steps run.
    std::vector<WinMessage> held;
};
extern DisplayState display;

// Opens the window (full screen when `want_fullscreen`, asking before falling
// back to a window), makes the GL context current, sets the projection and
// the render state.  False after telling the user why; everything made so far
// is released then, except after the two earliest failures.
bool create_display(const char* title, int width, int height, int colour_bits,
                    bool want_fullscreen);

// Releases whatever exists, in reverse order of set-up; reports each failed
// step in a box and goes on.
void destroy_display();

// Sets the view for a client area of width x height pixels: the whole area
// for the show's own display, else the centred 4:3 picture in the window's
// drawable (pixels, not screen units, on high-DPI screens).
void display_resize(int width, int height);

// Handles one message of the window.
void display_window_proc(const WinMessage& message);

// At most this many messages are taken in one go, so that a flood of input
// cannot hold the show up for long.
constexpr int DISPLAY_MAX_MESSAGES = 256;

// What display_take_messages took.
struct DisplayMessages {
    int taken;     // messages taken
    int last_code; // the parameter of the last one (the quit message's code)
    bool quit;     // the last one was the quit message
    bool escape;   // the last one was a key-down of Escape (or of the media keys' Stop)
    bool drew;     // the hook drew a picture to present
};

// Called for each message handed on, after display_window_proc; true when
// it drew a picture to present.
using DisplayMessageHook = bool (*)(const WinMessage& message);

// Takes every queued message (at most DISPLAY_MAX_MESSAGES, the held ones
// first), handing each to display_window_proc, and stops early at the quit
// message (not handed on) or at a key-down of Escape: either ends the show,
// however soon the key comes up again and however many messages wait
// behind it.  With `hold_window` (during long work: a seek, a catch-up) the
// messages that size, minimise or restore the window are held for the next
// call instead, unhandled.
DisplayMessages display_take_messages(DisplayMessageHook hook = nullptr, bool hold_window = false);
