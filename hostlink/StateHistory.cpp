// The kept broadcast states.
#include "hostlink/StateHistory.h"
#include "hostlink/BroadcastState.h"
#include <algorithm>

namespace kw {

void TStateHistory::Record(int64_t atMs, TSnapshot state) {
    // A clock that went back does not reorder the history: the new state is simply the latest.
    if (!states_.empty())
        atMs = std::max(atMs, states_.back().AtMs);
    states_.push_back({atMs, std::move(state)});
    Forget(atMs);
}

TStateHistory::TSnapshot TStateHistory::At(int64_t atMs) const {
    if (states_.empty())
        return nullptr;
    // the first entry after `atMs`; the one before it was current then
    auto after = std::upper_bound(states_.begin(), states_.end(), atMs,
                                  [](int64_t t, const TEntry& e) { return t < e.AtMs; });
    return after == states_.begin() ? states_.front().State : std::prev(after)->State;
}

void TStateHistory::KeepFor(int64_t spanMs, int64_t nowMs) {
    spanMs_ = std::max<int64_t>(spanMs, 0);
    Forget(nowMs);
}

void TStateHistory::Forget(int64_t nowMs) {
    // The newest state at or before the span's start is still the one current then: keep it.
    const int64_t start = nowMs - spanMs_;
    while (states_.size() > 1 && states_[1].AtMs <= start)
        states_.pop_front();
    while (states_.size() > MaxStates)
        states_.pop_front();
}

} // namespace kw
