#include "app/display.h"

#include <cstdio>

#include "gfx/render_state.h"
#include "show/show_start.h"
#include "platform/msgbox.h"
#include "platform/report.h"

DisplayState display;

namespace {

// Captions and texts of the set-up and release boxes.
const char* const SETUP_CAPTION = "ERROR";
const char* const RELEASE_CAPTION = "SHUTDOWN ERROR";
const char* const FALLBACK_CAPTION = "Vexil GL";
const char* const FALLBACK_QUESTION =
    "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode "
    "Instead?";
const char* const TEXT_REGISTER = "Failed To Register The Window Class.";
const char* const TEXT_WILL_CLOSE = "Program Will Now Close.";
const char* const TEXT_WINDOW = "Window Creation Error.";
const char* const TEXT_DEVICE = "Can't Create A GL Device Context.";
const char* const TEXT_CHOOSE_FORMAT = "Can't Find A Suitable PixelFormat.";
const char* const TEXT_SET_FORMAT = "Can't Set The PixelFormat.";
const char* const TEXT_CONTEXT = "Can't Create A GL Rendering Context.";
const char* const TEXT_ACTIVATE = "Can't Activate The GL Rendering Context.";
const char* const TEXT_INIT = "Initialization Failed.";
const char* const TEXT_RELEASE_DC_RC = "Release Of DC And RC Failed.";
const char* const TEXT_RELEASE_RC = "Release Rendering Context Failed.";
const char* const TEXT_RELEASE_DC = "Release Device Context Failed.";
const char* const TEXT_RELEASE_WINDOW = "Could Not Release hWnd.";
const char* const TEXT_UNREGISTER = "Could Not Unregister Class.";

// What each box reports, in the words of the line on stderr.
struct FailureLine {
    const char* box;
    const char* what;
};
const FailureLine FAILURE_LINES[] = {
    {TEXT_REGISTER, "cannot start the video system"},
    {TEXT_WINDOW, "cannot create the window"},
    {TEXT_DEVICE, "cannot load the OpenGL driver"},
    {TEXT_CHOOSE_FORMAT, "the window has no pixel format"},
    {TEXT_SET_FORMAT, "the window cannot draw with OpenGL"},
    {TEXT_CONTEXT, "cannot create an OpenGL context"},
    {TEXT_ACTIVATE, "cannot make the OpenGL context current"},
    {TEXT_RELEASE_DC_RC, "at shutdown, cannot detach the OpenGL context"},
    {TEXT_RELEASE_RC, "at shutdown, cannot delete the OpenGL context"},
    {TEXT_RELEASE_DC, "at shutdown, cannot unload the OpenGL driver"},
    {TEXT_RELEASE_WINDOW, "at shutdown, cannot destroy the window"},
    {TEXT_UNREGISTER, "at shutdown, cannot stop the video system"},
};
const char* const MEND_REGISTER = "start it in a desktop session (DISPLAY or WAYLAND_DISPLAY set), "
                                  "or name SDL's video driver in SDL_VIDEODRIVER";
const char* const MEND_GL = "check that OpenGL works on this display (glxinfo -B; Debian's "
                            "libgl1-mesa-dri draws in software), or try --window";
const char* const MEND_RELEASE =
    "the show has ended and the system frees what is left; if the desktop's resolution did "
    "not come back, set it in the display settings";
const char* const WHAT_FULLSCREEN =
    "the display offers no full-screen mode of %d x %d at %d bits, and the window was declined";
const char* const MEND_FULLSCREEN =
    "start with --window, or --fullscreen for the display's own resolution";

// The line on stderr for a failure reported by the box `text`, with SDL's
// reason.  The start-up of the show reports its own failures (the picture
// that failed), so its box has no line here.
void report_line(const char* text, const char* mend) {
    for (const FailureLine& line : FAILURE_LINES)
        if (line.box == text) report_failure(line.what, report_sdl_reason(), mend);
}

void setup_box(const char* text, MsgBoxIcon icon) {
    msgbox_show(text, SETUP_CAPTION, MSGBOX_OK, icon, false);
}

void release_box(const char* text) {
    report_line(text, MEND_RELEASE);
    msgbox_show(text, RELEASE_CAPTION, MSGBOX_OK, MSGBOX_ICON_INFORMATION, false);
}

// Releases everything, then tells the user why set-up stopped.
bool fail_with(const char* text) {
    report_line(text, MEND_GL);
    destroy_display();
    setup_box(text, MSGBOX_ICON_EXCLAMATION);
    return false;
}

// The full-screen request; false when the user declined the fallback.
bool request_fullscreen(int width, int height, int colour_bits) {
    if (win_find_fullscreen_mode(width, height, colour_bits)) return true;
    MsgBoxAnswer answer = msgbox_show(FALLBACK_QUESTION, FALLBACK_CAPTION, MSGBOX_YES_NO,
                                      MSGBOX_ICON_EXCLAMATION, false);
    if (answer != MSGBOX_ANSWER_YES) {
        char what[160];
        std::snprintf(what, sizeof what, WHAT_FULLSCREEN, width, height, colour_bits);
        report_failure(what, nullptr, MEND_FULLSCREEN);
        display.fallback_declined = true;
        setup_box(TEXT_WILL_CLOSE, MSGBOX_ICON_STOP);
        return false;
    }
    display.fullscreen = false;
    return true;
}

// Window, driver, pixel format and context, each checked in turn.
bool open_gl_window(const char* title, int width, int height) {
    display.window_handle = win_create_window(title, width, height, display.fullscreen);
    if (!display.window_handle) return fail_with(TEXT_WINDOW);
    display.device_context = win_acquire_device(display.window_handle);
    if (!display.device_context) return fail_with(TEXT_DEVICE);
    if (!win_choose_format(display.window_handle)) return fail_with(TEXT_CHOOSE_FORMAT);
    if (!win_set_format(display.window_handle)) return fail_with(TEXT_SET_FORMAT);
    display.render_context = win_create_context(display.window_handle);
    if (!display.render_context) return fail_with(TEXT_CONTEXT);
    if (!win_make_current(display.window_handle, display.render_context))
        return fail_with(TEXT_ACTIVATE);
    return true;
}

// Showing the window makes the window system report its size and state;
// those messages are handled now, during the show step, and not later by the
// main loop, so that no resize_view comes after the render state is set up
// (the first frame must start with the texture matrix current).
void handle_show_messages() {
    WinMessage message;
    while (win_take_window_message(&message))
        display_window_proc(message);
}

} // namespace

