// The program's main job without a window: settings, the host-message inbox, the reader
// thread, the render scheduler and the render threads wired as the main window wires them.
// Host messages go in as the host sends them; the test plays the main thread and its timer,
// moving the shared clock in 100 ms steps, and checks the pages written.
#include "hostlink/Inbox.h"
#include "hostlink/ReaderDataThread.h"
#include "render/RenderScheduler.h"
#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace kw {
namespace {

namespace stdfs = std::filesystem;
using namespace std::chrono_literals;

constexpr TWindowHandle Host = 0x4242;
constexpr TWindowHandle Own = 1;

// One host window on the desktop; window messages themselves are tested with the link.
class TOneHostDesktop : public IWindowEnum {
public:
    std::vector<TTopWindow> TopLevelWindows() override { return {{Host, "TKWHost"}}; }
    bool HasHungTest() override { return false; }
    std::optional<bool> IsHung(TWindowHandle) override { return std::nullopt; }
    std::optional<int32_t> SendQuery(TWindowHandle, TWindowHandle) override { return std::nullopt; }
};

// Counts the renders that wrote their page; can hold a render until released.
class TCountingTarget : public IDelivery {
public:
    const char* Label() const noexcept override { return "FTP"; }
    bool Wanted(const TWorkConfig& config) const noexcept override { return config.FTP.Use; }
    TDeliveryResult Deliver(TWorkData&, const TWorkConfig& config, const TDeliveryPage&) noexcept override {
        std::unique_lock<std::mutex> lock(mutex_);
        ++calls_;
        ++callsOf_[config.Name];
        changed_.notify_all();
        changed_.wait_for(lock, 10s, [&] { return !hold_; });  // bounded, like every upload
        if (failing_)
            return {false, "refused"};
        return {true, {}};
    }
    int CallsOf(const std::string& work) {
        std::lock_guard<std::mutex> lock(mutex_);
        return callsOf_[work];
    }
    void Fail(bool on) {
        std::lock_guard<std::mutex> lock(mutex_);
        failing_ = on;
    }
    int Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    void Hold(bool on) {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = on;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int calls_ = 0;
    std::map<std::string, int> callsOf_;
    bool hold_ = false;
    bool failing_ = false;
};

template <typename F>
bool WaitFor(F done, std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

std::string ReadFile(const stdfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Pipeline : public ::testing::Test {
protected:
    Pipeline() {
        dir = stdfs::temp_directory_path() /
              ("kw_pipeline_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        stdfs::remove_all(dir);
        stdfs::create_directories(dir);
        std::ofstream(dir / "page.tpl", std::ios::binary)
            << "<p>!KW!SongArtist - !KW!SongTitle (!KW!ElementType)</p>\n!KW!BlockName|!KW!PlayListArtist0|!KW!SysMSG";
        context.LocalTime = [] { return EncodeDateTime(2026, 12, 7, 19, 27, 26, 0); };
        context.Deliveries.push_back(target);
        for (int i = 0; i < 2; ++i) {
            TWorkConfig config;
            config.Section = config.Name = "File" + std::to_string(i);
            config.FileIn = (dir / "page.tpl").string();
            config.FileOut = (dir / ("page" + std::to_string(i) + ".html")).string();
            config.Update = 15;
            config.FTP.Use = true;
            auto work = std::make_shared<TWorkData>(config);
            work->NextUpdate = Never;  // only host messages make them due in these tests
            settings.Works.Append(work);
        }
        inbox.SetLink(&link);
        inbox.ReceiveCMD(Host, 0x7FFF0000);  // the host asks to be linked
        link.Poll();                          // ... and the next poll takes it up
        reader.Start();
    }
    ~Pipeline() override {
        target->Hold(false);
        reader.Terminate();
        EXPECT_TRUE(WaitFor([&] { return reader.Finished.load(); }));
        // Shutdown: free the renders still running once they end.
        EXPECT_TRUE(WaitFor([&] {
            scheduler.PassCleanup();
            return scheduler.Running() == 0;
        }));
        stdfs::remove_all(dir);
    }

    // The main timer: the clock moves in 100 ms steps. The renders a new element or block asks
    // for start on the second step after it.
    void Tick(int steps = 1) { clock += 100 * steps; }
    void Send(uint16_t kind, const std::string& payload) {
        inbox.WMCOPYDATA(Host, (uint64_t{1} << 16) | kind, payload.size(), payload.data());
    }
    void SendElement(const std::string& artist, const std::string& title, uint8_t songMarker = 0, char type = 9) {
        Send(MsgElement, std::string{static_cast<char>(songMarker), type, '\x10', '\x27', 0, 0} + artist + "\r" + title);
    }
    std::string Page(int i = 0) { return ReadFile(dir / ("page" + std::to_string(i) + ".html")); }
    TWorkPtr Work(int i) { return settings.Works.At(i); }
    void ExpectDelayed(int delay);
    template <typename F>
    void SetRules(int i, F set) {
        TWorkConfig config = Work(i)->Config();
        set(config.Publish);
        Work(i)->SetConfig(config);
    }
    // The clean-up pass has freed the work's render (the clock stands still while we wait):
    // its period runs from now.
    bool CleanedUp(int i) { return Work(i)->NextUpdate.load() == clock.load() + 15000; }
    // Lets the reader run with the clock standing still until two of its passes have ended
    // that began after this call: everything sent and ticked before has been drained and
    // scheduled by then. Renders those passes started are counted in Started().
    void Settle() {
        const int64_t from = passes.load();
        ASSERT_TRUE(WaitFor([&] { return passes.load() >= from + 2; })) << "the reader thread stopped passing";
    }
    // Renders the scheduler has started so far (counted by the reader thread after each pass).
    int Started() const { return started.load(); }
    // The reader's hook: the scheduler's two passes, counted, after the host's pending "due".
    std::function<void()> CountedPasses() {
        return [this] {
            scheduler.ApplyHostDue();  // as the scheduler's own hook does (AfterDrain)
            scheduler.PassCleanup();
            const size_t before = scheduler.Running();
            scheduler.PassStart();
            started += static_cast<int>(scheduler.Running() - before);
            ++passes;
        };
    }

    static constexpr int64_t Never = int64_t{1} << 50;
    stdfs::path dir;
    std::atomic<int64_t> clock{100000};
    TSettings settings;
    TOneHostDesktop desktop;
    TWinMSG link{desktop, Own};
    TInboundRing ring;
    TBroadcastStore store{[this] { return clock.load(); }};
    TLinkStatus status{[](const std::string& key) { return key; }};
    std::atomic<uint8_t> closing{0};
    TInbox inbox{ring, settings, status, closing, clock};
    TRenderContext context{settings.Works, store, status.LinkState, [](const std::string& key) { return key; },
                           clock};
    std::shared_ptr<TCountingTarget> target = std::make_shared<TCountingTarget>();
    TRenderScheduler scheduler{context};
    std::atomic<int64_t> passes{0};
    std::atomic<int> started{0};
    TReaderDataThread reader{ring, store, status, CountedPasses()};
};

TEST_F(Pipeline, TheRoadOfOneElement) {
    Send(MsgBlock, std::string{1, '\x10', '\x27', 0, 0} + "Evening");
    Send(MsgPlaylist, std::string{0, 0, 0, 0, 0, 2, 'P', '1'} + std::string(62, 0) + std::string(65, 0));
    Send(MsgState, "SYSMSG=on air");
    SendElement("Artist", "Title");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->Calls() == 2; }));
    EXPECT_EQ(Page(0), "<p>Artist - Title (C)</p>\r\nEvening|P1|on air\r\n");
    EXPECT_EQ(Page(1), Page(0));
    ASSERT_TRUE(WaitFor([&] { return CleanedUp(0) && CleanedUp(1); }));
    const auto shown = Work(0)->Show.Take();
    EXPECT_EQ(shown.Text, "19:27:26  07.12 (FTP)");
    EXPECT_FALSE(shown.LogIt);
}

TEST_F(Pipeline, TwoElementsOneStepApartGiveOneRender) {
    SendElement("A", "One");
    Tick();
    SendElement("B", "Two");
    Settle();
    Tick();  // A's renders would start here: B has moved them on
    Settle();
    EXPECT_EQ(Started(), 0);
    Tick();
    ASSERT_TRUE(WaitFor([&] { return target->Calls() == 2; }));
    ASSERT_TRUE(WaitFor([&] { return CleanedUp(0) && CleanedUp(1); }));
    Settle();
    EXPECT_EQ(Started(), 2);  // one per work
    EXPECT_EQ(target->Calls(), 2);
    EXPECT_NE(Page(0).find("B - Two"), std::string::npos);
}

// The timer's ticks read the clock a little early or late: the renders still start on the
// second tick after the element, not on the first and not a step later.
TEST_F(Pipeline, UnevenTicksStillRenderOnTheSecond) {
    SendElement("A", "One");
    clock += 99;
    Settle();
    EXPECT_EQ(Started(), 0);
    clock += 99;
    ASSERT_TRUE(WaitFor([&] { return target->Calls() == 2; }));
    ASSERT_TRUE(WaitFor([&] { return CleanedUp(0) && CleanedUp(1); }));
    SendElement("B", "Two");
    clock += 140;  // a late first tick
    Settle();
    EXPECT_EQ(Started(), 2);
    clock += 60;
    ASSERT_TRUE(WaitFor([&] { return target->Calls() == 4; }));
}

TEST_F(Pipeline, BlockRendersButListsAndStateDoNot) {
    Send(MsgPlaylist, "");
    Send(MsgPlayed, std::string(143, 0));
    Send(MsgState, "SYSMSG=x\rPLAYER=P");
    Tick(3);
    Settle();
    EXPECT_EQ(Started(), 0);
    Send(MsgBlock, std::string{1, 0, 0, 0, 0} + "News");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->Calls() == 2; }));
    EXPECT_NE(Page(1).find("News||x"), std::string::npos);
}

