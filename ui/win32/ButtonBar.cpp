// The button bar: the panel, its flat buttons, their painting and hot tracking.
#include "ui/win32/ButtonBar.h"
#include "ui/win32/Controls.h"
#include <commctrl.h>

namespace kw::win {

bool TButtonBar::Create(HWND owner, int x, int y, int w, int inset) {
    Register();
    owner_ = owner;
    inset_ = inset;
    if (!CreateWin(WS_EX_CONTROLPARENT, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x, y, w, Scale(BarHeight, DpiOf(owner)),
                   owner))
        return false;
    if (!label_.Create(Hwnd(), 0, 0, 10, 10, false))
        return false;
    label_.ConfigureAsButtonBar();
    // Beneath the buttons, the label never paints over them (a button moved onto a part of the
    // label that grows, as after a maximise, stays drawn).
    const LONG_PTR style = GetWindowLongPtrW(label_.Hwnd(), GWL_STYLE);
    SetWindowLongPtrW(label_.Hwnd(), GWL_STYLE, style | WS_CLIPSIBLINGS);
    Move(x, y, w);
    return true;
}

HWND TButtonBar::AddButton(int id, const std::string& caption) {
    HWND b = MakeChild(Hwnd(), L"BUTTON", caption, WS_TABSTOP | BS_OWNERDRAW, 0, 0, 10, 10, id);
    SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont(Dpi())), FALSE);
    // A subclass of its own, which also passes the pointer to the hints, rather than the common
    // controls' SetWindowSubclass (and the tooltip's own subclass), which finds its data through
    // a window property on every message: a trip to the server under Wine, some 570 of them
    // while the main window starts.
    SetWindowLongPtrW(b, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    buttonProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(b, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TButtonBar::ButtonProc)));
    // the label paints behind the buttons: at the bottom of the z-order, or it takes their clicks
    SetWindowPos(label_.Hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return b;
}

void TButtonBar::Place(HWND button, int left, int width) {
    const int edge = S(1);
    MoveWindow(button, Inset() + left, edge, width, Height() - 2 * edge, TRUE);
}

void TButtonBar::Move(int x, int y, int w) {
    MoveWindow(Hwnd(), x, y, w, Height(), TRUE);
    const int edge = S(1);
    MoveWindow(label_.Hwnd(), Inset(), edge, w - 2 * Inset(), Height() - 2 * edge, TRUE);
}

void TButtonBar::DpiChanged(int dpi, const RECT*) {
    label_.ApplyDpi(dpi);
    SetChildFonts(Hwnd(), dpi);
}

void TButtonBar::SetHot(HWND button) {
    if (hot_ == button)
        return;
    if (hot_)
        InvalidateRect(hot_, nullptr, FALSE);
    hot_ = button;
    if (hot_)
        InvalidateRect(hot_, nullptr, FALSE);
}

LRESULT CALLBACK TButtonBar::ButtonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* bar = reinterpret_cast<TButtonBar*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!bar)
        return DefWindowProcW(h, msg, wp, lp);
    const WNDPROC button = bar->buttonProc_;
    bar->hints_.Relay(h, msg, wp, lp);
    switch (msg) {
    case WM_MOUSEMOVE:
        if (bar->hot_ != h) {
            bar->SetHot(h);
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, h, 0};
            TrackMouseEvent(&t);
        }
        break;
    case WM_MOUSELEAVE:
        if (bar->hot_ == h)
            bar->SetHot(nullptr);
        break;
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
    case WM_GETDLGCODE: {
        // Enter presses the focused button, as it does a push button of a dialog
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        const LRESULT code = CallWindowProcW(button, h, msg, wp, lp);
        if (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN)
            return code | DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (wp == VK_RETURN) {
            SendMessageW(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), BN_CLICKED), reinterpret_cast<LPARAM>(h));
            return 0;
        }
        break;
    case WM_NCDESTROY:
        if (bar->hot_ == h)
            bar->hot_ = nullptr;
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(button));
        SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        break;
    }
    return CallWindowProcW(button, h, msg, wp, lp);
}

LRESULT TButtonBar::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
        return SendMessageW(owner_, msg, wp, lp);
    case WM_DRAWITEM:
        PaintButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
    case WM_PAINT: {
        TPaint p(Hwnd());
        RECT r;
        GetClientRect(Hwnd(), &r);
        DrawEdge(p.Dc(), &r, BDR_SUNKENOUTER, BF_RECT);
        return 0;
    }
    }
    return Default(msg, wp, lp);
}

int TButtonBar::WantedWidth(HWND button) const {
    const SIZE s = MeasureLine(UiFont(Dpi()), Wide(GetText(button)));
    const int glyph = glyphs_ ? S(4) + S(18) : 0;  // as PaintButton places it
    return glyph + S(2) + s.cx + S(6);
}

int TButtonBar::GlyphWidth() const { return glyphs_ ? S(4) + S(18) + S(4) : 0; }

void TButtonBar::SetCompact(bool on) {
    compact_ = on;
    RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TButtonBar::PaintButton(const DRAWITEMSTRUCT& d) {
    const RECT& r = d.rcItem;
    PaintLabelBehind(d, label_);
    const bool enabled = !(d.itemState & ODS_DISABLED);
    const bool pressed = (d.itemState & ODS_SELECTED) != 0;
    const int shift = pressed ? 1 : 0;
    if (pressed || (enabled && hot_ == d.hwndItem)) {
        RECT e = r;
        DrawEdge(d.hDC, &e, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    }
    const std::wstring text = compact_ && glyphs_ ? std::wstring() : Wide(GetText(d.hwndItem));
    int textLeft = r.left + S(2);
    if (glyphs_) {
        const int g = S(18);
        const int gx = text.empty() ? (r.right - r.left - g) / 2 : S(4);
        const RECT box{gx + shift, (r.bottom - r.top - g) / 2 + shift, gx + g + shift, (r.bottom - r.top - g) / 2 + g + shift};
        glyphs_(d.hDC, static_cast<int>(d.CtlID), box, enabled);
        textLeft = r.left + gx + g + S(2);
    }
    if (!text.empty()) {
        RECT t{textLeft + shift, r.top + shift, r.right - S(2) + shift, r.bottom + shift};
        SetBkMode(d.hDC, TRANSPARENT);
        SetTextColor(d.hDC, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        TSelect f(d.hDC, UiFont(Dpi()));
        DrawTextW(d.hDC, text.c_str(), -1, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    if (d.itemState & ODS_FOCUS) {
        RECT fr{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
        DrawFocusRect(d.hDC, &fr);
    }
}

} // namespace kw::win
