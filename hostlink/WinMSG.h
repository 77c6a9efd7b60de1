// TWinMSG: the window-message link with the KW host. It keeps the host windows that asked to be
// linked, takes new requests up on its 100 ms poll, and drops a linked window when it asks to be
// unlinked, disappears, or its handle now belongs to a window of another class.
// Everything here runs on the main thread; the Win32 layer drives Poll from a timer.
#pragma once
#include "hostlink/WindowEnum.h"
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kw {

// Control message number of the host link (WM_USER + 1078).
constexpr uint32_t CommandMessage = 2102;
// The high half every control message carries; a low half of 0 connects, 0x7FFF queries, any
// other value disconnects.
constexpr uint16_t CommandSignature = 0x7FFF;
constexpr uint16_t CommandConnect = 0;
constexpr uint16_t CommandQuery = 0x7FFF;
// The longest class name kept for a linked window.
constexpr size_t MaxLinkClassName = 252;

struct TLinkWindow {
    uint8_t Tag = 0;        // LinkTag once linked; not read by this program
    bool Hung = false;      // last answer of the hung-window test
    TWindowHandle Handle = 0;
    int32_t Answer = 0;     // answer to the discovery query that linked it, else 0
    int32_t Data = 0;       // value carried with the link; FindLinked returns it
    std::string ClassName;  // class name when linked
};

// A window class to discover: windows of this class that answer the query with `Expected` are
// linked with `Data`.
struct TLinkClass {
    std::string ClassName;
    int32_t Expected = 0;
    int32_t Data = 0;
};

// The fields of a WM_COPYDATA envelope.
struct TCopyData {
    uint16_t Marker = 0;
    uint16_t Kind = 0;
    int32_t Length = 0;
    const void* Payload = nullptr;
};

class TWinMSG {
public:
    using TLinkEvent = std::function<void(TWinMSG& sender, const TLinkWindow& window)>;

    TWinMSG(IWindowEnum& windows, TWindowHandle ownHandle);
    ~TWinMSG();  // frees every record; raises no event
    TWinMSG(const TWinMSG&) = delete;
    TWinMSG& operator=(const TWinMSG&) = delete;

    // Acts on a control message; true when its high half is the signature (then `low` tells
    // what it was).
    bool HandleCommand(TWindowHandle wParam, int64_t lParam, uint16_t& high, uint16_t& low);
    static void DecodeCommand(int64_t lParam, uint16_t& high, uint16_t& low);
    // Splits a copy-data record (its three fields as the platform gives them); false when the
    // length does not fit a signed 32-bit number.
    static bool DecodeCopyData(uint64_t field1, uint64_t field2, const void* field3, TCopyData& out);

    // Data of the linked window with this handle, -1 when it is not linked (pending windows
    // do not count).
    int32_t FindLinked(TWindowHandle handle) const;
    void AddPending(TWindowHandle handle);
    void RemoveWindow(TWindowHandle handle);
    // The 100 ms poll: takes up pending requests, watches the linked windows, discovers and
    // tests for hung windows.
    void Poll();
    // Whether a poll has anything to do: requests to take up, windows to watch, classes to
    // discover. The poll timer rests while there is none.
    bool HasPollWork() const { return !pending_.empty() || !linked_.empty() || !Classes.empty(); }

    TWindowHandle OwnHandle = 0;
    bool Busy = false;
    uint8_t LinkTag = 1;
    std::vector<TLinkClass> Classes;  // set before the poll timer starts
    // A request has come in: the poll timer, if it rests, starts again.
    std::function<void()> OnPollWork;

    TLinkEvent OnDisconnect;
    TLinkEvent OnConnect;
    TLinkEvent OnHung;
    TLinkEvent OnResponding;

    // Read-only views for the status display and tests.
    const std::vector<std::unique_ptr<TLinkWindow>>& Linked() const { return linked_; }
    const std::vector<std::unique_ptr<TLinkWindow>>& Pending() const { return pending_; }
    bool HasHungTest() const { return hungTest_; }

private:
    using TSnapshot = std::vector<TTopWindow>;

    TSnapshot TakeSnapshot();
    static const TTopWindow* FindInSnapshot(const TSnapshot& snapshot, TWindowHandle handle);
    size_t LinkedPosition(TWindowHandle handle) const;  // lower bound in linked_
    void InsertLinked(std::unique_ptr<TLinkWindow> record);
    void TakeUpPending(const TSnapshot& snapshot);
    void WatchLinked(const TSnapshot& snapshot);
    void Discover(const TSnapshot& snapshot);
    void TestHung();
    void Raise(const TLinkEvent& event, const TLinkWindow& window);

    IWindowEnum& windows_;
    bool hungTest_ = false;
    std::vector<std::unique_ptr<TLinkWindow>> linked_;   // sorted by Handle
    std::vector<std::unique_ptr<TLinkWindow>> pending_;  // arrival order
};

} // namespace kw
