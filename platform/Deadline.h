// One point in time by which a whole delivery must be over. It is made once, when the delivery
// starts, and handed down through every layer (FTP, HTTP, TLS, TCP): each wait takes what is left
// of it, so a peer that trickles bytes cannot stretch a delivery by answering each wait in time.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdint>

namespace kw::net {

class TDeadline {
public:
    using Clock = std::chrono::steady_clock;

    // No bound of its own: each wait keeps only the limit its caller gives it.
    TDeadline() = default;
    static TDeadline In(int64_t ms) {
        TDeadline d;
        d.bounded_ = true;
        d.at_ = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
        return d;
    }

    bool Bounded() const noexcept { return bounded_; }
    bool Passed() const noexcept { return bounded_ && Clock::now() >= at_; }
    // Milliseconds left, never below 0; a large number for an unbounded deadline.
    int MsLeft() const noexcept {
        if (!bounded_)
            return UnboundedMs;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at_ - Clock::now()).count();
        return left <= 0 ? 0 : static_cast<int>(std::min<int64_t>(left, UnboundedMs));
    }
    // The limit of one wait: its own limit, or less when the deadline comes sooner.
    int Cap(int ms) const noexcept { return std::max(0, std::min(ms, MsLeft())); }

private:
    static constexpr int UnboundedMs = 0x3FFFFFFF;
    bool bounded_ = false;
    Clock::time_point at_{};
};

} // namespace kw::net
