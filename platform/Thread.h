// Worker-thread base with the life cycle the program relies on: created suspended, started,
// asked to terminate, `Finished` set as the very last act of the thread, and freed (joined)
// by its owner only after `Finished` has been seen.
#pragma once
#include <atomic>
#include <thread>

namespace kw {

class TThread {
public:
    TThread() = default;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    // Joins the thread. Owners free a thread only after seeing Finished, so this does not wait
    // for more than the thread's last instructions.
    virtual ~TThread();

    void Start();                     // starts a thread created suspended; once only
    void Terminate() noexcept { terminated_.store(true, std::memory_order_release); }
    bool Terminated() const noexcept { return terminated_.load(std::memory_order_acquire); }
    bool Started() const noexcept { return thread_.joinable(); }

    // Set by the thread as its last act (release); polled by the owner (acquire).
    std::atomic<bool> Finished{false};

protected:
    // The thread's work. Anything it throws is caught and dropped by the base.
    virtual void Execute() = 0;

private:
    void Run() noexcept;
    std::thread thread_;
    std::atomic<bool> terminated_{false};
};

} // namespace kw