TEST_F(Pipeline, AnElementDuringARenderIsRenderedWhenItEndsAndNeverTwoAtOnce) {
    target->Hold(true);
    SendElement("A", "One");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->Calls() == 2; }));
    // A new element while the renders run does not start second ones...
    SendElement("B", "Two");
    Tick(30);  // three seconds of rendering
    Settle();
    EXPECT_EQ(Started(), 2);
    EXPECT_EQ(target->Calls(), 2);
    // ... but its page follows as soon as they end, not a period later.
    target->Hold(false);
    ASSERT_TRUE(WaitFor([&] { return target->Calls() == 4; }));
    EXPECT_NE(Page(0).find("B - Two"), std::string::npos);
    ASSERT_TRUE(WaitFor([&] { return CleanedUp(0) && CleanedUp(1); }));
    // Then the period runs from the end of the last render.
    const int64_t end = clock.load();
    EXPECT_EQ(Work(0)->NextUpdate.load(), end + 15000);
    Tick(149);
    Settle();
    EXPECT_EQ(Started(), 4);
    Tick();
    ASSERT_TRUE(WaitFor([&] { return target->Calls() == 6; }));
}

// Renders share a few threads; two that hang in their delivery (a dead server until its time
// limit) must not keep a third work's page from being written.
TEST_F(Pipeline, RendersStuckInDeliveryDoNotHoldUpAnotherWork) {
    TWorkConfig config;
    config.Section = config.Name = "File2";
    config.FileIn = (dir / "page.tpl").string();
    config.FileOut = (dir / "page2.html").string();
    config.Update = 15;  // no FTP: nothing holds it
    auto third = std::make_shared<TWorkData>(config);
    third->NextUpdate = Never;
    settings.Works.Append(third);
    target->Hold(true);
    SendElement("A", "One");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->Calls() == 2; }));  // both held in their delivery
    EXPECT_TRUE(WaitFor([&] { return Page(2).find("A - One") != std::string::npos; }, 3s))
        << "the third work waited for the held renders";
    EXPECT_EQ(target->Calls(), 2);
}

