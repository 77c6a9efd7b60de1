// Child controls of the program's windows, each known by its name and its class as the
// language files address them, so that translation reaches them through lang::IComponent.
#pragma once
#include "lang/Component.h"
#include "shell/GridLayout.h"
#include "shell/win32/Window_win32.h"
#include "widgets/GradientLabel_win32.h"
#include <commctrl.h>
#include <memory>
#include <string>
#include <vector>

namespace kw::win {

// A control with a caption (label, button, check box, group box, panel, edit).
class TControl : public lang::IComponent {
public:
    TControl(std::string name, std::string className, HWND hwnd) : name_(std::move(name)), class_(std::move(className)), hwnd_(hwnd) {}
    std::string Name() const override { return name_; }
    std::string ClassName() const override { return class_; }
    std::string Caption() const override { return GetText(hwnd_); }
    void SetCaption(const std::string& text) override { win::SetText(hwnd_, text); }
    std::string Text() const override { return GetText(hwnd_); }
    void SetText(const std::string& text) override { win::SetText(hwnd_, text); }
    std::string Hint() const override { return hint_; }
    void SetHint(const std::string& hint) override { hint_ = hint; }
    void SetShowHint(bool on) override { showHint_ = on; }
    bool ShowHint() const { return showHint_; }
    HWND Hwnd() const { return hwnd_; }

protected:
    std::string name_, class_;
    HWND hwnd_;
    std::string hint_;
    bool showHint_ = false;
};

// A control whose caption is held by the window itself (a speed button drawn by its owner).
class TCaptionOnly : public TControl {
public:
    using TControl::TControl;
};

// A report-mode ListView standing in for a string grid: the header is its fixed row.
class TGridControl : public TControl {
public:
    using TControl::TControl;
    int ColCount() const override { return Header_GetItemCount(ListView_GetHeader(hwnd_)); }
    int RowCount() const override { return 1 + ListView_GetItemCount(hwnd_); }
    int FixedRows() const override { return 1; }
    std::string Cell(int col, int row) const override;
    void SetCell(int col, int row, const std::string& text) override;
};

// A drop-down list's items.
class TComboControl : public TControl {
public:
    using TControl::TControl;
    int ItemCount() const override { return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)); }
    std::string Item(int i) const override;
    void SetItem(int i, const std::string& text) override;
    int ItemIndex() const override { return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)); }
    void SetItemIndex(int i) override { SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(i), 0); }
};

// ListView calls through the wide messages (the program is built without UNICODE).
inline void LvSetColumnText(HWND lv, int col, std::wstring text) {
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = text.data();
    SendMessageW(lv, LVM_SETCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c));
}
inline void LvInsertColumn(HWND lv, int col, std::wstring text, int width) {
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.pszText = text.data();
    c.cx = width;
    SendMessageW(lv, LVM_INSERTCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c));
}
inline void LvSetItemText(HWND lv, int item, int col, std::wstring text) {
    LVITEMW it{};
    it.iSubItem = col;
    it.pszText = text.data();
    SendMessageW(lv, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
}
inline void LvInsertItem(HWND lv, int item, std::wstring text) {
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = item;
    it.pszText = text.data();
    SendMessageW(lv, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
}

// Fits a report ListView's columns to its width by percentages (`FitColumns`): columns with 0
// keep their width, the others share what is left. Only widths that change are set, so that a
// resize does not repaint a grid whose columns already fit.
inline void FitListViewColumns(HWND grid, const std::vector<int16_t>& percents, int rowHeight) {
    TGridMetrics m;
    HWND header = ListView_GetHeader(grid);
    const int cols = Header_GetItemCount(header);
    for (int c = 0; c < cols; ++c)
        m.ColWidths.push_back(ListView_GetColumnWidth(grid, c));
    RECT client, outer, head;
    GetClientRect(grid, &client);
    GetWindowRect(grid, &outer);
    GetWindowRect(header, &head);
    m.RowCount = ListView_GetItemCount(grid);
    m.RowHeight = rowHeight;
    m.ClientWidth = client.right;
    m.ClientHeight = client.bottom - (head.bottom - head.top);
    // the client edge takes two pixels a side: what is left is the grid's own outer width
    m.OuterWidth = outer.right - outer.left - 4;
    const std::vector<int> widths = kw::FitColumns(m, percents);
    for (int c = 0; c < cols; ++c) {
        const int w = widths[static_cast<size_t>(c)];
        if (w != m.ColWidths[static_cast<size_t>(c)])
            ListView_SetColumnWidth(grid, c, w > 0 ? w : 0);
    }
}

inline std::string TGridControl::Cell(int col, int row) const {
    wchar_t buf[1024] = {};
    if (row == 0) {
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT;
        c.pszText = buf;
        c.cchTextMax = 1023;
        SendMessageW(hwnd_, LVM_GETCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c));
    } else {
        LVITEMW it{};
        it.iSubItem = col;
        it.pszText = buf;
        it.cchTextMax = 1023;
        SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row - 1), reinterpret_cast<LPARAM>(&it));
    }
    return Ansi(buf);
}

