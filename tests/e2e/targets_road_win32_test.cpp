// The road beyond FTP with the real KWPAGE.exe and the host player: one element on air reaches
// a recording HTTP server by GET (values in the URL, UTF-8 percent-encoded) and by POST (the page
// as the body), a TCP listener (the page's bytes) and a UDP socket (one datagram per line), and
// each work's status names its target. The title carries a line feed, as a host's text may: the
// text targets' devices still get one command per template line.
#include <winsock2.h>
#include "platform/Tcp.h"
#include "platform/Udp.h"
#include "tests/delivery/HttpTestServer.h"
#include "tests/e2e/Station_win32.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <future>
#include <regex>

namespace kw::e2e {
namespace {

const std::string Artist = "Кино";
const std::string Title = "Группа крови";

std::regex Stamp(const char* label) {
    return std::regex(std::string(R"(^\d\d:\d\d:\d\d  \d\d\.\d\d \()") + label + R"(\)$)");
}

TEST(TargetsRoad, OneElementReachesHttpTcpAndUdpTargets) {
    test::THttpTestServer http;
    ASSERT_TRUE(http.Ok()) << "HTTP server fixture not running (KW_HTTP_SERVER_DIR)";
    net::TTcpListener tcp;
    ASSERT_TRUE(tcp.Listen({{127, 0, 0, 1}, 0}, 8).ok());
    net::TIpv4Endpoint tcpAt, udpAt;
    ASSERT_TRUE(tcp.LocalEndpoint(tcpAt).ok());
    net::TUdpSocket udp;
    ASSERT_TRUE(udp.Open({{127, 0, 0, 1}, 0}).ok());
    ASSERT_TRUE(udp.LocalEndpoint(udpAt).ok());

    TStation station("targets");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("rds.tpl"), "RT1=!KW!SongArtist - !KW!SongTitle\nDPS=!KW!SongTitle\n");
    const std::string port = std::to_string(http.Port());
    TStationWork get = Work("a-get", "rds.tpl", "a.txt", 1);
    get.Extra = "Target=HTTP\r\nHTTPMethod=GET\r\nHTTPURL=http://127.0.0.1:" + port +
                "/admin/metadata?mount=/live&mode=updinfo&charset=UTF-8&song=!KW!SongArtist - !KW!SongTitle\r\n";
    TStationWork post = Work("b-post", "rds.tpl", "b.json", 1);
    post.Extra = "Target=HTTP\r\nHTTPMethod=POST\r\nHTTPURL=http://127.0.0.1:" + port + "/nowplaying\r\n";
    TStationWork toTcp = Work("c-tcp", "rds.tpl", "c.txt", 0);
    toTcp.Extra = "Target=TCP\r\nTextHost=127.0.0.1\r\nTextPort=" + std::to_string(tcpAt.Port) + "\r\n";
    TStationWork toUdp = Work("d-udp", "rds.tpl", "d.txt", 0);
    toUdp.Extra = "Target=UDP\r\nTextHost=127.0.0.1\r\nTextPort=" + std::to_string(udpAt.Port) + "\r\n";
    station.WriteSettings({get, post, toTcp, toUdp});

    // The TCP device: reads each connection to its end and keeps the last page.
    auto tcpPage = std::async(std::launch::async, [&] {
        std::string last;
        for (int i = 0; i < 4; ++i) {
            net::TTcpConnection c;
            if (!tcp.Accept(c, 20000).ok())
                break;
            std::string bytes;
            char buf[4096];
            size_t n = 0;
            while (c.Receive(buf, sizeof buf, n, 10000).ok() && n > 0)
                bytes.append(buf, n);
            last = bytes;
            if (last.find("RT1=\xCA\xE8\xED\xEE") != std::string::npos)
                break;
        }
        return last;
    });

    ASSERT_TRUE(station.Start());
    ASSERT_TRUE(station.PlayHost("connect\nwait 1500\nelement song=0 type=2 duration=183000 artist=\"" + Artist +
                                 "\" title=\"" + Title + "\\nPS=INJECTED\"\nwait 4000\n"));
    // The renders before the element deliver pages with empty values; the element's come next.
    const std::string kino1251 = "\xCA\xE8\xED\xEE", kinoUtf8 = "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE";
    for (const char* page : {"a.txt", "b.json", "c.txt", "d.txt"})
        EXPECT_TRUE(WaitFor([&] {
            const std::string text = ReadFile(station.Path(page));
            return text.find(kino1251) != std::string::npos || text.find(kinoUtf8) != std::string::npos;
        }, 20000)) << page << ": " << ReadFile(station.Path(page));
    const char* const labels[] = {"HTTP 200", "HTTP 200", "TCP", "UDP"};
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(WaitFor([&] { return std::regex_match(station.WorkStatus(row), Stamp(labels[row])); }, 20000))
            << row << ": " << station.WorkStatus(row);
    EXPECT_TRUE(WaitFor([&] {
        for (int i = 1; i <= http.Count(); ++i)
            if (http.Request(i).Method == "POST" && http.Request(i).Body.find(kinoUtf8) != std::string::npos)
                return true;
        return false;
    }, 20000));

    // GET: the values in the URL, UTF-8 bytes percent-encoded.
    bool sawGet = false, sawPost = false;
    for (int i = 1; i <= http.Count(); ++i) {
        const auto r = http.Request(i);
        if (r.Method == "GET" && r.Path.find("%D0%9A%D0%B8%D0%BD%D0%BE%20-%20") != std::string::npos)
            sawGet = true;
        if (r.Method == "POST" && r.Body == ReadFile(station.Path("b.json")) && r.Body.find("RT1=" + kinoUtf8) == 0)
            sawPost = true;
    }
    EXPECT_TRUE(sawGet);
    EXPECT_TRUE(sawPost);

    ASSERT_EQ(tcpPage.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const std::string tcpBytes = tcpPage.get();
    EXPECT_EQ(tcpBytes, ReadFile(station.Path("c.txt")));
    EXPECT_EQ(std::count(tcpBytes.begin(), tcpBytes.end(), '\n'), 2) << tcpBytes;  // the template's two lines

    std::vector<std::string> datagrams;
    char buf[2048];
    size_t n = 0;
    while (udp.Receive(buf, sizeof buf, n, 2000).ok())
        datagrams.emplace_back(buf, n);
    const std::string page = ReadFile(station.Path("d.txt"));
    ASSERT_GE(datagrams.size(), 2u);
    // The element's render: its two lines, each a datagram with its CR LF.
    EXPECT_EQ(datagrams[datagrams.size() - 2], "RT1=" + kino1251 + " - \xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8 PS=INJECTED\r\n");
    EXPECT_EQ(datagrams[datagrams.size() - 2] + datagrams.back(), page);
    EXPECT_EQ(datagrams.back(), "DPS=" + std::string("\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8 PS=INJECTED") + "\r\n");
}

} // namespace
} // namespace kw::e2e

int main(int argc, char** argv) {
    if (!kw::e2e::Exists(kw::e2e::KwpageExe()) || !kw::e2e::Exists(kw::e2e::HostPlayerExe())) {
        std::printf("FAIL: KWPAGE.exe or the host player is not built\n");
        return kw::e2e::NotBuilt;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
