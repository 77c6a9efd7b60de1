// Drives the program's dialogs under Wine as a user would: a thread timer, which keeps running
// inside every modal loop, answers the message dialogs (reading their text first) and performs
// scripted steps while a dialog is open modally. Every wait is bounded by a tick count.
#pragma once
#include "lang/Language.h"
#include "lang/MessageDialog_win32.h"
#include "shell/win32/Window_win32.h"
#include "tests/lang/LangFixture.h"
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>
#include <windows.h>

namespace kw::test {

struct TDriver {
    std::vector<std::string> Messages;              // texts of the message dialogs answered
    std::vector<std::function<void()>> Steps;       // run one per tick while no message is open
    size_t NextStep = 0;
    int Ticks = 0;
    UINT_PTR Timer = 0;

    static TDriver*& Current() {
        static TDriver* current = nullptr;
        return current;
    }

    TDriver() {
        Current() = this;
        Timer = SetTimer(nullptr, 0, 30, &TDriver::Tick);
    }
    ~TDriver() {
        KillTimer(nullptr, Timer);
        Current() = nullptr;
    }
    TDriver(const TDriver&) = delete;
    TDriver& operator=(const TDriver&) = delete;

    static HWND FindMessageDialog() {
        HWND found = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND h, LPARAM out) -> BOOL {
                char cls[32] = {};
                GetClassNameA(h, cls, sizeof cls);
                if (IsWindowVisible(h) && lstrcmpA(cls, "#32770") == 0) {
                    *reinterpret_cast<HWND*>(out) = h;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    // The message's text, then its first button (OK) pressed.
    void Answer(HWND dialog) {
        std::string text;
        HWND button = nullptr;
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[32] = {};
            GetClassNameA(c, cls, sizeof cls);
            if (lstrcmpiA(cls, "Static") == 0 && !(GetWindowLongA(c, GWL_STYLE) & SS_ICON))
                text = win::GetText(c);
            else if (lstrcmpiA(cls, "Button") == 0 && !button)
                button = c;
        }
        Messages.push_back(text);
        if (button)
            SendMessageW(button, BM_CLICK, 0, 0);
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        TDriver* d = Current();
        if (!d)
            return;
        if (++d->Ticks > 400)  // twelve seconds: something hangs; end whatever dialog is open
            if (HWND dlg = FindMessageDialog())
                EndDialog(dlg, -99);
        if (HWND dlg = FindMessageDialog()) {
            d->Answer(dlg);
            return;
        }
        if (d->NextStep < d->Steps.size())
            d->Steps[d->NextStep++]();
    }
};

// Clicks a button or check box as the mouse would, and lets the messages it causes run.
inline void Click(HWND control) {
    SendMessageW(control, BM_CLICK, 0, 0);
    win::PumpMessages();
}

// Types text into an edit field: the field is emptied and each character arrives as WM_CHAR.
inline void Type(HWND edit, const std::string& ansiText) {
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CLEAR, 0, 0);
    for (wchar_t ch : win::Wide(ansiText))
        SendMessageW(edit, WM_CHAR, ch, 0);
}

inline void PressKey(UINT key) {
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 0);
    PostMessageW(GetFocus(), WM_KEYUP, key, 0);
}

// Copies a window as it shows on the screen into a 24-bit .bmp file (pictures for the docs).
inline bool SaveWindowPicture(HWND window, const char* path) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    for (int i = 0; i < 20; ++i) {
        win::PumpMessages();
        Sleep(25);
    }
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi{sizeof bi, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const int stride = ((w * 3 + 3) / 4) * 4;
    std::vector<char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(h));
    GetDIBits(mem, bmp, 0, static_cast<UINT>(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof bi + pixels.size()), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof bi};
    const bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi, sizeof bi, 1, f) == 1 &&
                    std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace kw::test
