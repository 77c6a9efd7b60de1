// The screenshot writer: a screen copy of the window, written as a compressed PNG (tests/ui/Png).
#include "tests/ui/Screenshot_win32.h"
#include "tests/ui/Png.h"
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kw::test {

std::string ScreenshotDir() {
    const char* env = std::getenv("KW_SCREENSHOT_DIR");
    std::string dir = env && *env ? env : "screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::vector<uint32_t> ScreenPixels(const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<uint32_t> pixels(static_cast<size_t>(w > 0 ? w : 0) * static_cast<size_t>(h > 0 ? h : 0));
    if (pixels.empty())
        return pixels;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi{sizeof bi, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    GetDIBits(mem, bmp, 0, static_cast<UINT>(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    for (uint32_t& p : pixels)
        p &= 0x00FFFFFF;
    return pixels;
}

bool SaveWindowPng(HWND window, const std::string& path) {
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return false;
    const std::vector<uint32_t> pixels = ScreenPixels(r);
    // one colour everywhere: the window never reached the screen (a blank picture is a failure)
    if (std::all_of(pixels.begin(), pixels.end(), [&](uint32_t p) { return p == pixels[0]; }))
        return false;

    std::vector<uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (const uint32_t p : pixels)
        rgb.insert(rgb.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)});
    const std::vector<uint8_t> png = EncodePng(rgb.data(), w, h);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

void ChangeDpi(HWND window, int dpi, int fromDpi) {
    RECT r;
    GetWindowRect(window, &r);
    RECT suggested{r.left, r.top, r.left + MulDiv(r.right - r.left, dpi, fromDpi),
                   r.top + MulDiv(r.bottom - r.top, dpi, fromDpi)};
    SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

namespace {

void RunMessages(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(20);
    }
}

} // namespace

bool Shoot(HWND window, const std::string& name) {
    // the pointer away from the window, so no hint or hover edge shows in the picture
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    // Under Xvfb without a window manager a window can take a moment to reach the screen after
    // it was raised: a blank copy is taken again, a bounded number of times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        RunMessages(400);
        const bool ok = SaveWindowPng(window, ScreenshotDir() + "/" + name + ".png");
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (ok)
            return true;
        RunMessages(200);
    }
    return false;
}

} // namespace kw::test
