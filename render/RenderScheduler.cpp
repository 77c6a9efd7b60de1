// Render scheduling.
#include "render/RenderScheduler.h"
#include "render/RecorderFileThread.h"
#include "hostlink/ReaderDataThread.h"
#include "render/PublishRules.h"
#include <algorithm>

namespace kw {

namespace {

// The earliest delayed render of `work` that has come by `now`, taken with every other one that
// has come (one render shows them all); INT64_MAX when none has come or a render is running.
int64_t TakeDelayedDue(TWorkData& work, int64_t now) {
    if (work.Thread || work.DelayedDue.empty() || work.DelayedDue.front() > now)
        return INT64_MAX;
    const int64_t first = work.DelayedDue.front();
    while (!work.DelayedDue.empty() && work.DelayedDue.front() <= now)
        work.DelayedDue.pop_front();
    return first;
}

} // namespace

TRenderScheduler::~TRenderScheduler() {
    pool_.reset();  // runs what is posted and joins its threads
    for (const TWorkPtr& work : busy_)
        work->Thread.reset();
}

void TRenderScheduler::PassCleanup() {
    const int64_t now = context_.NowTicks.load(std::memory_order_acquire);
    auto finished = [&](const TWorkPtr& work) {
        if (work->Thread && !work->Thread->Finished.load(std::memory_order_acquire))
            return false;
        // The next due time is set before the render is freed: freeing it clears the work's
        // Rendering mark, after which a "send now" may make the work due at once.
        // A new element or block that came during the render made the work due again: that
        // page is rendered as soon as this render is freed, not a whole period later.
        const int period = std::max<int>(work->Config().Update, MinUpdatePeriod);
        const int64_t periodic = now + static_cast<int64_t>(period) * 1000;
        const int64_t pending = work->NextUpdate.load(std::memory_order_acquire);
        work->NextUpdate.store(pending == NothingPending ? periodic : std::min(pending, periodic),
                               std::memory_order_release);
        // The thread has reached its end: freeing it joins at once. (Null when shutdown freed
        // it already.)
        work->Thread.reset();
        return true;
    };
    busy_.erase(std::remove_if(busy_.begin(), busy_.end(), finished), busy_.end());
    if (pool_ && !busy_.empty())
        pool_->GrowIfStuck();
}

void TRenderScheduler::PassStart() {
    const int64_t now = context_.NowTicks.load(std::memory_order_acquire);
    const std::vector<TWorkPtr> works = context_.Works.Snapshot();
    struct TDue {
        int64_t At;
        size_t Position;
    };
    std::vector<TDue> due;
    int64_t keep = 0;  // the largest delay: how far back the broadcast states are kept
    for (size_t i = 0; i < works.size() && i < MaxWorks; ++i) {
        TWorkData& work = *works[i];
        keep = std::max(keep, work.DelayMs());
        const int64_t at = std::min(work.NextUpdate.load(std::memory_order_acquire), TakeDelayedDue(work, now));
        if (!work.Thread && at <= now)
            due.push_back({at, i});
    }
    context_.Broadcast.KeepFor(keep);
    // The pool takes them in this order: the longest due first, then in the list's order.
    std::stable_sort(due.begin(), due.end(), [](const TDue& a, const TDue& b) { return a.At < b.At; });
    for (const TDue& d : due)
        StartRender(works[d.Position], static_cast<int>(d.Position));
}

void TRenderScheduler::ApplyHostDue() {
    if (context_.Works.PendingAllDue() == TWorkList::NoneDue) {
        dueWaited_ = false;
        return;
    }
    THostEvents events = context_.Broadcast.TakeEvents();
    if (events.Empty() && !dueWaited_) {
        dueWaited_ = true;
        return;
    }
    dueWaited_ = false;
    context_.Works.ApplyAllDue([&](TWorkData& work, int64_t due) { MakeDueByHost(work, due, events); });
}

int TRenderScheduler::IdleWait() const {
    const int plan = PlannedWait();
    const int untilDue = context_.HostDue ? context_.HostDue->MsUntil() : -1;
    if (untilDue < 0)
        return plan;
    return std::min(untilDue, plan == 0 ? ReaderPassInterval : plan);
}

int TRenderScheduler::PlannedWait() const {
    if (!busy_.empty() || context_.Works.PendingAllDue() != TWorkList::NoneDue)
        return 0;
    const int64_t now = context_.NowTicks.load(std::memory_order_acquire);
    int64_t next = now + MaxIdleSleep + WakeBeforeDue;
    for (const TWorkPtr& work : context_.Works.Snapshot()) {
        next = std::min(next, work->NextUpdate.load(std::memory_order_acquire));
        if (!work->DelayedDue.empty())
            next = std::min(next, work->DelayedDue.front());
    }
    return static_cast<int>(std::clamp<int64_t>(next - WakeBeforeDue - now, 0, MaxIdleSleep));
}

void TRenderScheduler::StartRender(const TWorkPtr& work, int position) {
    try {
        busy_.reserve(busy_.size() + 1);  // so recording the render below cannot fail
        auto render = std::make_unique<TRecorderFileThread>(context_, work, static_cast<int8_t>(position));
        TRecorderFileThread* posted = render.get();
        if (!pool_)
            pool_ = std::make_unique<TRenderPool>();
        work->Thread = std::move(render);
        work->NextUpdate.store(NothingPending, std::memory_order_release);  // until a host message says otherwise
        busy_.push_back(work);
        pool_->Post(posted);
    } catch (...) {
        // The system could not create a thread: try again one period later rather than on
        // every pass.
        if (!busy_.empty() && busy_.back() == work)
            busy_.pop_back();
        work->Thread.reset();
        const int period = std::max<int>(work->Config().Update, MinUpdatePeriod);
        work->NextUpdate.store(context_.NowTicks.load() + static_cast<int64_t>(period) * 1000);
    }
}

} // namespace kw
