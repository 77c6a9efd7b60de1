// Drop-down lists acted on after their list has closed.
#include "ui/win32/DropDown.h"

namespace kw::win {

bool DroppedDown(HWND list) { return SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0) != FALSE; }

void NoteDropDown(HWND form, HWND list, int code) {
    const bool closedChange = code == CBN_SELCHANGE && !DroppedDown(list);
    if (closedChange || code == CBN_CLOSEUP)
        PostMessageW(form, WM_KW_LISTCHANGED, static_cast<WPARAM>(GetDlgCtrlID(list)), 0);
}

} // namespace kw::win
