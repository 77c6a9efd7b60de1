// The Win32 message dialog: modal, centred on the screen, fixed border, the type's icon, the
// text and the chosen buttons in bit order with the captions the logic gave them.
#pragma once
#include "lang/MessageDialog.h"

namespace kw::lang {

class TMessageDialogWin32 final : public IMessageDialogView {
public:
    // `owner` (an HWND) is disabled while the dialog is open; null takes the active window.
    explicit TMessageDialogWin32(void* owner = nullptr) : owner_(owner) {}

    int ShowModal(const TMessageDialogModel& model) noexcept override;
    void ShowStandardError(const std::string& text) noexcept override;

private:
    void* owner_;
};

} // namespace kw::lang
