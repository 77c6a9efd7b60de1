// The link's requests, its poll and the watching of linked windows, over a fake desktop.
#include "FakeDesktop.h"
#include "hostlink/WinMSG.h"
#include <gtest/gtest.h>

namespace kw {
namespace {

constexpr int64_t Connect = 0x7FFF0000;
constexpr int64_t Query = 0x7FFF7FFF;
constexpr int64_t Disconnect = 0x7FFF0001;
constexpr TWindowHandle Host = 0x1234;

struct WinMSGTest : ::testing::Test {
    test::TFakeDesktop desktop;
    TWinMSG link{desktop, 0x99};
    std::vector<std::string> events;

    void SetUp() override {
        desktop.Windows[Host] = "TKWHost";
        desktop.Windows[0x99] = "TKW_PAGE";
        link.OnConnect = [this](TWinMSG&, const TLinkWindow& w) { events.push_back("connect " + std::to_string(w.Handle)); };
        link.OnDisconnect = [this](TWinMSG&, const TLinkWindow& w) { events.push_back("disconnect " + std::to_string(w.Handle)); };
    }
    bool Send(TWindowHandle window, int64_t lParam) {
        uint16_t high = 0, low = 0;
        return link.HandleCommand(window, lParam, high, low);
    }
};

TEST_F(WinMSGTest, ConnectIsTakenUpByTheNextPoll) {
    EXPECT_TRUE(Send(Host, Connect));
    EXPECT_EQ(link.FindLinked(Host), -1) << "pending windows are not linked yet";
    link.Poll();
    EXPECT_EQ(link.FindLinked(Host), 0);
    ASSERT_EQ(link.Linked().size(), 1u);
    EXPECT_EQ(link.Linked()[0]->ClassName, "TKWHost");
    EXPECT_EQ(link.Linked()[0]->Tag, 1);
    EXPECT_EQ(events, std::vector<std::string>{"connect 4660"});
}

TEST_F(WinMSGTest, DuplicateConnectsLinkOnce) {
    Send(Host, Connect);
    Send(Host, Connect);
    link.Poll();
    Send(Host, Connect);  // already linked: not even pending
    EXPECT_TRUE(link.Pending().empty());
    link.Poll();
    EXPECT_EQ(link.Linked().size(), 1u);
    EXPECT_EQ(events, std::vector<std::string>{"connect 4660"});
}

TEST_F(WinMSGTest, WindowThatIsNotTopLevelIsRefused) {
    Send(0x5555, Connect);  // a child window or one already closed: not in the snapshot
    link.Poll();
    EXPECT_TRUE(link.Linked().empty());
    EXPECT_TRUE(link.Pending().empty());
    EXPECT_EQ(events, std::vector<std::string>{"disconnect 21845"});
}

TEST_F(WinMSGTest, DisconnectActsAtOnceAndIgnoresStrangers) {
    Send(Host, Connect);
    link.Poll();
    EXPECT_TRUE(Send(0x7777, Disconnect));  // not linked: nothing
    EXPECT_EQ(events.size(), 1u);
    EXPECT_TRUE(Send(Host, 0x7FFF1234));    // any low half but 0 and 0x7FFF disconnects
    EXPECT_EQ(link.FindLinked(Host), -1);
    EXPECT_EQ(events.back(), "disconnect 4660");
}

TEST_F(WinMSGTest, WrongSignatureAndQueryChangeNothing) {
    uint16_t high = 0, low = 0;
    EXPECT_FALSE(link.HandleCommand(Host, 0x7FFE0000, high, low));
    EXPECT_EQ(high, 0x7FFE);
    EXPECT_TRUE(link.HandleCommand(Host, Query, high, low));
    EXPECT_EQ(low, 0x7FFF);
    EXPECT_TRUE(link.Pending().empty());
    // only the low 32 bits of a 64-bit parameter carry the halves
    EXPECT_TRUE(link.HandleCommand(Host, static_cast<int64_t>(0xFFFFFFFF7FFF0000ull), high, low));
    EXPECT_EQ(link.Pending().size(), 1u);
}

TEST_F(WinMSGTest, VanishedOrReclassedWindowsAreDropped) {
    desktop.Windows[0x2000] = "TKWHost";
    Send(Host, Connect);
    Send(0x2000, Connect);
    link.Poll();
    ASSERT_EQ(link.Linked().size(), 2u);
    desktop.Windows.erase(Host);               // closed without a disconnect
    desktop.Windows[0x2000] = "SomethingElse"; // handle reused by another class
    link.Poll();
    EXPECT_TRUE(link.Linked().empty());
    EXPECT_EQ(events.size(), 4u);
    // a class name that differs only in case is another class
    desktop.Windows[0x3000] = "TKWHost";
    Send(0x3000, Connect);
    link.Poll();
    desktop.Windows[0x3000] = "tkwhost";
    link.Poll();
    EXPECT_EQ(link.FindLinked(0x3000), -1);
}

TEST_F(WinMSGTest, LinkedStaysSortedAsUnsignedHandles) {
    const TWindowHandle handles[] = {0xFFFFFFFF80000000ull, 0x10, 0x80000000ull, 0x7FFFFFFF, 0x20};
    for (TWindowHandle h : handles) {
        desktop.Windows[h] = "TKWHost";
        Send(h, Connect);
    }
    link.Poll();
    ASSERT_EQ(link.Linked().size(), 5u);
    for (size_t i = 1; i < link.Linked().size(); ++i)
        EXPECT_LT(link.Linked()[i - 1]->Handle, link.Linked()[i]->Handle);
    for (TWindowHandle h : handles)
        EXPECT_EQ(link.FindLinked(h), 0);
    EXPECT_EQ(link.FindLinked(0x11), -1);
}

TEST_F(WinMSGTest, LongClassNamesAreKeptTo252Bytes) {
    const std::string longName(300, 'C');
    desktop.Windows[Host] = longName;
    Send(Host, Connect);
    link.Poll();
    ASSERT_EQ(link.Linked().size(), 1u);
    EXPECT_EQ(link.Linked()[0]->ClassName.size(), 252u);
    link.Poll();  // compared as kept: stays linked
    EXPECT_EQ(link.FindLinked(Host), 0);
}

TEST_F(WinMSGTest, HandlersMayReenterTheLink) {
    // A handler that pumps messages lets control messages and the timer in: the link must
    // neither crash nor poll twice at once.
    desktop.Windows[0x2000] = "TKWHost";
    int polls = 0;
    link.OnConnect = [&](TWinMSG& l, const TLinkWindow& w) {
        if (++polls > 1)
            return;
        l.Poll();                       // Busy: returns at once
        l.RemoveWindow(w.Handle);       // the window asks to leave again at once
        uint16_t h, lo;
        l.HandleCommand(0x2000, Connect, h, lo);
    };
    Send(Host, Connect);
    link.Poll();
    EXPECT_EQ(link.FindLinked(Host), -1);
    EXPECT_EQ(link.Pending().size(), 0u) << "the request made during the poll is taken up by it";
    EXPECT_FALSE(link.Busy);
    EXPECT_EQ(link.FindLinked(0x2000), 0);
    EXPECT_EQ(polls, 2);
}

TEST_F(WinMSGTest, ThrowingHandlerLeavesTheLinkUsable) {
    link.OnConnect = [](TWinMSG&, const TLinkWindow&) { throw std::runtime_error("handler"); };
    Send(Host, Connect);
    EXPECT_THROW(link.Poll(), std::runtime_error);
    EXPECT_FALSE(link.Busy);
    EXPECT_EQ(link.FindLinked(Host), 0);
}

TEST_F(WinMSGTest, NothingToWatchSparesTheEnumeration) {
    link.Poll();
    EXPECT_EQ(desktop.Enumerations, 0);
    Send(Host, Connect);
    link.Poll();
    link.Poll();
    EXPECT_EQ(desktop.Enumerations, 2);
}

TEST_F(WinMSGTest, HungTestRaisesOnChangeOnly) {
    std::vector<std::string> hung;
    link.OnHung = [&](TWinMSG&, const TLinkWindow&) { hung.push_back("hung"); };
    link.OnResponding = [&](TWinMSG&, const TLinkWindow&) { hung.push_back("responding"); };
    Send(Host, Connect);
    link.Poll();
    desktop.HungWindows[Host] = true;
    link.Poll();
    link.Poll();
    desktop.HungWindows[Host] = false;
    link.Poll();
    EXPECT_EQ(hung, (std::vector<std::string>{"hung", "responding"}));
}

TEST(WinMSGNoHungTest, HungTestIsSkippedWhenMissing) {
    test::TFakeDesktop desktop;
    desktop.HungTest = false;
    desktop.Windows[Host] = "TKWHost";
    TWinMSG link(desktop, 0);
    EXPECT_FALSE(link.HasHungTest());
    int raised = 0;
    link.OnHung = [&](TWinMSG&, const TLinkWindow&) { ++raised; };
    uint16_t h, l;
    link.HandleCommand(Host, Connect, h, l);
    link.Poll();
    EXPECT_EQ(link.FindLinked(Host), 0);
    EXPECT_EQ(raised, 0);
}

TEST_F(WinMSGTest, DiscoveryLinksWindowsThatAnswerAsExpected) {
    desktop.Windows[0x3000] = "TKWHost";
    desktop.Windows[0x4000] = "TKWHost";
    desktop.Answers[0x3000] = 7;
    desktop.Answers[0x4000] = 8;    // wrong answer
    desktop.Windows[0x5000] = "Other";
    desktop.Answers[0x5000] = 7;    // wrong class
    link.Classes.push_back({"TKWHost", 7, 42});
    link.Poll();
    EXPECT_EQ(link.FindLinked(0x3000), 42);
    EXPECT_EQ(link.FindLinked(0x4000), -1);
    EXPECT_EQ(link.FindLinked(0x5000), -1);
    EXPECT_EQ(link.FindLinked(Host), -1) << "no answer at all";
    EXPECT_EQ(events, std::vector<std::string>{"connect 12288"});
}

TEST(WinMSGEnvelope, DecodeCopyDataSplitsTheFields) {
    TCopyData data;
    const char payload[] = "x";
    ASSERT_TRUE(TWinMSG::DecodeCopyData(0x00010020, 2, payload, data));
    EXPECT_EQ(data.Marker, 1);
    EXPECT_EQ(data.Kind, 32);
    EXPECT_EQ(data.Length, 2);
    EXPECT_EQ(data.Payload, payload);
    EXPECT_TRUE(TWinMSG::DecodeCopyData(0, 0x7FFFFFFF, nullptr, data));
    EXPECT_FALSE(TWinMSG::DecodeCopyData(0, 0x80000000u, nullptr, data));
}

} // namespace
} // namespace kw
