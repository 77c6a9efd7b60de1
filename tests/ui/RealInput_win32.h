// Real input for the window tests: the pointer moves and the keys are pressed through
// SendInput, so every click goes through hit-testing, capture and the dialog manager exactly
// as a person's does. Every wait has a bound.
#pragma once
#include <functional>
#include <windows.h>

namespace kw::test {

// The window whose keyboard interface (Tab, arrows, Enter) the test's message pump serves, as
// the program's own loop does for its main window; modal forms run loops of their own.
inline HWND& KeyboardWindow() {
    static HWND window = nullptr;
    return window;
}

// Runs the thread's messages until `done` holds or `ms` have passed; true when it held.
inline bool WaitFor(const std::function<bool()>& done, DWORD ms = 3000) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (KeyboardWindow() && IsWindow(KeyboardWindow()) && IsDialogMessageW(KeyboardWindow(), &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (GetTickCount64() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Lets the messages of the next `ms` run.
inline void Settle(DWORD ms = 150) { WaitFor([] { return false; }, ms); }

inline POINT CentreOf(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

inline void SendMouse(DWORD flags, POINT at) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = MulDiv(at.x, 65535, w > 1 ? w - 1 : 1);
    in.mi.dy = MulDiv(at.y, 65535, h > 1 ? h - 1 : 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

// Moves the pointer over a screen point and lets the window see it (hover, cursor, hints).
inline void PointAt(POINT at) {
    SendMouse(MOUSEEVENTF_MOVE, at);
    Settle(60);
}

// A left click at a screen point: move, press, release.
inline void ClickAtPoint(POINT at) {
    PointAt(at);
    SendMouse(MOUSEEVENTF_LEFTDOWN, at);
    Settle(30);
    SendMouse(MOUSEEVENTF_LEFTUP, at);
}

// Brings the window to the front so that the pointer and the keys reach it.
inline void BringToFront(HWND window) {
    HWND root = GetAncestor(window, GA_ROOT);
    SetWindowPos(root, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(root);
    Settle(60);
}

// A left click in the middle of the control's visible rectangle.
inline void ClickOn(HWND control) {
    BringToFront(control);
    ClickAtPoint(CentreOf(control));
}

// A click queued without running any message: for steps taken inside a window's own modal
// loop, which then handles it as it handles a person's click.
inline void QueueClick(HWND control) {
    const POINT at = CentreOf(control);
    SendMouse(MOUSEEVENTF_MOVE, at);
    SendMouse(MOUSEEVENTF_LEFTDOWN, at);
    SendMouse(MOUSEEVENTF_LEFTUP, at);
}

inline void SendKey(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

// A key press queued without running any message (see QueueClick), with a modifier held.
inline void QueueKey(WORD vk, WORD modifier = 0) {
    if (modifier)
        SendKey(modifier, false);
    SendKey(vk, false);
    SendKey(vk, true);
    if (modifier)
        SendKey(modifier, true);
}

// Presses a key (with Shift when asked) as the keyboard would.
inline void PressKey(WORD vk, bool shift = false) {
    QueueKey(vk, shift ? VK_SHIFT : 0);
    Settle(40);
}

// Text queued as keyboard input, one character at a time (Unicode input events), without
// running any message (see QueueClick).
inline void QueueText(const std::wstring& text) {
    for (wchar_t ch : text) {
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wScan = in[1].ki.wScan = ch;
        in[0].ki.dwFlags = KEYEVENTF_UNICODE;
        in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, in, sizeof in[0]);
    }
}

// Types text with the keyboard, one character at a time (Unicode input events).
inline void TypeText(const std::wstring& text) {
    for (wchar_t ch : text) {
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wScan = in[1].ki.wScan = ch;
        in[0].ki.dwFlags = KEYEVENTF_UNICODE;
        in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, in, sizeof in[0]);
    }
    Settle(60);
}

} // namespace kw::test
