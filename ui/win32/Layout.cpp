// Placing controls from 96-DPI descriptions.
#include "ui/win32/Layout.h"

namespace kw::win {

namespace {
constexpr int BarGap = 3;  // between the bar's buttons and from its ends
} // namespace

void TLayout::Put(HWND control, const TBox& b) const {
    const UINT paint = paint_ ? 0 : SWP_NOREDRAW;
    SetWindowPos(control, nullptr, S(b.X), S(b.Y), S(b.W), S(b.H), SWP_NOZORDER | SWP_NOACTIVATE | paint);
}

void TLayout::Put(TSpinField& field, const TBox& b) const { field.Move(S(b.X), S(b.Y), S(b.W), S(b.H)); }

void TLayout::Bar(TButtonBar& bar, int y) {
    bar_ = &bar;
    barTop_ = S(y);
    bar.Move(0, barTop_, S(width_));
}

void TLayout::BarLeft(std::initializer_list<TBarButton> buttons) const {
    int left = S(BarGap);
    for (const TBarButton& b : buttons) {
        bar_->Place(b.Button, left, S(b.Width));
        left += S(b.Width) + S(BarGap);
    }
}

void TLayout::BarRight(std::initializer_list<TBarButton> buttons) const {
    // from the right end inwards, each button's left edge taken whole from the form's width
    int widths = 0, gaps = 0;
    for (auto b = std::rbegin(buttons); b != std::rend(buttons); ++b) {
        widths += S(b->Width);
        gaps += BarGap;
        bar_->Place(b->Button, S(width_) - widths - S(gaps), S(b->Width));
    }
}

void TLayout::BarCentre(const TBarButton& b) const { bar_->Place(b.Button, (S(width_) - S(b.Width)) / 2, S(b.Width)); }

void TLayout::SizeAndCentreForm() const {
    SizeAndCentre(form_.Hwnd(), S(width_), bar_ ? barTop_ + bar_->Height() : 0);
}

std::vector<RECT> StackRows(const RECT& client, std::initializer_list<int> heights) {
    int fixed = 0;
    for (int h : heights)
        fixed += h == Fill ? 0 : h;
    const int rest = client.bottom - client.top - fixed;
    std::vector<RECT> rows;
    int top = client.top;
    for (int h : heights) {
        const int height = h == Fill ? (rest > 0 ? rest : 0) : h;
        rows.push_back(RECT{client.left, top, client.right, top + height});
        top += height;
    }
    return rows;
}

void MoveTo(HWND control, const RECT& r) { MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE); }

} // namespace kw::win
