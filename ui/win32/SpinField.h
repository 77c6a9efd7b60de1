// A whole-number spin field: an edit box with an up-down control as its buddy. The value read
// is always within the limits: a number outside them is clamped and anything that is not a
// number reads as the lower limit; leaving the field shows the value that will be used.
#pragma once
#include <windows.h>

namespace kw::win {

class TSpinField {
public:
    void Create(HWND parent, int id, int low, int high, int value);
    // Places the field (the arrows take the right end of the rectangle).
    void Move(int x, int y, int w, int h);
    HWND Edit() const { return edit_; }
    HWND UpDown() const { return upDown_; }
    int Low() const { return low_; }
    int High() const { return high_; }

    int Value() const;
    void SetValue(int value);
    // Rewrites the text as the value it stands for (called when the field loses the focus).
    void Normalise();
    void Show(bool on);

private:
    HWND edit_ = nullptr;
    HWND upDown_ = nullptr;
    int low_ = 0, high_ = 0;
};

} // namespace kw::win
