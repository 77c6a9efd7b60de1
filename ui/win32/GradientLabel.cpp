// Painting and mouse handling of the gradient caption label.
#include "ui/win32/GradientLabel.h"

namespace kw {

TColor ResolveColor(TColor c) { return (c & 0x80000000u) ? GetSysColor(static_cast<int>(c & 0xFF)) : c; }

namespace {

LOGFONTW FontAt96(int points, int weight, bool italic, bool underline, bool strike, const wchar_t* face) {
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(points, win::BaseDpi, 72);
    lf.lfWeight = weight;
    lf.lfItalic = italic, lf.lfUnderline = underline, lf.lfStrikeOut = strike;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    return lf;
}

HFONT FontAt(LOGFONTW lf, int dpi) {
    lf.lfHeight = MulDiv(lf.lfHeight, dpi, win::BaseDpi);
    return CreateFontIndirectW(&lf);
}

SIZE TextSize(HDC dc, const std::string& text) {
    SIZE s{0, 0};
    const std::wstring w = win::Wide(text);
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &s);
    return s;
}

HFONT SubCaptionFont(const TSubCaption& s, int dpi) {
    return FontAt(FontAt96(s.Size, (s.Style & fsBold) ? FW_BOLD : FW_NORMAL, s.Style & fsItalic, s.Style & fsUnderline,
                           s.Style & fsStrikeOut, L"Arial"),
                  dpi);
}

} // namespace

bool TGradientHeadLabel::Create(HWND parent, int x, int y, int w, int h, bool fill) {
    Register(CS_DBLCLKS, nullptr, reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    fontAt96_ = FontAt96(10, FW_BOLD, false, false, false, L"Arial");
    if (fill) {
        RECT r;
        GetClientRect(parent, &r);
        x = 0, y = 0, w = r.right, h = r.bottom;
        SetAlign(TAlign::alClient);
    }
    if (!CreateWin(0, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, w, h, parent))
        return false;
    MakeFont();
    return true;
}

void TGradientHeadLabel::MakeFont() { font_.Reset(FontAt(fontAt96_, Dpi())); }

void TGradientHeadLabel::DpiChanged(int, const RECT*) {
    MakeFont();
    ContentChanged();
}

void TGradientHeadLabel::ConfigureAsButtonBar() {
    SetAlign(TAlign::alClient);
    SetAutoBounds(false);
    SetBoundLines(0);
    SetGradient(TGradient{64, clSilver, clWhite, TGradientStyle::gsTop});
}

void TGradientHeadLabel::Changed() {
    if (Hwnd())
        InvalidateRect(Hwnd(), nullptr, FALSE);
}

void TGradientHeadLabel::ContentChanged() {
    ApplyAutoBounds();
    Changed();
}

void TGradientHeadLabel::ApplyAutoBounds() {
    if (!Hwnd() || !AutoBounds())
        return;
    HDC dc = win::MeasuringDc();
    TLabelContent c;
    {
        win::TSelect f(dc, font_.Get());
        const SIZE cap = TextSize(dc, Caption());
        c.CaptionWidth = cap.cx, c.CaptionHeight = cap.cy;
        c.EllipsisWidth = TextSize(dc, "... ").cx;
    }
    if (!SubCaption().Caption.empty()) {
        win::TGdi<HFONT> sf(SubCaptionFont(SubCaption(), Dpi()));
        win::TSelect f(dc, sf.Get());
        const SIZE sub = TextSize(dc, SubCaption().Caption + (SubCaption().Ellipsis ? "..." : ""));
        c.SubWidth = sub.cx, c.SubHeight = sub.cy;
    }
    c.GlyphWidth = GlyphFrameWidth();
    c.GlyphHeight = GlyphHeight();
    RECT r;
    GetWindowRect(Hwnd(), &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    const bool sized = AutoWidth(c, w) | AutoHeight(c, h);
    if (sized)
        SetWindowPos(Hwnd(), nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TGradientHeadLabel::PaintTo(HDC dc, int width, int height) {
    for (const TBand& b : GradientBands(Gradient(), RoundBit(), width, height, ResolveColor))
        win::FillSolid(dc, RECT{b.Left, b.Top, b.Right, b.Bottom}, b.Color);
    const TBoundLines lines = BoundLines();
    const COLORREF edge = ResolveColor(BoundColor());
    if (lines & blLeft)
        win::FillSolid(dc, RECT{0, 0, 1, height}, edge);
    if (lines & blTop)
        win::FillSolid(dc, RECT{0, 0, width, 1}, edge);
    if (lines & blRight)
        win::FillSolid(dc, RECT{width - 1, 0, width, height}, edge);
    if (lines & blBottom)
        win::FillSolid(dc, RECT{0, height - 1, width, height}, edge);
    DrawCaptions(dc, width, height);
}

void TGradientHeadLabel::DrawCaptions(HDC dc, int width, int height) {
    SetBkMode(dc, TRANSPARENT);
    int subWidth = 0;
    const std::string sub = SubCaption().Caption + (SubCaption().Ellipsis ? "..." : "");
    if (!SubCaption().Caption.empty()) {
        win::TGdi<HFONT> sf(SubCaptionFont(SubCaption(), Dpi()));
        win::TSelect f(dc, sf.Get());
        subWidth = TextSize(dc, sub).cx;
        if (SubCaptionFits(width, subWidth)) {
            SetTextColor(dc, ResolveColor(SubCaption().Color));
            RECT r{0, 0, width - SubCaption().Margin, height};
            std::wstring w = win::Wide(sub);
            DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
    }
    if (Caption().empty())
        return;
    win::TSelect f(dc, font_.Get());
    const std::string shown =
        FitCaption(Caption(), CaptionRoom(width, subWidth), [dc](const std::string& s) { return TextSize(dc, s).cx; });
    const UINT align = Alignment() == TTextAlignmt::taCenter ? DT_CENTER
                       : Alignment() == TTextAlignmt::taRight ? DT_RIGHT
                                                               : DT_LEFT;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    RECT r{CaptionInset(), 0, width, height};
    std::wstring w = win::Wide(shown);
    DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void PaintLabelBehind(const DRAWITEMSTRUCT& d, TGradientHeadLabel& label) {
    const RECT& r = d.rcItem;
    RECT bar;
    GetClientRect(label.Hwnd(), &bar);
    POINT origin{0, 0};
    MapWindowPoints(d.hwndItem, label.Hwnd(), &origin, 1);
    const int saved = SaveDC(d.hDC);
    IntersectClipRect(d.hDC, r.left, r.top, r.right, r.bottom);
    SetViewportOrgEx(d.hDC, -origin.x, -origin.y, nullptr);
    label.PaintTo(d.hDC, bar.right, bar.bottom);
    RestoreDC(d.hDC, saved);
}

void TGradientHeadLabel::Paint() {
    win::TPaint p(Hwnd());
    RECT r;
    GetClientRect(Hwnd(), &r);
    // Drawn off screen first so the bands never flicker.
    HDC mem = CreateCompatibleDC(p.Dc());
    win::TGdi<HBITMAP> bmp(CreateCompatibleBitmap(p.Dc(), r.right, r.bottom));
    {
        win::TSelect s(mem, bmp.Get());
        PaintTo(mem, r.right, r.bottom);
        BitBlt(p.Dc(), 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
    }
    DeleteDC(mem);
}

LRESULT TGradientHeadLabel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        Changed();
        return 0;
    case WM_NCHITTEST:
        // Presses over the bar go to the label only; buttons above it get theirs first.
        return HTCLIENT;
    }
    return Default(msg, wp, lp);
}

} // namespace kw
