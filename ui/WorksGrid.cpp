// The works grid's rows and status colours.
#include "ui/WorksGrid.h"
#include "render/StatusText.h"

namespace kw {

std::vector<TWorksRow> ShowWorksRows(TWorkList& works, const std::string& sourceCaption,
                                     const std::string& sourceStatus) {
    works.SortByName();
    const auto all = works.Snapshot();
    std::vector<TWorksRow> rows;
    rows.reserve(all.size() + 1);
    rows.push_back({"", sourceCaption, sourceStatus});
    for (size_t i = 0; i < all.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const std::string status = StatusTextForRow(all[i]->Show.Text(), number);
        rows.push_back({std::to_string(number), all[i]->Name(), status});
    }
    return rows;
}

std::vector<uint32_t> WorkStatusColors(const TWorkList& works) {
    std::vector<uint32_t> colors;
    for (const TWorkPtr& work : works.Snapshot())
        colors.push_back(work->Show.Text().empty() ? NormalColor() : work->Show.Color());
    return colors;
}

TCellPaint StatusCellPaint(uint32_t cellColor, uint32_t gridBackground) {
    if (cellColor == gridBackground)
        return {};
    // White text on the status colour reads well for both red and green.
    return TCellPaint{true, cellColor & 0x00FFFFFF, 0x00FFFFFF};
}

} // namespace kw
