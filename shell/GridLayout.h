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
    TToolButton Pid{320, 60};
};

// `PanTResize` for the tool bar's client width.
TToolBarLayout PanTResize(int clientWidth, TToolBarLayout bar);

constexpr int MainMinWidth = 300;
constexpr int MainMinHeight = 300;

} // namespace kw
