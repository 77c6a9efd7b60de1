// Modality of the program's own forms: the owner is disabled once, for as long as the form is
// open (message boxes and nested forms are owned by the form, so they leave the owner alone),
// and enabled again before the form hides, so that it gets the activation back.
#pragma once
#include <functional>
#include <windows.h>

namespace kw::win {

// The owner of a modal form, disabled for as long as this lives. An owner that was already
// disabled (by a form of its own) stays so afterwards. Release() gives it back early, before
// the form hides, so that the owner is activated again.
class TDisabledOwner {
public:
    explicit TDisabledOwner(HWND owner);
    TDisabledOwner(const TDisabledOwner&) = delete;
    TDisabledOwner& operator=(const TDisabledOwner&) = delete;
    ~TDisabledOwner() { Release(); }
    void Release();

private:
    HWND owner_ = nullptr;  // null when there is nothing to give back
};

// Shows `form` over `owner` with the focus on `focus` and runs its messages (Tab, Enter and
// Escape by the dialog manager) until `done`. False when WM_QUIT arrived (posted again).
bool ShowModalForm(HWND form, HWND owner, HWND focus, const std::function<bool()>& done);

} // namespace kw::win
