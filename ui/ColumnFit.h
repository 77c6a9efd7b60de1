// Column widths of a report grid by percentages of its free width (`FitColumns`): portable,
// so the arithmetic is tested natively; the list view helpers apply it.
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

} // namespace kw
