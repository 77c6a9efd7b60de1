// The road beyond FTP with the real KWPAGE.exe and the host player: one element on air reaches
// a recording HTTP server by GET (values in the URL, UTF-8 percent-encoded) and by POST (the page
// as the body), a TCP listener (the page's bytes) and a UDP socket (one datagram per line), and
// each work's status names its target. The title carries a line feed, as a host's text may: the
// text targets' devices still get one command per template line. A station hour played sixty
// times faster (songs, jingles, ads, station IDs, blocks) shows the publishing rules at work: what
// each work sends, when, and how often. A live work's page and the now-playing document follow
// the host on the program's live server, pushed over their event streams.
#include <winsock2.h>
#include "platform/Tcp.h"
#include "platform/Udp.h"
#include "tests/delivery/HttpTestServer.h"
#include "tests/e2e/Station_win32.h"
#include "tests/support/TcpPeer.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <future>
#include <map>
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
            last = test::ReadToEnd(c);
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

// One element of a station hour played sixty times faster: a song of 3.5 minutes lasts 3.5 s.
struct TOnAir {
    bool Song;
    int Type;  // element type code (5 J jingle, 9 C ad, 13 S station ID, 0 M music)
    const char* Title;
    int HoldMs;            // until the next element
    int BlockBefore = -1;  // a block starts just before this element (its type code), or none
};

const TOnAir StationHour[] = {
    {false, 13, "Позывной 20:00", 400, 0},
    {true, 0, "Группа крови", 3500},
    {false, 5, "Джингл А", 400},
    {true, 0, "Звезда по имени Солнце", 3800},
    {false, 9, "Реклама 1", 600, 1},
    {false, 9, "Реклама 2", 600},
    {false, 9, "Реклама 3", 600},
    {false, 5, "Джингл Б", 400, 0},
    {true, 0, "Кукушка", 3600},
    {true, 0, "Пачка сигарет", 3400},
    {false, 13, "Позывной", 400},
    {true, 0, "Спокойная ночь", 3500},
    {false, 9, "Реклама 4", 600, 1},
    {false, 5, "Джингл В", 400, 0},
    {true, 0, "Перемен", 1000},  // a burst: three songs a second apart
    {true, 0, "Восьмиклассница", 1000},
    {true, 0, "Легенда", 7000},  // the last waits out the five seconds' delay
};

std::string StationHourScript() {
    // The program renders every work once in its first ten seconds: the hour starts after that.
    std::string script = "connect\nwait 10500\n";
    int number = 0;
    for (const TOnAir& e : StationHour) {
        if (e.BlockBefore >= 0)
            script += "block type=" + std::to_string(e.BlockBefore) + " duration=600000 name=\"Блок " +
                      std::to_string(++number) + "\"\n";
        script += std::string("element song=") + (e.Song ? "0" : "1") + " type=" + std::to_string(e.Type) +
                  " duration=200000 artist=\"Эфир\" title=\"" + e.Title + "\"\nwait " + std::to_string(e.HoldMs) +
                  "\n";
    }
    return script;
}

std::vector<std::string> Songs() {
    std::vector<std::string> songs;
    for (const TOnAir& e : StationHour)
        if (e.Song)
            songs.push_back(std::string(e.Title) + "\r\n");
    return songs;
}

// The bodies of the requests to `path`, in order.
std::vector<std::string> Bodies(const test::THttpTestServer& http, const std::string& path) {
    std::vector<std::string> bodies;
    for (int i = 1; i <= http.Count(); ++i)
        if (const auto r = http.Request(i); r.Path == path)
            bodies.push_back(r.Body);
    return bodies;
}

std::vector<std::string> WithoutEmpty(std::vector<std::string> pages) {
    std::erase(pages, std::string("\r\n"));
    return pages;
}

