// "Send now": render and deliver one work at once, outside its period, through the scheduler
// like every other render, so the work gets its usual status and log and never two renders at
// a time.
#pragma once
#include "works/WorkList.h"
#include <atomic>
#include <cstdint>

namespace kw {

enum class TSendNowAnswer {
    Started,         // the work is due now: the reader thread starts its render within one pass
    AlreadyRunning,  // a render of the work is running; nothing more is asked of it
    NoWork,          // no work at that position
};

// Makes the work at `index` due at `nowTicks` (the main timer's clock) unless a render of it is
// running. Main thread (the main window's button and the tray menu).
TSendNowAnswer SendNow(const TWorkList& works, int index, const std::atomic<int64_t>& nowTicks);

} // namespace kw
