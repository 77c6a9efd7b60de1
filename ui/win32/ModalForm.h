// Modality of the program's own forms: the owner is disabled once, for as long as the form is
// open (message boxes and nested forms are owned by the form, so they leave the owner alone),
// and enabled again before the form hides, so that it gets the activation back.
#pragma once
#include <functional>
#include <windows.h>

namespace kw::win {

// Shows `form` over `owner` with the focus on `focus` and runs its messages (Tab, Enter and
// Escape by the dialog manager) until `done`. False when WM_QUIT arrived (posted again).
bool ShowModalForm(HWND form, HWND owner, HWND focus, const std::function<bool()>& done);

} // namespace kw::win
