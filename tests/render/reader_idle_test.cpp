// The idle reader: with nothing to drain and no render due soon it sleeps instead of passing
// every 20 ms, and the host's element, a new work or shutdown wakes it at once, so renders
// start on the same passes as before.
#include "hostlink/Inbox.h"
#include "hostlink/ReaderDataThread.h"
#include "render/RenderScheduler.h"
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace kw {
namespace {

namespace stdfs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr TWindowHandle Host = 0x4242;

class TOneHostDesktop : public IWindowEnum {
public:
    std::vector<TTopWindow> TopLevelWindows() override { return {{Host, "TKWHost"}}; }
    bool HasHungTest() override { return false; }
    std::optional<bool> IsHung(TWindowHandle) override { return std::nullopt; }
    std::optional<int32_t> SendQuery(TWindowHandle, TWindowHandle) override { return std::nullopt; }
};

template <typename F>
bool WaitFor(F done, std::chrono::milliseconds limit = 5s) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class ReaderIdle : public ::testing::Test {
protected:
    ReaderIdle() {
        dir = stdfs::temp_directory_path() /
              ("kw_idle_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        stdfs::remove_all(dir);
        stdfs::create_directories(dir);
        std::ofstream(dir / "page.tpl") << "<p>!KW!SongArtist</p>\n";
        settings.Works.Append(NewWork(0, Far));
        inbox.SetLink(&link);
        inbox.ReceiveCMD(Host, 0x7FFF0000);
        link.Poll();
        reader.SetIdlePlan([this] { return scheduler.IdleWait(); });
        inbox.SetWake(&reader.Wake());
        settings.Works.SetOnAppend([this] { reader.Wake().Signal(); });
        reader.Start();
    }
    ~ReaderIdle() override {
        const auto start = Clock::now();
        reader.Terminate();
        EXPECT_TRUE(WaitFor([&] { return reader.Finished.load(); }));
        EXPECT_LT(Clock::now() - start, 500ms) << "shutdown waited for the idle sleep";
        EXPECT_TRUE(WaitFor([&] {
            scheduler.PassCleanup();
            return scheduler.Running() == 0;
        }));
        stdfs::remove_all(dir);
    }

    TWorkPtr NewWork(int i, int64_t due) {
        TWorkConfig config;
        config.Section = config.Name = "File" + std::to_string(i);
        config.FileIn = (dir / "page.tpl").string();
        config.FileOut = (dir / ("page" + std::to_string(i) + ".html")).string();
        config.Update = 900;
        auto work = std::make_shared<TWorkData>(config);
        work->NextUpdate = due;
        return work;
    }
    bool Written(int i) const { return stdfs::exists(dir / ("page" + std::to_string(i) + ".html")); }
    int Passes(std::chrono::milliseconds during) {
        const int before = passes.load();
        std::this_thread::sleep_for(during);
        return passes.load() - before;
    }

    static constexpr int64_t Far = int64_t{1} << 50;
    stdfs::path dir;
    std::atomic<int64_t> clock{100000};
    TSettings settings;
    TOneHostDesktop desktop;
    TWinMSG link{desktop, 1};
    TInboundRing ring;
    TBroadcastStore store;
    TLinkStatus status{[](const std::string& key) { return key; }};
    std::atomic<uint8_t> closing{0};
    TInbox inbox{ring, settings, status, closing, clock};
    TRenderContext context{settings.Works, store, status.LinkState, [](const std::string& key) { return key; },
                           clock};
    TRenderScheduler scheduler{context};
    std::atomic<int> passes{0};
    TReaderDataThread reader{ring, store, status, [this] {
                                 ++passes;
                                 scheduler.AfterDrain()();
                             }};
};

TEST_F(ReaderIdle, SleepsWhileNothingIsDueAndAnElementWakesItAtOnce) {
    EXPECT_LE(Passes(600ms), 3) << "the idle reader still passes every 20 ms";

    // The host's element: drained at once; the works are due exactly the delay after the last
    // of two elements closer together than it (one render), on the real clock, whatever the
    // main timer's clock says.
    const std::string element = std::string{0, 9, '\x10', '\x27', 0, 0} + "Artist\rTitle";
    inbox.WMCOPYDATA(Host, (uint64_t{1} << 16) | MsgElement, element.size(), element.data());
    ASSERT_TRUE(WaitFor([&] { return store.Current()->Element.Artist == "Artist"; }, 200ms))
        << "the element waited for the reader's sleep";
    std::this_thread::sleep_for(50ms);
    const auto second = Clock::now();
    inbox.WMCOPYDATA(Host, (uint64_t{1} << 16) | MsgElement, element.size(), element.data());
    ASSERT_TRUE(WaitFor([&] { return Written(0); }, 2s)) << "the render did not start";
    EXPECT_GE(Clock::now() - second, std::chrono::milliseconds(ImmediateUpdateDelay)) << "rendered before the delay";
}

TEST_F(ReaderIdle, ANewWorkAndADueTimeAreNotSleptThrough) {
    std::this_thread::sleep_for(100ms);  // asleep by now
    settings.Works.Append(NewWork(1, 0));
    EXPECT_TRUE(WaitFor([&] { return Written(1); }, 300ms)) << "a new work waited for the reader's sleep";

    // A work due 600 ms from now on the clock: the reader is back on its cadence in time.
    settings.Works.Append(NewWork(2, clock.load() + 600));
    std::this_thread::sleep_for(200ms);
    for (int step = 0; step < 5; ++step) {
        clock += 100;
        std::this_thread::sleep_for(100ms);
        EXPECT_FALSE(Written(2)) << "rendered before it was due, step " << step;
    }
    clock += 100;
    EXPECT_TRUE(WaitFor([&] { return Written(2); }, 100ms)) << "the due render came late";
}

} // namespace
} // namespace kw
