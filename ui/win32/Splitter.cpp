// The splitter.
#include "ui/win32/Splitter.h"
#include <windowsx.h>

namespace kw::win {

bool TSplitter::Create(HWND parent) {
    Register();
    return CreateWin(0, L"", WS_CHILD | WS_VISIBLE, 0, 0, 4, 10, parent);
}

LRESULT TSplitter::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEWE)));
        return TRUE;
    case WM_LBUTTONDOWN:
        grab_ = GET_X_LPARAM(lp);
        SetCapture(Hwnd());
        return 0;
    case WM_MOUSEMOVE:
        if ((wp & MK_LBUTTON) && GetCapture() == Hwnd() && OnMove) {
            POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            MapWindowPoints(Hwnd(), GetParent(Hwnd()), &p, 1);
            OnMove(p.x - grab_);
        }
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == Hwnd())
            ReleaseCapture();
        return 0;
    }
    return Default(msg, wp, lp);
}

} // namespace kw::win
