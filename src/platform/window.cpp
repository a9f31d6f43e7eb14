#include "platform/window.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <thread>

WinSwitches win_switches;

namespace {

using Clock = std::chrono::steady_clock;

// Set up by win_register and the full-screen search; read by window and
// context creation.  Owned by this file.
struct WinState {
    Uint32 quit_event = 0; // SDL event type of the quit message
    SDL_DisplayMode fullscreen_mode = {};
    int swap_interval = 0;          // what the context got
    Clock::time_point next_present; // pacing deadline of the next swap
    bool paced = false;             // next_present is valid
};
WinState win_state;

constexpr auto FRAME_PERIOD =
    std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / WIN_MAX_FPS));

// Pixel-format request: channel sizes for each supported colour depth.
struct ColourFormat {
    int bits;
    int red, green, blue;
};
const ColourFormat COLOUR_FORMATS[] = {{32, 8, 8, 8}, {24, 8, 8, 8}, {16, 5, 6, 5}, {15, 5, 5, 5}};
constexpr int DEPTH_BITS = 16;

// Virtual-key codes of the keys whose SDL symbol is not their own character.
struct KeyCode {
    SDL_Keycode sdl;
    int vk;
};
const KeyCode KEY_CODES[] = {
    {SDLK_BACKSPACE, 0x08},    {SDLK_TAB, 0x09},          {SDLK_RETURN, 0x0D},
    {SDLK_KP_ENTER, 0x0D},     {SDLK_PAUSE, 0x13},        {SDLK_CAPSLOCK, 0x14},
    {SDLK_ESCAPE, 0x1B},       {SDLK_SPACE, 0x20},        {SDLK_PAGEUP, 0x21},
    {SDLK_PAGEDOWN, 0x22},     {SDLK_END, 0x23},          {SDLK_HOME, 0x24},
    {SDLK_LEFT, 0x25},         {SDLK_UP, 0x26},           {SDLK_RIGHT, 0x27},
    {SDLK_DOWN, 0x28},         {SDLK_PRINTSCREEN, 0x2C},  {SDLK_INSERT, 0x2D},
    {SDLK_DELETE, 0x2E},       {SDLK_LSHIFT, 0x10},       {SDLK_RSHIFT, 0x10},
    {SDLK_LCTRL, 0x11},        {SDLK_RCTRL, 0x11},        {SDLK_LALT, 0x12},
    {SDLK_RALT, 0x12},         {SDLK_KP_0, 0x60},         {SDLK_KP_1, 0x61},
    {SDLK_KP_2, 0x62},         {SDLK_KP_3, 0x63},         {SDLK_KP_4, 0x64},
    {SDLK_KP_5, 0x65},         {SDLK_KP_6, 0x66},         {SDLK_KP_7, 0x67},
    {SDLK_KP_8, 0x68},         {SDLK_KP_9, 0x69},         {SDLK_KP_MULTIPLY, 0x6A},
    {SDLK_KP_PLUS, 0x6B},      {SDLK_KP_MINUS, 0x6D},     {SDLK_KP_PERIOD, 0x6E},
    {SDLK_KP_DIVIDE, 0x6F},    {SDLK_NUMLOCKCLEAR, 0x90}, {SDLK_SCROLLLOCK, 0x91},
    {SDLK_SEMICOLON, 0xBA},    {SDLK_EQUALS, 0xBB},       {SDLK_COMMA, 0xBC},
    {SDLK_MINUS, 0xBD},        {SDLK_PERIOD, 0xBE},       {SDLK_SLASH, 0xBF},
    {SDLK_BACKQUOTE, 0xC0},    {SDLK_LEFTBRACKET, 0xDB},  {SDLK_BACKSLASH, 0xDC},
    {SDLK_RIGHTBRACKET, 0xDD}, {SDLK_QUOTE, 0xDE},
};
// The media keys; SDL gives XF86AudioPause the play key's symbol.
const KeyCode MEDIA_KEY_CODES[] = {
    {SDLK_AUDIOPLAY, WIN_VK_MEDIA_PLAY_PAUSE},
    {SDLK_AUDIOSTOP, WIN_VK_MEDIA_STOP},
    {SDLK_AUDIONEXT, WIN_VK_MEDIA_NEXT_TRACK},
    {SDLK_AUDIOPREV, WIN_VK_MEDIA_PREV_TRACK},
};
constexpr int VK_F1 = 0x70;
constexpr int VK_F10 = 0x79;
constexpr int FUNCTION_KEY_COUNT = 12;

