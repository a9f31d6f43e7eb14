// The window layer: one SDL2 window with a double-buffered OpenGL context,
// its event queue and the presentation of frames.  Each call is one step of
// setting up or releasing the display, so that the display code above it can
// walk the steps in order, report the one that failed and undo the rest.
//
// What each step stands for over SDL:
//   register / unregister   the video subsystem (and the GL attributes of
//                           the pixel-format request, which SDL reads when it
//                           makes a window)
//   full-screen mode        a display mode of exactly the wanted size and
//                           colour depth; the switch itself happens when the
//                           window is made full screen, and is undone by
//                           win_leave_fullscreen
//   window                  SDL_CreateWindow / SDL_DestroyWindow
//   device                  a reference on the GL driver that draws into the
//                           window (SDL_GL_LoadLibrary / SDL_GL_UnloadLibrary)
//   choose / set format     the window's pixel format exists and the window
//                           was made for OpenGL with the requested attributes
//   context                 SDL_GL_CreateContext / SDL_GL_DeleteContext
//   make current / detach   SDL_GL_MakeCurrent with the context / with none
#pragma once

#include <cstdint>

// Opaque handles of the window and its GL context.
struct WinWindow;
struct WinContext;

// Every step of setting up and releasing the display, in order.
enum WinStep {
    WIN_STEP_REGISTER,
    WIN_STEP_FULLSCREEN_MODE,
    WIN_STEP_CREATE_WINDOW,
    WIN_STEP_ACQUIRE_DEVICE,
    WIN_STEP_CHOOSE_FORMAT,
    WIN_STEP_SET_FORMAT,
    WIN_STEP_CREATE_CONTEXT,
    WIN_STEP_MAKE_CURRENT,
    WIN_STEP_LEAVE_FULLSCREEN,
    WIN_STEP_DETACH_CONTEXT,
    WIN_STEP_DELETE_CONTEXT,
    WIN_STEP_RELEASE_DEVICE,
    WIN_STEP_DESTROY_WINDOW,
    WIN_STEP_UNREGISTER,
    WIN_STEP_COUNT
};

// Called with each step just after it was carried out (tests record the
// order of set-up and release with it).
typedef void (*WinStepHook)(WinStep step, bool ok);

// The window layer's switches, set before the calls they affect.
struct WinSwitches {
    // Fault injection for tests: a step whose entry is true reports failure
    // without doing anything.  All false by default; only tests set them.
    bool fail_step[WIN_STEP_COUNT] = {};
    // Null by default; only tests set it.
    WinStepHook step_hook = nullptr;
    // Desktop mode (false by default): a full-screen window covers the
    // display at the desktop's own resolution with no mode change (instead
    // of the mode win_find_fullscreen_mode found), and every window asks for
    // a drawable of the screen's full pixel density on high-DPI displays.
    // Set before win_create_window.
    bool desktop_mode = false;
    // True (the default) to wait for the present deadline (see
    // win_swap_buffers); only tests, benchmarks and the player's --no-vsync
    // turn it off.
    bool frame_pacing = true;
    // True (the default) to ask for vsync when the context is made; false
    // asks for none (the player's --no-vsync).
    bool want_vsync = true;
};
extern WinSwitches win_switches;

// Starts the video subsystem and records the pixel-format request: double
// buffering, a 16-bit depth buffer and `colour_bits` of colour.  Keeps the
// screen saver off while the subsystem runs.
bool win_register(int colour_bits);
bool win_unregister();

// True when the display offers a mode of exactly width x height at
// `colour_bits` (32 counts 24-bit colour stored in 32-bit pixels).
bool win_find_fullscreen_mode(int width, int height, int colour_bits);

// Creates the hidden window: full screen in the mode found above (or the
// desktop's, in desktop mode), or a normal resizable window whose client area
// is width x height.
WinWindow* win_create_window(const char* title, int width, int height, bool fullscreen);
bool win_destroy_window(WinWindow* window);

// Puts the desktop's own display mode back (a full-screen window goes
// windowed first).
bool win_leave_fullscreen(WinWindow* window);

// Shows or hides the mouse cursor.
void win_show_cursor(bool shown);

bool win_acquire_device(WinWindow* window);
bool win_release_device();

bool win_choose_format(WinWindow* window);
bool win_set_format(WinWindow* window);

WinContext* win_create_context(WinWindow* window);
bool win_delete_context(WinContext* context);

// Makes the context current on the calling thread; (null, null) detaches.
bool win_make_current(WinWindow* window, WinContext* context);

// Shows the window, raises it and gives it the keyboard focus; a windowed
// window is placed with its outer frame at the screen's top left corner.
void win_show(WinWindow* window, bool fullscreen);

// The client size in pixels.
void win_client_size(WinWindow* window, int* width, int* height);

// One message taken from the queue, in the terms the display code handles.
enum WinMessageKind {
    WIN_MSG_OTHER,    // anything the display code passes by
    WIN_MSG_QUIT,     // the quit message; code = exit code
    WIN_MSG_CLOSE,    // the user asked to close the window
    WIN_MSG_MINIMIZE, // the window was minimised
    WIN_MSG_RESTORE,  // the window came back from minimised; width, height
    WIN_MSG_SIZE,     // the client area changed size; width, height
    WIN_MSG_KEYDOWN,  // code = virtual-key code
    WIN_MSG_KEYUP,
    WIN_MSG_SYSKEYDOWN, // a key pressed or released with Alt held, or F10
    WIN_MSG_SYSKEYUP,
};

struct WinMessage {
    WinMessageKind kind;
    int code;
    int width, height;
};

// Takes at most one message from the queue.  False when it is empty.
bool win_peek_message(WinMessage* message);

// Takes the next message about the window itself (shown, sized, minimised,
// restored, closed) out of the queue, leaving input messages where they are.
// False when there is none.
bool win_take_window_message(WinMessage* message);

// Posts the quit message with `code` to the end of the queue.
void win_post_quit(int code);

// Virtual-key code of an SDL key symbol (0 when it has none).
int win_virtual_key(int32_t sdl_keycode);
constexpr int WIN_VK_ESCAPE = 27;
// The keyboard's media keys (a headset's button is play/pause).
constexpr int WIN_VK_MEDIA_NEXT_TRACK = 0xB0;
constexpr int WIN_VK_MEDIA_PREV_TRACK = 0xB1;
constexpr int WIN_VK_MEDIA_STOP = 0xB2;
constexpr int WIN_VK_MEDIA_PLAY_PAUSE = 0xB3;
constexpr int WIN_KEY_COUNT = 256;

// Frame pacing: present at most WIN_MAX_FPS frames a second.  The context
// asks for adaptive vsync (else vsync); in addition every swap waits for the
// next 1/WIN_MAX_FPS s deadline, which costs nothing when a 60 Hz vsync
// already holds the swaps back, and keeps the rate when the display is much
// faster than 60 Hz or swaps do not block at all.
constexpr int WIN_MAX_FPS = 60;

// Presents the back buffer, paced as above.
void win_swap_buffers(WinWindow* window);

// The swap interval the context got: -1 adaptive, 1 vsync, 0 none.
int win_swap_interval();

// Ends every SDL subsystem still running, as the process ends: a window left
// open (the sound failure path keeps it until the process ends) goes, and
// with it a full-screen mode and a hidden cursor.
void win_end_process();
