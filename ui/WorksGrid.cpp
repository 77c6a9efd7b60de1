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

std::vector<TStatusTone> WorkStatusTones(const TWorkList& works) {
    std::vector<TStatusTone> tones;
    for (const TWorkPtr& work : works.Snapshot())
        tones.push_back(work->Show.Text().empty() ? TStatusTone::Normal : work->Show.Tone());
    return tones;
}

TCellPaint StatusCellPaint(TStatusTone tone) {
    constexpr uint32_t red = 0x000000FF, green = 0x00008000, white = 0x00FFFFFF;
    // White text on the status colour reads well for both red and green.
    switch (tone) {
    case TStatusTone::Failure: return TCellPaint{true, red, white};
    case TStatusTone::Connected: return TCellPaint{true, green, white};
    case TStatusTone::Normal: break;
    }
    return {};
}

} // namespace kw
