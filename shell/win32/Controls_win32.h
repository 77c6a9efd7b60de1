// Child controls of the program's windows, each known by its name and its class as the
// language files address them, so that translation reaches them through lang::IComponent.
#pragma once
#include "lang/Component.h"
#include "shell/win32/Window_win32.h"
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

} // namespace kw::win