TEST(TargetsRoad, PublishingRulesInAStationHour) {
    test::THttpTestServer http;
    ASSERT_TRUE(http.Ok()) << "HTTP server fixture not running (KW_HTTP_SERVER_DIR)";
    net::TTcpListener tcp;
    ASSERT_TRUE(tcp.Listen({{127, 0, 0, 1}, 0}, 8).ok());
    net::TIpv4Endpoint tcpAt;
    ASSERT_TRUE(tcp.LocalEndpoint(tcpAt).ok());

    TStation station("publishing");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("element.tpl"), "!KW!ElementTitle\n");
    WriteFile(station.Path("song.tpl"), "!KW!SongTitle\n");
    const std::string url = "Target=HTTP\r\nHTTPMethod=POST\r\nHTTPURL=http://127.0.0.1:" + std::to_string(http.Port());
    const std::string songsOnly = "Trigger=Songs\r\nTriggerBlock=0\r\n";
    // Every element and block, every render delivered: what a station sends without the rules.
    TStationWork every = Work("a-every", "element.tpl", "a.txt", 1, 15);
    every.Extra = url + "/pub/every\r\n";
    TStationWork songs = Work("b-songs", "song.tpl", "b.txt", 1, 15);
    songs.Extra = url + "/pub/songs\r\n" + songsOnly + "OnlyChanged=1\r\n";
    // Rendered on every element, but the song's title changes only with a song: the renders
    // between go out only while the server refuses them.
    TStationWork changed = Work("c-changed", "song.tpl", "c.txt", 1, 15);
    changed.Extra = url + "/pub/changed\r\nOnlyChanged=1\r\n";
    TStationWork refused = Work("d-refused", "song.tpl", "d.txt", 1, 15);
    refused.Extra = url + "/status/503\r\nOnlyChanged=1\r\n";
    TStationWork toTcp = Work("e-songs-tcp", "song.tpl", "e.txt", 1);
    toTcp.Extra = "Target=TCP\r\nTextHost=127.0.0.1\r\nTextPort=" + std::to_string(tcpAt.Port) + "\r\n" + songsOnly;
    TStationWork now = Work("f-now", "element.tpl", "f.txt", 1, 15);
    TStationWork delayed = Work("g-delayed", "element.tpl", "g.txt", 1, 15);
    delayed.Extra = "Delay=5\r\n";
    station.WriteSettings({every, songs, changed, refused, toTcp, now, delayed});

    // The TCP device keeps every page it is sent, one connection each.
    std::atomic<bool> hourOver{false};
    auto tcpPages = std::async(std::launch::async, [&] {
        std::vector<std::string> pages;
        for (;;) {  // after the hour, until the connections waiting in the backlog are taken
            net::TTcpConnection c;
            if (!tcp.Accept(c, 500).ok()) {
                if (hourOver)
                    break;
                continue;
            }
            pages.push_back(test::ReadToEnd(c));
        }
        return pages;
    });

    ASSERT_TRUE(station.Start());
    ASSERT_TRUE(station.PlayHost(StationHourScript()));
    // When each title first shows in the page written at once and in the one five seconds behind.
    std::map<std::string, ULONGLONG> shownNow, shownDelayed;
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG limit = start + 90000;
    while (GetTickCount64() < limit &&
           !(WaitForSingleObject(station.Host().Handle(), 0) == WAIT_OBJECT_0 && shownDelayed.count("Легенда\r\n"))) {
        shownNow.emplace(ReadFile(station.Path("f.txt")), GetTickCount64());
        shownDelayed.emplace(ReadFile(station.Path("g.txt")), GetTickCount64());
        Sleep(40);
    }
    const double hourSeconds = (GetTickCount64() - start) / 1000.0;
    Sleep(1500);  // the last deliveries
    hourOver = true;

    // Delay: every song shows five seconds after it showed in the page written at once, within
    // a timer step and this loop's reading; so does every shorter element both pages show
    // (elements that come while their work renders share the render after it, and a loaded
    // machine may make a render outlast a jingle).
    for (const TOnAir& e : StationHour) {
        const std::string page = std::string(e.Title) + "\r\n";
        const bool shown = shownNow.count(page) && shownDelayed.count(page);
        if (e.Song) {
            EXPECT_TRUE(shown) << e.Title << ": now " << shownNow.count(page) << ", delayed " << shownDelayed.count(page);
        }
        if (!shown)
            continue;
        const long long late = static_cast<long long>(shownDelayed[page]) - static_cast<long long>(shownNow[page]);
        EXPECT_GE(late, 4700) << e.Title;
        EXPECT_LE(late, 6500) << e.Title;
        std::printf("delay %s: %lld ms\n", e.Title, late);
    }

    // Songs only, only when changed: each song once, in order, and nothing of the jingles and ads.
    EXPECT_EQ(WithoutEmpty(Bodies(http, "/pub/songs")), Songs());
    // Songs only over TCP: one connection per song.
    ASSERT_EQ(tcpPages.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(WithoutEmpty(tcpPages.get()), Songs());
    // Only when changed, rendered on every element: each distinct page once...
    EXPECT_EQ(WithoutEmpty(Bodies(http, "/pub/changed")), Songs());
    // ... but a page the server refused was not delivered: it goes again on the next render,
    // changed or not, so every element's render reaches the refusing server.
    const size_t elements = std::size(StationHour), refusals = Bodies(http, "/status/503").size();
    EXPECT_GE(refusals, elements - 2) << "renders of a refused page were skipped";
    const size_t everything = Bodies(http, "/pub/every").size(), songsSent = Bodies(http, "/pub/songs").size();
    EXPECT_GE(everything, elements);
    std::printf("a station hour at sixty times speed (%.1f s with the 10 s start, %zu elements, %zu songs): every element %zu "
                "deliveries, songs only when changed %zu, only when changed to a refusing server %zu\n",
                hourSeconds, elements, Songs().size(), everything, songsSent, refusals);
}

