// List view helpers.
#include "ui/win32/ListView.h"
#include "ui/ColumnFit.h"
#include "ui/win32/Controls.h"
#include <commctrl.h>
#include <algorithm>

namespace kw::win {

HWND MakeReportList(HWND parent, int id, const std::vector<std::pair<std::string, int>>& columns, int dpi,
                    DWORD extraStyle) {
    HWND g = MakeChild(parent, WC_LISTVIEWW, "", WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | extraStyle, 0, 0, 10,
                       10, id, WS_EX_CLIENTEDGE);
    SendMessageW(g, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont(dpi)), FALSE);
    ListView_SetExtendedListViewStyle(g, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    int i = 0;
    for (const auto& [title, width] : columns)
        LvInsertColumn(g, i++, title, Scale(width, dpi));
    return g;
}

void LvInsertColumn(HWND lv, int col, const std::string& text, int width) {
    std::wstring w = Wide(text);
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.pszText = w.data();
    c.cx = width;
    SendMessageW(lv, LVM_INSERTCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c));
}

void LvSetColumnText(HWND lv, int col, const std::string& text) {
    std::wstring w = Wide(text);
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = w.data();
    SendMessageW(lv, LVM_SETCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c));
}

void LvSetItemText(HWND lv, int item, int col, const std::string& text) {
    std::wstring w = Wide(text);
    LVITEMW it{};
    it.iSubItem = col;
    it.pszText = w.data();
    SendMessageW(lv, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
}

void LvInsertItem(HWND lv, int item, const std::string& text) {
    std::wstring w = Wide(text);
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = item;
    it.pszText = w.data();
    SendMessageW(lv, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
}

void LvSetCellUtf8(HWND lv, int item, int col, const std::string& utf8) {
    std::wstring w = Wide(utf8, CP_UTF8);
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = item;
    it.iSubItem = col;
    it.pszText = w.data();
    SendMessageW(lv, col == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&it));
}

void LvInsertRow(HWND lv, int item, const std::vector<std::string>& cells) {
    LvInsertItem(lv, item, cells.empty() ? std::string() : cells[0]);
    for (size_t c = 1; c < cells.size(); ++c)
        LvSetItemText(lv, item, static_cast<int>(c), cells[c]);
}

void LvSetRowHeight(HWND lv, int height) {
    // The list view owns neither image list it is given: the old one is freed here.
    HIMAGELIST rows = ImageList_Create(1, height > 1 ? height : 1, ILC_COLOR, 0, 1);
    if (HIMAGELIST old = ListView_SetImageList(lv, rows, LVSIL_SMALL))
        ImageList_Destroy(old);
}

int LvRowHeight(HWND lv) {
    RECT r{};
    if (ListView_GetItemCount(lv) > 0 && ListView_GetItemRect(lv, 0, &r, LVIR_BOUNDS))
        return r.bottom - r.top;
    int cx = 0, cy = 0;
    if (HIMAGELIST rows = ListView_GetImageList(lv, LVSIL_SMALL))
        ImageList_GetIconSize(rows, &cx, &cy);
    return cy;
}

void FitListViewColumns(HWND grid, const std::vector<int16_t>& percents, int rowHeight) {
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
    const std::vector<int> widths = FitColumns(m, percents);
    for (int c = 0; c < cols; ++c) {
        const int w = widths[static_cast<size_t>(c)];
        if (w != m.ColWidths[static_cast<size_t>(c)])
            ListView_SetColumnWidth(grid, c, w > 0 ? w : 0);
    }
}

void LvScaleColumns(HWND lv, const std::vector<int>& widthsAt96, int dpi) {
    const int cols = Header_GetItemCount(ListView_GetHeader(lv));
    for (int c = 0; c < cols && c < static_cast<int>(widthsAt96.size()); ++c)
        if (widthsAt96[static_cast<size_t>(c)] > 0)
            ListView_SetColumnWidth(lv, c, Scale(widthsAt96[static_cast<size_t>(c)], dpi));
}

int LvHeaderWantedWidth(HWND lv, int col) {
    HWND header = ListView_GetHeader(lv);
    wchar_t text[256] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 255;
    if (!header ||
        !SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&item)))
        return 0;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0));
    const SIZE size = MeasureLine(font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), text);
    // the header's margins on both sides of its text, as the common controls draw them
    return size.cx + 6 * GetSystemMetrics(SM_CXEDGE) + 2;
}

void LvFitHeaders(HWND lv, int giver) {
    const int cols = Header_GetItemCount(ListView_GetHeader(lv));
    for (int c = 0; c < cols; ++c) {
        const int lack = LvHeaderWantedWidth(lv, c) - ListView_GetColumnWidth(lv, c);
        if (c == giver || lack <= 0)
            continue;
        ListView_SetColumnWidth(lv, c, ListView_GetColumnWidth(lv, c) + lack);
        if (giver >= 0 && giver < cols) {
            const int rest = ListView_GetColumnWidth(lv, giver) - lack;
            ListView_SetColumnWidth(lv, giver, std::max(rest, LvHeaderWantedWidth(lv, giver)));
        }
    }
}

void LvShowFocus(HWND lv) {
    if (ListView_GetItemCount(lv) == 0)
        return;
    if (ListView_GetNextItem(lv, -1, LVNI_FOCUSED) < 0)
        ListView_SetItemState(lv, 0, LVIS_FOCUSED, LVIS_FOCUSED);
    SendMessageW(lv, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    InvalidateRect(lv, nullptr, FALSE);
}

} // namespace kw::win
