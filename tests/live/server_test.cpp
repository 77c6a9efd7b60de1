// The live server with real peers: clients on the TCP seam (as browsers and overlays connect),
// and natively curl, whose -N output is what a proxy or a script would see.
#include "live/LiveServer.h"
#include "live/SendQueue.h"
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace kw::live {
namespace {

using namespace std::chrono_literals;
using net::TNetStatus;
using net::TTcpConnection;

TBytes Bytes(const std::string& s) { return std::make_shared<const std::string>(s); }

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct TServer {
    TLiveServer Server;
    TServer(TLiveOptions options = {}) {
        options.Port = 0;
        const TNetStatus s = Server.Start(options);
        EXPECT_TRUE(s.ok()) << s.Text;
        Server.SetWorks({{"File1", "text/html; charset=koi8-r"}, {"File2", "text/plain; charset=utf-8"}});
    }
    uint16_t Port() const { return Server.Port(); }
};

TTcpConnection Connect(uint16_t port) {
    TTcpConnection c;
    EXPECT_TRUE(c.Connect(net::TIpv4Endpoint{{127, 0, 0, 1}, port}, 5000).ok());
    return c;
}

// Everything the server sends until it closes, within `limitMs`; `closed` tells whether it did.
std::string ReadToClose(TTcpConnection& c, int limitMs, bool* closed = nullptr) {
    std::string all;
    const int64_t end = NowMs() + limitMs;
    char buf[65536];
    for (;;) {
        const int64_t left = end - NowMs();
        size_t n = 0;
        const TNetStatus s = left > 0 ? c.Receive(buf, sizeof buf, n, static_cast<int>(left)) : TNetStatus(TNetStatus::TimedOut);
        if (!s.ok()) {
            if (closed)
                *closed = s.Kind != TNetStatus::TimedOut;
            return all;
        }
        all.append(buf, n);
    }
}

std::string Exchange(uint16_t port, const std::string& request, bool* closed = nullptr, int limitMs = 5000) {
    TTcpConnection c = Connect(port);
    EXPECT_TRUE(c.SendAll(request.data(), request.size(), 5000).ok());
    return ReadToClose(c, limitMs, closed);
}

std::string Get(uint16_t port, const std::string& target) {
    return Exchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

std::string StatusLine(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }
std::string Body(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

TEST(LiveServerTest, ServesOnlyLiveWorksPagesWithTheirTypeAndTheDocument) {
    TServer t;
    EXPECT_EQ(StatusLine(Get(t.Port(), "/works/File1")), "HTTP/1.1 404 Not Found");  // not written yet
    t.Server.PublishPage("File1", Bytes("<p>\xf0\xc5\xd3\xce\xd1</p>"));
    t.Server.PublishPage("File9", Bytes("not live"));
    std::string a = Get(t.Port(), "/works/file1");  // section names compare without case
    EXPECT_EQ(StatusLine(a), "HTTP/1.1 200 OK");
    EXPECT_NE(a.find("\r\nContent-Type: text/html; charset=koi8-r\r\n"), std::string::npos);
    EXPECT_EQ(Body(a), "<p>\xf0\xc5\xd3\xce\xd1</p>");
    EXPECT_EQ(StatusLine(Get(t.Port(), "/works/File9")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(StatusLine(Get(t.Port(), "/nowplaying.json")), "HTTP/1.1 404 Not Found");
    t.Server.PublishState(Bytes("{\"version\":1}"));
    a = Get(t.Port(), "/nowplaying.json");
    EXPECT_NE(a.find("Content-Type: application/json; charset=utf-8"), std::string::npos);
    EXPECT_EQ(Body(a), "{\"version\":1}");
    a = Get(t.Port(), "/live.js");
    EXPECT_NE(a.find("Content-Type: text/javascript"), std::string::npos);
    EXPECT_NE(Body(a).find("EventSource"), std::string::npos);
    for (const std::string target : {"/works/File1", "/works/File1/events", "/nowplaying/events"}) {
        bool closed = false;
        a = Exchange(t.Port(), "HEAD " + target + " HTTP/1.1\r\n\r\n", &closed);
        EXPECT_EQ(StatusLine(a), "HTTP/1.1 200 OK") << target;
        EXPECT_EQ(Body(a), "") << target;
        EXPECT_TRUE(closed) << target;
    }
    // A work no longer served is gone at once; one that stays keeps its page.
    t.Server.SetWorks({{"File2", "text/plain"}});
    EXPECT_EQ(StatusLine(Get(t.Port(), "/works/File1")), "HTTP/1.1 404 Not Found");
}

TEST(LiveServerTest, HostileRequestsGetTheir4xxOrAreClosedInBound) {
    TLiveOptions options;
    options.RequestMs = 1000;
    options.MaxClients = 8;
    std::vector<std::string> logged;
    std::mutex lock;
    TLiveServer server([&](const TMessage& m) {
        std::lock_guard<std::mutex> l(lock);
        logged.push_back(TextOf(m));
    });
    options.Port = 0;
    ASSERT_TRUE(server.Start(options).ok());
    server.SetWorks({{"File1", "text/html"}});
    server.PublishPage("File1", Bytes("page"));
    const uint16_t port = server.Port();

    bool closed = false;
    std::string a = Exchange(port, "GET /works/File1 HTTP/1.1\r\nX: " + std::string(64 * 1024, 'h') + "\r\n\r\n", &closed);
    EXPECT_EQ(StatusLine(a), "HTTP/1.1 431 Request Header Fields Too Large");
    EXPECT_TRUE(closed);
    EXPECT_EQ(StatusLine(Get(port, "/works/../../etc/passwd")), "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(StatusLine(Get(port, "/works/%2e%2e%2fFile1")), "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(StatusLine(Get(port, "/works/NoSuchWork")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(StatusLine(Get(port, "/works/File1/x/events")), "HTTP/1.1 404 Not Found");
    a = Exchange(port, "POST /works/File1 HTTP/1.1\r\nContent-Length: 4\r\n\r\nabcd");
    EXPECT_EQ(StatusLine(a), "HTTP/1.1 405 Method Not Allowed");
    // Pipelined: the first request is answered and the connection closed; the junk is not read as
    // a request.
    a = Exchange(port, "GET /works/File1 HTTP/1.1\r\n\r\nGET /works/File1 HTTP/1.1\r\n\r\n\x01\x02junk", &closed);
    EXPECT_EQ(Body(a), "page");
    EXPECT_TRUE(closed);

    // One byte at a time: the request time ends it with 408; one that says nothing is closed.
    {
        TTcpConnection slow = Connect(port);
        const int64_t start = NowMs();
        const std::string request = "GET /works/File1 HTTP/1.1\r\n";
        std::string answer;
        for (size_t i = 0; i < request.size() && answer.empty(); ++i) {
            (void)slow.SendAll(&request[i], 1, 1000);
            answer = ReadToClose(slow, 200, &closed);
        }
        answer += ReadToClose(slow, 3000, &closed);
        EXPECT_EQ(StatusLine(answer), "HTTP/1.1 408 Request Timeout");
        EXPECT_TRUE(closed);
        EXPECT_LT(NowMs() - start, 4000);
        TTcpConnection silent = Connect(port);
        EXPECT_EQ(ReadToClose(silent, 4000, &closed), "");
        EXPECT_TRUE(closed);
    }
    // More clients than the limit: the one too many hears 503.
    {
        std::vector<TTcpConnection> held;
        for (int i = 0; i < 8; ++i)
            held.push_back(Connect(port));
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(StatusLine(Get(port, "/works/File1")), "HTTP/1.1 503 Service Unavailable");
    }
    std::lock_guard<std::mutex> l(lock);
    EXPECT_EQ(logged.size(), 1u) << "bad requests of one address are logged once a minute";
    if (!logged.empty()) {
        EXPECT_NE(logged[0].find("127.0.0.1"), std::string::npos) << logged[0];
    }
}

TEST(LiveServerTest, OpenToOtherComputersEveryUrlNeedsTheKey) {
    TLiveOptions options;
    options.OtherComputers = true;
    options.AccessKey = "k3yK3yk3y";
    TServer t(options);
    t.Server.PublishPage("File1", Bytes("page"));
    t.Server.PublishState(Bytes("{}"));
    for (const std::string target : {"/works/File1", "/works/File1/events", "/nowplaying.json", "/live.js",
                                     "/works/File1?key=k3yK3yk3", "/works/File1?key=k3yK3yk3y0", "/nosuch"})
        EXPECT_EQ(StatusLine(Get(t.Port(), target)), "HTTP/1.1 403 Forbidden") << target;
    EXPECT_EQ(Body(Get(t.Port(), "/works/File1?v=2&key=k3yK3yk3y")), "page");
}

TEST(LiveServerTest, APortInUseFailsAndTheServerCanBeSwitchedOffAndOnWithClientsConnected) {
    TServer t;
    TLiveServer second;
    TLiveOptions same;
    same.Port = t.Port();
    const TNetStatus s = second.Start(same);
    EXPECT_EQ(s.Kind, TNetStatus::Failed);
    EXPECT_FALSE(s.Text.empty());
    EXPECT_FALSE(second.Running());

    t.Server.PublishPage("File1", Bytes("one"));
    TTcpConnection follower = Connect(t.Port());
    const std::string ask = "GET /works/File1/events HTTP/1.1\r\n\r\n";
    ASSERT_TRUE(follower.SendAll(ask.data(), ask.size(), 1000).ok());
    EXPECT_NE(ReadToClose(follower, 500).find("data: 1\n"), std::string::npos);
    t.Server.Stop();
    bool closed = false;
    ReadToClose(follower, 3000, &closed);
    EXPECT_TRUE(closed);
    t.Server.PublishPage("File1", Bytes("two"));  // while off: served after the start
    ASSERT_TRUE(t.Server.Start(same).ok());
    EXPECT_EQ(Body(Get(t.Port(), "/works/File1")), "two");
}

// Many followers, one of them never reading: every reader gets every update in order, the
// stalled one is dropped once its queue passes its bound, and idle streams get heartbeats.
TEST(LiveServerTest, EveryReadingFollowerGetsEveryUpdateAndAStalledOneIsDropped) {
    TLiveOptions options;
    options.QueueBytes = 32 * 1024;
    options.HeartbeatMs = 300;
    TServer t(options);
    constexpr int Followers = 200, Updates = 20;
    std::string state(1000, 'x');
    t.Server.PublishState(Bytes(state));
    std::vector<TTcpConnection> clients;
    const std::string ask = "GET /nowplaying/events HTTP/1.1\r\n\r\n";
    for (int i = 0; i < Followers; ++i) {
        clients.push_back(Connect(t.Port()));
        ASSERT_TRUE(clients.back().SendAll(ask.data(), ask.size(), 1000).ok());
    }
    std::vector<std::string> seen(Followers);
    auto readAll = [&](int untilMs, auto done) {
        const int64_t end = NowMs() + untilMs;
        std::vector<net::TSocketWait> waits;
        while (NowMs() < end && !done()) {
            waits.clear();
            for (int i = 1; i < Followers; ++i)  // follower 0 never reads
                waits.push_back({clients[i].NativeHandle(), true});
            if (!net::WaitAny(waits.data(), waits.size(), 100).ok())
                continue;
            for (int i = 1; i < Followers; ++i) {
                if (!waits[i - 1].Readable)
                    continue;
                char buf[65536];
                size_t n = 0;
                if (clients[i].Receive(buf, sizeof buf, n, 0).ok())
                    seen[i].append(buf, n);
            }
        }
    };
    auto allSaw = [&](const std::string& mark) {
        return [&, mark] {
            for (int i = 1; i < Followers; ++i)
                if (seen[i].find(mark) == std::string::npos)
                    return false;
            return true;
        };
    };
    readAll(20000, allSaw("id: 1\n"));
    for (int u = 2; u <= Updates; ++u) {
        state[0] = static_cast<char>('a' + u);
        t.Server.PublishState(Bytes(state));
        std::this_thread::sleep_for(20ms);
    }
    readAll(20000, allSaw("id: " + std::to_string(Updates) + "\n"));
    for (int i = 1; i < Followers; ++i) {
        size_t at = 0;
        for (int u = 1; u <= Updates; ++u) {
            at = seen[i].find("id: " + std::to_string(u) + "\n", at);
            ASSERT_NE(at, std::string::npos) << "follower " << i << " missed update " << u;
        }
    }
    EXPECT_EQ(t.Server.ClientCount(), static_cast<size_t>(Followers));

    // The stalled follower: the system's buffers take a few megabytes, then our queue's bound.
    // Two readers stay to show they are not held up.
    clients.resize(3);
    seen.assign(3, std::string());
    state.assign(4000, 'y');
    for (int u = 0; u < 20000 && t.Server.ClientCount() > 2; ++u) {
        state[1] = static_cast<char>('a' + u % 26);
        t.Server.PublishState(Bytes(state));
        for (int i = 1; i < 3; ++i) {
            char buf[65536];
            size_t n = 0;
            while (clients[i].Receive(buf, sizeof buf, n, 0).ok())
                seen[i].clear();
        }
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(t.Server.ClientCount(), 2u) << "the stalled follower is dropped, the readers stay";
    // Idle readers get heartbeats.
    seen.assign(3, std::string());
    const int64_t end = NowMs() + 3000;
    while (NowMs() < end && seen[1].find(":\n\n") == std::string::npos) {
        char buf[4096];
        size_t n = 0;
        if (clients[1].Receive(buf, sizeof buf, n, 100).ok())
            seen[1].append(buf, n);
    }
    EXPECT_NE(seen[1].find(":\n\n"), std::string::npos);
}

// A slow follower's queue is sent in parts while new events come: first in, first out, through
// every compaction of what was sent.
TEST(LiveServerTest, AClientsQueueKeepsItsOrderWhileSentInPartsAndRefilled) {
    TSendQueue queue;
    int pushed = 0, popped = 0;
    auto pop = [&] {
        ASSERT_EQ(*queue.front(), std::to_string(popped++));
        queue.pop_front();
    };
    for (int round = 0; round < 50; ++round) {
        for (int i = 0; i < 97; ++i)
            queue.push_back(Bytes(std::to_string(pushed++)));
        for (int i = 0; i < 60 + round % 40 && !queue.empty(); ++i)
            pop();
    }
    while (!queue.empty())
        pop();
    EXPECT_EQ(popped, pushed);
}

#ifndef _WIN32
// curl -N, as a proxy or a shell script follows the stream, sees each write of the page.
TEST(LiveServerTest, CurlOnTheEventStreamSeesEachWrite) {
    TServer t;
    t.Server.PublishPage("File2", Bytes("first"));
    const std::string command = "curl -N -s --max-time 8 http://127.0.0.1:" + std::to_string(t.Port()) +
                                "/works/File2/events";
    FILE* curl = popen(command.c_str(), "r");
    ASSERT_NE(curl, nullptr);
    std::string out;
    std::thread reader([&] {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, 1, curl)) > 0) {
            out.append(buf, n);
            if (out.find("id: 6\n") != std::string::npos && out.find("\n\n", out.find("id: 6\n")) != std::string::npos)
                break;
        }
    });
    for (int i = 0; i < 50 && t.Server.ClientCount() == 0; ++i)
        std::this_thread::sleep_for(50ms);
    std::this_thread::sleep_for(200ms);
    for (int i = 2; i <= 6; ++i) {
        t.Server.PublishPage("File2", Bytes("page " + std::to_string(i)));
        std::this_thread::sleep_for(100ms);
    }
    reader.join();
    t.Server.Stop();
    pclose(curl);
    for (int i = 1; i <= 6; ++i)
        EXPECT_NE(out.find("event: updated\nid: " + std::to_string(i) + "\ndata: " + std::to_string(i) + "\n\n"),
                  std::string::npos)
            << out;
}
#endif

} // namespace
} // namespace kw::live
