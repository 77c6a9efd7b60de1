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

} // namespace kw::win
