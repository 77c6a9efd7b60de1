// Layout arithmetic of the main window: column widths by percentages of the free width
// (`FitColumns`) and the tool bar's buttons (`PanTResize`).
#pragma once
#include <cstdint>
#include <vector>

namespace kw {

// What `FitColumns` needs to know of a grid.
struct TGridMetrics {
    std::vector<int> ColWidths;
    int RowCount = 0;
    int RowHeight = 18;
    bool HorzLines = true;
    bool VertLines = true;
    int ClientWidth = 0;
    int ClientHeight = 0;
    int OuterWidth = 0;
};

// New column widths: columns with percentage 0 keep theirs, the others share what is left;
// columns beyond the percentages neither change nor count.
std::vector<int> FitColumns(const TGridMetrics& grid, const std::vector<int16_t>& percents);

struct TToolButton {
    int Left = 0;
    int Width = 0;
};

struct TToolBarLayout {
    TToolButton Add{0, 105};
    TToolButton Edit{108, 105};
    TToolButton Delete{212, 105};
    TToolButton Pid{320, 60};
};

// `PanTResize` for the tool bar's client width.
TToolBarLayout PanTResize(int clientWidth, TToolBarLayout bar);

constexpr int MainMinWidth = 300;
constexpr int MainMinHeight = 300;

} // namespace kw
