// The reader thread against a writer on another thread: order, hand-over and snapshots.
#include "FakeDesktop.h"
#include "hostlink/Inbox.h"
#include "hostlink/ReaderDataThread.h"
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace kw {
namespace {

using namespace std::chrono_literals;

constexpr TWindowHandle Host = 0x4242;

// Waits up to five seconds for `done`.
template <typename F>
bool WaitFor(F done) {
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct ReaderTest : ::testing::Test {
    test::TFakeDesktop desktop;
    TWinMSG link{desktop, 1};
    TInboundRing ring;
    TSettings settings;
    TLinkStatus status{[](const std::string& key) { return key; }};
    std::atomic<uint8_t> closing{0};
    TInbox inbox{ring, settings, status, closing};
    TBroadcastStore store;

    void SetUp() override {
        desktop.Windows[Host] = "TKWHost";
        inbox.SetLink(&link);
        inbox.ReceiveCMD(Host, 0x7FFF0000);
        link.Poll();
    }
    void SendState(const std::string& text) {
        inbox.WMCOPYDATA(Host, (1u << 16) | MsgState, text.size(), text.data());
    }
};

TEST_F(ReaderTest, DecodesInArrivalOrderWhileTheWriterRuns) {
    // Every pass checks that the numbers it sees only grow; the writer retries a dropped
    // message (ring full), so each number arrives exactly once and in order.
    std::atomic<int> last{-1};
    std::atomic<bool> ordered{true};
    std::atomic<int> passes{0};
    TReaderDataThread reader(ring, store, status, [&] {
        const int seen = std::stoi("0" + store.Current()->SystemMessage);
        if (seen < last.load())
            ordered = false;
        last = seen;
        ++passes;
    });
    reader.Start();
    constexpr int count = 3000;
    for (int i = 1; i <= count; ++i) {
        const int before = inbox.WriteIndex;
        SendState("SYSMSG=" + std::to_string(i));
        if (inbox.WriteIndex == before) {  // full: the reader is behind
            std::this_thread::sleep_for(1ms);
            --i;
        }
    }
    EXPECT_TRUE(WaitFor([&] { return last.load() == count; }));
    EXPECT_TRUE(ordered.load());
    reader.Terminate();
    ASSERT_TRUE(WaitFor([&] { return reader.Finished.load(); }));
    EXPECT_GT(passes.load(), 0);
    EXPECT_EQ(reader.ReadIndex, inbox.WriteIndex);
}

TEST_F(ReaderTest, StateMessageShowsItsTimeAsLinkStatus) {
    // Host linked, then the first state message decoded at 14:05:09 on 6 December.
    const TDateTime decodedAt = EncodeDateTime(2026, 12, 6, 14, 5, 9, 0);
    TReaderDataThread reader(ring, store, status, nullptr, [=] { return decodedAt; });
    status.ConnectKW();
    EXPECT_EQ(status.SourceStatus.Take().Text, "Connected");
    SendState("PLAYER=1");
    reader.DrainInbound();
    const TShowCell::TTaken cell = status.SourceStatus.Take();
    EXPECT_TRUE(cell.Changed);
    EXPECT_FALSE(cell.LogIt);
    EXPECT_EQ(cell.Text, "14:05:09  06.12");
    EXPECT_EQ(cell.Tone, TStatusTone::Normal);
    EXPECT_EQ(status.LinkState.load(), LinkDataReceived);
    EXPECT_DOUBLE_EQ(store.Current()->LastDataTime, decodedAt);
    EXPECT_TRUE(store.Current()->PlayerOn);
}

TEST_F(ReaderTest, SnapshotsStayWhileTheReaderMovesOn) {
    TReaderDataThread reader(ring, store, status, nullptr, [] { return 46000.0; });
    SendState("SYSMSG=one");
    reader.DrainInbound();
    const TBroadcastSnapshot held = store.Current();
    const uint8_t bad[] = {1};
    inbox.WMCOPYDATA(Host, (1u << 16) | 0x55, 1, bad);  // unknown kind: never queued
    inbox.ListDataAdd(0x55, bad, 1);                    // queued but not decodable: dropped
    SendState("SYSMSG=two");
    reader.DrainInbound();
    EXPECT_EQ(held->SystemMessage, "one");
    EXPECT_EQ(store.Current()->SystemMessage, "two");
    EXPECT_EQ(held->Playlist, store.Current()->Playlist) << "unchanged lists are shared";
    const TBroadcastSnapshot same = store.Current();
    reader.DrainInbound();  // nothing new: no new snapshot
    EXPECT_EQ(same, store.Current());
}

TEST(LinkStatusRows, WaitConnectedAndData) {
    TLinkStatus status([](const std::string& key) { return key == "Wait" ? "Ожидание" : "Связь"; });
    status.SetLinkStatus(0);
    TShowCell::TTaken cell = status.SourceStatus.Take();
    EXPECT_EQ(cell.Text, "Ожидание");
    EXPECT_EQ(cell.Tone, TStatusTone::Failure);
    EXPECT_EQ(status.LinkState.load(), LinkWaiting);
    status.SetLinkStatus(1.9);  // the whole part selects the row
    cell = status.SourceStatus.Take();
    EXPECT_EQ(cell.Tone, TStatusTone::Connected);
    EXPECT_EQ(status.LinkState.load(), LinkConnected);
    status.SetLinkStatus(-0.5);
    EXPECT_EQ(status.LinkState.load(), LinkWaiting);
}

} // namespace
} // namespace kw