inline void TGridControl::SetCell(int col, int row, const std::string& text) {
    if (row == 0)
        LvSetColumnText(hwnd_, col, Wide(text));
    else
        LvSetItemText(hwnd_, row - 1, col, Wide(text));
}

inline std::string TComboControl::Item(int i) const {
    const LRESULT n = SendMessageW(hwnd_, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (n < 0)
        return {};
    std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(hwnd_, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(static_cast<size_t>(n));
    return Ansi(buf);
}

inline void TComboControl::SetItem(int i, const std::string& text) {
    const int sel = ItemIndex();
    SendMessageW(hwnd_, CB_DELETESTRING, static_cast<WPARAM>(i), 0);
    SendMessageW(hwnd_, CB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(Wide(text).c_str()));
    SetItemIndex(sel);
}

// Creates a child control with the UI font.
inline HWND MakeChild(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int w, int h,
                      int id, DWORD exStyle = 0) {
    HWND c = CreateWindowExW(exStyle, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), TRUE);
    return c;
}

// A form's controls for translation.
class TFormComponents : public lang::IForm {
public:
    TFormComponents(std::string name, HWND form) : name_(std::move(name)), form_(form) {}
    std::string Name() const override { return name_; }
    std::string Caption() const override { return GetText(form_); }
    void SetCaption(const std::string& caption) override { SetText(form_, caption); }
    int ComponentCount() const override { return static_cast<int>(items_.size()); }
    lang::IComponent& Component(int index) override { return *items_.at(static_cast<size_t>(index)); }

    template <typename C = TControl>
    C& Add(const std::string& name, const std::string& className, HWND hwnd) {
        items_.push_back(std::make_unique<C>(name, className, hwnd));
        return static_cast<C&>(*items_.back());
    }
    TControl* Find(const std::string& name) {
        for (auto& c : items_)
            if (c->Name() == name)
                return c.get();
        return nullptr;
    }

private:
    std::string name_;
    HWND form_;
    std::vector<std::unique_ptr<TControl>> items_;
};


// Check boxes.
inline bool IsChecked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
inline void SetChecked(HWND box, bool on) {
    SendMessageW(box, BM_SETCHECK, static_cast<WPARAM>(on ? BST_CHECKED : BST_UNCHECKED), 0);
}

// Pixels at 96 dots per inch scaled to the screen's resolution, so that a dialog laid out in
// fixed positions still fits its (system-sized) font on a high-DPI screen.
inline int Scaled(int pixels) {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int d = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen)
            ReleaseDC(nullptr, screen);
        return d > 0 ? d : 96;
    }();
    return MulDiv(pixels, dpi, 96);
}

// Gives a top-level window the outer size for a client area of w x h and centres it in the
// work area of its monitor (dialogs open in the middle of the screen).
inline void SizeAndCentre(HWND window, int w, int h) {
    RECT r{0, 0, w, h};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    const int ow = r.right - r.left, oh = r.bottom - r.top;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info))
        area = info.rcWork;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - ow) / 2,
                 area.top + (area.bottom - area.top - oh) / 2, ow, oh, SWP_NOZORDER | SWP_NOACTIVATE);
}

// A whole-number spin field: an edit box with an up-down control as its buddy. The value read
// is always within the limits: a number outside them is clamped and anything that is not a
// number reads as the lower limit; leaving the field shows the value that will be used.
class TSpinField {
public:
    void Create(HWND parent, int x, int y, int w, int h, int id, int low, int high, int value) {
        low_ = low;
        high_ = high;
        edit_ = MakeChild(parent, L"EDIT", "", WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL, x, y, w, h, id,
                          WS_EX_CLIENTEDGE);
        SendMessageW(edit_, EM_SETLIMITTEXT, 6, 0);
        upDown_ = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                                  WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS |
                                      UDS_NOTHOUSANDS,
                                  0, 0, 0, 0, parent, nullptr, Instance(), nullptr);
        SendMessageW(upDown_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit_), 0);
        SendMessageW(upDown_, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
        SetValue(value);
    }
    HWND Edit() const { return edit_; }
    HWND UpDown() const { return upDown_; }
    int Low() const { return low_; }
    int High() const { return high_; }

    int Value() const {
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
    void SetValue(int value) {
        value = value < low_ ? low_ : value > high_ ? high_ : value;
        SendMessageW(upDown_, UDM_SETPOS32, 0, static_cast<LPARAM>(value));
        SetText(edit_, std::to_string(value));
    }
    // Rewrites the text as the value it stands for (called when the field loses the focus).
    void Normalise() {
        const int v = Value();
        if (GetText(edit_) != std::to_string(v))
            SetValue(v);
    }

private:
    HWND edit_ = nullptr;
    HWND upDown_ = nullptr;
    int low_ = 0, high_ = 0;
};

