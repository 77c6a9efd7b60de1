// The main timer's take of the status cells and the staged shutdown.
#include "shell/ClosingSequence.h"
#include "shell/StatusFeed.h"
#include "render/StatusText.h"
#include "ui/WorksGrid.h"
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace kw;

TWorkPtr Named(const std::string& name) {
    TWorkConfig c;
    c.Name = name;
    c.Section = "S" + name;
    return std::make_shared<TWorkData>(c);
}

// The timer skips its take while no cell has published; a change, from any thread's cell,
// ends the skip once, and a repeat of the same text (not published) does not.
TEST(StatusFeed, TheTakeIsSkippedUntilACellPublishes) {
    TShowCell cell;
    uint64_t seen = ~uint64_t{0};
    EXPECT_TRUE(StatusPublishedSince(seen));  // the first tick always takes
    EXPECT_FALSE(StatusPublishedSince(seen));
    SetShowCell(cell, "12:00:00", TStatusTone::Normal, false, false);
    EXPECT_TRUE(StatusPublishedSince(seen));
    EXPECT_FALSE(StatusPublishedSince(seen));
    SetShowCell(cell, "12:00:00", TStatusTone::Normal, false, false);  // the same text: nothing published
    EXPECT_FALSE(StatusPublishedSince(seen));
    std::thread([] {
        TShowCell other;
        SetShowCell(other, "failed", TStatusTone::Failure, true, false);
    }).join();
    EXPECT_TRUE(StatusPublishedSince(seen));
}

TEST(StatusFeed, ThreeChangesBetweenTicksShowTheLast) {
    std::vector<TWorkPtr> works;
    for (int i = 0; i < 12; ++i)
        works.push_back(Named(std::string("w").append(std::to_string(i))));  // gcc 12 -Wrestrict
    TShowCell source;
    SetShowCell(works[11]->Show, "first", TStatusTone::Failure, true, false);
    SetShowCell(works[11]->Show, "second", TStatusTone::Failure, false, false);
    SetShowCell(works[11]->Show, "third", TStatusTone::Normal, false, false);
    TStatusFeed f = TakeStatusUpdates(works, source);
    ASSERT_EQ(f.Cells.size(), 1u);
    EXPECT_EQ(f.Cells[0].Row, WorkRow(11));
    EXPECT_EQ(f.Cells[0].Text, "third");
    // the last update asked for no log line, so there is none
    EXPECT_TRUE(f.LogLines.empty());
    EXPECT_TRUE(f.GridChanged);
    SetShowCell(works[11]->Show, "failed", TStatusTone::Failure, true, false);
    f = TakeStatusUpdates(works, source);
    EXPECT_EQ(f.LogLines, std::vector<std::string>{"[12] failed"});

    f = TakeStatusUpdates(works, source);  // nothing new: nothing to repaint
    EXPECT_FALSE(f.GridChanged);
    EXPECT_TRUE(f.LogLines.empty());

    SetShowCell(source, "Wait", TStatusTone::Failure, true, false);
    f = TakeStatusUpdates(works, source);
    ASSERT_EQ(f.Cells.size(), 1u);
    EXPECT_EQ(f.Cells[0].Row, SourceRow());
    EXPECT_EQ(f.LogLines, std::vector<std::string>{"Wait"});
}

// A delivery failure names its work by the position it had when it failed, counted from 0; the
// grid and the log show the number of the row it stands in, also after the list changed, and
// a refill keeps every work's state.
TEST(StatusFeed, AStateNamesTheWorkByTheNumberTheGridShows) {
    TWorkList works;
    for (const char* n : {"a", "b", "c"})
        ASSERT_TRUE(works.Append(Named(n)));
    TShowCell source;
    SetShowCell(works.At(2)->Show, "7 TCP: connection refused", TStatusTone::Failure, true, false);
    SetShowCell(works.At(0)->Show, "19:27:26  07.12 (FTP)", TStatusTone::Normal, false, false);
    TStatusFeed f = TakeStatusUpdates(works.Snapshot(), source);
    ASSERT_EQ(f.Cells.size(), 2u);
    EXPECT_EQ(f.Cells[1].Text, "3 TCP: connection refused");
    EXPECT_EQ(f.LogLines, std::vector<std::string>{"[3] 3 TCP: connection refused"});
    ASSERT_TRUE(works.RemoveAt(1));
    const auto rows = ShowWorksRows(works, "Source", "");
    EXPECT_EQ(rows[1][2], "19:27:26  07.12 (FTP)");
    EXPECT_EQ(rows[2][2], "2 TCP: connection refused");
    EXPECT_EQ(WorkStatusTones(works), (std::vector<TStatusTone>{TStatusTone::Normal, TStatusTone::Failure}));
    // texts that name no work stay as they are
    for (const char* text : {"19:27:26  07.12", "12:00:00  01.01 (HTTP)", "1 2 3", "404 Not Found", "5 tcp: x", ""})
        EXPECT_EQ(StatusTextForRow(text, 9), text);
    EXPECT_EQ(StatusTextForRow("0 FTP: 530 Login incorrect.", 1), "1 FTP: 530 Login incorrect.");
    EXPECT_EQ(StatusTextForRow("127 HTTP: HTTP 500", 12), "12 HTTP: HTTP 500");
}

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
