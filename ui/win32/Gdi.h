// GDI objects for one scope: ownership, selection into a DC, one WM_PAINT.
#pragma once
#include <string_view>
#include <utility>
#include <windows.h>

namespace kw::win {

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
    explicit TPaint(HWND window);
    TPaint(const TPaint&) = delete;
    TPaint& operator=(const TPaint&) = delete;
    ~TPaint();
    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

void FillSolid(HDC dc, const RECT& r, COLORREF color);

// A DC to measure text on (select the font first): a memory DC of the screen's kind, one per
// thread. A window's own DC would do as well, but getting one makes the system work out the
// window's place on the screen, which under Wine is some thirty trips to its server.
HDC MeasuringDc();

// The size of `text` on one line in `font`, measured on MeasuringDc.
SIZE MeasureLine(HFONT font, std::wstring_view text);

} // namespace kw::win
