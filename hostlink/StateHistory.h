// The broadcast state as it was a while ago: the snapshots the reader published, each with its
// moment, kept only as far back as the largest delay a work uses. A snapshot shares its lists
// with its neighbours while they are unchanged, so a long history costs little more than the
// states that really differ. Not locked: the broadcast store guards it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

namespace kw {

struct TBroadcastState;

class TStateHistory {
public:
    using TSnapshot = std::shared_ptr<const TBroadcastState>;

    // More snapshots than this in the kept span (a host far busier than any station's) drop the
    // oldest: memory stays bounded, and a delayed page then shows a slightly newer state.
    static constexpr size_t MaxStates = 4096;

    // Records `state` as current from `atMs` on, and forgets what no delay reaches any more.
    void Record(int64_t atMs, TSnapshot state);
    // The state that was current at `atMs`: the latest recorded at or before it, else the
    // oldest kept (nothing older is known).
    TSnapshot At(int64_t atMs) const;
    // Keeps the states of the last `spanMs` (0: only the current one).
    void KeepFor(int64_t spanMs, int64_t nowMs);
    int64_t Span() const { return spanMs_; }
    size_t Size() const { return states_.size(); }

private:
    struct TEntry {
        int64_t AtMs;
        TSnapshot State;
    };
    void Forget(int64_t nowMs);

    std::deque<TEntry> states_;
    int64_t spanMs_ = 0;
};

} // namespace kw
