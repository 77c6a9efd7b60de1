// What one main timer tick moves from the status cells into the grid and the log. A cell's
// flags are cleared by its take before its text is read, so an update that arrives meanwhile
// is shown at the next tick rather than lost.
#pragma once
#include "works/WorkList.h"
#include <string>
#include <vector>

namespace kw {

struct TStatusFeed {
    struct TCell {
        int Row = 0;  // grid row (with the fixed row)
        std::string Text;
        TStatusTone Tone = TStatusTone::Normal;
    };
    std::vector<TCell> Cells;
    std::vector<std::string> LogLines;  // in the order in which they are to be logged
    bool GridChanged = false;
};

// Steps 2 to 4 of `TimerTick`: the works' cells in list order, then the link's cell.
TStatusFeed TakeStatusUpdates(const std::vector<TWorkPtr>& works, TShowCell& sourceStatus);

// Whether any status cell has published a change since `seen` (the main timer's last look,
// which this moves on): a station at rest spares its ten ticks a second the take of every cell.
bool StatusPublishedSince(uint64_t& seen) noexcept;

} // namespace kw
