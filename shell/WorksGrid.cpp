// The works grid's rows and status colours.
#include "shell/WorksGrid.h"

namespace kw {

std::vector<TWorksRow> ShowWorksRows(TWorkList& works, const std::string& sourceCaption,
                                     const std::string& sourceStatus) {
    works.SortByName();
    const auto all = works.Snapshot();
    std::vector<TWorksRow> rows;
    rows.reserve(all.size() + 1);
    rows.push_back({"", sourceCaption, sourceStatus});
    for (size_t i = 0; i < all.size(); ++i)
        rows.push_back({std::to_string(i + 1), all[i]->Name(), ""});
    return rows;
}

TCellPaint StatusCellPaint(uint32_t cellColor, uint32_t gridBackground) {
    if (cellColor == gridBackground)
        return {};
    // White text on the status colour reads well for both red and green.
    return TCellPaint{true, cellColor & 0x00FFFFFF, 0x00FFFFFF};
}

} // namespace kw
