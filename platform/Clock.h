// The program's shared millisecond clock: a signed 64-bit count built over the system's
// 32-bit tick counter, which wraps after about 49.7 days.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>

namespace kw {

// Milliseconds since the system started, wrapping at 2^32 (GetTickCount on Windows).
uint32_t SystemTickCount() noexcept;

// Widens a wrapping 32-bit tick source to 64 bits. Must be read often enough (well within
// 2^32 ms) that no wrap is missed; the program reads it ten times a second on the main thread.
class TTickClock {
public:
    using Source = std::function<uint32_t()>;
    explicit TTickClock(Source source = SystemTickCount) : source_(std::move(source)) {}

    int64_t GetTicks64() {
        const uint32_t t = source_();
        if (t < last_)
            ++wraps_;
        last_ = t;
        return (static_cast<int64_t>(wraps_) << 32) + t;
    }

private:
    Source source_;
    uint32_t last_ = 0;
    uint32_t wraps_ = 0;
};

// The program-wide clock; call from the main thread only.
int64_t GetTicks64();

// The main thread's latest reading of GetTicks64, read by the render scheduler and the host's
// message handler; the main timer renews it every MainTimerPeriod ms.
extern std::atomic<int64_t> NowTicks;
constexpr int64_t MainTimerPeriod = 100;

} // namespace kw
