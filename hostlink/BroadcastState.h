// Everything the KW host has reported, published by the reader thread as immutable snapshots:
// a render takes one snapshot for its whole page, so every tag of a page comes from one state.
#pragma once
#include "platform/Regional.h"
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
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

// The current snapshot: written by the reader thread, read by renders.
class TBroadcastStore {
public:
    TBroadcastSnapshot Current() const {
        std::lock_guard<std::mutex> lock(lock_);
        return current_;
    }
    void Publish(TBroadcastSnapshot next) {
        std::lock_guard<std::mutex> lock(lock_);
        current_.swap(next);
        // the old snapshot is released outside the lock when `next` goes out of scope
    }

private:
    mutable std::mutex lock_;
    TBroadcastSnapshot current_ = std::make_shared<const TBroadcastState>();
};

} // namespace kw
