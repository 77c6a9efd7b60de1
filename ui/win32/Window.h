// The base of every window of the program: `this` stored at WM_NCCREATE, no exception out of a
// message handler, the window's DPI kept current (WM_DPICHANGED), and the helpers every window
// needs: centring, the modal loop's message pump.
#pragma once
#include "ui/win32/Dpi.h"
#include "ui/win32/Gdi.h"
#include "ui/win32/Text.h"
#include <functional>
#include <string>
#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace kw::win {

// Private messages of the program's windows.
enum : UINT {
    WM_KW_TRAY = WM_APP + 1,  // the notification icon's mouse events
    WM_KW_LISTCHANGED,        // a drop-down's choice to act on, its list closed (wParam: its id)
};

HINSTANCE Instance();

class TWindow {
public:
    TWindow() = default;
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;
    virtual ~TWindow();

    HWND Hwnd() const { return hwnd_; }
    // The DPI the window is laid out for, and a 96-DPI size at it.
    int Dpi() const { return dpi_; }
    int S(int pixels) const { return Scale(pixels, dpi_); }

    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }
    // Lays the window out at `dpi`: top-level windows get it from WM_DPICHANGED and pass it
    // on to the child windows of their own (the system tells only top-level windows).
    void ApplyDpi(int dpi, const RECT* suggested = nullptr);

protected:
    static bool RegisterWindowClass(const wchar_t* name, UINT style, HICON icon, HBRUSH background);
    bool CreateWindowOf(const wchar_t* cls, DWORD exStyle, const std::wstring& title, DWORD style, int x, int y, int w,
                        int h, HWND parent, HMENU id);
    // A dialog-framed form of class `cls` owned by `owner`, with the caption `ansiCaption`
    // (Windows-1251) and a w x h size at 96 DPI scaled to the owner's; the common controls
    // `controls` (ICC_ flags) are registered first. `style` adds to the popup, caption and
    // system menu (WS_CLIPCHILDREN, say).
    bool CreateFormOf(const wchar_t* cls, HWND owner, const std::string& ansiCaption, int w, int h, DWORD controls,
                      DWORD style);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }
    // Called after WM_NCDESTROY; the window is gone.
    virtual void Destroyed() {}
    // The window moved to a monitor of another DPI (or the scale changed): lay out again at
    // `dpi`. A top-level window gets the rectangle the system suggests.
    virtual void DpiChanged(int dpi, const RECT* suggested);

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND hwnd_ = nullptr;
    int dpi_ = BaseDpi;
};

// A window class of its own: T provides `static const wchar_t* ClassName()`.
template <typename T>
class TWindowBase : public TWindow {
public:
    static bool Register(UINT style = 0, HICON icon = nullptr, HBRUSH background = nullptr) {
        return RegisterWindowClass(T::ClassName(), style, icon, background);
    }

protected:
    bool CreateWin(DWORD exStyle, const std::wstring& title, DWORD style, int x, int y, int w, int h, HWND parent,
                   HMENU id = nullptr) {
        return CreateWindowOf(T::ClassName(), exStyle, title, style, x, y, w, h, parent, id);
    }
    bool CreateForm(HWND owner, const std::string& ansiCaption, int w, int h, DWORD controls,
                    DWORD style = WS_CLIPCHILDREN) {
        Register();
        return CreateFormOf(T::ClassName(), owner, ansiCaption, w, h, controls, style);
    }
};

// Gives a top-level window the outer size for a client area of w x h and centres it in the
// work area of its monitor (dialogs open in the middle of the screen).
void SizeAndCentre(HWND window, int w, int h);
// The top-left corner that centres `size` over `owner`, or in the work area without one, kept
// on the owner's monitor.
POINT CentredOrigin(HWND owner, SIZE size);

// Runs messages until `done` says so, with dialog keyboard handling for `dialog`. Returns
// false when WM_QUIT arrived (it is posted again for the outer loop).
bool RunModalLoop(HWND dialog, const std::function<bool()>& done);
// Handles the messages that are waiting.
void PumpMessages();

} // namespace kw::win
