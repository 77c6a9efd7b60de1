// Everything the KW host has reported, published by the reader thread as immutable snapshots:
// a render takes one snapshot for its whole page, so every tag of a page comes from one state.
#pragma once
#include "hostlink/HostEvents.h"
#include "hostlink/StateHistory.h"
#include "platform/Regional.h"
#include <chrono>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kw {

struct TElementInfo {
    uint8_t Type = 0;
    double Duration = 0;        // seconds
    TDateTime StartTime = 0;    // local time of decoding
    std::string Artist;         // at most 64 bytes
    std::string Title;          // at most 64 bytes
};

struct TBlockInfo {
    uint8_t Type = 0;
    double Duration = 0;
    TDateTime StartTime = 0;
    std::string Name;
};

struct TPlaylistEntry {
    uint8_t Type = 0;
    uint32_t DurationMs = 0;
    std::string Artist;  // at most 64 bytes
    std::string Title;
};

struct TPlayedEntry {
    TDateTime StartTime = 0;
    uint8_t Type = 0;
    uint32_t DurationMs = 0;
    std::string Artist;
    std::string Title;
};

using TPlaylist = std::vector<TPlaylistEntry>;
using TPlayedList = std::vector<TPlayedEntry>;

struct TBroadcastState {
    TElementInfo Song;
    TElementInfo Element;
    TBlockInfo Block;
    // Shared between snapshots while unchanged; never null.
    std::shared_ptr<const TPlaylist> Playlist = std::make_shared<const TPlaylist>();
    std::shared_ptr<const TPlayedList> Played = std::make_shared<const TPlayedList>();
    uint8_t ClockType = 0;
    std::string ClockName;
    uint8_t NextClockType = 0;
    std::string NextClockName;
    uint8_t SourceIndex = 0;
    uint8_t SourceState = 0;
    bool PlayerOn = false;
    uint8_t DetectorState = 0;
    uint8_t ExclusiveMode = 0;
    uint8_t NextExclusiveMode = 0;
    TDateTime NextExclusiveTime = 0;
    std::string SystemMessage;
    TDateTime LastDataTime = 0;
};

using TBroadcastSnapshot = std::shared_ptr<const TBroadcastState>;

// The current snapshot and the recent ones: written by the reader thread, read by renders (a
// work with a delay reads the state of that long ago). Also the host's events since the
// renders were last made due.
class TBroadcastStore {
public:
    using TClockMs = std::function<int64_t()>;
    // `clockMs`: the clock the history is kept by (the steady clock; tests pass their own).
    explicit TBroadcastStore(TClockMs clockMs = SteadyMs) : clockMs_(std::move(clockMs)) {
        history_.Record(clockMs_(), current_);
    }

    TBroadcastSnapshot Current() const {
        std::lock_guard<std::mutex> lock(lock_);
        return current_;
    }
    // The state of `delayMs` ago (the current one for 0).
    TBroadcastSnapshot Delayed(int64_t delayMs) const {
        if (delayMs <= 0)
            return Current();
        std::lock_guard<std::mutex> lock(lock_);
        return history_.At(clockMs_() - delayMs);
    }
    void Publish(TBroadcastSnapshot next) {
        std::lock_guard<std::mutex> lock(lock_);
        history_.Record(clockMs_(), next);
        current_.swap(next);
        // the old snapshot is released outside the lock when `next` goes out of scope
    }
    // Keeps the states of the last `spanMs` (the largest delay of any work).
    void KeepFor(int64_t spanMs) {
        std::lock_guard<std::mutex> lock(lock_);
        if (spanMs != history_.Span())
            history_.KeepFor(spanMs, clockMs_());
    }
    size_t HistorySize() const {
        std::lock_guard<std::mutex> lock(lock_);
        return history_.Size();
    }

    // The reader: an element or block was decoded.
    void NoteElement(uint8_t type, bool song) {
        std::lock_guard<std::mutex> lock(lock_);
        events_.NoteElement(type, song);
    }
    void NoteBlock() {
        std::lock_guard<std::mutex> lock(lock_);
        events_.Block = true;
    }
    // The scheduler: the events noted since the last take.
    THostEvents TakeEvents() {
        std::lock_guard<std::mutex> lock(lock_);
        return std::exchange(events_, THostEvents{});
    }

    static int64_t SteadyMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

private:
    mutable std::mutex lock_;
    TClockMs clockMs_;
    TBroadcastSnapshot current_ = std::make_shared<const TBroadcastState>();
    TStateHistory history_;
    THostEvents events_;
};

} // namespace kw