// A GET to the live server on 127.0.0.1, the answer's body (the server closes after each answer).
std::string LiveGet(uint16_t port, const std::string& path) {
    net::TTcpConnection c;
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (!c.Connect("127.0.0.1", port, 5000).ok() || !c.SendAll(request.data(), request.size(), 5000).ok())
        return "<no answer>";
    const std::string answer = test::ReadToEnd(c, 5000);
    const size_t body = answer.find("\r\n\r\n");
    return body == std::string::npos ? answer : answer.substr(body + 4);
}

TEST(TargetsRoad, ALivePageAndTheNowPlayingDocumentFollowTheHost) {
    uint16_t port = 0;
    {
        net::TTcpListener probe;  // a port nobody uses now
        net::TIpv4Endpoint at{{127, 0, 0, 1}, 0};
        ASSERT_TRUE(probe.Listen(at).ok());
        ASSERT_TRUE(probe.LocalEndpoint(at).ok());
        port = at.Port;
    }
    TStation station("live");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("live.tpl"), "<p>!KW!ElementArtist - !KW!ElementTitle</p>\n");
    TStationWork live = Work("live", "live.tpl", "live.html", 1);
    live.Extra = "ServeLive=1\r\n";
    station.WriteSettings({live}, "LiveServer=1\r\nLivePort=" + std::to_string(port) + "\r\n");
    ASSERT_TRUE(station.Start());
    const std::string id = "/works/File260101000010";

    // The start-up render first (within ten seconds), so the element's write is the next one.
    ASSERT_TRUE(WaitFor([&] { return Exists(station.Path("live.html")); }, 20000));

    // A follower of the work's event stream, as the page script is: "updated" with the version
    // at once, and again after every write.
    net::TTcpConnection events;
    ASSERT_TRUE(events.Connect("127.0.0.1", port, 5000).ok()) << "no live server";
    const std::string request = "GET " + id + "/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ASSERT_TRUE(events.SendAll(request.data(), request.size(), 5000).ok());
    std::string stream;
    auto updates = [&] {
        char buf[4096];
        size_t n = 0;
        if (events.Receive(buf, sizeof buf, n, 100).ok())
            stream.append(buf, n);
        size_t count = 0;
        for (size_t at = stream.find("event: updated"); at != std::string::npos; at = stream.find("event: updated", at + 1))
            ++count;
        return count;
    };
    ASSERT_TRUE(WaitFor([&] { return updates() == 1; }, 5000)) << stream;

    ASSERT_TRUE(station.PlayHost("connect\nwait 1500\nelement song=0 type=2 duration=183000 artist=\"" + Artist +
                                 "\" title=\"" + Title + "\"\nwait 3000\n"));
    // The stream tells of the element's write by itself; the page it names is the file, byte for byte.
    const std::string kino = "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE";
    ASSERT_TRUE(WaitFor([&] { return updates() >= 2; }, 20000)) << stream;
    const std::string page = LiveGet(port, id);
    EXPECT_NE(page.find(kino + " - "), std::string::npos) << page;
    EXPECT_EQ(page, ReadFile(station.Path("live.html")));
    // The now-playing document names the song, in UTF-8.
    EXPECT_TRUE(WaitFor([&] { return LiveGet(port, "/nowplaying.json").find(kino) != std::string::npos; }, 10000))
        << LiveGet(port, "/nowplaying.json");
    // Nothing but live works is served.
    EXPECT_EQ(LiveGet(port, "/works/..%2FKWPAGE.ini").find("[Settings]"), std::string::npos);
}

} // namespace
} // namespace kw::e2e

int main(int argc, char** argv) { return kw::e2e::RunStationTests(argc, argv); }