bool create_display(const char* title, int width, int height, int colour_bits,
                    bool want_fullscreen) {
    DisplayKind kind = display.request.kind;
    display.fullscreen =
        kind == DISPLAY_SHOW_MODE ? want_fullscreen : kind == DISPLAY_DESKTOP_FULLSCREEN;
    display.fallback_declined = false;
    display.held.clear();
    if (kind == DISPLAY_WINDOW && display.request.width > 0) {
        width = display.request.width;
        height = display.request.height;
    }
    win_switches.desktop_mode = kind != DISPLAY_SHOW_MODE;
    if (!win_register(colour_bits)) {
        report_line(TEXT_REGISTER, MEND_REGISTER);
        setup_box(TEXT_REGISTER, MSGBOX_ICON_EXCLAMATION);
        return false;
    }
    if (display.fullscreen && kind == DISPLAY_SHOW_MODE &&
        !request_fullscreen(width, height, colour_bits))
        return false;
    if (display.fullscreen) win_show_cursor(false);
    if (!open_gl_window(title, width, height)) return false;
    win_show(display.window_handle, display.fullscreen);
    handle_show_messages();
    display_resize(width, height);
    if (!show_start_up()) return fail_with(TEXT_INIT);
    return true;
}

void destroy_display() {
    if (display.fullscreen) {
        win_leave_fullscreen(display.window_handle);
        win_show_cursor(true);
    }
    if (display.render_context) {
        if (!win_make_current(nullptr, nullptr)) release_box(TEXT_RELEASE_DC_RC);
        if (!win_delete_context(display.render_context)) release_box(TEXT_RELEASE_RC);
        display.render_context = nullptr;
    }
    if (display.device_context) {
        if (!win_release_device()) release_box(TEXT_RELEASE_DC);
        display.device_context = false;
    }
    if (display.window_handle) {
        if (!win_destroy_window(display.window_handle)) release_box(TEXT_RELEASE_WINDOW);
        display.window_handle = nullptr;
    }
    if (!win_unregister()) release_box(TEXT_UNREGISTER);
}

void display_resize(int width, int height) {
    if (display.request.kind == DISPLAY_SHOW_MODE) {
        resize_view(width, height);
        return;
    }
    // Messages give the size in screen units; GL draws in the drawable's
    // pixels, which differ on high-DPI screens.
    if (display.window_handle && width > 0) win_client_size(display.window_handle, &width, &height);
    resize_view_centred(width, height);
}

void display_window_proc(const WinMessage& message) {
    switch (message.kind) {
    case WIN_MSG_MINIMIZE:
        display.window_active = false;
        resize_view(0, 0);
        break;
    case WIN_MSG_RESTORE:
        display.window_active = true;
        display_resize(message.width, message.height);
        break;
    case WIN_MSG_SIZE:
        display_resize(message.width, message.height);
        break;
    case WIN_MSG_CLOSE:
        win_post_quit(0);
        break;
    case WIN_MSG_KEYDOWN:
    case WIN_MSG_KEYUP:
        if (message.code > 0 && message.code < WIN_KEY_COUNT)
            display.key_down[message.code] = message.kind == WIN_MSG_KEYDOWN;
        break;
    default:
        break;
    }
}

namespace {

bool display_changes_view(const WinMessage& message) {
    return message.kind == WIN_MSG_SIZE || message.kind == WIN_MSG_RESTORE ||
           message.kind == WIN_MSG_MINIMIZE;
}

// The next message: a held one first, else one from the queue.
bool display_next_message(bool hold_window, WinMessage* message) {
    if (!hold_window && !display.held.empty()) {
        *message = display.held.front();
        display.held.erase(display.held.begin());
        return true;
    }
    return win_peek_message(message);
}

} // namespace

DisplayMessages display_take_messages(DisplayMessageHook hook, bool hold_window) {
    DisplayMessages taken = {0, 0, false, false, false};
    WinMessage message;
    while (taken.taken < DISPLAY_MAX_MESSAGES && display_next_message(hold_window, &message)) {
        ++taken.taken;
        taken.last_code = message.code;
        if (message.kind == WIN_MSG_QUIT) {
            taken.quit = true;
            break;
        }
        if (hold_window && display_changes_view(message)) {
            display.held.push_back(message);
            continue;
        }
        display_window_proc(message);
        // The media keys' Stop ends the show as Escape does.
        if (message.kind == WIN_MSG_KEYDOWN &&
            (message.code == WIN_VK_ESCAPE || message.code == WIN_VK_MEDIA_STOP)) {
            taken.escape = true;
            break;
        }
        if (hook && hook(message)) taken.drew = true;
    }
    return taken;
}
