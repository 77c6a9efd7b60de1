// Layout arithmetic of the main window: the tool bar's buttons (`PanTResize`); the grids' column
// fitting is the UI library's (ui/ColumnFit.h).
#pragma once
#include "ui/ColumnFit.h"

namespace kw {

struct TToolButton {
    int Left = 0;
    int Width = 0;
    int Want = 0;  // the width its glyph and caption need (0: not measured)
};

struct TToolBarLayout {
    TToolButton Add{0, 105};
    TToolButton Edit{108, 105};
    TToolButton Delete{212, 105};
    TToolButton SendNow{318, 1};  // placed by PanTResize
    TToolButton Pid{320, 60};
    // The width a button needs for its glyph alone (0: not measured), and whether the bar is too
    // narrow for the captions: then the four show their glyphs alone, their hints name them.
    int GlyphWant = 0;
    bool Compact = false;
};

// `PanTResize` for the tool bar's client width: the settings button keeps its width at the
// right; add, edit, delete and "send now" share the rest, edit taking what the rounding
// leaves. Unmeasured, they share it in quarters; measured, each gets what its caption needs
// and an equal part of what is left over, or, when the bar is too narrow for all captions, a
// part in proportion to its need (a long caption is not the one cut short). A bar too narrow
// for every caption whole, with the glyph's width known, is Compact: no caption is cut short,
// the four share the room in quarters and show their glyphs.
TToolBarLayout PanTResize(int clientWidth, TToolBarLayout bar);

constexpr int MainMinWidth = 300;
constexpr int MainMinHeight = 300;

} // namespace kw
