// Win32 implementation of the host link's window side.
#include "hostlink/HostWindow_win32.h"

namespace kw {

namespace {

using TIsHungAppWindow = BOOL(WINAPI*)(HWND);

// How long discovery waits for a window to answer the query.
constexpr UINT QueryTimeoutMs = 1000;

class TDesktopWindowEnum : public IWindowEnum {
public:
    TDesktopWindowEnum() {
        if (HMODULE user32 = GetModuleHandleA("user32.dll"))
            isHung_ = reinterpret_cast<TIsHungAppWindow>(
                reinterpret_cast<void*>(GetProcAddress(user32, "IsHungAppWindow")));
    }

    std::vector<TTopWindow> TopLevelWindows() override {
        TEnumContext context;
        EnumWindows(&TDesktopWindowEnum::Collect, reinterpret_cast<LPARAM>(&context));
        if (context.failed)
            throw std::bad_alloc();
        return std::move(context.windows);
    }
    bool HasHungTest() override { return isHung_ != nullptr; }
    std::optional<bool> IsHung(TWindowHandle window) override {
        if (!isHung_)
            return std::nullopt;
        return isHung_(WindowFromKey(window)) != FALSE;
    }
    std::optional<int32_t> SendQuery(TWindowHandle window, TWindowHandle own) override {
        DWORD_PTR answer = 0;
        const LPARAM query = static_cast<LPARAM>((static_cast<uint32_t>(CommandSignature) << 16) | CommandQuery);
        if (!SendMessageTimeoutA(WindowFromKey(window), CommandMessage, reinterpret_cast<WPARAM>(WindowFromKey(own)),
                                 query, SMTO_NORMAL | SMTO_ABORTIFHUNG, QueryTimeoutMs, &answer))
            return std::nullopt;
        return static_cast<int32_t>(answer);
    }

private:
    struct TEnumContext {
        std::vector<TTopWindow> windows;
        bool failed = false;
    };

    static BOOL CALLBACK Collect(HWND window, LPARAM param) {
        auto& context = *reinterpret_cast<TEnumContext*>(param);
        try {
            char name[255] = {};
            const int n = GetClassNameA(window, name, sizeof name);
            context.windows.push_back({WindowKey(window), std::string(name, n > 0 ? static_cast<size_t>(n) : 0)});
            return TRUE;
        } catch (...) {
            context.failed = true;  // nothing may cross the system's callback
            return FALSE;
        }
    }

    TIsHungAppWindow isHung_ = nullptr;
};

} // namespace

std::unique_ptr<IWindowEnum> CreateDesktopWindowEnum() {
    return std::make_unique<TDesktopWindowEnum>();
}

TLinkPollTimer::TLinkPollTimer(TWinMSG& link, UINT intervalMs) : link_(link), intervalMs_(intervalMs) {
    if (!Register() || !CreateWin(0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE))
        return;
    link_.OnPollWork = [this] { Resume(); };
    if (link_.HasPollWork())
        Resume();
}

TLinkPollTimer::~TLinkPollTimer() {
    if (Hwnd()) {
        link_.OnPollWork = nullptr;
        KillTimer(Hwnd(), 1);
    }  // the window base destroys the window
}

void TLinkPollTimer::Resume() {
    // Set only when resting: setting a running timer again would start its interval anew, and
    // requests that keep coming would put the poll off.
    if (!ticking_)
        ticking_ = SetTimer(Hwnd(), 1, intervalMs_, nullptr) != 0;  // failed: the next request tries again
}

void TLinkPollTimer::Tick() {
    try {
        link_.Poll();
    } catch (...) {
        // this tick is lost; the next one polls again
    }
    // Not from a tick nested in a poll's message pump: the outer poll may be between its lists.
    if (!link_.Busy && !link_.HasPollWork() && ticking_) {
        KillTimer(Hwnd(), 1);
        ticking_ = false;
    }
}

LRESULT TLinkPollTimer::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER) {
        Tick();
        return 0;
    }
    return Default(msg, wp, lp);
}

bool HandleHostMessage(TInbox& inbox, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept {
    if (message == WM_COPYDATA) {
        const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        // The host gets 0 for data, whatever became of it; once the message is queued it gets
        // that answer at once (ReplyMessage), before the reader thread is woken.
        if (record)
            inbox.WMCOPYDATA(WindowKey(reinterpret_cast<HWND>(wParam)), record->dwData, record->cbData,
                             record->lpData, [] { ReplyMessage(0); });
        result = 0;
        return true;
    }
    if (message == CommandMessage) {
        result = static_cast<LRESULT>(inbox.ReceiveCMD(WindowKey(reinterpret_cast<HWND>(wParam)),
                                                       static_cast<int64_t>(lParam)));
        return true;
    }
    return false;
}

} // namespace kw
