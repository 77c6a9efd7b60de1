// The reader loop. A failure while decoding one message or in one scheduling pass costs that
// message or that pass, never the loop: the loop is what starts every render.
#include "hostlink/ReaderDataThread.h"
#include "hostlink/Decode.h"
#include <chrono>
#include <thread>

namespace kw {

TReaderDataThread::TReaderDataThread(TInboundRing& ring, TBroadcastStore& store, TLinkStatus& status,
                                     TSchedule schedule, TNow now)
    : ring_(ring), store_(store), status_(status), schedule_(std::move(schedule)),
      now_(now ? std::move(now) : TNow([] { return Now(); })) {
    state_ = *store_.Current();
}

TReaderDataThread::~TReaderDataThread() {
    // The loop uses this object's members; it must be over before they go.
    Terminate();
    while (Started() && !Finished.load(std::memory_order_acquire))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TReaderDataThread::Execute() {
    while (!Terminated()) {
        try {
            DrainInbound();
        } catch (...) {
            // publishing failed (memory): the state is published by a later pass
        }
        if (schedule_) {
            try {
                schedule_();
            } catch (...) {
                // a failed pass is retried on the next one
            }
        }
        // After a drain the cadence holds, unless the plan asks for a shorter sleep (a moment
        // the host's message armed comes sooner): 0 is the cadence, 1..20 ms that many.
        int idle = idle_ ? IdleMs() : 0;
        if (drained_ && idle > ReaderPassInterval)
            idle = 0;
        if (idle <= ReaderPassInterval)
            std::this_thread::sleep_for(std::chrono::milliseconds(idle > 0 ? idle : ReaderPassInterval));
        else
            wake_.SleepFor(idle, [this] { return Terminated() || ring_.IsFilled(ReadIndex); });
    }
}

int TReaderDataThread::IdleMs() noexcept {
    try {
        return idle_();
    } catch (...) {
        return 0;  // keep the cadence
    }
}

void TReaderDataThread::DrainInbound() {
    drained_ = false;
    for (;;) {
        std::unique_ptr<InboundMessage> message = ring_.Take(ReadIndex);
        if (!message)
            break;  // drained; an empty slot is never stepped over
        try {
            Decode(*message);
        } catch (...) {
            // the message is lost; the ring moves on
        }
        ring_.GiveBack(ReadIndex, std::move(message));
        ReadIndex = TInboundRing::Next(ReadIndex);
        drained_ = true;
    }
    if (changed_) {
        store_.Publish(std::make_shared<const TBroadcastState>(state_));
        changed_ = false;
    }
}

void TReaderDataThread::Decode(const InboundMessage& message) {
    const uint8_t* data = message.Payload.get();
    const size_t length = message.Length;
    switch (message.Kind) {
    case MsgElement:
        DecodeElement(state_, data, length, now_());
        if (length >= ElementHeaderLength)  // what the decoder takes as an element
            store_.NoteElement(data[1], data[0] == 0);
        break;
    case MsgBlock:
        DecodeBlock(state_, data, length, now_());
        if (length >= BlockHeaderLength)
            store_.NoteBlock();
        break;
    case MsgPlaylist:
        DecodeEntryList(state_.Playlist, data, length);
        break;
    case MsgPlayed:
        DecodeEntryList(state_.Played, data, length);
        break;
    case MsgState: {
        const TDateTime now = now_();
        DecodeState(state_, data, length, now);
        status_.DataDecoded(now);  // the state may change; a departed host's link stays down
        break;
    }
    default:
        return;  // other kinds are dropped
    }
    changed_ = true;
}

} // namespace kw
