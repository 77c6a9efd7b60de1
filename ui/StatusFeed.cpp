// The main timer's take of the status cells.
#include "ui/StatusFeed.h"
#include "ui/WorksGrid.h"
#include "render/StatusText.h"

namespace kw {

TStatusFeed TakeStatusUpdates(const std::vector<TWorkPtr>& works, TShowCell& sourceStatus) {
    TStatusFeed feed;
    for (size_t i = 0; i < works.size(); ++i) {
        TShowCell::TTaken t = works[i]->Show.Take();
        t.Text = StatusTextForRow(t.Text, static_cast<int>(i) + 1);  // the number the grid shows
        if (t.Changed) {
            feed.Cells.push_back({WorkRow(static_cast<int>(i)), t.Text, t.Tone});
            feed.GridChanged = true;
        }
        if (t.LogIt) {
            // built by appending: gcc 12 misreads `"[" + std::string&&` as an overlapping copy
            std::string line = "[";
            line += std::to_string(i + 1);
            line += "] ";
            line += t.Text;
            feed.LogLines.push_back(std::move(line));
        }
    }
    const TShowCell::TTaken s = sourceStatus.Take();
    if (s.Changed) {
        feed.Cells.push_back({SourceRow(), s.Text, s.Tone});
        feed.GridChanged = true;
    }
    if (s.LogIt)
        feed.LogLines.push_back(s.Text);
    return feed;
}

bool StatusPublishedSince(uint64_t& seen) noexcept {
    const uint64_t now = TShowCell::Publications();
    if (now == seen)
        return false;
    seen = now;
    return true;
}

} // namespace kw
