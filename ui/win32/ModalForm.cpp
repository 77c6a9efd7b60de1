// The modal form.
#include "ui/win32/ModalForm.h"
#include "ui/win32/Window.h"

namespace kw::win {

bool ShowModalForm(HWND form, HWND owner, HWND focus, const std::function<bool()>& done) {
    // An owner that was already disabled (by a form of its own) stays so after us.
    const bool disable = owner && IsWindowEnabled(owner);
    if (disable)
        EnableWindow(owner, FALSE);
    ShowWindow(form, SW_SHOW);
    SetForegroundWindow(form);
    if (focus)
        SetFocus(focus);
    const bool ended = RunModalLoop(form, [&] { return !IsWindow(form) || done(); });
    if (disable)
        EnableWindow(owner, TRUE);
    if (IsWindow(form))
        ShowWindow(form, SW_HIDE);
    return ended;
}

} // namespace kw::win
