// TReaderDataThread: the program's working loop. Every 20 ms it drains the InboundRing into the
// broadcast state, publishes the new state as one immutable snapshot, and then runs the
// scheduling hook (the render scheduler's clean-up and start passes). When nothing arrives and
// no render is due soon, it sleeps until then instead, and the host's messages wake it.
#pragma once
#include "hostlink/BroadcastState.h"
#include "hostlink/InboundRing.h"
#include "hostlink/LinkStatus.h"
#include "hostlink/ReaderWake.h"
#include "platform/Regional.h"
#include "platform/Thread.h"
#include <functional>

namespace kw {

// Pause between two passes of the reader loop, in ms.
constexpr int ReaderPassInterval = 20;

class TReaderDataThread : public TThread {
public:
    using TSchedule = std::function<void()>;
    using TNow = std::function<TDateTime()>;

    // `schedule` (may be empty) runs after every DrainInbound; `now` gives the local time of
    // decoding (the system's by default).
    TReaderDataThread(TInboundRing& ring, TBroadcastStore& store, TLinkStatus& status, TSchedule schedule,
                      TNow now = nullptr);
    // Asks the loop to end and waits for it; owners normally free the thread after Finished.
    ~TReaderDataThread() override;

    // Consumes the filled slots from ReadIndex on, in order, and publishes the result.
    void DrainInbound();

    // How long the loop may sleep after a pass that drained nothing (the scheduler's answer:
    // until shortly before the next due time). Without one, or with an answer of at most
    // ReaderPassInterval, the loop keeps its 20 ms cadence. Set before Start.
    void SetIdlePlan(std::function<int()> idleMs) { idle_ = std::move(idleMs); }
    // Ends a sleep at once: the host's handler after queuing, a new work, shutdown.
    TReaderWake& Wake() noexcept { return wake_; }
    // Asks the loop to end, waking it.
    void Terminate() noexcept {
        TThread::Terminate();
        wake_.Signal();
    }

    int ReadIndex = 0;  // the next slot to consume; this thread alone changes it

protected:
    void Execute() override;

private:
    void Decode(const InboundMessage& message);
    int IdleMs() noexcept;

    TInboundRing& ring_;
    TBroadcastStore& store_;
    TLinkStatus& status_;
    TSchedule schedule_;
    TNow now_;
    TBroadcastState state_;  // the reader's working copy; renders see only published snapshots
    bool changed_ = false;
    bool drained_ = false;   // the last DrainInbound consumed a message
    std::function<int()> idle_;
    TReaderWake wake_;
};

} // namespace kw
