// A window's button bar: a panel with a lowered bevel, filled by the gradient caption label,
// with flat buttons drawn over the gradient. One painter, one hot-tracking mechanism: an edge
// while the pointer is over a button, the hand cursor, the hint. The bar is a control parent,
// so Tab reaches its buttons; Enter and Space press the focused one; clicks reach the owner as
// WM_COMMAND (BN_CLICKED).
#pragma once
#include "ui/win32/GradientLabel.h"
#include "ui/win32/Tooltips.h"
#include "ui/win32/Window.h"
#include <functional>
#include <string>

namespace kw::win {

class TButtonBar : public TWindowBase<TButtonBar> {
public:
    static const wchar_t* ClassName() { return L"TKwButtonBar"; }
    static constexpr int BarHeight = 26;  // at 96 DPI

    // Paints a button's glyph into `box` (a square at the button's left, or its middle when the
    // button has no caption).
    using TGlyphPainter = std::function<void(HDC dc, int id, const RECT& box, bool enabled)>;

    // A bar in `owner`, `w` wide; the buttons start `inset` pixels (96 DPI) inside the bevel.
    bool Create(HWND owner, int x, int y, int w, int inset = 1);
    HWND AddButton(int id, const std::string& caption);
    // Places a button: `left` from the inside of the bevel, in pixels.
    void Place(HWND button, int left, int width);
    // The width that shows the button's glyph and whole caption, in pixels at the bar's DPI.
    int WantedWidth(HWND button) const;
    // The width that shows the glyph alone (0 for a bar without glyphs).
    int GlyphWidth() const;
    // A compact bar shows its buttons' glyphs without captions (too narrow for them whole:
    // a caption is never shown cut short); the hints then name the buttons.
    void SetCompact(bool on);
    bool Compact() const { return compact_; }
    void Move(int x, int y, int w);
    void SetGlyphPainter(TGlyphPainter painter) { glyphs_ = std::move(painter); }
    void SetHint(HWND button, const std::string& text) { hints_.Set(Hwnd(), button, text, true); }
    int Height() const { return S(BarHeight); }
    int Inset() const { return S(inset_); }
    HWND Hot() const { return hot_; }
    TGradientHeadLabel& Label() { return label_; }

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
    void DpiChanged(int dpi, const RECT* suggested) override;

private:
    static LRESULT CALLBACK ButtonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    void SetHot(HWND button);
    void PaintButton(const DRAWITEMSTRUCT& d);

    HWND owner_ = nullptr;
    HWND hot_ = nullptr;
    WNDPROC buttonProc_ = nullptr;  // the button class's own, which the buttons' subclass calls
    int inset_ = 1;
    bool compact_ = false;
    TGradientHeadLabel label_;
    TTooltips hints_;
    TGlyphPainter glyphs_;
};

} // namespace kw::win
