// The render pool.
#include "render/RenderPool.h"
#include <algorithm>

namespace kw {

namespace {

size_t CoreThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp<size_t>(cores, 2, 16);
}

} // namespace

TRenderPool::TRenderPool(size_t threads) : size_(threads ? threads : CoreThreads()) {}

TRenderPool::~TRenderPool() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        ending_ = true;
    }
    posted_.notify_all();
    for (const auto& worker : workers_)
        worker->Thread.join();
}

void TRenderPool::Post(TRecorderFileThread* render) {
    std::lock_guard<std::mutex> hold(lock_);
    const bool idle = std::any_of(workers_.begin(), workers_.end(), [](const auto& w) { return !w->Busy; });
    const size_t waiting = queue_.size();
    if ((!idle || waiting > 0) && workers_.size() < size_) {
        try {
            StartThread();
        } catch (...) {
            if (workers_.empty())
                throw;  // no thread at all: the caller tries again later
            // the render waits for a thread already running
        }
    }
    queue_.push_back(render);
    posted_.notify_one();
}

void TRenderPool::GrowIfStuck() {
    std::lock_guard<std::mutex> hold(lock_);
    if (queue_.empty() || workers_.size() >= MaxThreads)
        return;
    const auto now = std::chrono::steady_clock::now();
    for (const auto& worker : workers_)
        if (!worker->Busy || now - worker->Since < StuckAfter)
            return;
    try {
        StartThread();
    } catch (...) {
        // the renders wait for a thread already running
    }
}

void TRenderPool::StartThread() {
    auto worker = std::make_unique<TWorker>();
    TWorker& me = *worker;
    workers_.reserve(workers_.size() + 1);
    worker->Thread = std::thread([this, &me] { Run(me); });
    workers_.push_back(std::move(worker));
}

void TRenderPool::Run(TWorker& me) {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        posted_.wait(hold, [this] { return ending_ || !queue_.empty(); });
        if (queue_.empty())
            return;  // ending, and nothing left to render
        TRecorderFileThread* render = queue_.front();
        queue_.pop_front();
        me.Busy = true;
        me.Since = std::chrono::steady_clock::now();
        hold.unlock();
        render->RunHere();  // sets its Finished as its last act: not touched after
        hold.lock();
        me.Busy = false;
    }
}

} // namespace kw
