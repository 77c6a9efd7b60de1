// The threads renders run on: about as many as the machine has cores, reused from render to
// render and fed in the order the scheduler posts (due order), so a burst of due works does not
// start a thread each and crowd the disk and the output folder. A render that waits on a slow
// delivery target must not hold up the others: while renders wait and every thread has been on
// its render for a while, the pool takes one more thread, up to one per work.
#pragma once
#include "render/RecorderFileThread.h"
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kw {

class TRenderPool {
public:
    // `threads`: the threads for renders that do not wait (0: the machine's cores, at least 2).
    explicit TRenderPool(size_t threads = 0);
    TRenderPool(const TRenderPool&) = delete;
    TRenderPool& operator=(const TRenderPool&) = delete;
    // Runs the renders still posted, then ends and joins every thread.
    ~TRenderPool();

    // Queues `render` (its owner keeps it until its Finished is set); starts a thread when none
    // is free and fewer than the pool's size run. Throws when no thread can be started at all.
    void Post(TRecorderFileThread* render);
    // Reader thread, on every pass: one more thread while renders wait and every thread has been
    // busy for longer than StuckAfter (each added thread stays until the pool ends).
    void GrowIfStuck();

    static constexpr std::chrono::milliseconds StuckAfter{250};
    static constexpr size_t MaxThreads = 128;  // one per work

private:
    struct TWorker {
        std::thread Thread;
        bool Busy = false;
        std::chrono::steady_clock::time_point Since;
    };
    void StartThread();  // under lock_
    void Run(TWorker& me);

    const size_t size_;
    std::mutex lock_;
    std::condition_variable posted_;
    std::deque<TRecorderFileThread*> queue_;
    std::vector<std::unique_ptr<TWorker>> workers_;
    bool ending_ = false;
};

} // namespace kw
