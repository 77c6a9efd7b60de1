// Pictures of the windows as the screen shows them, saved as PNG into the build tree (the
// copies under docs/screenshots come from there).
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

namespace kw::test {

// Copies the window's screen rectangle (frame and children included) into `path` as a PNG.
bool SaveWindowPng(HWND window, const std::string& path);

// The pixels of a screen rectangle as the screen shows them now (nothing is repainted first:
// what a window left behind stays in the copy), 0x00RRGGBB, rows top-down.
std::vector<uint32_t> ScreenPixels(const RECT& screen);

// The folder the tests write pictures to: $KW_SCREENSHOT_DIR, else "screenshots" in the
// current folder (the test's build folder); created when missing.
std::string ScreenshotDir();

// Tells a top-level window that its monitor's scale is now `dpi` (as the system does when the
// window moves to another monitor): WM_DPICHANGED with the window's rectangle scaled from
// `fromDpi`.
void ChangeDpi(HWND window, int dpi, int fromDpi = 96);

// Shows the window on top, lets it paint, and saves it as ScreenshotDir()/<name>.png.
bool Shoot(HWND window, const std::string& name);

} // namespace kw::test
