// Layout arithmetic of the main window: the tool bar's buttons (`PanTResize`); the grids' column
// fitting is the UI library's (ui/ColumnFit.h).
#pragma once
#include "ui/ColumnFit.h"

namespace kw {

struct TToolButton {
    int Left = 0;
    int Width = 0;
};

struct TToolBarLayout {
    TToolButton Add{0, 105};
    TToolButton Edit{108, 105};
    TToolButton Delete{212, 105};
    TToolButton SendNow{318, 1};  // placed by PanTResize
    TToolButton Pid{320, 60};
};

// `PanTResize` for the tool bar's client width: the settings button keeps its width at the
// right; add, edit, delete and "send now" share the rest in quarters, edit taking what the
// rounding leaves.
TToolBarLayout PanTResize(int clientWidth, TToolBarLayout bar);

constexpr int MainMinWidth = 300;
constexpr int MainMinHeight = 300;

} // namespace kw