TEST_F(Pipeline, FailingRenderIsRetriedEachPeriodAndLoggedOnce) {
    stdfs::remove(dir / "page.tpl");
    SendElement("A", "One");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return CleanedUp(0); }));
    auto shown = Work(0)->Show.Take();
    EXPECT_EQ(shown.Text, "NoFileIn");
    EXPECT_TRUE(shown.LogIt);
    EXPECT_EQ(shown.Tone, TStatusTone::Failure);
    Tick(150);
    ASSERT_TRUE(WaitFor([&] { return CleanedUp(0); }));  // tried again, due a period later
    EXPECT_FALSE(Work(0)->Show.Take().Changed);  // the same text is not shown or logged again
    EXPECT_EQ(target->Calls(), 0);
}

TEST_F(Pipeline, AWorkDeletedWhileRenderingIsStillFreed) {
    target->Hold(true);
    SendElement("A", "One");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->Calls() == 2; }));
    std::weak_ptr<TWorkData> deleted = Work(0);
    settings.Works.RemoveAt(0);
    target->Hold(false);
    // Freed by the scheduler on the reader thread, not left to its own render thread.
    EXPECT_TRUE(WaitFor([&] { return deleted.expired(); }));
}

// Publishing rules. A songs-only work without blocks renders after songs only; a work that
// renders on the element type C (code 9, the letter in any case) and blocks does so.
TEST_F(Pipeline, SongsOnlyWorkRendersAfterSongsOnly) {
    SetRules(0, [](TPublishRules& r) { r.Trigger = trLetters, r.Letters = "c"; });
    SetRules(1, [](TPublishRules& r) { r.Trigger = trSongs, r.OnBlock = false; });
    SendElement("Jingle", "Station ID", 1);
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->CallsOf("File0") == 1 && CleanedUp(0); }));
    Send(MsgBlock, std::string{1, 0, 0, 0, 0} + "Ads");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->CallsOf("File0") == 2 && CleanedUp(0); }));
    Settle();
    EXPECT_EQ(target->CallsOf("File1"), 0);
    SendElement("Artist", "Song");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->CallsOf("File1") == 1; }));
    EXPECT_NE(Page(1).find("Artist - Song"), std::string::npos);
    EXPECT_TRUE(WaitFor([&] { return target->CallsOf("File0") == 3 && CleanedUp(0) && CleanedUp(1); }));
    SendElement("Jingle", "J", 1, 5);  // type J: neither renders
    Tick(3);
    Settle();
    EXPECT_EQ(Started(), 4);
    EXPECT_EQ(target->CallsOf("File0"), 3);
}

