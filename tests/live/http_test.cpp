// The live server's request parser, event-stream writer, content types and now-playing document.
#include "live/EventStream.h"
#include "live/HttpRequest.h"
#include "live/HttpResponse.h"
#include "live/NowPlaying.h"
#include "render/CodePages.h"
#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace kw::live {
namespace {

THttpParse Parse(const std::string& text) { return ParseHttpRequest(text); }

TEST(LiveHttpTest, TakesGetAndHeadOfPlainPaths) {
    const std::string pipelined = "GET /works/File1?key=abc&v=3 HTTP/1.1\r\nHost: x\r\nAccept: */*\r\n\r\nJUNK";
    THttpParse p = Parse(pipelined);
    ASSERT_EQ(p.State, THttpParse::Done);
    EXPECT_EQ(p.Request.Path, "/works/File1");
    EXPECT_EQ(QueryValue(p.Request.Query, "key"), "abc");
    EXPECT_EQ(QueryValue(p.Request.Query, "v"), "3");
    EXPECT_EQ(QueryValue(p.Request.Query, "k"), "");
    EXPECT_EQ(p.Consumed, pipelined.find("JUNK"));  // the head, not the junk after it
    p = Parse("HEAD /nowplaying.json HTTP/1.0\n\n");
    ASSERT_EQ(p.State, THttpParse::Done);
    EXPECT_TRUE(p.Request.Head);
    EXPECT_EQ(Parse("GET /works/File1 HTTP/1.1\r\nHost: x\r\n").State, THttpParse::NeedMore);
    EXPECT_EQ(Parse("GET /works/Fi").State, THttpParse::NeedMore);
}

TEST(LiveHttpTest, RefusesEverythingElseWithItsStatus) {
    const struct {
        std::string Request;
        int Status;
    } cases[] = {
        {"POST /works/File1 HTTP/1.1\r\n", 405},  // refused at the request line already
        {"PUT / HTTP/1.1\r\n\r\n", 405},
        {"GET /works/File1 HTTP/2.0\r\n\r\n", 505},
        {"GET /works/File1 FTP/1.0\r\n\r\n", 400},
        {"GET /../etc/passwd HTTP/1.1\r\n\r\n", 400},
        {"GET /works/.. HTTP/1.1\r\n\r\n", 400},
        {"GET /works/./File1 HTTP/1.1\r\n\r\n", 400},
        {"GET //etc/passwd HTTP/1.1\r\n\r\n", 400},
        {"GET /works//File1 HTTP/1.1\r\n\r\n", 400},
        {"GET /works/%2e%2e/x HTTP/1.1\r\n\r\n", 400},
        {"GET /works/C:\\boot.ini HTTP/1.1\r\n\r\n", 400},
        {"GET http://127.0.0.1/works/File1 HTTP/1.1\r\n\r\n", 400},
        {"GET works/File1 HTTP/1.1\r\n\r\n", 400},
        {"GET /works/File1?a=<b> HTTP/1.1\r\n\r\n", 400},
        {"GET  /works/File1 HTTP/1.1\r\n\r\n", 400},
        {"GET /works/File1 HTTP/1.1\r\nHost x\r\n\r\n", 400},
        {"GET /works/File1 HTTP/1.1\r\n folded: line\r\n\r\n", 400},
        {"GET /works/File1 HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", 400},
        {"GET /works/File1 HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
        {"\x16\x03\x01\x02\x01\x01\xfc\x03\x03\n", 400},  // TLS spoken to a plain port
    };
    for (const auto& c : cases) {
        const THttpParse p = Parse(c.Request);
        EXPECT_EQ(p.State, THttpParse::Refused) << c.Request;
        EXPECT_EQ(p.Status, c.Status) << c.Request;
    }
    // The head is bounded: a long line or many headers are refused once 8 KiB have come.
    EXPECT_EQ(Parse("GET /" + std::string(MaxRequestHead, 'a')).Status, 414);
    std::string many = "GET / HTTP/1.1\r\n";
    while (many.size() < MaxRequestHead)
        many += "X-Filler: 0123456789abcdef\r\n";
    EXPECT_EQ(Parse(many).Status, 431);
    EXPECT_EQ(Parse(many.substr(0, 2000)).State, THttpParse::NeedMore);
}

// What a browser's EventSource reads from the writer's bytes (the HTML standard's algorithm,
// for the fields the writer uses).
struct TEvent {
    std::string Name, Id, Data;
};
std::vector<TEvent> ReadEvents(const std::string& stream) {
    std::vector<TEvent> events;
    TEvent e;
    bool any = false;
    size_t at = 0;
    while (at < stream.size()) {
        size_t end = stream.find_first_of("\r\n", at);
        if (end == std::string::npos)
            break;
        const std::string line = stream.substr(at, end - at);
        at = end + (stream[end] == '\r' && end + 1 < stream.size() && stream[end + 1] == '\n' ? 2 : 1);
        if (line.empty()) {
            if (any) {
                if (!e.Data.empty() && e.Data.back() == '\n')
                    e.Data.pop_back();
                events.push_back(e);
            }
            e = {};
            any = false;
            continue;
        }
        if (line[0] == ':')
            continue;
        const size_t colon = line.find(':');
        const std::string field = line.substr(0, colon);
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);
        if (field == "data")
            e.Data += value + "\n", any = true;
        else if (field == "event")
            e.Name = value;
        else if (field == "id")
            e.Id = value;
    }
    return events;
}

TEST(LiveHttpTest, AnEventCarriesItsDataWholeWhateverItHolds) {
    const std::string data = "line one\r\nline two\rthree\n\nevent: forged\n\n: x\ndata: y";
    const std::string stream = EventText("up\ndated", "7\r\nid: 9", data) + std::string(HeartbeatText()) +
                               EventText("", "", "");
    const std::vector<TEvent> events = ReadEvents(stream);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Name, "updated");
    EXPECT_EQ(events[0].Id, "7id: 9");
    EXPECT_EQ(events[0].Data, "line one\nline two\nthree\n\nevent: forged\n\n: x\ndata: y");
    EXPECT_EQ(events[1].Data, "");
}

