// Wakes the idle reader thread. With nothing to drain and no render due soon, the reader sleeps
// until the next due time instead of waking every 20 ms; the host's handler, a new work and
// shutdown wake it at once. The handler's side is one load, and a wake only when the reader
// is asleep.
#pragma once
#include "platform/WakeEvent.h"
#include <atomic>
#include <functional>

namespace kw {

class TReaderWake {
public:
    // Any thread, after it has queued its work (a ring slot). No fence here: the host's handler
    // pays one load. Without a fence this look at `sleeping_` may miss a reader that is just
    // falling asleep (the two stores still in flight, a matter of nanoseconds); SleepFor
    // covers that window by looking at its work once more after its first millisecond.
    void Signal() noexcept {
        if (sleeping_.load(std::memory_order_relaxed))
            woken_.Set();
    }

    // Reader thread: sleeps at most `ms` unless `work()`, asked after the reader has said it
    // sleeps and again after one millisecond (by then any store that raced with the flag is
    // visible), finds something to do, or a Signal comes.
    void SleepFor(int ms, const std::function<bool()>& work) {
        sleeping_.store(true, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (!work() && !woken_.Wait(1) && !work() && ms > 1)
            woken_.Wait(ms - 1);
        sleeping_.store(false, std::memory_order_relaxed);
        woken_.Reset();
    }

private:
    std::atomic<bool> sleeping_{false};
    TWakeEvent woken_;
};

} // namespace kw
