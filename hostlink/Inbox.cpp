// The checks of a host message, in the order the host relies on: shutdown and link object,
// envelope, linked sender, marker; only then is LinkState "data received".
#include "hostlink/Inbox.h"
#include "platform/Clock.h"
#include <cstring>
#include <new>

namespace kw {

THostDue HostDue;

TInbox::TInbox(TInboundRing& ring, TSettings& settings, TLinkStatus& status, const std::atomic<uint8_t>& closingStage,
               const std::atomic<int64_t>& now, THostDue& due)
    : ring_(ring), settings_(settings), status_(status), closingStage_(closingStage), now_(now), due_(due) {}

void TInbox::WMCOPYDATA(TWindowHandle sender, uint64_t field1, uint64_t field2, const void* field3,
                        TReply reply) noexcept {
    if (!Running())
        return;
    try {
        HandleCopyData(sender, field1, field2, field3, reply);
    } catch (...) {
        // A failure ends the handling silently; whatever was allocated is owned and released.
    }
}

void TInbox::HandleCopyData(TWindowHandle sender, uint64_t field1, uint64_t field2, const void* field3,
                            TReply reply) {
    TCopyData envelope;
    if (!TWinMSG::DecodeCopyData(field1, field2, field3, envelope))
        return;
    if (link_->FindLinked(sender) < 0)
        return;  // only a linked host window may deliver data
    if (envelope.Marker != 1)
        return;
    // Written only when it changes, and without a full fence: the host sends many messages,
    // and only renders read it.
    if (status_.LinkState.load(std::memory_order_relaxed) != LinkDataReceived)
        status_.LinkState.store(LinkDataReceived, std::memory_order_release);
    switch (envelope.Kind) {
    case MsgElement:
    case MsgBlock:
        ListDataAdd(envelope.Kind, envelope.Payload, envelope.Length);
        SetNextUpdate();  // also when the message itself was dropped
        break;
    case MsgPlaylist:
    case MsgPlayed:
    case MsgState:
        ListDataAdd(envelope.Kind, envelope.Payload, envelope.Length);
        break;
    default:
        return;
    }
    if (reply)
        reply();  // the payload is in the ring: nothing of the host's record is read after this
    if (wake_)
        wake_->Signal();  // an idle reader drains it now rather than at its next due time
}

void TInbox::ListDataAdd(uint16_t kind, const void* data, int32_t size) noexcept {
    if (size < 1)
        return;
    if (ring_.IsFilled(WriteIndex))
        return;  // ring full: the reader is 256 messages behind; never block the host
    if (size >= MaxPayloadLength || data == nullptr || kind > 0xFF)
        return;
    std::unique_ptr<InboundMessage> message =
        ring_.Reserve(WriteIndex, static_cast<uint8_t>(kind), static_cast<uint16_t>(size));
    if (!message)
        return;
    std::memcpy(message->Payload.get(), data, static_cast<size_t>(size));
    ring_.Store(WriteIndex, std::move(message));
    WriteIndex = TInboundRing::Next(WriteIndex);
}

void TInbox::SetNextUpdate() {
    // A running reader starts the renders exactly the delay after this message: the moment is
    // taken from the real clock now, not from the main timer's last reading (up to a step old).
    if (wake_) {
        due_.Arm(ImmediateUpdateDelay);
        return;
    }
    // One reading of the main timer's clock and one store for all works: the reader thread
    // hands the time to each work before it schedules. The message came after that reading and
    // before the timer's next one: the renders start on the timer's second tick after it, at
    // least the delay after the message whenever in the step it came. Half a step of slack
    // keeps a tick that reads its clock a little early from putting them off by a whole step.
    settings_.Works.MakeAllDue(now_.load(std::memory_order_relaxed) + ImmediateUpdateDelay + MainTimerPeriod / 2);
}

int64_t TInbox::ReceiveCMD(TWindowHandle wParam, int64_t lParam) noexcept {
    if (!Running())
        return 0;
    try {
        uint16_t high = 0;
        uint16_t low = 0;
        if (link_->HandleCommand(wParam, lParam, high, low) && low == CommandQuery)
            return static_cast<int64_t>(settings_.PID);  // widened with its sign
    } catch (...) {
        // a record that could not be allocated: the request is lost, the host gets 0
    }
    return 0;
}

} // namespace kw
