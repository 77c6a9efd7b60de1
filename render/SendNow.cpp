// Send now.
#include "render/SendNow.h"

namespace kw {

TSendNowAnswer SendNow(const TWorkList& works, int index, const std::atomic<int64_t>& nowTicks) {
    const TWorkPtr work = works.At(index);
    if (!work)
        return TSendNowAnswer::NoWork;
    // A running render ends by setting the next due time one period on, which would swallow a
    // request made now: say so instead of pretending to send.
    if (work->Rendering.load(std::memory_order_acquire))
        return TSendNowAnswer::AlreadyRunning;
    work->SendAnyway.store(true, std::memory_order_release);  // also a page that has not changed
    work->NextUpdate.store(nowTicks.load(std::memory_order_acquire), std::memory_order_release);
    return TSendNowAnswer::Started;
}

} // namespace kw
