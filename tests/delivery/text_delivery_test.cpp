// The TCP and UDP text targets against real listeners on 127.0.0.1, through the render as the
// program runs it: the bytes arrive exactly as the page holds them (one datagram per line for
// UDP), the status reads like FTP's, and a refused connection is red with the system's text.
// Runs natively and under Wine (Winsock).
#include "delivery/text/TextDelivery.h"
#include "tests/support/TcpPeer.h"
#include "platform/Tcp.h"
#include "platform/Udp.h"
#include "render/CodePages.h"
#include "tests/delivery/RenderedUpload.h"
#include "tests/support/ShippedMessages.h"
#include "tests/platform/TempFolder.h"
#include <gtest/gtest.h>
#include <atomic>
#include <future>
#include <string>
#include <vector>

namespace {

// The failures read as the English program shows them.
const auto* const kEnglish = ::testing::AddGlobalTestEnvironment(new kw::test::TEnglishMessages);

using namespace kw;

// The template gives a page of three RDS commands, one with Windows-1251 bytes, and a CR-only line.
const std::string Template = "RT1=Now playing: \xC0\xF0\xF2\xE8\xF1\xF2 - Title\nDPS=KW\r\nTEXT=a\rlast";

TEST(PageLines, EachLineKeepsItsOwnLineEnd) {
    EXPECT_TRUE(SplitPageLines("").empty());
    const std::vector<std::string_view> expected{"a\r\n", "\r\n", "b\n", "c\r", "d"};
    EXPECT_EQ(SplitPageLines("a\r\n\r\nb\nc\rd"), expected);
    EXPECT_EQ(SplitPageLines("x\r\n"), std::vector<std::string_view>{"x\r\n"});
}

class TextTargets : public ::testing::Test {
protected:
    kwtest::TTempFolder dir;
    TWorkPtr work = std::make_shared<TWorkData>();

