// Hints: one tooltip window per form, a tool per control whose hint is on.
#pragma once
#include <string>
#include <windows.h>

namespace kw::win {

class TFormComponents;

class TTooltips {
public:
    TTooltips() = default;
    TTooltips(const TTooltips&) = delete;
    TTooltips& operator=(const TTooltips&) = delete;
    ~TTooltips();

    // The hint of `control` (replaces an earlier one; an empty text removes it). The tooltip
    // watches the control's pointer messages itself, unless `relayed`: the control's own window
    // procedure then passes them on with Relay.
    void Set(HWND form, HWND control, const std::string& text, bool relayed = false);
    void Relay(HWND control, UINT msg, WPARAM wp, LPARAM lp) const;
    // Every component of the form whose hint is switched on and not empty (after translation).
    void SetFromForm(HWND form, TFormComponents& components);
    HWND Hwnd() const { return tip_; }

private:
    void Ensure(HWND form);
    HWND tip_ = nullptr;
};

} // namespace kw::win
