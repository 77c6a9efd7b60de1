// Painting helpers.
#include "ui/win32/Gdi.h"

namespace kw::win {

TPaint::TPaint(HWND window) : window_(window) { dc_ = BeginPaint(window, &ps_); }

TPaint::~TPaint() { EndPaint(window_, &ps_); }

void FillSolid(HDC dc, const RECT& r, COLORREF color) {
    TGdi<HBRUSH> brush(CreateSolidBrush(color));
    FillRect(dc, &r, brush.Get());
}

HDC MeasuringDc() {
    struct TMeasuringDc {
        HDC Dc = CreateCompatibleDC(nullptr);
        ~TMeasuringDc() {
            if (Dc)
                DeleteDC(Dc);
        }
    };
    thread_local const TMeasuringDc measuring;
    return measuring.Dc;
}

SIZE MeasureLine(HFONT font, std::wstring_view text) {
    SIZE size{};
    if (HDC dc = MeasuringDc()) {
        TSelect f(dc, font);
        GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    }
    return size;
}

} // namespace kw::win