// Tooltips for the components of a form whose hint is switched on (after translation).
inline HWND MakeHints(HWND form, TFormComponents& components, HWND tooltip = nullptr) {
    if (tooltip)
        DestroyWindow(tooltip);
    tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, form,
                              nullptr, Instance(), nullptr);
    for (int i = 0; i < components.ComponentCount(); ++i) {
        auto& c = static_cast<TControl&>(components.Component(i));
        if (!c.ShowHint() || c.Hint().empty())
            continue;
        std::wstring text = Wide(c.Hint());
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = GetParent(c.Hwnd());
        ti.uId = reinterpret_cast<UINT_PTR>(c.Hwnd());
        ti.lpszText = text.data();
        SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    return tooltip;
}

// A dialog's button bar: a 26-pixel panel with a lowered bevel, filled by the gradient caption
// label, with flat speed buttons drawn over the gradient (an edge shows while the mouse is over
// one). The bar is a control parent, so Tab reaches its buttons; their clicks reach the dialog
// as WM_COMMAND.
// Paints the part of a button bar's gradient label that lies behind an owner-drawn flat
// button, so the bar's gradient shows through the button.
inline void PaintLabelBehind(const DRAWITEMSTRUCT& d, TGradientHeadLabel& label) {
    const RECT& r = d.rcItem;
    RECT bar;
    GetClientRect(label.Hwnd(), &bar);
    POINT origin{0, 0};
    MapWindowPoints(d.hwndItem, label.Hwnd(), &origin, 1);
    const int saved = SaveDC(d.hDC);
    IntersectClipRect(d.hDC, r.left, r.top, r.right, r.bottom);
    SetViewportOrgEx(d.hDC, -origin.x, -origin.y, nullptr);
    label.PaintTo(d.hDC, bar.right, bar.bottom);
    RestoreDC(d.hDC, saved);
}

class TButtonBar : public TWindowBase<TButtonBar> {
public:
    static const wchar_t* ClassName() { return L"TKwButtonBar"; }
    static constexpr int BarHeight = 26;

    bool Create(HWND dialog, int x, int y, int w) {
        Register();
        dialog_ = dialog;
        if (!CreateWin(WS_EX_CONTROLPARENT, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x, y, w, BarHeight, dialog))
            return false;
        label_.Create(Hwnd(), 1, 1, w - 2, BarHeight - 2, false);
        label_.ConfigureAsButtonBar();
        // below the buttons, so that the mouse reaches them
        SetWindowPos(label_.Hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return true;
    }

    // A flat button at `left` within the bar.
    HWND AddButton(int id, const std::string& caption, int left, int width) {
        HWND b = MakeChild(Hwnd(), L"BUTTON", caption, WS_TABSTOP | BS_OWNERDRAW, left, 1, width, BarHeight - 2, id);
        SetWindowSubclass(b, &TButtonBar::ButtonProc, 1, reinterpret_cast<DWORD_PTR>(this));
        return b;
    }

    TGradientHeadLabel& Label() { return label_; }

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
        switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
            return SendMessageW(dialog_, msg, wp, lp);
        case WM_DRAWITEM:
            DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
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

private:
    static LRESULT CALLBACK ButtonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
        auto* bar = reinterpret_cast<TButtonBar*>(ref);
        if (msg == WM_MOUSEMOVE && bar->hot_ != h) {
            if (bar->hot_)
                InvalidateRect(bar->hot_, nullptr, FALSE);
            bar->hot_ = h;
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, h, 0};
            TrackMouseEvent(&t);
            InvalidateRect(h, nullptr, FALSE);
        } else if (msg == WM_MOUSELEAVE && bar->hot_ == h) {
            bar->hot_ = nullptr;
            InvalidateRect(h, nullptr, FALSE);
        } else if (msg == WM_NCDESTROY) {
            if (bar->hot_ == h)
                bar->hot_ = nullptr;
            RemoveWindowSubclass(h, &TButtonBar::ButtonProc, 1);
        }
        return DefSubclassProc(h, msg, wp, lp);
    }

    void DrawButton(const DRAWITEMSTRUCT& d) {
        const RECT& r = d.rcItem;
        PaintLabelBehind(d, label_);

        const bool enabled = !(d.itemState & ODS_DISABLED);
        const bool pressed = (d.itemState & ODS_SELECTED) != 0;
        if (pressed || (enabled && hot_ == d.hwndItem)) {
            RECT e = r;
            DrawEdge(d.hDC, &e, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        }
        const std::wstring text = Wide(GetText(d.hwndItem));
        RECT t{r.left + 2 + (pressed ? 1 : 0), r.top + (pressed ? 1 : 0), r.right - 2 + (pressed ? 1 : 0),
               r.bottom + (pressed ? 1 : 0)};
        SetBkMode(d.hDC, TRANSPARENT);
        SetTextColor(d.hDC, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        TSelect f(d.hDC, UiFont());
        DrawTextW(d.hDC, text.c_str(), -1, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
        if (d.itemState & ODS_FOCUS) {
            RECT fr{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
            DrawFocusRect(d.hDC, &fr);
        }
    }

    HWND dialog_ = nullptr;
    HWND hot_ = nullptr;
    TGradientHeadLabel label_;
};

} // namespace kw::win
