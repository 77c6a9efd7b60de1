// The hints' tooltip window.
#include "ui/win32/Tooltips.h"
#include "ui/win32/Controls.h"
#include <commctrl.h>

namespace kw::win {

TTooltips::~TTooltips() {
    if (tip_)
        DestroyWindow(tip_);
}

void TTooltips::Ensure(HWND form) {
    if (tip_ && IsWindow(tip_))
        return;
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                           0, form, nullptr, Instance(), nullptr);
}

void TTooltips::Set(HWND form, HWND control, const std::string& text, bool relayed) {
    Ensure(form);
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | (relayed ? 0u : TTF_SUBCLASS);
    ti.hwnd = GetParent(control);
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    SendMessageW(tip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    if (text.empty())
        return;
    std::wstring w = Wide(text);
    ti.lpszText = w.data();
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TTooltips::Relay(HWND control, UINT msg, WPARAM wp, LPARAM lp) const {
    if (!tip_ || (msg != WM_MOUSEMOVE && msg != WM_LBUTTONDOWN && msg != WM_LBUTTONUP && msg != WM_RBUTTONDOWN &&
                  msg != WM_RBUTTONUP && msg != WM_MBUTTONDOWN && msg != WM_MBUTTONUP))
        return;
    MSG m{control, msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {}};
    const DWORD pos = GetMessagePos();
    m.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

void TTooltips::SetFromForm(HWND form, TFormComponents& components) {
    for (int i = 0; i < components.ComponentCount(); ++i) {
        TControl& c = components.Control(i);
        Set(form, c.Hwnd(), c.ShowHint() ? c.Hint() : std::string());
    }
}

} // namespace kw::win
