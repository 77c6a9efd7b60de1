// A thin Win32 framework for the program's windows: text conversion at the API boundary,
// RAII for GDI objects, a window base that stores `this` at WM_NCCREATE and lets no exception
// out of a message handler, the program's private messages, and a modal loop with dialog
// keyboard navigation (Tab, Enter, Escape).
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <windows.h>

namespace kw::win {

// Private messages of the program's windows.
enum : UINT {
    WM_KW_TRAY = WM_APP + 1,  // the notification icon's mouse events
};

// The program's texts are ANSI (Windows-1251 on the stations' machines); wide only at the call.
inline std::wstring Wide(const std::string& ansi, UINT codePage = CP_ACP) {
    if (ansi.empty())
        return {};
    const int n = MultiByteToWideChar(codePage, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, ansi.data(), static_cast<int>(ansi.size()), out.data(), n);
    return out;
}

inline std::string Ansi(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Built-in captions are written in UTF-8 in the sources; the program's text is ANSI.
inline std::string AnsiFromUtf8(const char* utf8) { return Ansi(Wide(utf8, CP_UTF8)); }

inline std::string GetText(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(window, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    return Ansi(text);
}

inline void SetText(HWND window, const std::string& ansi) { SetWindowTextW(window, Wide(ansi).c_str()); }

// Owns one GDI object.
template <typename T>
class TGdi {
public:
    TGdi() = default;
    explicit TGdi(T object) : object_(object) {}
    TGdi(const TGdi&) = delete;
    TGdi& operator=(const TGdi&) = delete;
    TGdi(TGdi&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    TGdi& operator=(TGdi&& other) noexcept {
        Reset(std::exchange(other.object_, nullptr));
        return *this;
    }
    ~TGdi() { Reset(); }
    void Reset(T object = nullptr) {
        if (object_)
            DeleteObject(object_);
        object_ = object;
    }
    T Get() const { return object_; }

private:
    T object_ = nullptr;
};

// Selects an object into a DC for one scope.
class TSelect {
public:
    TSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    TSelect(const TSelect&) = delete;
    TSelect& operator=(const TSelect&) = delete;
    ~TSelect() { SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// BeginPaint/EndPaint for one WM_PAINT.
class TPaint {
public:
    explicit TPaint(HWND window) : window_(window) { dc_ = BeginPaint(window, &ps_); }
    TPaint(const TPaint&) = delete;
    TPaint& operator=(const TPaint&) = delete;
    ~TPaint() { EndPaint(window_, &ps_); }
    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

inline void FillSolid(HDC dc, const RECT& r, COLORREF color) {
    TGdi<HBRUSH> brush(CreateSolidBrush(color));
    FillRect(dc, &r, brush.Get());
}

// The program's dialog font: the system's message font (Tahoma or Segoe UI), created once.
inline HFONT UiFont() {
    static HFONT font = [] {
        NONCLIENTMETRICSW m{};
        m.cbSize = sizeof m;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
        return CreateFontIndirectW(&m.lfMessageFont);
    }();
    return font;
}

inline HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// Base of every window class of the program. T provides
//   static const wchar_t* ClassName();  and  LRESULT HandleMessage(UINT, WPARAM, LPARAM);
template <typename T>
class TWindowBase {
public:
    TWindowBase() = default;
    TWindowBase(const TWindowBase&) = delete;
    TWindowBase& operator=(const TWindowBase&) = delete;
    virtual ~TWindowBase() {
        if (hwnd_) {
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            DestroyWindow(hwnd_);
        }
    }

    HWND Hwnd() const { return hwnd_; }

    static bool Register(UINT style = 0, HICON icon = nullptr, HBRUSH background = nullptr) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        if (GetClassInfoExW(Instance(), T::ClassName(), &wc))
            return true;
        wc.style = style;
        wc.lpfnWndProc = &TWindowBase::Proc;
        wc.hInstance = Instance();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hIcon = icon;
        wc.hbrBackground = background ? background : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = T::ClassName();
        return RegisterClassExW(&wc) != 0;
    }

protected:
    bool CreateWin(DWORD exStyle, const std::wstring& title, DWORD style, int x, int y, int w, int h, HWND parent,
                   HMENU id = nullptr) {
        return CreateWindowExW(exStyle, T::ClassName(), title.c_str(), style, x, y, w, h, parent, id, Instance(),
                               this) != nullptr;
    }
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }
    // Called after WM_NCDESTROY; the window is gone.
    virtual void Destroyed() {}

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        T* self = nullptr;
        if (msg == WM_NCCREATE) {
            self = static_cast<T*>(static_cast<TWindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (!self)
            return DefWindowProcW(hwnd, msg, wp, lp);
        LRESULT result = 0;
        try {
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

    HWND hwnd_ = nullptr;
};

// Runs messages until `done` says so, with dialog keyboard handling for `dialog`. Returns
// false when WM_QUIT arrived (it is posted again for the outer loop).
inline bool RunModalLoop(HWND dialog, const std::function<bool()>& done) {
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

// Handles the messages that are waiting (tests drive windows with them).
inline void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace kw::win
