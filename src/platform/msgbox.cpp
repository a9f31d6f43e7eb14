#include "platform/msgbox.h"

#include <cstdio>

// Placeholder until the message-box layer lands: every box goes to stderr.
namespace {
MsgBoxHook msgbox_hook = nullptr;
}

void msgbox_set_hook(MsgBoxHook hook) { msgbox_hook = hook; }

MsgBoxAnswer msgbox_show(const char* text, const char* caption, MsgBoxButtons buttons,
                         MsgBoxIcon icon, bool owned_by_focus) {
    if (msgbox_hook) return msgbox_hook(text, caption, buttons, icon, owned_by_focus);
    fprintf(stderr, "%s: %s\n", caption, text);
    return buttons == MSGBOX_YES_NO ? MSGBOX_ANSWER_NO : MSGBOX_ANSWER_OK;
}
