// Message boxes in the browser: the caption and the text become text on the
// page (with the same wording), since a page cannot wait for an answer.
// A question is answered No, as with no display natively.
#include <emscripten.h>

#include "platform/msgbox.h"

namespace {

// Set by msgbox_set_hook (tests); null: the page shows the box.
MsgBoxHook msgbox_hook = nullptr;

} // namespace

MsgBoxAnswer msgbox_show(const char* text, const char* caption, MsgBoxButtons buttons,
                         MsgBoxIcon icon, bool owned_by_focus) {
    if (msgbox_hook) return msgbox_hook(text, caption, buttons, icon, owned_by_focus);
    EM_ASM({ Module.vmShowMessage(UTF8ToString($0), UTF8ToString($1)); }, caption, text);
    return buttons == MSGBOX_YES_NO ? MSGBOX_ANSWER_NO : MSGBOX_ANSWER_OK;
}

void msgbox_set_hook(MsgBoxHook hook) {
    msgbox_hook = hook;
}