// Runs the fault injection and the step hook around one step.
bool step_fails(WinStep step) {
    if (!win_switches.fail_step[step]) return false;
    if (win_switches.step_hook) win_switches.step_hook(step, false);
    return true;
}

bool step_done(WinStep step, bool ok) {
    if (win_switches.step_hook) win_switches.step_hook(step, ok);
    return ok;
}

const ColourFormat* colour_format(int bits) {
    for (const ColourFormat& format : COLOUR_FORMATS)
        if (format.bits == bits) return &format;
    return nullptr;
}

// Colour depth a display mode offers, counting 32-bit pixels as 32.
int mode_colour_bits(Uint32 format) {
    if (SDL_BYTESPERPIXEL(format) == 4) return 32;
    return SDL_BITSPERPIXEL(format);
}

bool set_format_request(int colour_bits) {
    const ColourFormat* format = colour_format(colour_bits);
    if (!format) return false;
    bool ok = SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) == 0;
    ok = SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, DEPTH_BITS) == 0 && ok;
    ok = SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0) == 0 && ok;
    ok = SDL_GL_SetAttribute(SDL_GL_RED_SIZE, format->red) == 0 && ok;
    ok = SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, format->green) == 0 && ok;
    ok = SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, format->blue) == 0 && ok;
    ok = SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0) == 0 && ok;
    ok = SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY) ==
             0 &&
         ok;
    return ok;
}

// The message for one SDL window event.
WinMessage window_event_message(const SDL_WindowEvent& event) {
    WinMessage message = {WIN_MSG_OTHER, 0, 0, 0};
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        message.kind = WIN_MSG_CLOSE;
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        message.kind = WIN_MSG_MINIMIZE;
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        message.kind = event.event == SDL_WINDOWEVENT_RESTORED ? WIN_MSG_RESTORE : WIN_MSG_SIZE;
        message.width = event.data1;
        message.height = event.data2;
        // A restore carries no size: read the client area of the window.
        SDL_Window* window = SDL_GetWindowFromID(event.windowID);
        if (event.event == SDL_WINDOWEVENT_RESTORED && window)
            SDL_GL_GetDrawableSize(window, &message.width, &message.height);
        break;
    }
    default:
        break;
    }
    return message;
}

WinMessage key_event_message(const SDL_KeyboardEvent& event) {
    WinMessage message = {WIN_MSG_OTHER, 0, 0, 0};
    bool down = event.type == SDL_KEYDOWN;
    int vk = win_virtual_key(event.keysym.sym);
    // Keys pressed with Alt held, and F10, are system keys.
    bool system = (event.keysym.mod & KMOD_ALT) != 0 || vk == VK_F10 ||
                  event.keysym.sym == SDLK_LALT || event.keysym.sym == SDLK_RALT;
    if (system)
        message.kind = down ? WIN_MSG_SYSKEYDOWN : WIN_MSG_SYSKEYUP;
    else
        message.kind = down ? WIN_MSG_KEYDOWN : WIN_MSG_KEYUP;
    message.code = vk;
    return message;
}

WinMessage translate_event(const SDL_Event& event) {
    WinMessage message = {WIN_MSG_OTHER, 0, 0, 0};
    if (win_state.quit_event != 0 && event.type == win_state.quit_event) {
        message.kind = WIN_MSG_QUIT;
        message.code = event.user.code;
    } else if (event.type == SDL_QUIT) {
        // SDL's own quit request (last window closed, or an interrupt
        // signal) is a close request like the window's close box.
        message.kind = WIN_MSG_CLOSE;
    } else if (event.type == SDL_WINDOWEVENT) {
        message = window_event_message(event.window);
    } else if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
        message = key_event_message(event.key);
    }
    return message;
}

} // namespace

