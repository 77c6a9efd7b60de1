// Child controls and the translation's view of them.
#include "ui/win32/Controls.h"
#include <commctrl.h>

namespace kw::win {

int TGridControl::ColCount() const { return Header_GetItemCount(ListView_GetHeader(hwnd_)); }

int TGridControl::RowCount() const { return 1 + ListView_GetItemCount(hwnd_); }

std::string TGridControl::Cell(int col, int row) const {
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

void TGridControl::SetCell(int col, int row, const std::string& text) {
    std::wstring w = Wide(text);
    if (row == 0) {
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT;
        c.pszText = w.data();
        SendMessageW(hwnd_, LVM_SETCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c));
    } else {
        LVITEMW it{};
        it.iSubItem = col;
        it.pszText = w.data();
        SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row - 1), reinterpret_cast<LPARAM>(&it));
    }
}

int TComboControl::ItemCount() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)); }

std::string TComboControl::Item(int i) const {
    const LRESULT n = SendMessageW(hwnd_, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (n < 0)
        return {};
    std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(hwnd_, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(static_cast<size_t>(n));
    return Ansi(buf);
}

void TComboControl::SetItem(int i, const std::string& text) {
    const int sel = ItemIndex();
    SendMessageW(hwnd_, CB_DELETESTRING, static_cast<WPARAM>(i), 0);
    SendMessageW(hwnd_, CB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(Wide(text).c_str()));
    SetItemIndex(sel);
}

int TComboControl::ItemIndex() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)); }

void TComboControl::SetItemIndex(int i) { SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(i), 0); }

void TComboControl::AddItem(const std::string& text) {
    SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

HWND MakeChild(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int w, int h,
               int id, DWORD exStyle) {
    HWND c = CreateWindowExW(exStyle, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont(DpiOf(parent))), TRUE);
    return c;
}

void SetChildFonts(HWND parent, int dpi) {
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM font) -> BOOL {
            SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(UiFont(dpi)));
}

bool IsChecked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND box, bool on) {
    SendMessageW(box, BM_SETCHECK, static_cast<WPARAM>(on ? BST_CHECKED : BST_UNCHECKED), 0);
}

HWND FocusWithin(HWND form) {
    HWND focus = GetFocus();
    return focus && (focus == form || IsChild(form, focus)) ? focus : nullptr;
}

} // namespace kw::win
