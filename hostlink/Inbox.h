// The main window's handlers of the host's messages, kept free of windows so that they are
// tested without one: the control message (ReceiveCMD) and the data message (WMCOPYDATA), which
// checks the envelope, copies the payload into the InboundRing and, for a new element or block,
// makes every work due at once. They run inside the host's sending call: no decoding, no
// waiting, nothing escapes, and the host gets 0 for every data message.
#pragma once
#include "works/Settings.h"
#include "hostlink/HostDue.h"
#include "hostlink/InboundRing.h"
#include "hostlink/LinkStatus.h"
#include "hostlink/ReaderWake.h"
#include "hostlink/WinMSG.h"
#include "platform/Clock.h"
#include <atomic>
#include <cstdint>

namespace kw {

// A payload of this size or more is dropped.
constexpr int32_t MaxPayloadLength = 65536;
// Delay between a new element or block and the renders it triggers, in ms (messages that close
// together make one render). With a reader to wake it is kept to the millisecond on the real
// clock (THostDue); without one, the renders start on the main timer's second tick after it.
constexpr int64_t ImmediateUpdateDelay = 100;

class TInbox {
public:
    // `closingStage`: the program's shutdown stage; every message is ignored unless it is 0.
    // `now`: the main timer's latest clock reading (NowTicks; tests pass their own). The handler
    // runs on the timer's thread, so this is the program's time as the scheduler sees it, read
    // without asking the system.
    // `due`: where the renders' moment is armed while a reader runs (SetWake).
    TInbox(TInboundRing& ring, TSettings& settings, TLinkStatus& status, const std::atomic<uint8_t>& closingStage,
           const std::atomic<int64_t>& now = NowTicks, THostDue& due = HostDue);

    // The link object, once created (null while start-up has not got that far, or stopped).
    void SetLink(TWinMSG* link) { link_ = link; }
    // The reader's wake-up, once the reader exists (null: nobody sleeps).
    void SetWake(TReaderWake* wake) { wake_ = wake; }

    // WM_COPYDATA from `sender` with the copy-data record's three fields. `reply`, when given,
    // answers the host once the message is queued and before the reader is woken: waking a
    // sleeping thread is the dearest step of the handler, and the host need not wait for it.
    using TReply = void (*)();
    void WMCOPYDATA(TWindowHandle sender, uint64_t field1, uint64_t field2, const void* field3,
                    TReply reply = nullptr) noexcept;
    // Control message 2102; returns the message result.
    int64_t ReceiveCMD(TWindowHandle wParam, int64_t lParam) noexcept;

    void ListDataAdd(uint16_t kind, const void* data, int32_t size) noexcept;
    void SetNextUpdate();

    int WriteIndex = 0;  // the slot the next message goes into

private:
    bool Running() const { return link_ != nullptr && closingStage_.load() == 0; }
    void HandleCopyData(TWindowHandle sender, uint64_t field1, uint64_t field2, const void* field3, TReply reply);

    TInboundRing& ring_;
    TSettings& settings_;
    TLinkStatus& status_;
    const std::atomic<uint8_t>& closingStage_;
    const std::atomic<int64_t>& now_;
    THostDue& due_;
    TWinMSG* link_ = nullptr;
    TReaderWake* wake_ = nullptr;
};

} // namespace kw