bool win_register(int colour_bits) {
    if (step_fails(WIN_STEP_REGISTER)) return false;
    // The queue counts as empty only when it is: without this SDL ends each
    // round of polling at a marker, so a message posted while handling
    // another (the quit after a close request) would wait behind an idle
    // pass.
    SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return step_done(WIN_STEP_REGISTER, false);
    if (win_state.quit_event == 0) {
        Uint32 type = SDL_RegisterEvents(1);
        win_state.quit_event = type == static_cast<Uint32>(-1) ? 0 : type;
    }
    SDL_DisableScreenSaver();
    bool ok = set_format_request(colour_bits) && win_state.quit_event != 0;
    if (!ok) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return step_done(WIN_STEP_REGISTER, ok);
}

bool win_unregister() {
    if (step_fails(WIN_STEP_UNREGISTER)) return false;
    bool ok = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    if (ok) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return step_done(WIN_STEP_UNREGISTER, ok);
}

bool win_find_fullscreen_mode(int width, int height, int colour_bits) {
    if (step_fails(WIN_STEP_FULLSCREEN_MODE)) return false;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
        if (mode.w == width && mode.h == height && mode_colour_bits(mode.format) == colour_bits) {
            win_state.fullscreen_mode = mode;
            return step_done(WIN_STEP_FULLSCREEN_MODE, true);
        }
    }
    return step_done(WIN_STEP_FULLSCREEN_MODE, false);
}

WinWindow* win_create_window(const char* title, int width, int height, bool fullscreen) {
    if (step_fails(WIN_STEP_CREATE_WINDOW)) return nullptr;
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (!fullscreen)
        flags |= SDL_WINDOW_RESIZABLE;
    else
        flags |= win_switches.desktop_mode ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_FULLSCREEN;
    if (win_switches.desktop_mode) flags |= SDL_WINDOW_ALLOW_HIGHDPI;
    // At the desktop's size from the start: a window manager makes it full
    // screen, but without one (a bare X server) it would keep the size asked
    // for while SDL reports the display's.
    SDL_DisplayMode desktop;
    if (fullscreen && win_switches.desktop_mode && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
        width = desktop.w;
        height = desktop.h;
    }
    SDL_Window* window = SDL_CreateWindow(title, 0, 0, width, height, flags);
    if (window && fullscreen && !win_switches.desktop_mode &&
        SDL_SetWindowDisplayMode(window, &win_state.fullscreen_mode) != 0) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    step_done(WIN_STEP_CREATE_WINDOW, window != nullptr);
    return reinterpret_cast<WinWindow*>(window);
}

bool win_destroy_window(WinWindow* window) {
    if (step_fails(WIN_STEP_DESTROY_WINDOW)) return false;
    if (window) SDL_DestroyWindow(reinterpret_cast<SDL_Window*>(window));
    return step_done(WIN_STEP_DESTROY_WINDOW, window != nullptr);
}

bool win_leave_fullscreen(WinWindow* window) {
    if (step_fails(WIN_STEP_LEAVE_FULLSCREEN)) return false;
    bool ok = true;
    if (window) ok = SDL_SetWindowFullscreen(reinterpret_cast<SDL_Window*>(window), 0) == 0;
    return step_done(WIN_STEP_LEAVE_FULLSCREEN, ok);
}

