#include "platform/msgbox.h"

#include <SDL2/SDL.h>

#include <cstdio>

namespace {

// Where boxes go instead of the screen; set by tests through msgbox_set_hook.
MsgBoxHook msgbox_hook = nullptr;

// Button ids reported by SDL.
constexpr int BUTTON_OK = 1;
constexpr int BUTTON_YES = 2;
constexpr int BUTTON_NO = 3;

const SDL_MessageBoxButtonData OK_BUTTONS[] = {
    {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, BUTTON_OK,
     "OK"},
};
// Return answers Yes, Escape answers No.
const SDL_MessageBoxButtonData YES_NO_BUTTONS[] = {
    {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, BUTTON_YES, "Yes"},
    {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, BUTTON_NO, "No"},
};

Uint32 icon_flags(MsgBoxIcon icon) {
    switch (icon) {
    case MSGBOX_ICON_EXCLAMATION:
        return SDL_MESSAGEBOX_WARNING;
    case MSGBOX_ICON_STOP:
    case MSGBOX_ICON_ERROR:
        return SDL_MESSAGEBOX_ERROR;
    case MSGBOX_ICON_INFORMATION:
    case MSGBOX_ICON_NONE:
        break;
    }
    return SDL_MESSAGEBOX_INFORMATION;
}

// With no display to show it on, the box's words go to stderr and a
// question counts as answered No.
MsgBoxAnswer report_on_stderr(const char* text, const char* caption, MsgBoxButtons buttons) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return buttons == MSGBOX_YES_NO ? MSGBOX_ANSWER_NO : MSGBOX_ANSWER_OK;
}

} // namespace

void msgbox_set_hook(MsgBoxHook hook) {
    msgbox_hook = hook;
}

MsgBoxAnswer msgbox_show(const char* text, const char* caption, MsgBoxButtons buttons,
                         MsgBoxIcon icon, bool owned_by_focus) {
    if (msgbox_hook) return msgbox_hook(text, caption, buttons, icon, owned_by_focus);
    SDL_MessageBoxData box = {};
    box.flags = icon_flags(icon);
    box.window = owned_by_focus ? SDL_GetKeyboardFocus() : nullptr;
    box.title = caption;
    box.message = text;
    if (buttons == MSGBOX_YES_NO) {
        box.numbuttons = 2;
        box.buttons = YES_NO_BUTTONS;
    } else {
        box.numbuttons = 1;
        box.buttons = OK_BUTTONS;
    }
    int pressed = 0;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) return report_on_stderr(text, caption, buttons);
    if (buttons != MSGBOX_YES_NO) return MSGBOX_ANSWER_OK;
    // Closing the box without a button counts as No.
    return pressed == BUTTON_YES ? MSGBOX_ANSWER_YES : MSGBOX_ANSWER_NO;
}
