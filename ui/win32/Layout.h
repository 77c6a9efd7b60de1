// Layout by description. A dialog of fixed size says where its controls go in 96-DPI units,
// row by row, and TLayout places them at the window's DPI; a resizable window stacks its rows
// with StackRows. Every window lays itself out this way, so one rule scales them all.
#pragma once
#include "ui/win32/ButtonBar.h"
#include "ui/win32/SpinField.h"
#include "ui/win32/Window.h"
#include <initializer_list>
#include <iterator>
#include <vector>

namespace kw::win {

// A control's place at 96 DPI.
struct TBox {
    int X = 0, Y = 0, W = 0, H = 0;
};

// The height of a one-line field (edit, drop-down, check box) and of the text of a label.
constexpr int RowHeight = 22;
constexpr int LabelHeight = 16;

// A button of a button bar and its width at 96 DPI.
struct TBarButton {
    HWND Button;
    int Width;
};

class TLayout {
public:
    // `width`: the form's client width at 96 DPI. With `paintEach` every move paints; without,
    // the form is painted once, when the whole layout is done.
    TLayout(const TWindow& form, int width, bool paintEach = true) : form_(form), width_(width), paint_(paintEach) {}

    int S(int v) const { return form_.S(v); }

    void Put(HWND control, const TBox& box) const;
    void Put(TSpinField& field, const TBox& box) const;
    // The label of a row whose field starts at `y`: its text level with the field's text.
    void Label(HWND label, int x, int y, int w) const { Put(label, {x, y + 3, w, LabelHeight}); }
    // A drop-down list at `y`, `open` high with its list open.
    void DropDown(HWND list, int x, int y, int w, int open = 200) const { Put(list, {x, y, w, open}); }

    // The button bar across the form at `y`; the form then ends with it.
    void Bar(TButtonBar& bar, int y);
    // Buttons of the bar from its left end, from its right end (the last one outermost), or one
    // in its middle; 3 apart and 3 from either end.
    void BarLeft(std::initializer_list<TBarButton> buttons) const;
    void BarRight(std::initializer_list<TBarButton> buttons) const;
    void BarCentre(const TBarButton& button) const;
    // Gives the form its width and the height down to the bar's end, centred on the screen.
    void SizeAndCentreForm() const;

private:
    const TWindow& form_;
    const int width_;
    const bool paint_;
    TButtonBar* bar_ = nullptr;
    int barTop_ = 0;  // pixels
};

// The rows of a resizable window's client area from the top: each of `heights` in pixels, one
// of them Fill, which takes what the others leave (never less than nothing).
constexpr int Fill = -1;
std::vector<RECT> StackRows(const RECT& client, std::initializer_list<int> heights);

// Moves a control to a row (or any rectangle), painting it.
void MoveTo(HWND control, const RECT& r);

} // namespace kw::win