    TWorkConfig Config(TTargetChoice target, uint16_t port) {
        dir.Write("rds.tpl", Template);
        TWorkConfig c;
        c.Section = c.Name = "File1";
        c.FileIn = dir.Path("rds.tpl");
        c.FileOut = dir.Path("rds.txt");
        SetTargetChoice(c, target);
        c.Text.Host = "127.0.0.1";
        c.Text.Port = port;
        return c;
    }
    std::string Page() const { return dir.Read("rds.txt"); }
};

TEST_F(TextTargets, TcpDeliversThePageByteForByteAndCloses) {
    net::TTcpListener listener;
    ASSERT_TRUE(listener.Listen({{127, 0, 0, 1}, 0}, 4).ok());
    net::TIpv4Endpoint at;
    ASSERT_TRUE(listener.LocalEndpoint(at).ok());
    // The listener reads until the sender closes: the close is part of the contract.
    auto received = std::async(std::launch::async, [&] {
        net::TTcpConnection c;
        if (!listener.Accept(c, 10000).ok())
            return std::string("<no connection>");
        return test::ReadToEnd(c);
    });
    test::TRenderedUpload render(std::make_shared<TTcpTextDelivery>());
    const std::string status = render.Render(work, Config(tcTCP, at.Port));
    ASSERT_EQ(received.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(received.get(), Page());
    EXPECT_EQ(Page().substr(0, 4), "RT1=");
    EXPECT_EQ(status.size(), 21u) << status;  // "HH:NN:SS  DD.MM (TCP)"
    EXPECT_EQ(status.substr(status.size() - 6), " (TCP)") << status;
    EXPECT_EQ(work->Show.Tone(), TStatusTone::Normal);
}

TEST_F(TextTargets, UdpSendsOneDatagramPerLine) {
    net::TUdpSocket listener;
    ASSERT_TRUE(listener.Open({{127, 0, 0, 1}, 0}).ok());
    net::TIpv4Endpoint at;
    ASSERT_TRUE(listener.LocalEndpoint(at).ok());
    test::TRenderedUpload render(std::make_shared<TUdpTextDelivery>());
    const std::string status = render.Render(work, Config(tcUDP, at.Port));
    EXPECT_EQ(status.substr(status.size() - 6), " (UDP)") << status;
    EXPECT_EQ(work->Show.Tone(), TStatusTone::Normal);

    std::vector<std::string> datagrams;
    char buf[70000];
    size_t n = 0;
    while (listener.Receive(buf, sizeof buf, n, 2000).ok())
        datagrams.emplace_back(buf, n);
    std::vector<std::string> expected;
    const std::string page = Page();
    for (const std::string_view line : SplitPageLines(page))
        expected.emplace_back(line);
    ASSERT_EQ(expected.size(), 3u) << page;  // every template line ends in CR LF on the page
    EXPECT_EQ(datagrams, expected);
}

// A line too long for one datagram is found before any line leaves: the device gets all of the
// page or nothing, and the status names the line.
TEST_F(TextTargets, UdpMeasuresEveryLineBeforeSendingAny) {
    net::TUdpSocket listener;
    ASSERT_TRUE(listener.Open({{127, 0, 0, 1}, 0}).ok());
    net::TIpv4Endpoint at;
    ASSERT_TRUE(listener.LocalEndpoint(at).ok());
    TTextUse to;
    to.Host = "127.0.0.1";
    to.Port = at.Port;
    const std::string page = "RT1=first\r\n" + std::string(MaxDatagramBytes, 'x') + "\r\nPS=last\r\n";
    const TDeliveryResult r = SendUdpLines(to, page, {});
    EXPECT_FALSE(r.Ok);
    EXPECT_NE(TextOf(r.Message).find(": line 2 is "), std::string::npos) << TextOf(r.Message);
    char buf[16];
    size_t n = 0;
    EXPECT_EQ(listener.Receive(buf, sizeof buf, n, 500).Kind, net::TNetStatus::TimedOut) << "a line went out";
    const std::string fits = "RT1=first\r\n" + std::string(MaxDatagramBytes - 2, 'x') + "\r\n";
    EXPECT_TRUE(SendUdpLines(to, fits, {}).Ok);
}

TEST_F(TextTargets, RefusedAndUnaddressedAreRedWithTheReason) {
    uint16_t closedPort = 0;
    {
        net::TTcpListener l;  // a port that was just free: nobody listens on it now
        ASSERT_TRUE(l.Listen({{127, 0, 0, 1}, 0}).ok());
        net::TIpv4Endpoint at;
        ASSERT_TRUE(l.LocalEndpoint(at).ok());
        closedPort = at.Port;
    }
    test::TRenderedUpload render(std::make_shared<TTcpTextDelivery>());
    const std::string refused = render.Render(work, Config(tcTCP, closedPort), 2);
    EXPECT_EQ(refused.rfind("2 TCP: 127.0.0.1:" + std::to_string(closedPort) + ": ", 0), 0u) << refused;
    EXPECT_GT(refused.size(), 30u) << "the system's text is missing: " << refused;
    EXPECT_EQ(work->Show.Tone(), TStatusTone::Failure);
    EXPECT_TRUE(work->Show.Take().LogIt);

    TWorkConfig c = Config(tcUDP, 0);
    test::TRenderedUpload udp(std::make_shared<TUdpTextDelivery>());
    EXPECT_EQ(udp.Render(work, c), "0 UDP: No host or port is set");
    EXPECT_EQ(work->Show.Tone(), TStatusTone::Failure);
}

// RDS in Latin letters, only changed pages: a TCP listener gets one connection per distinct
// page however often the work renders, and after a failed delivery the unchanged page again.
TEST_F(TextTargets, OnlyChangedLatinPagesReachTheListenerOnceEach) {
    net::TTcpListener listener;
    ASSERT_TRUE(listener.Listen({{127, 0, 0, 1}, 0}, 8).ok());
    net::TIpv4Endpoint at;
    ASSERT_TRUE(listener.LocalEndpoint(at).ok());
    std::atomic<bool> stop{false};
    auto received = std::async(std::launch::async, [&] {
        std::vector<std::string> pages;
        // after the renders, until the connections waiting in the backlog are taken
        for (;;) {
            net::TTcpConnection c;
            if (!listener.Accept(c, 300).ok()) {
                if (stop)
                    break;
                continue;
            }
            std::string bytes = test::ReadToEnd(c);
            pages.push_back(bytes);
        }
        return pages;
    });
    TWorkConfig c = Config(tcTCP, at.Port);
    c.FileIn = dir.Write("song.tpl", "RT1=!KW!SongArtist - !KW!SongTitle\r\n");
    c.CodePage = cpLatin;
    c.Publish.OnlyChanged = true;
    test::TRenderedUpload render(std::make_shared<TTcpTextDelivery>());
    auto song = [&](const char* artist, const char* title) {
        TBroadcastState s;
        s.Song.Artist = artist;
        s.Song.Title = title;
        render.Publish(s);
    };
    song("\xCA\xE8\xED\xEE", "\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8");  // Кино, Группа крови
    for (int i = 0; i < 3; ++i)
        render.Render(work, c);
    song("\xCE\xEA\xE5\xE0\xED \xC5\xEB\xFC\xE7\xE8", "\xCE\xE1\xB3\xE9\xEC\xE8");  // Океан Ельзи, Обійми
    TWorkConfig refused = c;
    refused.Text.Port = 1;  // nobody listens there
    EXPECT_NE(render.Render(work, refused).find("TCP: "), std::string::npos);
    for (int i = 0; i < 3; ++i)
        render.Render(work, c);  // unchanged, but the last one failed: it goes out once
    stop = true;
    ASSERT_EQ(received.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    // each value is read on its own: the artist has no letter only Ukrainian has
    const std::vector<std::string> expected{"RT1=Kino - Gruppa krovi\r\n", "RT1=Okean Elzi - Obiimy\r\n"};
    EXPECT_EQ(received.get(), expected);
}

TEST_F(TextTargets, OnlyTheChosenTargetSends) {
    const TWorkConfig tcp = Config(tcTCP, 1), udp = Config(tcUDP, 1), ftp = Config(tcFTP, 1);
    EXPECT_TRUE(TTcpTextDelivery().Wanted(tcp));
    EXPECT_FALSE(TTcpTextDelivery().Wanted(udp));
    EXPECT_TRUE(TUdpTextDelivery().Wanted(udp));
    EXPECT_FALSE(TUdpTextDelivery().Wanted(ftp));
}

} // namespace
