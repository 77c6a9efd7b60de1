// Report-mode list views, the program's grids: creation, rows and columns through the wide
// messages, the row height, and column fitting by percentages.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

namespace kw::win {

// A report list view with full-row selection and grid lines; columns are (title, width at 96 DPI).
HWND MakeReportList(HWND parent, int id, const std::vector<std::pair<std::string, int>>& columns, int dpi,
                    DWORD extraStyle = 0);

void LvInsertColumn(HWND lv, int col, const std::string& text, int width);
void LvSetColumnText(HWND lv, int col, const std::string& text);
void LvSetItemText(HWND lv, int item, int col, const std::string& text);
void LvInsertItem(HWND lv, int item, const std::string& text);
// UTF-8 text into a cell (column 0 inserts the row), without a detour through the ANSI code
// page: a UTF-8 page may hold characters Windows-1251 has no place for.
void LvSetCellUtf8(HWND lv, int item, int col, const std::string& utf8);
void LvInsertRow(HWND lv, int item, const std::vector<std::string>& cells);

// Rows `height` pixels high (a list view takes its row height from its small image list).
void LvSetRowHeight(HWND lv, int height);
int LvRowHeight(HWND lv);

// Fits a report ListView's columns to its width by percentages (`FitColumns`): columns with 0
// keep their width, the others share what is left. Only widths that change are set, so that a
// resize does not repaint a grid whose columns already fit.
void FitListViewColumns(HWND grid, const std::vector<int16_t>& percents, int rowHeight);

// Gives the columns their widths at `dpi` from widths at 96 DPI (after a DPI change); a 0
// leaves that column to the column fitting. Always from the 96-DPI widths, so that moves
// between monitors never add up rounding.
void LvScaleColumns(HWND lv, const std::vector<int>& widthsAt96, int dpi);

// The width column `col`'s title needs to show whole in the header.
int LvHeaderWantedWidth(HWND lv, int col);
// Widens every column whose title would show cut short (a translation may be longer than the
// built-in title), taking the width from column `giver` as far as its own title allows.
void LvFitHeaders(HWND lv, int giver);

// Call when a list view takes the focus (NM_SETFOCUS): a list with rows and none focused yet
// would show no focus mark at all; its first row takes the mark (not the selection), drawn also
// when the focus came by the mouse.
void LvShowFocus(HWND lv);

} // namespace kw::win
