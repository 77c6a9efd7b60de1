// The spin field.
#include "ui/win32/SpinField.h"
#include "ui/win32/Controls.h"
#include <commctrl.h>
#include <string>

namespace kw::win {

void TSpinField::Create(HWND parent, int id, int low, int high, int value) {
    low_ = low;
    high_ = high;
    edit_ = MakeChild(parent, L"EDIT", "", WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL, 0, 0, 10, 10, id, WS_EX_CLIENTEDGE);
    SendMessageW(edit_, EM_SETLIMITTEXT, 6, 0);
    upDown_ = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                              WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0, 0,
                              parent, nullptr, Instance(), nullptr);
    SendMessageW(upDown_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit_), 0);
    SendMessageW(upDown_, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
    SetValue(value);
}

void TSpinField::Move(int x, int y, int w, int h) {
    // the arrows are as wide as the system's scroll bar at this height
    const int arrows = h * 3 / 4 > 8 ? h * 3 / 4 : 8;
    MoveWindow(edit_, x, y, w - arrows, h, TRUE);
    MoveWindow(upDown_, x + w - arrows, y, arrows, h, TRUE);
}

int TSpinField::Value() const {
    const std::string text = GetText(edit_);
    long long v = 0;
    size_t digits = 0;
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        i = 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 12; ++i, ++digits)
        v = v * 10 + (text[i] - '0');
    if (digits == 0 || i != text.size())
        return low_;
    if (negative)
        v = -v;
    return v < low_ ? low_ : v > high_ ? high_ : static_cast<int>(v);
}

void TSpinField::SetValue(int value) {
    value = value < low_ ? low_ : value > high_ ? high_ : value;
    SendMessageW(upDown_, UDM_SETPOS32, 0, static_cast<LPARAM>(value));
    SetText(edit_, std::to_string(value));
}

void TSpinField::Normalise() {
    const int v = Value();
    if (GetText(edit_) != std::to_string(v))
        SetValue(v);
}

void TSpinField::Show(bool on) {
    ShowWindow(edit_, on ? SW_SHOW : SW_HIDE);
    ShowWindow(upDown_, on ? SW_SHOW : SW_HIDE);
}

} // namespace kw::win
