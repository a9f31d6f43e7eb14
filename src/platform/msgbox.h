// Modal message boxes.  On a display they are SDL message boxes that wait
// for an answer; with no display the text and caption go to stderr (and a
// question is answered No).  Tests install a hook that records each box and
// answers it.
#pragma once

enum MsgBoxButtons { MSGBOX_OK, MSGBOX_YES_NO };
enum MsgBoxIcon {
    MSGBOX_ICON_NONE,
    MSGBOX_ICON_EXCLAMATION,
    MSGBOX_ICON_STOP,
    MSGBOX_ICON_ERROR,
    MSGBOX_ICON_INFORMATION
};
enum MsgBoxAnswer { MSGBOX_ANSWER_OK, MSGBOX_ANSWER_YES, MSGBOX_ANSWER_NO };

// Shows a box and waits for the answer.  `owned_by_focus` parents the box to
// the window that has the keyboard focus (the decoder's boxes), otherwise it
// has no owner.
MsgBoxAnswer msgbox_show(const char* text, const char* caption, MsgBoxButtons buttons,
                         MsgBoxIcon icon, bool owned_by_focus);

typedef MsgBoxAnswer (*MsgBoxHook)(const char* text, const char* caption, MsgBoxButtons buttons,
                                   MsgBoxIcon icon, bool owned_by_focus);

// Routes every box to `hook` instead (null restores the real boxes).
void msgbox_set_hook(MsgBoxHook hook);
