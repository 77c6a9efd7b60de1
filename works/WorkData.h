// A running work: its stored fields (a consistent copy for any thread), its status cell, its
// render and due time, and what its delivery targets keep between renders.
//
// Sharing rules (the works are read by render threads while the main thread edits, sorts and
// deletes them):
//  - the list holds std::shared_ptr<TWorkData>: a render keeps its work alive by reference and
//    never addresses it by a position that could move;
//  - a work's stored fields (TWorkConfig) are written on the main thread under the work's
//    own lock; any other thread takes a consistent copy with Config();
//  - NextUpdate is one atomic 64-bit value; the status cell has its own small lock;
//  - the list's order and membership change under the list's lock; other threads iterate a
//    Snapshot().
#pragma once
#include "config/WorkConfig.h"
#include "platform/Thread.h"
#include "works/ShowCell.h"
#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace kw {

// What a delivery target keeps for one work between renders (the FTP target: a client left by a
// failed connection). Each target derives its own; the work only holds it, so a new target needs
// no field here.
class TDeliveryState {
public:
    virtual ~TDeliveryState() = default;
};

// The page a work last wrote and delivered in full, kept while it publishes only changed pages.
// Only the work's render touches it.
struct TPublishedPage {
    bool Valid = false;  // false: none, or the last render failed somewhere: publish the next one
    std::string Bytes;
    int64_t AtTicks = 0;
};

class TWorkData {
public:
    TWorkData() = default;
    explicit TWorkData(TWorkConfig config) : config_(std::move(config)) { KeepDelay(); }

    TWorkConfig Config() const;             // any thread: a consistent copy
    void SetConfig(TWorkConfig config);     // main thread
    std::string Name() const;               // any thread
    std::string Section() const;            // any thread
    int64_t DelayMs() const { return delayMs_.load(std::memory_order_relaxed); }  // any thread

    TShowCell Show;                          // status cell
    std::atomic<int64_t> NextUpdate{0};      // GetTicks64 value at which the next render is due
    std::unique_ptr<TThread> Thread;         // the render running for this work (reader thread)
    std::atomic<bool> Rendering{false};      // a render exists for this work (any thread may read)
    // Each delivery target's state for this work, by the target's label. Only the work's render
    // touches it, and a work has at most one render at a time.
    std::map<std::string, std::unique_ptr<TDeliveryState>, std::less<>> DeliveryStates;
    TPublishedPage Published;
    // "Send now" asked for this work: its next page goes out even if unchanged (any thread sets
    // it, the render takes it).
    std::atomic<bool> SendAnyway{false};
    // The moments of the delayed renders the host's events asked for, oldest first (reader
    // thread only).
    std::deque<int64_t> DelayedDue;

private:
    void KeepDelay() { delayMs_.store(int64_t{config_.Publish.DelaySecs} * 1000, std::memory_order_relaxed); }

    mutable std::mutex configLock_;
    TWorkConfig config_;
    std::atomic<int64_t> delayMs_{0};  // the work's delay, read by the reader on every pass
};

using TWorkPtr = std::shared_ptr<TWorkData>;

} // namespace kw