void win_show_cursor(bool shown) {
    SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

bool win_acquire_device(WinWindow* window) {
    if (step_fails(WIN_STEP_ACQUIRE_DEVICE)) return false;
    bool ok = window && SDL_GL_LoadLibrary(nullptr) == 0;
    return step_done(WIN_STEP_ACQUIRE_DEVICE, ok);
}

bool win_release_device() {
    if (step_fails(WIN_STEP_RELEASE_DEVICE)) return false;
    SDL_GL_UnloadLibrary();
    return step_done(WIN_STEP_RELEASE_DEVICE, true);
}

bool win_choose_format(WinWindow* window) {
    if (step_fails(WIN_STEP_CHOOSE_FORMAT)) return false;
    bool ok = window && SDL_GetWindowPixelFormat(reinterpret_cast<SDL_Window*>(window)) !=
                            SDL_PIXELFORMAT_UNKNOWN;
    return step_done(WIN_STEP_CHOOSE_FORMAT, ok);
}

bool win_set_format(WinWindow* window) {
    if (step_fails(WIN_STEP_SET_FORMAT)) return false;
    bool ok = window &&
              (SDL_GetWindowFlags(reinterpret_cast<SDL_Window*>(window)) & SDL_WINDOW_OPENGL) != 0;
    return step_done(WIN_STEP_SET_FORMAT, ok);
}

WinContext* win_create_context(WinWindow* window) {
    if (step_fails(WIN_STEP_CREATE_CONTEXT)) return nullptr;
    SDL_GLContext context =
        window ? SDL_GL_CreateContext(reinterpret_cast<SDL_Window*>(window)) : nullptr;
    if (context) {
        // Adaptive vsync where the driver has it, else plain vsync.
        win_state.swap_interval = 0;
        if (!win_switches.want_vsync)
            SDL_GL_SetSwapInterval(0);
        else if (SDL_GL_SetSwapInterval(-1) == 0)
            win_state.swap_interval = -1;
        else if (SDL_GL_SetSwapInterval(1) == 0)
            win_state.swap_interval = 1;
        win_state.paced = false;
    }
    step_done(WIN_STEP_CREATE_CONTEXT, context != nullptr);
    return static_cast<WinContext*>(context);
}

bool win_delete_context(WinContext* context) {
    if (step_fails(WIN_STEP_DELETE_CONTEXT)) return false;
    if (context) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
    return step_done(WIN_STEP_DELETE_CONTEXT, context != nullptr);
}

bool win_make_current(WinWindow* window, WinContext* context) {
    WinStep step = context ? WIN_STEP_MAKE_CURRENT : WIN_STEP_DETACH_CONTEXT;
    if (step_fails(step)) return false;
    bool ok = SDL_GL_MakeCurrent(reinterpret_cast<SDL_Window*>(window),
                                 static_cast<SDL_GLContext>(context)) == 0;
    return step_done(step, ok);
}

void win_show(WinWindow* handle, bool fullscreen) {
    SDL_Window* window = reinterpret_cast<SDL_Window*>(handle);
    if (!window) return;
    SDL_ShowWindow(window);
    if (!fullscreen) {
        int top = 0, left = 0;
        if (SDL_GetWindowBordersSize(window, &top, &left, nullptr, nullptr) == 0)
            SDL_SetWindowPosition(window, left, top);
    }
    SDL_RaiseWindow(window);
    SDL_SetWindowInputFocus(window);
}

void win_client_size(WinWindow* window, int* width, int* height) {
    *width = 0;
    *height = 0;
    if (window) SDL_GL_GetDrawableSize(reinterpret_cast<SDL_Window*>(window), width, height);
}

bool win_peek_message(WinMessage* message) {
    SDL_Event event;
    if (SDL_PollEvent(&event) != 1) return false;
    *message = translate_event(event);
    return true;
}

bool win_take_window_message(WinMessage* message) {
    SDL_PumpEvents();
    SDL_Event event;
    if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT) != 1)
        return false;
    *message = translate_event(event);
    return true;
}

void win_post_quit(int code) {
    if (win_state.quit_event == 0) return;
    SDL_Event event = {};
    event.type = win_state.quit_event;
    event.user.code = code;
    SDL_PushEvent(&event);
}

int win_virtual_key(int32_t sdl_keycode) {
    if (sdl_keycode >= 'a' && sdl_keycode <= 'z') return sdl_keycode - 'a' + 'A';
    if (sdl_keycode >= '0' && sdl_keycode <= '9') return sdl_keycode;
    if (sdl_keycode >= SDLK_F1 && sdl_keycode < SDLK_F1 + FUNCTION_KEY_COUNT)
        return VK_F1 + (sdl_keycode - SDLK_F1);
    for (const KeyCode& key : KEY_CODES)
        if (key.sdl == sdl_keycode) return key.vk;
    for (const KeyCode& key : MEDIA_KEY_CODES)
        if (key.sdl == sdl_keycode) return key.vk;
    return 0;
}

void win_swap_buffers(WinWindow* window) {
    if (win_switches.frame_pacing) {
        Clock::time_point now = Clock::now();
        // Start a new schedule after a pause longer than one frame.
        if (!win_state.paced || now > win_state.next_present + FRAME_PERIOD)
            win_state.next_present = now;
        else if (now < win_state.next_present)
            std::this_thread::sleep_until(win_state.next_present);
        win_state.next_present += FRAME_PERIOD;
        win_state.paced = true;
    }
    if (window) SDL_GL_SwapWindow(reinterpret_cast<SDL_Window*>(window));
}

int win_swap_interval() {
    return win_state.swap_interval;
}

void win_end_process() {
    SDL_Quit();
}
