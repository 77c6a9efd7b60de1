// The checks of the host's data and control messages and the ring behind them, without a
// window: the main window hands the same plain values to the same object.
#include "FakeDesktop.h"
#include "hostlink/Inbox.h"
#include "hostlink/ReaderDataThread.h"
#include <gtest/gtest.h>
#include <vector>

namespace kw {
namespace {

constexpr TWindowHandle Host = 0x4242;
constexpr TWindowHandle Stranger = 0x5151;

uint64_t Field1(uint16_t marker, uint16_t kind) { return (uint64_t{marker} << 16) | kind; }

struct InboxTest : ::testing::Test {
    test::TFakeDesktop desktop;
    TWinMSG link{desktop, 1};
    TInboundRing ring;
    TSettings settings;
    TLinkStatus status{[](const std::string& key) { return key; }};
    std::atomic<uint8_t> closing{0};
    std::atomic<int64_t> clock{5000};  // the main timer's latest reading
    static constexpr int64_t Due = 5150;  // due on the timer's second step from here
    TInbox inbox{ring, settings, status, closing, clock};
    std::vector<uint8_t> payload = std::vector<uint8_t>(10, 0x41);

    void SetUp() override {
        desktop.Windows[Host] = "TKWHost";
        desktop.Windows[Stranger] = "TKWHost";
        for (int i = 0; i < 3; ++i) {
            auto work = std::make_shared<TWorkData>();
            work->NextUpdate = 1'000'000;
            ASSERT_TRUE(settings.Works.Append(work));
        }
        inbox.SetLink(&link);
        inbox.ReceiveCMD(Host, 0x7FFF0000);
        link.Poll();
    }
    void Data(uint16_t marker, uint16_t kind, size_t length, TWindowHandle from = Host) {
        payload.resize(length, 0x41);
        inbox.WMCOPYDATA(from, Field1(marker, kind), length, length ? payload.data() : nullptr);
    }
    int Queued() const {
        int n = 0;
        for (int i = 0; i < TInboundRing::SlotCount; ++i)
            n += ring.IsFilled(i);
        return n;
    }
    bool AllDue(int64_t at) {
        settings.Works.ApplyAllDue();  // as the reader does before it schedules
        for (const auto& w : settings.Works.Snapshot())
            if (w->NextUpdate.load() != at)
                return false;
        return true;
    }
};

TEST_F(InboxTest, ElementIsQueuedAndMakesEveryWorkDue) {
    Data(1, MsgElement, 10);
    EXPECT_EQ(status.LinkState.load(), LinkDataReceived);
    ASSERT_TRUE(ring.IsFilled(0));
    EXPECT_EQ(inbox.WriteIndex, 1);
    auto message = ring.Take(0);
    EXPECT_EQ(message->Kind, MsgElement);
    EXPECT_EQ(message->Length, 10);
    EXPECT_EQ(std::vector<uint8_t>(message->Payload.get(), message->Payload.get() + 10), payload);
    EXPECT_TRUE(AllDue(Due));
}

TEST_F(InboxTest, OnlyElementAndBlockReschedule) {
    for (uint16_t kind : {MsgPlaylist, MsgPlayed, MsgState})
        Data(1, kind, 10);
    EXPECT_EQ(Queued(), 3);
    EXPECT_TRUE(AllDue(1'000'000));
    Data(1, MsgBlock, 10);
    EXPECT_TRUE(AllDue(Due));
}

TEST_F(InboxTest, RejectedBeforeTheMarkerLeavesLinkStateAlone) {
    Data(1, MsgElement, 10, Stranger);   // not linked
    Data(0, MsgElement, 10);             // marker 0
    Data(2, MsgElement, 10);             // marker 2
    inbox.WMCOPYDATA(Host, Field1(1, 0), 0x80000000u, payload.data());  // length not a signed 32-bit number
    EXPECT_EQ(status.LinkState.load(), LinkWaiting);
    EXPECT_EQ(Queued(), 0);
    EXPECT_TRUE(AllDue(1'000'000));
}

TEST_F(InboxTest, AcceptedEnvelopeSetsLinkStateEvenWhenDropped) {
    Data(1, 1, 10);  // unknown kind
    EXPECT_EQ(status.LinkState.load(), LinkDataReceived);
    EXPECT_EQ(Queued(), 0);
    EXPECT_TRUE(AllDue(1'000'000));

    status.LinkState = LinkWaiting;
    Data(1, MsgElement, 0);  // length 0: nothing queued, works still due
    EXPECT_EQ(status.LinkState.load(), LinkDataReceived);
    EXPECT_EQ(Queued(), 0);
    EXPECT_TRUE(AllDue(Due));

    Data(1, 0x0100, 10);  // a kind above 255 never reaches the ring
    EXPECT_EQ(Queued(), 0);
}

TEST_F(InboxTest, PayloadLimits) {
    Data(1, MsgState, 65535);
    ASSERT_EQ(Queued(), 1);
    EXPECT_EQ(ring.Take(0)->Length, 65535);
    Data(1, MsgState, 65536);
    EXPECT_EQ(Queued(), 0);
    EXPECT_EQ(inbox.WriteIndex, 1);
    inbox.WMCOPYDATA(Host, Field1(1, MsgState), 10, nullptr);  // a length without bytes
    EXPECT_EQ(Queued(), 0);
}

TEST_F(InboxTest, DataFromAPendingWindowIsIgnoredUntilThePoll) {
    inbox.ReceiveCMD(Stranger, 0x7FFF0000);
    Data(1, MsgElement, 10, Stranger);
    EXPECT_EQ(Queued(), 0);
    link.Poll();
    Data(1, MsgElement, 10, Stranger);
    EXPECT_EQ(Queued(), 1);
}

TEST_F(InboxTest, DisconnectedWindowIsIgnoredAtOnce) {
    EXPECT_EQ(inbox.ReceiveCMD(Host, 0x7FFF0001), 0);
    Data(1, MsgElement, 10);
    EXPECT_EQ(Queued(), 0);
}

TEST_F(InboxTest, QueryAnswersTheGroupNumberWithItsSign) {
    settings.PID = 12;
    EXPECT_EQ(inbox.ReceiveCMD(Host, 0x7FFF7FFF), 12);
    settings.PID = -1;
    EXPECT_EQ(inbox.ReceiveCMD(Host, 0x7FFF7FFF), -1);
    settings.PID = -32768;
    EXPECT_EQ(inbox.ReceiveCMD(Host, 0x7FFF7FFF), -32768);
    EXPECT_EQ(inbox.ReceiveCMD(Host, 0x7FFE7FFF), 0);
    EXPECT_EQ(inbox.ReceiveCMD(Stranger, 0x7FFF0000), 0);
}

TEST_F(InboxTest, ShutdownAndMissingLinkIgnoreEverything) {
    settings.PID = 5;
    closing = 1;
    EXPECT_EQ(inbox.ReceiveCMD(Host, 0x7FFF7FFF), 0);
    Data(1, MsgElement, 10);
    EXPECT_EQ(Queued(), 0);
    EXPECT_EQ(status.LinkState.load(), LinkWaiting);
    inbox.ReceiveCMD(Host, 0x7FFF0001);
    EXPECT_EQ(link.FindLinked(Host), 0) << "the disconnect was ignored too";

    closing = 0;
    inbox.SetLink(nullptr);
    EXPECT_EQ(inbox.ReceiveCMD(Host, 0x7FFF7FFF), 0);
    Data(1, MsgElement, 10);
    EXPECT_EQ(Queued(), 0);
}

TEST_F(InboxTest, FullRingDropsThe257thAndReusesTheFreedSlot) {
    for (int i = 0; i < 257; ++i) {
        payload.assign(4, static_cast<uint8_t>(i));
        inbox.WMCOPYDATA(Host, Field1(1, MsgState), 4, payload.data());
    }
    EXPECT_EQ(Queued(), 256);
    EXPECT_EQ(inbox.WriteIndex, 0);
    EXPECT_EQ(ring.Take(0)->Payload[0], 0);  // the reader consumes one slot
    payload.assign(4, 0xEE);
    inbox.WMCOPYDATA(Host, Field1(1, MsgState), 4, payload.data());
    EXPECT_EQ(inbox.WriteIndex, 1);
    EXPECT_EQ(ring.Take(0)->Payload[0], 0xEE);
    EXPECT_EQ(ring.Take(1)->Payload[0], 1);
}

// Blocks the reader gives back carry the next message of their slot; a message too long for
// the kept block, or a block too large to keep, takes fresh memory. Each message arrives whole.
TEST_F(InboxTest, KeptBlocksCarryTheNextMessagesOfTheirSlot) {
    Data(1, MsgState, 10);
    InboundMessage* first = ring.Take(0).release();
    ring.GiveBack(0, std::unique_ptr<InboundMessage>(first));
    for (int i = 1; i < TInboundRing::SlotCount; ++i) {
        Data(1, MsgState, 10);
        ring.Take(i);
    }
    payload.assign(200, 0x5A);
    inbox.WMCOPYDATA(Host, Field1(1, MsgState), 200, payload.data());  // slot 0 again
    auto again = ring.Take(0);
    EXPECT_EQ(again.get(), first) << "the kept block was not reused";
    EXPECT_EQ(again->Length, 200);
    EXPECT_EQ(std::vector<uint8_t>(again->Payload.get(), again->Payload.get() + 200), payload);

    ring.GiveBack(1, std::move(again));
    auto longer = ring.Reserve(1, MsgState, 3000);  // more than the kept block holds
    ASSERT_TRUE(longer);
    EXPECT_GE(longer->Capacity, 3000u);
    EXPECT_EQ(longer->Length, 3000);
    ring.GiveBack(1, std::move(longer));
    EXPECT_NE(ring.Reserve(1, MsgState, 100), nullptr);  // the kept 3000-byte block serves
    ring.GiveBack(2, ring.Reserve(2, MsgState, 5000));   // too large to keep: freed
    auto fresh = ring.Reserve(2, MsgState, 5000);
    EXPECT_EQ(fresh->Length, 5000);
}

TEST_F(InboxTest, ReaderSeesArrivalOrderAcrossTheWrap) {
    TBroadcastStore store;
    TReaderDataThread reader(ring, store, status, nullptr, [] { return 46000.5; });
    std::string expected;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 200; ++i) {
            const std::string line = "SYSMSG=" + std::to_string(round * 200 + i);
            inbox.WMCOPYDATA(Host, Field1(1, MsgState), line.size(), line.data());
            expected = line.substr(7);
        }
        reader.DrainInbound();
        EXPECT_EQ(store.Current()->SystemMessage, expected);
        EXPECT_EQ(reader.ReadIndex, inbox.WriteIndex);
    }
    EXPECT_EQ(reader.ReadIndex, 600 % 256);
}

} // namespace
} // namespace kw
