// The modal form.
#include "ui/win32/ModalForm.h"
#include "ui/win32/Window.h"

namespace kw::win {

TDisabledOwner::TDisabledOwner(HWND owner) {
    if (owner && IsWindowEnabled(owner)) {
        owner_ = owner;
        EnableWindow(owner_, FALSE);
    }
}

void TDisabledOwner::Release() {
    if (owner_)
        EnableWindow(owner_, TRUE);
    owner_ = nullptr;
}

bool ShowModalForm(HWND form, HWND owner, HWND focus, const std::function<bool()>& done) {
    TDisabledOwner disabled(owner);
    ShowWindow(form, SW_SHOW);
    SetForegroundWindow(form);
    if (focus)
        SetFocus(focus);
    const bool ended = RunModalLoop(form, [&] { return !IsWindow(form) || done(); });
    disabled.Release();
    if (IsWindow(form))
        ShowWindow(form, SW_HIDE);
    return ended;
}

} // namespace kw::win