TEST(LiveHttpTest, ContentTypeFollowsTheOutputFileAndCodePage) {
    EXPECT_EQ(PageContentType("C:\\www\\now.HTML", cpWindows1251), "text/html; charset=windows-1251");
    EXPECT_EQ(PageContentType("now.xml", cpUTF8), "application/xml; charset=utf-8");
    EXPECT_EQ(PageContentType("now.json", cpKOI8R), "application/json; charset=koi8-r");
    EXPECT_EQ(PageContentType("now.txt", cpKOI8U), "text/plain; charset=koi8-u");
    EXPECT_EQ(PageContentType("C:\\a.b\\now", cpCP866), "text/plain; charset=ibm866");
    EXPECT_EQ(PageContentType("now.htm", cpLatin), "text/html; charset=windows-1251");
    const std::string head = ResponseHead(200, "text/html; charset=koi8-r", 1234);
    EXPECT_EQ(head.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(head.find("\r\nContent-Type: text/html; charset=koi8-r\r\n"), std::string::npos);
    EXPECT_NE(head.find("\r\nContent-Length: 1234\r\n"), std::string::npos);
    EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n");
    EXPECT_NE(RefusalResponse(405, true).find("Allow: GET, HEAD\r\n"), std::string::npos);
    EXPECT_EQ(RefusalResponse(404, true).find("404 Not Found\n", 20), std::string::npos);  // no body for HEAD
}

#ifndef _WIN32
// Python's json module reads the document back; what it read is compared with the state.
std::string ReadByPython(const std::string& json, const std::string& expression) {
    char name[] = "/tmp/kwlive_json_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        return "no temporary file";
    FILE* f = fdopen(fd, "wb");
    std::fwrite(json.data(), 1, json.size(), f);
    std::fclose(f);
    const std::string command = "/usr/bin/python3 -c \"import json,sys; d=json.load(open(sys.argv[1],encoding='utf-8'));"
                                " sys.stdout.buffer.write(str(" + expression + ").encode('utf-8'))\" " + name;
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    std::remove(name);
    return out;
}

TEST(LiveHttpTest, NowPlayingDocumentParsesAndMatchesTheState) {
    TBroadcastState s;
    s.Element = {0, 245.5, EncodeDateTime(2026, 12, 8, 19, 48, 16, 0), "\xc0\xf0\xf2\xe8\xf1\xf2 \"q\" \\ \x01\x98",
                 "\xcd\xe0\xe7\xe2\xe0\xed\xe8\xe5</script>\x0a"};
    s.Song = s.Element;
    s.Block = {1, 3600, EncodeDateTime(2026, 12, 8, 19, 0, 0, 0), "\xd3\xf2\xf0\xee"};
    auto playlist = std::make_shared<TPlaylist>();
    for (int i = 0; i < 6; ++i)
        playlist->push_back({static_cast<uint8_t>(i == 1 ? 5 : 0), 180000u + i, "A" + std::to_string(i), "T" + std::to_string(i)});
    s.Playlist = playlist;
    auto played = std::make_shared<TPlayedList>();
    played->push_back({EncodeDateTime(2026, 12, 8, 19, 44, 0, 0), 0, 200000, "P0", "Q0"});
    s.Played = played;
    s.ClockName = "\xd3\xf2\xf0\xee";
    s.PlayerOn = true;
    const std::string json = NowPlayingJson(s, 2, EncodeDateTime(2026, 12, 8, 19, 48, 20, 0));
    EXPECT_EQ(ReadByPython(json, "d['version']"), "1");
    EXPECT_EQ(ReadByPython(json, "d['time']"), "2026-12-08T19:48:20");
    EXPECT_EQ(ReadByPython(json, "d['song']['artist']"), "Артист \"q\" \\ \x01\xc2\x98");
    EXPECT_EQ(ReadByPython(json, "d['song']['title']"), "Название</script>\n");
    EXPECT_EQ(ReadByPython(json, "d['element']['start']"), "2026-12-08T19:48:16");
    EXPECT_EQ(ReadByPython(json, "d['element']['duration']"), "245.5");
    EXPECT_EQ(ReadByPython(json, "d['block']['name']"), "Утро");
    EXPECT_EQ(ReadByPython(json, "[e['artist'] for e in d['next']]"), "['A0', 'A2', 'A3']");  // songs only
    EXPECT_EQ(ReadByPython(json, "d['next'][0]['duration']"), "180.0");
    EXPECT_EQ(ReadByPython(json, "d['played']"), "[{'artist': 'P0', 'title': 'Q0', 'start': '2026-12-08T19:44:00', "
                                                  "'duration': 200.0}]");
    EXPECT_EQ(ReadByPython(json, "d['clock']['name']"), "Утро");
    EXPECT_EQ(ReadByPython(json, "d['studio']['player']"), "P");
    EXPECT_EQ(ReadByPython(json, "d['studio']['last_data']"), "None");
    // Nothing raw that a strict reader or a page's script could trip on.
    for (const char c : json)
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20) << json;
    EXPECT_EQ(json.find("\xc2\x98"), std::string::npos);
}
#endif

} // namespace
} // namespace kw::live
