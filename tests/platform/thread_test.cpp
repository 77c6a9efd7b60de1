// The worker-thread life cycle: suspended until started, Finished last, failures swallowed.
#include "platform/Thread.h"
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

void WaitFinished(const kw::TThread& t) {
    for (int i = 0; i < 5000 && !t.Finished.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(Thread, CreatedSuspendedRunsAfterStartAndEndsOnTerminate) {
    TLoop loop;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(loop.passes.load(), 0);
    EXPECT_FALSE(loop.Started());
    loop.Start();
    while (loop.passes.load() == 0)
        std::this_thread::yield();
    EXPECT_FALSE(loop.Finished.load());
    loop.Terminate();
    WaitFinished(loop);
    EXPECT_TRUE(loop.Finished.load());
}

TEST(Thread, AFailureInExecuteStillSetsFinished) {
    auto t = std::make_unique<TThrows>();
    t->Start();
    WaitFinished(*t);
    EXPECT_TRUE(t->Finished.load());
    t.reset();  // joins
}

} // namespace
