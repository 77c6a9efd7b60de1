// "Send now" through the real scheduler and render threads: the work renders and delivers at
// once, outside its period; while a render of it runs the answer says so and nothing more
// starts; a stream of requests never gives two renders of one work at a time.
#include "render/RenderScheduler.h"
#include "render/SendNow.h"
#include "tests/platform/TempFolder.h"
#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <thread>

namespace kw {
namespace {

using namespace std::chrono_literals;

// A delivery target that counts deliveries, the most at one time, and can hold a render.
class THoldingTarget : public IDelivery {
public:
    const char* Label() const noexcept override { return "FTP"; }
    bool Wanted(const TWorkConfig&) const noexcept override { return true; }
    TDeliveryResult Deliver(TWorkData&, const TWorkConfig&, const TDeliveryPage&) noexcept override {
        std::unique_lock<std::mutex> lock(mutex_);
        ++calls_;
        maxAtOnce_ = std::max(maxAtOnce_, ++atOnce_);
        changed_.notify_all();
        changed_.wait_for(lock, 10s, [&] { return !hold_; });  // bounded, like every upload
        --atOnce_;
        return {true, {}};
    }
    int Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    int MaxAtOnce() {
        std::lock_guard<std::mutex> lock(mutex_);
        return maxAtOnce_;
    }
    void Hold(bool on) {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = on;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int calls_ = 0, atOnce_ = 0, maxAtOnce_ = 0;
    bool hold_ = false;
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

class SendNowTest : public ::testing::Test {
protected:
    SendNowTest() : context(works, broadcast, link, [](const std::string& key) { return key; }, now) {
        context.Deliveries.push_back(target);
        TWorkConfig c;
        c.Section = "File1";
        c.Name = "page";
        c.FileIn = dir.Write("page.tpl", "<p>!KW!SongArtist</p>\n");
        c.FileOut = dir.Path("page.html");
        c.Update = 900;
        work = std::make_shared<TWorkData>(c);
        work->NextUpdate.store(1'000'000);  // not due for a long time
        works.Append(work);
        now.store(1000);
    }
    // The reader thread's passes until `done` (or the bound).
    template <typename F>
    bool RunPassesUntil(F done) {
        return WaitFor([&] {
            scheduler.PassCleanup();
            scheduler.PassStart();
            return done();
        });
    }

    kwtest::TTempFolder dir;
    TWorkList works;
    TBroadcastStore broadcast;
    std::atomic<uint8_t> link{2};
    std::atomic<int64_t> now{0};
    TRenderContext context;
    std::shared_ptr<THoldingTarget> target = std::make_shared<THoldingTarget>();
    TWorkPtr work;
    TRenderScheduler scheduler{context};
};

TEST_F(SendNowTest, RendersAndDeliversAtOnceOutsideThePeriod) {
    scheduler.PassStart();
    EXPECT_EQ(scheduler.Running(), 0u);  // not due
    EXPECT_EQ(SendNow(works, 0, now), TSendNowAnswer::Started);
    ASSERT_TRUE(RunPassesUntil([&] { return target->Calls() == 1 && scheduler.Running() == 0; }));
    EXPECT_EQ(dir.Read("page.html"), "<p></p>\r\n");
    EXPECT_NE(work->Show.Text().find(" (FTP)"), std::string::npos) << work->Show.Text();
    // The period runs on from this render.
    EXPECT_EQ(work->NextUpdate.load(), 1000 + 900 * 1000);
}

// A work that sends only changed pages still sends an unchanged one when asked: "send now" is how
// a station pushes the page to a server that lost it.
TEST_F(SendNowTest, SendsAnUnchangedPageOfAWorkThatSendsOnlyChangedOnes) {
    TWorkConfig c = work->Config();
    c.Publish.OnlyChanged = true;
    work->SetConfig(c);
    for (int calls = 1; calls <= 2; ++calls) {
        ASSERT_EQ(SendNow(works, 0, now), TSendNowAnswer::Started);
        ASSERT_TRUE(RunPassesUntil([&] { return target->Calls() == calls && scheduler.Running() == 0; }));
    }
    work->NextUpdate.store(now.load());  // its period: the same page stays home
    ASSERT_TRUE(RunPassesUntil([&] { return work->NextUpdate.load() > now.load() && scheduler.Running() == 0; }));
    EXPECT_EQ(target->Calls(), 2);
}

TEST_F(SendNowTest, WhileARenderRunsTheAnswerSaysSoAndNothingMoreStarts) {
    target->Hold(true);
    ASSERT_EQ(SendNow(works, 0, now), TSendNowAnswer::Started);
    ASSERT_TRUE(RunPassesUntil([&] { return target->Calls() == 1; }));
    EXPECT_TRUE(work->Rendering.load());
    EXPECT_EQ(SendNow(works, 0, now), TSendNowAnswer::AlreadyRunning);
    for (int i = 0; i < 20; ++i) {
        scheduler.PassCleanup();
        scheduler.PassStart();
    }
    EXPECT_EQ(scheduler.Running(), 1u);
    target->Hold(false);
    ASSERT_TRUE(RunPassesUntil([&] { return scheduler.Running() == 0; }));
    EXPECT_FALSE(work->Rendering.load());
    EXPECT_EQ(target->Calls(), 1);
    EXPECT_EQ(SendNow(works, 0, now), TSendNowAnswer::Started);
    ASSERT_TRUE(RunPassesUntil([&] { return target->Calls() == 2 && scheduler.Running() == 0; }));
}

TEST_F(SendNowTest, APositionOutsideTheListIsNoWork) {
    EXPECT_EQ(SendNow(works, -1, now), TSendNowAnswer::NoWork);
    EXPECT_EQ(SendNow(works, 1, now), TSendNowAnswer::NoWork);
    EXPECT_EQ(work->NextUpdate.load(), 1'000'000);
}

// The main thread asks again and again while the reader thread runs its passes.
TEST_F(SendNowTest, RequestsFromTheMainThreadNeverGiveTwoRendersAtOnce) {
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop.load()) {
            scheduler.PassCleanup();
            scheduler.PassStart();
            std::this_thread::sleep_for(1ms);
        }
    });
    int started = 0;
    EXPECT_TRUE(WaitFor([&] {
        started += SendNow(works, 0, now) == TSendNowAnswer::Started;
        return target->Calls() >= 20;
    }, 20s));
    EXPECT_TRUE(WaitFor([&] { return !work->Rendering.load(); }));
    stop.store(true);
    reader.join();
    while (scheduler.Running() > 0)
        scheduler.PassCleanup();
    EXPECT_EQ(target->MaxAtOnce(), 1);
    EXPECT_GT(target->Calls(), 1);
    EXPECT_GT(started, 0);
    EXPECT_LE(target->Calls(), started);  // every render was asked for
}

} // namespace
} // namespace kw
