// Column fitting of the report grids.
#include "ui/ColumnFit.h"

namespace kw {

std::vector<int> FitColumns(const TGridMetrics& g, const std::vector<int16_t>& percents) {
    std::vector<int> widths = g.ColWidths;
    const long long summedHeight = static_cast<long long>(g.RowCount) * (g.RowHeight + (g.HorzLines ? 1 : 0));
    const int line = g.VertLines ? 1 : 0;
    // A vertical scroll bar takes its share only when the rows do not fit.
    long long free = summedHeight > g.ClientHeight ? g.ClientWidth : g.OuterWidth - 1;
    const std::size_t n = percents.size() < widths.size() ? percents.size() : widths.size();
    for (std::size_t c = 0; c < n; ++c)
        if (percents[c] == 0)
            free -= widths[c] + line;
    for (std::size_t c = 0; c < n; ++c)
        if (percents[c] != 0)
            widths[c] = static_cast<int>(percents[c] * free / 100 - line);
    return widths;
}

} // namespace kw
