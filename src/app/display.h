// The show's one window and its OpenGL context: set-up with a message box
// for every failure, release in reverse order, and the handling of the
// window's messages (minimise, restore, size, keys, close).
#pragma once

#include "platform/window.h"

// The display runs in the full-screen mode.  Set from create_display's
// argument, cleared when the user accepts the windowed fallback; read by
// destroy_display.
extern bool fullscreen;

// False while the window is minimised; the main loop draws frames only while
// it is true.  Written by display_window_proc only.
extern bool window_active;

// One entry per virtual-key code, true from its key-down to its key-up
// message.  Written by display_window_proc only; the main loop reads
// entry 27 (Escape).
extern bool key_down[WIN_KEY_COUNT];

// The window, the hold on its GL driver and the GL context; set and cleared
// by create_display and destroy_display only.
extern WinWindow* window_handle;
extern bool device_context;
extern WinContext* render_context;

// True when the last create_display stopped because the user answered No to
// the windowed fallback: the viewer's choice, not a failure.  Set by
// create_display only.
extern bool fallback_declined;

// Opens the window (full screen when `want_fullscreen`, asking before falling
// back to a window), makes the GL context current, sets the projection and
// the render state.  False after telling the user why; everything made so far
// is released then, except after the two earliest failures.
bool create_display(const char* title, int width, int height, int colour_bits,
                    bool want_fullscreen);

// Releases whatever exists, in reverse order of set-up; reports each failed
// step in a box and goes on.
void destroy_display();

// Handles one message of the window.
void display_window_proc(const WinMessage& message);
