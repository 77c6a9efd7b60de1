// The moment the renders of a new element or block are due, taken from the real clock when the
// host's message arrives: the handler arms it, the reader thread sleeps until exactly then and
// the scheduler makes every work due when it has come. Messages closer together than the delay
// make one render: each moves the moment on.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

namespace kw {

class THostDue {
public:
    // The host's handler: due `delayMs` from now (one clock read and one store).
    void Arm(int64_t delayMs) noexcept {
        at_.store(SteadyNs() + delayMs * 1'000'000, std::memory_order_release);
    }
    // Reader thread: true once, when the armed moment has come.
    bool TakeIfReached() noexcept {
        int64_t at = at_.load(std::memory_order_acquire);
        if (at == 0 || at > SteadyNs())
            return false;
        return at_.compare_exchange_strong(at, 0, std::memory_order_acq_rel);  // a newer Arm wins
    }
    // Whole milliseconds (at least 1) until the armed moment; -1 when none is armed.
    int MsUntil() const noexcept {
        const int64_t at = at_.load(std::memory_order_acquire);
        if (at == 0)
            return -1;
        const int64_t ns = at - SteadyNs();
        return ns <= 1'000'000 ? 1 : static_cast<int>((ns + 999'999) / 1'000'000);
    }

private:
    static int64_t SteadyNs() noexcept {
        const auto t = std::chrono::steady_clock::now().time_since_epoch();
        const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t).count();
        return ns > 0 ? ns : 1;  // 0 means "none armed"
    }

    std::atomic<int64_t> at_{0};
};

// The program's instance, shared by the host's handler and the render scheduler.
extern THostDue HostDue;

} // namespace kw
