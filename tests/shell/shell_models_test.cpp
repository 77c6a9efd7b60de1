// The staged shutdown.
#include "shell/ClosingSequence.h"
#include "tests/support/Works.h"
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace kw;

using test::Named;

// A render that ends when told to, or after 10 s so that a failed test still ends.
class TGate : public TThread {
public:
    std::atomic<bool> Open{false};

protected:
    void Execute() override {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Open.load() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

// Waits at most 5 s for a thread's last act.
bool WaitFinished(const TThread& thread) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!thread.Finished.load()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct TSteps : IClosingSteps {
    bool answer = false;
    bool readerFinished = false;
    bool readerExists = true;
    std::vector<std::string> log;
    bool ConfirmExit() override { log.push_back("ask"); return answer; }
    void LogBye() override { log.push_back("Bye"); }
    void TimerToShutdown() override { log.push_back("timer"); }
    void TerminateReader() override { log.push_back("terminate"); }
    bool ReaderExists() override { return readerExists; }
    bool ReaderFinished() override { return readerFinished; }
    void FreeReader() override { readerExists = false; log.push_back("free reader"); }
    void ReleaseRing() override { log.push_back("ring"); }
    void StopTimer() override { log.push_back("stop"); }
    void CloseWindow() override { log.push_back("close"); }
    void FreeLongLivedObjects() override { log.push_back("free"); }
    void TerminateNow() override { log.push_back("kill"); }
};

TEST(ClosingSequence, NoKeepsRunningAndYesWaitsForEveryThread) {
    TSteps steps;
    TWorkList works;
    ASSERT_TRUE(works.Append(Named("a")));
    auto* gate = new TGate;
    works.At(0)->Thread.reset(gate);
    gate->Start();

    TClosingSequence seq;
    EXPECT_FALSE(seq.FormClose(steps));
    EXPECT_EQ(seq.Stage(), 0);
    EXPECT_EQ(steps.log, std::vector<std::string>{"ask"});

    steps.answer = true;
    EXPECT_FALSE(seq.FormClose(steps));
    EXPECT_EQ(seq.Stage(), 1);
    EXPECT_FALSE(seq.FormClose(steps));  // refused while threads run
    seq.ToShutdownTick(steps, works);
    EXPECT_EQ(seq.Stage(), 1);  // reader not finished yet
    steps.readerFinished = true;
    seq.ToShutdownTick(steps, works);
    EXPECT_EQ(seq.Stage(), 1);  // the render still runs
    gate->Open = true;
    ASSERT_TRUE(WaitFinished(*gate));
    seq.ToShutdownTick(steps, works);
    EXPECT_EQ(seq.Stage(), 2);
    EXPECT_EQ(works.At(0)->Thread, nullptr);
    seq.ToShutdownTick(steps, works);
    EXPECT_TRUE(seq.FormClose(steps));
    const std::vector<std::string> expected{"ask", "ask", "Bye", "timer", "terminate", "free reader",
                                            "ring", "stop", "close", "free"};
    EXPECT_EQ(steps.log, expected);
}

TEST(ClosingSequence, SessionEndAsksNothing) {
    TSteps steps;
    TClosingSequence seq;
    seq.SetSystemShutdown();
    EXPECT_FALSE(seq.FormClose(steps));
    EXPECT_EQ(seq.Stage(), 1);
    EXPECT_EQ(steps.log.front(), "Bye");
}

} // namespace
