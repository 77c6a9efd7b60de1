// The Win32 side of the host link: window handles as the link keeps them, the desktop seen
// through EnumWindows, the link's 100 ms poll timer, and the routing of the host's two
// messages from a window procedure to the inbox.
#pragma once
#include "hostlink/Inbox.h"
#include "hostlink/WinMSG.h"
#include "hostlink/WindowEnum.h"
#include "ui/win32/Window.h"
#include <memory>
#include <windows.h>

namespace kw {

// Window handles are significant in their low 32 bits on every Windows edition, and a 32-bit
// host may hand over a handle that a 64-bit program sees zero- rather than sign-extended; the
// link therefore keys windows by those 32 bits.
inline TWindowHandle WindowKey(HWND window) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}
inline HWND WindowFromKey(TWindowHandle key) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(static_cast<uint32_t>(key))));
}

// The desktop through EnumWindows and GetClassNameA; "IsHungAppWindow" is looked up by name in
// user32.dll once, at construction.
std::unique_ptr<IWindowEnum> CreateDesktopWindowEnum();

// The link's poll: a message-only window whose 100 ms timer runs link.Poll on the thread that
// creates it (the main thread). Nothing thrown by the poll or its events escapes the tick.
// While the link has nothing to poll (no request, no linked window) the timer rests, so that a
// station without its host pays for no tick; a request starts it again.
class TLinkPollTimer : public win::TWindowBase<TLinkPollTimer> {
public:
    static const wchar_t* ClassName() { return L"KWPAGE.LinkPoll"; }

    explicit TLinkPollTimer(TWinMSG& link, UINT intervalMs = 100);
    ~TLinkPollTimer() override;
    bool Running() const { return Hwnd() != nullptr; }
    bool Ticking() const { return ticking_; }

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Tick();
    void Resume();
    TWinMSG& link_;
    UINT intervalMs_;
    bool ticking_ = false;
};

// For a window procedure: hands WM_COPYDATA and the control message to the inbox and gives the
// result the host gets. False for every other message.
bool HandleHostMessage(TInbox& inbox, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;

} // namespace kw
