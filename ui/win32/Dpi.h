// Screen scale: every size in the program's windows is written for 96 dots per inch and
// scaled to the DPI of the monitor the window is on (per-monitor aware; WM_DPICHANGED when a
// window moves to another monitor).
#pragma once
#include <windows.h>

namespace kw::win {

constexpr int BaseDpi = 96;

// `pixels` at 96 DPI, at `dpi`.
inline int Scale(int pixels, int dpi) { return MulDiv(pixels, dpi, BaseDpi); }

// The DPI of the monitor the window is on (the system's DPI where the system cannot tell).
int DpiOf(HWND window);
// The system's DPI (the primary monitor's at log-on).
int SystemDpi();

// The program's dialog font, the system's message font (Tahoma or Segoe UI), at `dpi`.
// Created once per DPI and kept for the program's life.
HFONT UiFont(int dpi);

} // namespace kw::win