// A work `delay` seconds behind: each page shows the song of that long before, also when the
// next one came in between, and renders at the element's moment plus the delay (the host's
// renders start two 100 ms steps after a message).
void Pipeline::ExpectDelayed(int delay) {
    SetRules(1, [&](TPublishRules& r) { r.DelaySecs = static_cast<int16_t>(delay); });
    const int64_t start = clock.load(), ms = int64_t{delay} * 1000;
    SendElement("A", "One");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->CallsOf("File0") == 1 && CleanedUp(0); }));
    Tick(8);
    SendElement("B", "Two");  // 1 s after A
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->CallsOf("File0") == 2; }));
    EXPECT_NE(Page(0).find("B - Two"), std::string::npos);
    clock = start + ms + 100;
    Settle();
    EXPECT_EQ(target->CallsOf("File1"), 0);  // not before element + delay
    Tick();
    ASSERT_TRUE(WaitFor([&] { return target->CallsOf("File1") == 1 && CleanedUp(1); }));
    EXPECT_NE(Page(1).find("A - One"), std::string::npos) << Page(1);
    clock = start + ms + 1100;
    Settle();
    EXPECT_EQ(target->CallsOf("File1"), 1);
    Tick();
    ASSERT_TRUE(WaitFor([&] { return target->CallsOf("File1") == 2; }));
    EXPECT_NE(Page(1).find("B - Two"), std::string::npos) << Page(1);
    // A long run with a state a second: the history holds what the delay reaches, no more.
    for (int second = 0; second < delay + 10; ++second) {
        Send(MsgState, "SYSMSG=" + std::to_string(second));
        clock += 1000;
        Settle();
    }
    EXPECT_LE(store.HistorySize(), static_cast<size_t>(delay + 2));
}

TEST_F(Pipeline, FiveSecondsBehind) { ExpectDelayed(5); }
TEST_F(Pipeline, TwentySecondsBehind) { ExpectDelayed(20); }

// Only changed pages: one delivery per distinct page; a failed delivery is made again on the
// next render although the page has not changed; "at least every N minutes" sends it anyway.
TEST_F(Pipeline, OnlyChangedPagesGoOutAndAFailureIsRetried) {
    SetRules(1, [](TPublishRules& r) { r.OnlyChanged = true, r.RefreshMinutes = 1; });
    auto period = [&](int expected) {
        Tick(150);
        Settle();
        // Both works' renders end before the clock moves on (a slow machine), so their periods
        // stay in step.
        EXPECT_TRUE(WaitFor([&] { return CleanedUp(0) && CleanedUp(1); }));
        EXPECT_TRUE(WaitFor([&] { return target->CallsOf("File1") == expected; })) << target->CallsOf("File1");
    };
    SendElement("A", "One");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->CallsOf("File1") == 1 && CleanedUp(0) && CleanedUp(1); }));
    period(1);
    period(1);
    EXPECT_GE(target->CallsOf("File0"), 3);  // the other work delivers every render
    target->Fail(true);
    SendElement("B", "Two");
    Tick(2);
    ASSERT_TRUE(WaitFor([&] { return target->CallsOf("File1") == 2 && CleanedUp(0) && CleanedUp(1); }));
    target->Fail(false);
    period(3);  // unchanged, but the last one failed
    period(3);
    period(3);
    period(3);
    period(4);  // a minute since the last delivery
}

} // namespace
} // namespace kw
