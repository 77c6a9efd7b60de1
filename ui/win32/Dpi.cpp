// DPI queries through the functions newer systems have (looked up at run time, so the program
// still starts on Windows 7), and the dialog font per DPI.
#include "ui/win32/Dpi.h"
#include <map>
#include <mutex>

namespace kw::win {

namespace {

template <typename F>
F User32(const char* name) {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    return user ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user, name))) : nullptr;
}

} // namespace

int SystemDpi() {
    static const int dpi = [] {
        using Fn = UINT(WINAPI*)();
        if (auto forSystem = User32<Fn>("GetDpiForSystem"))
            if (const UINT d = forSystem())
                return static_cast<int>(d);
        HDC screen = GetDC(nullptr);
        const int d = screen ? GetDeviceCaps(screen, LOGPIXELSY) : BaseDpi;
        if (screen)
            ReleaseDC(nullptr, screen);
        return d > 0 ? d : BaseDpi;
    }();
    return dpi;
}

int DpiOf(HWND window) {
    using Fn = UINT(WINAPI*)(HWND);
    static const Fn forWindow = User32<Fn>("GetDpiForWindow");
    if (forWindow && window)
        if (const UINT d = forWindow(window))
            return static_cast<int>(d);
    return SystemDpi();
}

HFONT UiFont(int dpi) {
    static std::mutex lock;
    static std::map<int, HFONT> fonts;
    if (dpi <= 0)
        dpi = SystemDpi();
    std::lock_guard<std::mutex> hold(lock);
    if (auto it = fonts.find(dpi); it != fonts.end())
        return it->second;
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    using Fn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const Fn forDpi = User32<Fn>("SystemParametersInfoForDpi");
    if (!(forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0, static_cast<UINT>(dpi)))) {
        // the system's metrics are at the system's DPI
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
        m.lfMessageFont.lfHeight = MulDiv(m.lfMessageFont.lfHeight, dpi, SystemDpi());
    }
    HFONT font = CreateFontIndirectW(&m.lfMessageFont);
    fonts.emplace(dpi, font);
    return font;
}

} // namespace kw::win
