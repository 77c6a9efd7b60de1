// The render scheduler: after every drain of the inbound ring the reader thread frees the
// renders that have finished (PassCleanup) and starts one for every idle work that is due
// (PassStart). A work's period runs from the end of its last render; a work never has two
// renders at a time.
#pragma once
#include "render/RenderContext.h"
#include "render/RenderPool.h"
#include <functional>
#include <memory>
#include <vector>

namespace kw {

class TRenderScheduler {
public:
    explicit TRenderScheduler(const TRenderContext& context) : context_(context) {}
    TRenderScheduler(const TRenderScheduler&) = delete;
    TRenderScheduler& operator=(const TRenderScheduler&) = delete;
    // Waits for renders still running (shutdown waits for them before it frees the scheduler).
    ~TRenderScheduler();

    // Frees every finished render and makes its work due one period later. Reader thread; at
    // shutdown, after the reader thread has ended, the main thread calls it until Running() is 0.
    void PassCleanup();
    // Starts a render for every work without one whose due time has come, the longest due first.
    // Reader thread only.
    void PassStart();
    // Both passes in this order: the reader thread's hook after each drain. A pending "every
    // work due" from the host's handler goes into the works first, so that a render ending
    // after it still sets its work's next period, as when the handler wrote each work itself.
    std::function<void()> AfterDrain() {
        return [this] {
            if (context_.HostDue && context_.HostDue->TakeIfReached())
                context_.Works.MakeAllDue(context_.NowTicks.load(std::memory_order_acquire));
            ApplyHostDue();
            PassCleanup();
            PassStart();
        };
    }

    // Hands a pending "every work due" of the host's handler to the works whose trigger the
    // host's events since the last one match, each at its own delay. A "due" whose events the
    // reader has not decoded yet waits one pass for them. Reader thread.
    void ApplyHostDue();

    // Reader thread, after both passes: how long the reader may sleep before it must pass
    // again. 0 while a render runs (its end is noticed on the 20 ms cadence) or a host
    // message's "due" waits; otherwise until WakeBeforeDue ms before the earliest due time, at
    // most MaxIdleSleep ms, so renders start on the same passes as with the cadence alone.
    // Whatever makes a work due sooner (a host message, "send now", a new work, shutdown)
    // wakes the reader; the bound only keeps a station's quiet reader in touch with the clock.
    // While the host's moment is armed, never past it (1..20 ms while renders run), so the
    // renders it asks for start on time.
    int IdleWait() const;
    static constexpr int64_t WakeBeforeDue = 250;  // covers the main timer's 100 ms clock steps
    static constexpr int64_t MaxIdleSleep = 5000;

    // Renders started and not yet freed (also those of works deleted meanwhile).
    size_t Running() const { return busy_.size(); }

private:
    int PlannedWait() const;  // IdleWait without the host's moment
    void StartRender(const TWorkPtr& work, int position);

    const TRenderContext& context_;
    // Where the renders run; made at the first render.
    std::unique_ptr<TRenderPool> pool_;
    // The works whose render this scheduler started and has not freed yet. Holding them here
    // means a work deleted from the list while it renders is still freed by PassCleanup, on
    // the reader thread, and never by its own render thread.
    std::vector<TWorkPtr> busy_;
    bool dueWaited_ = false;  // the pending "due" has waited a pass for its events
};

// The lowest period in seconds (the settings never hold less).
constexpr int MinUpdatePeriod = 15;

// A work's due time while its render runs and nothing has asked for another: the clean-up pass
// then sets the next period; a new element or block replaces it with its own due time.
constexpr int64_t NothingPending = INT64_MAX;

} // namespace kw
