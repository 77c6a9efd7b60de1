// Wakes the idle reader thread. With nothing to drain and no render due soon, the reader sleeps
// until the next due time instead of waking every 20 ms; the host's handler, a new work and
// shutdown wake it at once. The handler's side takes no lock unless the reader is asleep.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace kw {

class TReaderWake {
public:
    // Any thread. A fence orders the caller's earlier stores (a ring slot) before the look at
    // `sleeping_`, as the reader orders its flag before its last look at the ring: one of the
    // two always sees the other.
    void Signal() noexcept {
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (!sleeping_.load(std::memory_order_relaxed))
            return;
        std::lock_guard<std::mutex> hold(lock_);
        woken_ = true;
        wake_.notify_one();
    }

    // Reader thread: sleeps at most `ms` unless `work()`, asked after the reader has said it
    // sleeps, finds something to do, or a Signal comes.
    void SleepFor(int ms, const std::function<bool()>& work) {
        sleeping_.store(true, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (!work()) {
            std::unique_lock<std::mutex> hold(lock_);
            wake_.wait_for(hold, std::chrono::milliseconds(ms), [this] { return woken_; });
        }
        sleeping_.store(false, std::memory_order_relaxed);
        std::lock_guard<std::mutex> hold(lock_);
        woken_ = false;
    }

private:
    std::atomic<bool> sleeping_{false};
    std::mutex lock_;
    std::condition_variable wake_;
    bool woken_ = false;
};

} // namespace kw
