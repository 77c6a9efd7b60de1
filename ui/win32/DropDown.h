// Drop-down lists whose choice changes the form around them. A form that moves or re-lays
// itself out while a list is still open loses the list and, under some systems, the next click
// (it reopens the list instead of reaching the control aimed at). So a choice is acted on only
// once its list has closed, and never inside the list's own notification: the form receives
// WM_KW_LISTCHANGED afterwards, by a posted message.
#pragma once
#include "ui/win32/Window.h"

namespace kw::win {

// Call for every WM_COMMAND notification (`code`) of the drop-down `list`: a change made while
// the list is closed (keys on the closed list), or the closing of the list, posts
// WM_KW_LISTCHANGED with the list's id to `form`. The form compares the choice with the one it
// acted on last, so a list closed without a change costs nothing.
void NoteDropDown(HWND form, HWND list, int code);

// Whether the drop-down's list is open.
bool DroppedDown(HWND list);

} // namespace kw::win
