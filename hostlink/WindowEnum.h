// The link's view of the desktop: the top-level windows with their class names, the system's
// hung-window test and the synchronous query used for discovery. The Win32 implementation
// (WindowEnum_win32.cpp) uses EnumWindows, GetClassNameA and IsHungAppWindow; tests supply a
// desktop of their own.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kw {

// A window handle as the link keeps it: compared and sorted as an unsigned number.
using TWindowHandle = uint64_t;

struct TTopWindow {
    TWindowHandle Handle = 0;
    std::string ClassName;
};

class IWindowEnum {
public:
    virtual ~IWindowEnum() = default;
    // Every top-level window of the desktop, in any order.
    virtual std::vector<TTopWindow> TopLevelWindows() = 0;
    // Whether the system offers a hung-window test (looked up once, at start).
    virtual bool HasHungTest() = 0;
    // The system's hung-window test; nullopt when the system has none.
    virtual std::optional<bool> IsHung(TWindowHandle window) = 0;
    // Sends the host query (control message, both halves 0x7FFF) to `window` with `own` as
    // the sender and waits a bounded time for the answer; nullopt when none came.
    virtual std::optional<int32_t> SendQuery(TWindowHandle window, TWindowHandle own) = 0;
};

} // namespace kw
