// A host that sends its last state and leaves: the state message is still queued when the
// disconnect arrives, and decoding it afterwards must not bring the link back, while the
// broadcast state itself may follow the data.
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

struct LinkLeaves : ::testing::Test {
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
        // As the program wires them: the link's events set the status on the main thread.
        link.OnConnect = [this](TWinMSG&, const TLinkWindow&) { status.ConnectKW(); };
        link.OnDisconnect = [this](TWinMSG&, const TLinkWindow&) { status.DisconnectKW(); };
    }
    void Connect() {
        inbox.ReceiveCMD(Host, 0x7FFF0000);
        link.Poll();
    }
    void Disconnect() { inbox.ReceiveCMD(Host, 0x7FFF0001); }
    void SendState(const std::string& text) {
        inbox.WMCOPYDATA(Host, (1u << 16) | MsgState, text.size(), text.data());
    }
};

TEST_F(LinkLeaves, StateDecodedAfterTheDisconnectUpdatesTheStateButNotTheLink) {
    TReaderDataThread reader(ring, store, status, nullptr, [] { return 46000.5; });
    Connect();
    SendState("SYSMSG=last words");
    EXPECT_EQ(status.LinkState.load(), LinkDataReceived);
    Disconnect();
    EXPECT_EQ(status.LinkState.load(), LinkWaiting);
    status.SourceStatus.Take();

    reader.DrainInbound();  // the reader comes round only now
    EXPECT_EQ(store.Current()->SystemMessage, "last words");
    EXPECT_EQ(status.LinkState.load(), LinkWaiting) << "a departed host's link came back";
    const TShowCell::TTaken cell = status.SourceStatus.Take();
    EXPECT_FALSE(cell.Changed) << "the cell went from \"Wait\" to " << cell.Text;

    // Linked again, the next state raises the link as always.
    Connect();
    SendState("SYSMSG=back");
    reader.DrainInbound();
    EXPECT_EQ(status.LinkState.load(), LinkDataReceived);
    EXPECT_EQ(status.SourceStatus.Take().Text, "12:00:00  09.12");
}

TEST_F(LinkLeaves, StateThenDisconnectManyTimesWithTheReaderRunningNeverLeavesTheLinkUp) {
    std::atomic<int> passes{0};
    TReaderDataThread reader(ring, store, status, [&] { ++passes; });
    reader.Start();
    for (int round = 0; round < 50; ++round) {
        Connect();
        SendState("SYSMSG=" + std::to_string(round));
        Disconnect();
        // Two whole reader passes after the disconnect: the queued state has been decoded.
        const int seen = passes.load();
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (passes.load() < seen + 2 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        ASSERT_GE(passes.load(), seen + 2) << "the reader stopped";
        ASSERT_EQ(status.LinkState.load(), LinkWaiting) << "round " << round;
        ASSERT_EQ(store.Current()->SystemMessage, std::to_string(round));
    }
    reader.Terminate();
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!reader.Finished.load() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(reader.Finished.load());
}

} // namespace
} // namespace kw
