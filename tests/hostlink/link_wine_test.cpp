// KWPAGE's side of the host link across two processes: this program owns a window of class
// TKW_PAGE wired to the real link, inbox and reader, and runs the host player against it.
#include "TestPage_win32.h"
#include <gtest/gtest.h>
#include <algorithm>

namespace kw {
namespace {

using test::Play;
using test::PumpUntil;
using test::TPlayed;
using test::TTestPage;

// The link's polls run where the test puts them rather than on the 100 ms timer, so that no
// test depends on how soon a timer fires: by default one right after every control message
// (a connect is taken up before the host's next message); PollAfterControls(n, m, ...) polls
// after the n-th, m-th ... control message only (counted from 1).
struct LinkWineTest : ::testing::Test {
    LinkWineTest() {
        page.poll.reset();
        PollAfterControls({});
    }
    void PollAfterControls(std::vector<int> which) {
        page.AfterHostMessage = [this, which, seen = 0](UINT message) mutable {
            if (message != CommandMessage)
                return;
            ++seen;
            if (which.empty() || std::find(which.begin(), which.end(), seen) != which.end())
                page.link.Poll();
        };
    }
    TTestPage page;
};

TEST_F(LinkWineTest, ConnectThenDataWithinOnePollIsIgnored) {
    // The poll that takes the connect up comes after the first data message, not before.
    int copies = 0;
    page.AfterHostMessage = [&](UINT message) {
        if (message == WM_COPYDATA && ++copies == 1)
            page.link.Poll();
    };
    const TPlayed played = Play("connect\nelement artist=\"early\"\nelement artist=\"late\"\n");
    ASSERT_EQ(played.ExitCode, 0u) << played.Output;
    EXPECT_EQ(page.Queued(), 1);
    page.reader->DrainInbound();
    EXPECT_EQ(page.store.Current()->Element.Artist, "late");
    // The player has gone without a disconnect: the link's own 100 ms poll drops it.
    page.poll = std::make_unique<TLinkPollTimer>(page.link);
    ASSERT_TRUE(PumpUntil([&] { return page.link.Linked().empty(); }));
    EXPECT_EQ(page.events, (std::vector<std::string>{"connect", "disconnect"}));
    EXPECT_TRUE(page.link.Linked().empty());
    EXPECT_EQ(page.status.SourceStatus.Text(), "Wait");
    EXPECT_EQ(page.status.LinkState.load(), LinkWaiting);
}

// Without a host the poll timer rests; the host's connect starts it, the poll takes the host up
// and, once the host has gone, drops it, and the timer rests again.
TEST_F(LinkWineTest, ThePollTimerRestsWithoutAHostAndResumesForOne) {
    page.AfterHostMessage = nullptr;
    page.poll = std::make_unique<TLinkPollTimer>(page.link);
    ASSERT_TRUE(page.poll->Running());
    EXPECT_FALSE(page.poll->Ticking());
    const TPlayed played = Play("connect\nwait 500\n");  // the timer's poll takes it up meanwhile
    ASSERT_EQ(played.ExitCode, 0u) << played.Output;
    ASSERT_TRUE(PumpUntil([&] { return page.events.size() == 2; }));
    EXPECT_EQ(page.events, (std::vector<std::string>{"connect", "disconnect"}));
    EXPECT_FALSE(page.poll->Ticking());
}

TEST_F(LinkWineTest, DuplicateConnectsChildAndClosedWindows) {
    PollAfterControls({2, 4});  // both connects within one poll, then the child's and the closed one's
    const TPlayed played = Play("connect\nconnect\nprint linked\nconnect from=child\nconnect from=closed\n");
    ASSERT_EQ(played.ExitCode, 0u) << played.Output;
    EXPECT_EQ(page.events, (std::vector<std::string>{"connect", "disconnect", "disconnect"}));
    EXPECT_EQ(page.link.Linked().size(), 1u) << "only the player's own top-level window";
    EXPECT_EQ(page.status.SourceStatus.Text(), "Wait");
}

TEST_F(LinkWineTest, DisconnectUnlinksAtOnce) {
    const TPlayed played = Play("connect\ndisconnect\nelement artist=\"after\"\n");
    ASSERT_EQ(played.ExitCode, 0u) << played.Output;
    EXPECT_EQ(page.events, (std::vector<std::string>{"connect", "disconnect"}));
    EXPECT_EQ(page.Queued(), 0);
    EXPECT_EQ(page.status.LinkState.load(), LinkWaiting);
}

TEST_F(LinkWineTest, QueryAnswersTheGroupNumber) {
    page.settings.PID = -1;
    const TPlayed played = Play("query\ncommand high=0x7FFE\nconnect\ndisconnect\n");
    ASSERT_EQ(played.ExitCode, 0u) << played.Output;
    EXPECT_EQ(played.Output, "query -> -1\ncommand -> 0\nconnect -> 0\ndisconnect -> 0\n");
}

TEST_F(LinkWineTest, EnvelopeChecks) {
    const TPlayed played = Play("connect\n"
                                "raw marker=0 kind=32 data=\"SYSMSG=m0\"\n"
                                "raw marker=2 kind=32 data=\"SYSMSG=m2\"\n"
                                "state from=second\nSYSMSG=stranger\nend\n"
                                "print checked\n"
                                "raw kind=1 length=4\n"
                                "raw kind=0 length=0\n"
                                "raw kind=32 length=65535 fill=65\n"
                                "raw kind=32 length=65536 fill=66\n");
    ASSERT_EQ(played.ExitCode, 0u) << played.Output;
    EXPECT_EQ(page.Queued(), 1);
    ASSERT_TRUE(page.ring.IsFilled(0));
    const auto message = page.ring.Take(0);
    EXPECT_EQ(message->Length, 65535);
    EXPECT_EQ(message->Payload[65534], 'A');
    EXPECT_EQ(page.status.LinkState.load(), LinkDataReceived);
    EXPECT_NE(page.settings.Works.PendingAllDue(), TWorkList::NoneDue) << "a length-0 element still makes the works due";
}

TEST_F(LinkWineTest, DecodesWhatThePlayerSends) {
    page.reader->Start();
    const TPlayed played = Play("connect\n"
                                "element song=0 type=2 duration=180000 artist=\"Кино\" title=\"Группа крови\"\n"
                                "block type=1 duration=3600000 name=\"Утро\"\n"
                                "playlist\nitem type=0 duration=1000 artist=\"A\" title=\"T\"\n"
                                "item type=3 artist=\"B\" artistlen=200\nend\n"
                                "played\nitem start=46000.5 artist=\"P\"\nend\n"
                                "state\nc_clocktype=B\nSYSMSG=Привет=мир\nSOURCESTATUS=300\nend\n");
    ASSERT_EQ(played.ExitCode, 0u) << played.Output;
    // The reader has decoded everything once the last message's state is published.
    ASSERT_TRUE(PumpUntil([&] { return page.store.Current()->SourceState == 255; }));
    const TBroadcastSnapshot s = page.store.Current();
    EXPECT_EQ(s->Song.Artist, "\xCA\xE8\xED\xEE");
    EXPECT_EQ(s->Element.Title, "\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8");
    EXPECT_DOUBLE_EQ(s->Element.Duration, 180.0);
    EXPECT_EQ(s->Block.Name, "\xD3\xF2\xF0\xEE");
    ASSERT_EQ(s->Playlist->size(), 2u);
    EXPECT_EQ((*s->Playlist)[1].Artist.size(), 64u);
    ASSERT_EQ(s->Played->size(), 1u);
    EXPECT_DOUBLE_EQ((*s->Played)[0].StartTime, 46000.5);
    EXPECT_EQ(s->ClockType, 1);
    EXPECT_EQ(s->SystemMessage, "\xCF\xF0\xE8\xE2\xE5\xF2=\xEC\xE8\xF0");
    EXPECT_EQ(s->SourceState, 255);
}

std::string NumberedStates(int from, int count) {
    std::string script;
    for (int i = from; i < from + count; ++i)
        script += "state\nSYSMSG=" + std::to_string(i) + "\nend\n";
    return script;
}

TEST_F(LinkWineTest, RingFullThenOrderAcrossTheWrap) {
    // The reader is stalled (not started): 256 messages fit, the 257th is dropped.
    TPlayed played = Play("connect\n" + NumberedStates(1, 257));
    ASSERT_EQ(played.ExitCode, 0u) << played.Output;
    EXPECT_EQ(page.Queued(), 256);
    EXPECT_EQ(page.inbox.WriteIndex, 0);
    page.reader->DrainInbound();
    EXPECT_EQ(page.store.Current()->SystemMessage, "256");

    // Now running: 300 more cross the wrap from slot 255 to 0 in order. The host is held (its
    // message not yet answered) while the ring is half full, until the reader has caught up.
    page.reader->Start();
    const auto poll = page.AfterHostMessage;
    bool stalled = false;
    page.AfterHostMessage = [&](UINT message) {
        poll(message);
        const ULONGLONG until = GetTickCount64() + 5000;
        while (!stalled && page.Queued() >= 128) {
            stalled = GetTickCount64() >= until;
            Sleep(1);
        }
    };
    played = Play("connect\n" + NumberedStates(1000, 300));
    ASSERT_EQ(played.ExitCode, 0u) << played.Output;
    EXPECT_FALSE(stalled) << "the reader did not drain the ring within 5 s";
    ASSERT_TRUE(PumpUntil([&] { return page.store.Current()->SystemMessage == "1299"; }));
    EXPECT_EQ(page.inbox.WriteIndex, (256 + 300) % 256);
    EXPECT_EQ(page.reader->ReadIndex, page.inbox.WriteIndex);
}

TEST_F(LinkWineTest, ShutdownIgnoresTheHost) {
    page.closing = 1;
    page.settings.PID = 7;
    const TPlayed played = Play("connect\nquery\nelement artist=\"x\"\n");
    ASSERT_EQ(played.ExitCode, 0u) << played.Output;
    EXPECT_EQ(played.Output, "connect -> 0\nquery -> 0\nelement -> 0\n");
    EXPECT_TRUE(page.events.empty());
    EXPECT_EQ(page.Queued(), 0);
}

} // namespace
} // namespace kw
