// Worker-thread base over std::thread (POSIX threads on both builds).
#include "platform/Thread.h"

namespace kw {

TThread::~TThread() {
    if (thread_.joinable())
        thread_.join();
}

void TThread::Start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { Run(); });
}

void TThread::Run() noexcept {
    try {
        Execute();
    } catch (...) {
        // Nothing escapes a thread: a failure that reached here has no one left to report to.
    }
    Finished.store(true, std::memory_order_release);
}

} // namespace kw
