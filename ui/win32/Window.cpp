// The window base and the helpers around it.
#include "ui/win32/Window.h"
#include <commctrl.h>

namespace kw::win {

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

TWindow::~TWindow() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

bool TWindow::RegisterWindowClass(const wchar_t* name, UINT style, HICON icon, HBRUSH background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(Instance(), name, &wc))
        return true;
    wc.style = style;
    wc.lpfnWndProc = &TWindow::Proc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = icon;
    wc.hbrBackground = background ? background : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

bool TWindow::CreateWindowOf(const wchar_t* cls, DWORD exStyle, const std::wstring& title, DWORD style, int x, int y,
                             int w, int h, HWND parent, HMENU id) {
    // A child starts at its parent's DPI; a top-level window learns its own at WM_NCCREATE.
    dpi_ = parent ? DpiOf(parent) : SystemDpi();
    return CreateWindowExW(exStyle, cls, title.c_str(), style, x, y, w, h, parent, id, Instance(), this) != nullptr;
}

bool TWindow::CreateFormOf(const wchar_t* cls, HWND owner, const std::string& ansiCaption, int w, int h,
                           DWORD controls, DWORD style) {
    INITCOMMONCONTROLSEX icc{sizeof icc, controls | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    const int dpi = DpiOf(owner);
    return CreateWindowOf(cls, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, Wide(ansiCaption),
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | style, 0, 0, Scale(w, dpi), Scale(h, dpi), owner, nullptr);
}

void TWindow::ApplyDpi(int dpi, const RECT* suggested) {
    dpi_ = dpi > 0 ? dpi : BaseDpi;
    DpiChanged(dpi_, suggested);
}

void TWindow::DpiChanged(int, const RECT* suggested) {
    if (suggested && !(GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD))
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK TWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    TWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD))
            self->dpi_ = DpiOf(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    try {
        if (msg == WM_DPICHANGED) {
            self->ApplyDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
            return 0;
        }
        result = self->HandleMessage(msg, wp, lp);
    } catch (...) {
        // A failing handler loses its message, never the program.
        result = DefWindowProcW(hwnd, msg, wp, lp);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->Destroyed();
    }
    return result;
}

namespace {

RECT WorkAreaOf(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info))
        area = info.rcWork;
    return area;
}

} // namespace

POINT CentredOrigin(HWND owner, SIZE size) {
    const RECT area = WorkAreaOf(owner);
    RECT over = area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner))
        GetWindowRect(owner, &over);
    LONG x = over.left + (over.right - over.left - size.cx) / 2;
    LONG y = over.top + (over.bottom - over.top - size.cy) / 2;
    x = x + size.cx > area.right ? area.right - size.cx : x;
    y = y + size.cy > area.bottom ? area.bottom - size.cy : y;
    return POINT{x < area.left ? area.left : x, y < area.top ? area.top : y};
}

void SizeAndCentre(HWND window, int w, int h) {
    RECT r{0, 0, w, h};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    const SIZE size{r.right - r.left, r.bottom - r.top};
    const POINT at = CentredOrigin(nullptr, size);
    SetWindowPos(window, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool RunModalLoop(HWND dialog, const std::function<bool()>& done) {
    MSG msg;
    while (!done()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (got < 0)
            return false;
        if (dialog && IsWindow(dialog) && IsDialogMessageW(dialog, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace kw::win
