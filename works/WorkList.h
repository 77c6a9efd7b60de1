// The works list: shared pointers under one lock (the sharing rules are in WorkData.h).
#pragma once
#include "works/WorkData.h"
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kw {

// A render receives its work's position as a signed 8-bit number: at most 128 works.
constexpr size_t MaxWorks = 128;

class TWorkList {
public:
    size_t Count() const;
    TWorkPtr At(int index) const;                 // nullptr outside 0..Count()-1
    std::vector<TWorkPtr> Snapshot() const;
    int IndexOf(const TWorkData* work) const;     // current position, -1 when not in the list
    bool Append(TWorkPtr work);                   // false when the list already holds MaxWorks
    bool RemoveAt(int index);                     // false outside the list
    void Clear();
    // Exchange sort by Name, byte-wise unsigned, shorter prefix first; equal names never swap.
    void SortByName();

    // Makes every work due at `ticks` (a new element or block): one store, no lock and no
    // copy, so the host's message costs the same for one work or 128. The reader thread
    // hands it to every work's NextUpdate before its next scheduling pass (ApplyAllDue), so
    // the later of this and the scheduler's own writes decides, as if written into each work.
    void MakeAllDue(int64_t ticks) noexcept { allDue_.store(ticks, std::memory_order_release); }
    // The pending MakeAllDue value, or NoneDue.
    int64_t PendingAllDue() const noexcept { return allDue_.load(std::memory_order_acquire); }
    // Reader thread: writes a pending MakeAllDue into every work's NextUpdate; false when
    // none was pending.
    bool ApplyAllDue();
    // As ApplyAllDue, handing the time to `apply` for each work instead (a work's own rules
    // decide whether and when it renders).
    bool ApplyAllDue(const std::function<void(TWorkData&, int64_t due)>& apply);
    static constexpr int64_t NoneDue = INT64_MIN;
    // Called after a work was appended (the reader is woken to schedule it). Set once before
    // the list is shared.
    void SetOnAppend(std::function<void()> onAppend) { onAppend_ = std::move(onAppend); }

private:
    mutable std::mutex lock_;
    std::vector<TWorkPtr> works_;
    std::atomic<int64_t> allDue_{NoneDue};
    std::function<void()> onAppend_;
};

} // namespace kw
