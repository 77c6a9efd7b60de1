// The works grid's contents and selection, apart from the grid control: the "Source" row with
// the host link status, then one row per work (number, name, status).
#pragma once
#include "works/WorkList.h"
#include <array>
#include <string>
#include <vector>

namespace kw {

constexpr int WorksFixedRows = 1;
using TWorksRow = std::array<std::string, 3>;

// Grid row of the "Source" row and of work `index`.
constexpr int SourceRow() { return WorksFixedRows; }
constexpr int WorkRow(int index) { return WorksFixedRows + 1 + index; }

// `ShowWorks`' rows below the fixed row, after sorting the works by name: the "Source" row
// (keeping the link status it showed) and a row per work with the status its cell holds, so
// a refill after an add, an edit or a delete leaves the other works' states on the screen. A
// status that names its work carries the work's new number.
std::vector<TWorksRow> ShowWorksRows(TWorkList& works, const std::string& sourceCaption,
                                     const std::string& sourceStatus);
// The tone each work's status is drawn in after that refill, in the rows' order; a work
// without a status has the normal tone.
std::vector<TStatusTone> WorkStatusTones(const TWorkList& works);

// `SGWorkClick`: the work of the selection's top row; -1 for the "Source" row or none.
constexpr int SelectedWorkFromRow(int topRow) { return topRow < 0 ? -1 : topRow - WorksFixedRows - 1; }
constexpr bool WorkButtonsEnabled(int selectedWork) { return selectedWork >= 0; }

// The colour a status cell is drawn in (0x00BBGGRR): failures red and a connected link green
// stand out; the normal state draws the cell as every other cell.
struct TCellPaint {
    bool Custom = false;
    uint32_t Background = 0;
    uint32_t Text = 0;
};
TCellPaint StatusCellPaint(TStatusTone tone);

} // namespace kw
