// The gradient caption label as a window: paints the gradient bands, edge lines, caption and
// sub-caption, and sizes itself.
#pragma once
#include "ui/win32/Window.h"
#include "widgets/GradientLabel.h"

namespace kw {

class TGradientHeadLabel : public win::TWindowBase<TGradientHeadLabel>, public TGradientLabelModel {
public:
    static const wchar_t* ClassName() { return L"TGradientHeadLabel"; }

    // A child of `parent`; with `fill` the label takes the parent's whole client area and
    // follows its size (Align = alClient).
    bool Create(HWND parent, int x, int y, int w, int h, bool fill);
    // The configuration of every button bar: white to silver from the top in 64 bands.
    void ConfigureAsButtonBar();

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    // Paints the label into any DC (also used by the flat buttons drawn over it).
    void PaintTo(HDC dc, int width, int height);

protected:
    void Changed() override;
    void DpiChanged(int dpi, const RECT* suggested) override;
    void ContentChanged() override;

private:
    void Paint();
    void DrawCaptions(HDC dc, int width, int height);
    void ApplyAutoBounds();

    void MakeFont();

    win::TGdi<HFONT> font_;
    LOGFONTW fontAt96_{};  // the caption's font as set, at 96 DPI
};

// Paints the part of `label` that lies behind an owner-drawn button, so the label's gradient
// shows through the button.
void PaintLabelBehind(const DRAWITEMSTRUCT& d, TGradientHeadLabel& label);

// The system colour of a 0x80000000 | index value, other colours as they are.
TColor ResolveColor(TColor c);

} // namespace kw
