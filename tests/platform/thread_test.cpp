// The worker-thread life cycle: suspended until started, Finished last, failures swallowed; and
// the event a sleeping thread is woken by.
#include "platform/Thread.h"
#include "platform/WakeEvent.h"
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class TLoop : public kw::TThread {
public:
    std::atomic<int> passes{0};
protected:
    void Execute() override {
        while (!Terminated()) {
            ++passes;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
};

class TThrows : public kw::TThread {
protected:
    void Execute() override { throw std::runtime_error("boom"); }
};

// Waits at most 5 s for `done`.
template <typename F>
bool WaitFor(F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool WaitFinished(const kw::TThread& t) {
    return WaitFor([&] { return t.Finished.load(); });
}

TEST(Thread, CreatedSuspendedRunsAfterStartAndEndsOnTerminate) {
    TLoop loop;
    // Not started: nothing may run, however long we look (20 ms here).
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(loop.passes.load(), 0);
    EXPECT_FALSE(loop.Started());
    loop.Start();
    ASSERT_TRUE(WaitFor([&] { return loop.passes.load() > 0; }));
    EXPECT_FALSE(loop.Finished.load());
    loop.Terminate();
    EXPECT_TRUE(WaitFinished(loop));
}

TEST(Thread, AFailureInExecuteStillSetsFinished) {
    auto t = std::make_unique<TThrows>();
    t->Start();
    EXPECT_TRUE(WaitFinished(*t));
    t.reset();  // joins
}

// A set event is seen by every wait until it is cleared; a wait ends by the time given.
TEST(WakeEvent, StaysSetUntilResetAndAWaitEndsInTime) {
    kw::TWakeEvent event;
    EXPECT_FALSE(event.Wait(5));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(10000));  // at once
    event.Reset();
    EXPECT_FALSE(event.Wait(1));
}

// A thread asleep on the event for ten seconds is woken by a Set from another thread.
TEST(WakeEvent, ASetWakesTheSleeper) {
    kw::TWakeEvent event;
    std::atomic<bool> asleep{false}, woken{false};
    std::thread sleeper([&] {
        asleep = true;
        woken = event.Wait(10000);
    });
    ASSERT_TRUE(WaitFor([&] { return asleep.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // well into its wait
    event.Set();
    sleeper.join();
    EXPECT_TRUE(woken.load());
}

} // namespace
