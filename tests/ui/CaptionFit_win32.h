// Whether the captions of a window show whole: each visible control's text measured in the
// control's own font against the room the control gives it, and each list view's column titles
// against their columns. The window tests count the captions cut short per DPI and language.
#pragma once
#include "ui/win32/ListView.h"
#include "ui/win32/Text.h"
#include <commctrl.h>
#include <string>
#include <vector>
#include <windows.h>

namespace kw::test {

struct TCutCaption {
    std::string Text;  // Windows-1251
    int Need = 0;
    int Room = 0;
};

inline int TextWidth(HWND control, const std::wstring& text) {
    SIZE size{};
    if (HDC dc = GetDC(control)) {
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
    }
    return size.cx;
}

// The room a control gives its caption, or -1 for a control without one to check.
inline int CaptionRoom(HWND control, int dpi) {
    wchar_t cls[32] = {};
    GetClassNameW(control, cls, 32);
    RECT r;
    GetClientRect(control, &r);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    if (lstrcmpiW(cls, L"Static") == 0)
        return (style & SS_TYPEMASK) == SS_ICON ? -1 : r.right;
    if (lstrcmpiW(cls, L"Button") != 0)
        return -1;
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return r.right - MulDiv(13 + 4, dpi, 96);  // the box and its gap
    case BS_GROUPBOX:
        return r.right - MulDiv(8 + 8, dpi, 96);  // the frame's ends beside the title
    case BS_OWNERDRAW:
        return r.right - MulDiv(2 + 6, dpi, 96);  // a button bar's button without a glyph
    default:
        return r.right - MulDiv(6, dpi, 96);
    }
}

// The visible captions of `window` (and its children's children) cut short at `dpi`.
inline std::vector<TCutCaption> CutCaptions(HWND window, int dpi) {
    struct TWalk {
        int Dpi;
        std::vector<TCutCaption> Cut;
    } walk{dpi, {}};
    EnumChildWindows(
        window,
        [](HWND c, LPARAM p) -> BOOL {
            auto& w = *reinterpret_cast<TWalk*>(p);
            if (!IsWindowVisible(c))
                return TRUE;
            wchar_t cls[32] = {};
            GetClassNameW(c, cls, 32);
            if (lstrcmpiW(cls, WC_LISTVIEWW) == 0) {
                HWND header = ListView_GetHeader(c);
                for (int col = 0; header && col < Header_GetItemCount(header); ++col) {
                    const int need = win::LvHeaderWantedWidth(c, col), room = ListView_GetColumnWidth(c, col);
                    if (room > 0 && need > room && (GetWindowLongW(c, GWL_STYLE) & LVS_NOCOLUMNHEADER) == 0)
                        w.Cut.push_back({"column " + std::to_string(col), need, room});
                }
                return TRUE;
            }
            const int room = CaptionRoom(c, w.Dpi);
            std::wstring text(static_cast<size_t>(GetWindowTextLengthW(c)) + 1, L'\0');
            text.resize(static_cast<size_t>(GetWindowTextW(c, text.data(), static_cast<int>(text.size()))));
            if (room < 0 || text.empty())
                return TRUE;
            const int need = TextWidth(c, text);
            if (need > room)
                w.Cut.push_back({win::Ansi(text), need, room});
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return walk.Cut;
}

} // namespace kw::test
