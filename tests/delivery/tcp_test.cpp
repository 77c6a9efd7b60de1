// Contract of the TCP seam, the same on BSD sockets and Winsock.
#include "platform/Tcp.h"
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace kw::net {
namespace {

TIpv4Endpoint Loopback(uint16_t port = 0) { return TIpv4Endpoint{{127, 0, 0, 1}, port}; }

struct Pair {
    TTcpListener listener;
    TTcpConnection client;
    TTcpConnection server;
    Pair() {
        TIpv4Endpoint at = Loopback();
        EXPECT_TRUE(listener.Listen(at).ok());
        EXPECT_TRUE(listener.LocalEndpoint(at).ok());
        EXPECT_NE(at.Port, 0);
        EXPECT_TRUE(client.Connect("127.0.0.1", at.Port, 5000).ok());
        EXPECT_TRUE(listener.Accept(server, 5000).ok());
    }
};

TEST(TcpTest, BytesTravelBothWaysAndCloseIsSeen) {
    Pair p;
    const std::string big(3u << 20, 'z');
    std::thread sender([&] { EXPECT_TRUE(p.client.SendAll(big.data(), big.size(), 5000).ok()); p.client.Close(); });
    std::string got;
    char buf[65536];
    for (;;) {
        size_t n = 0;
        const TNetStatus s = p.server.Receive(buf, sizeof buf, n, 5000);
        if (s.Kind == TNetStatus::Closed)
            break;
        ASSERT_TRUE(s.ok()) << s.Text;
        ASSERT_GT(n, 0u);
        got.append(buf, n);
    }
    sender.join();
    EXPECT_EQ(got, big);
}

TEST(TcpTest, LocalEndpointIsTheLoopbackAddress) {
    Pair p;
    TIpv4Endpoint local;
    ASSERT_TRUE(p.client.LocalEndpoint(local).ok());
    EXPECT_EQ(local.HostText(), "127.0.0.1");
    EXPECT_NE(local.Port, 0);
}

TEST(TcpTest, WaitsEndAtTheirLimit) {
    Pair p;
    char buf[16];
    size_t n = 1;
    EXPECT_EQ(p.server.Receive(buf, sizeof buf, n, 200).Kind, TNetStatus::TimedOut);
    EXPECT_EQ(n, 0u);
    TTcpConnection none;
    EXPECT_EQ(p.listener.Accept(none, 200).Kind, TNetStatus::TimedOut);
    EXPECT_FALSE(none.IsOpen());
}

TEST(TcpTest, RefusedConnectionCarriesTheSystemText) {
    uint16_t port = 0;
    {
        TTcpListener l;
        TIpv4Endpoint at = Loopback();
        ASSERT_TRUE(l.Listen(at).ok());
        ASSERT_TRUE(l.LocalEndpoint(at).ok());
        port = at.Port;
    }
    TTcpConnection c;
    const TNetStatus s = c.Connect(Loopback(port), 5000);
    EXPECT_EQ(s.Kind, TNetStatus::Failed);
    EXPECT_NE(s.Error, 0);
    EXPECT_FALSE(s.Text.empty());
    EXPECT_FALSE(c.IsOpen());
    EXPECT_FALSE(SocketErrorText(s.Error).empty());
}

TEST(TcpTest, UnknownHostAndClosedSocketFail) {
    TTcpConnection c;
    EXPECT_EQ(c.Connect("no-such-host.invalid", 21, 5000).Kind, TNetStatus::Failed);
    char buf[4];
    size_t n = 0;
    EXPECT_EQ(c.Receive(buf, sizeof buf, n, 10).Kind, TNetStatus::Failed);
    EXPECT_EQ(c.SendAll("x", 1, 10).Kind, TNetStatus::Failed);
}

TEST(TcpTest, SendToAPeerThatNeverReadsTimesOut) {
    Pair p;
    const std::string chunk(1u << 20, 'q');
    TNetStatus s;
    for (int i = 0; i < 256 && s.ok(); ++i)
        s = p.client.SendAll(chunk.data(), chunk.size(), 300);
    EXPECT_EQ(s.Kind, TNetStatus::TimedOut);
}

TEST(TcpTest, SendAfterThePeerClosedFails) {
    Pair p;
    p.server.Close();
    const std::string chunk(1u << 16, 'q');
    TNetStatus s;
    for (int i = 0; i < 1000 && s.ok(); ++i)
        s = p.client.SendAll(chunk.data(), chunk.size(), 2000);
    EXPECT_EQ(s.Kind, TNetStatus::Failed);
    EXPECT_FALSE(s.Text.empty());
}

// A server's one thread: many sockets waited on at once, sends that never wait.
TEST(TcpTest, WaitAnyReportsWhichSocketIsReadyAndSendSomeNeverWaits) {
    Pair p;
    TSocketWait w[2] = {{p.listener.NativeHandle(), true}, {p.server.NativeHandle(), true}};
    EXPECT_EQ(WaitAny(w, 2, 100).Kind, TNetStatus::TimedOut);

    ASSERT_TRUE(p.client.SendAll("x", 1, 1000).ok());
    ASSERT_TRUE(WaitAny(w, 2, 5000).ok());
    EXPECT_FALSE(w[0].Readable);
    EXPECT_TRUE(w[1].Readable);

    TTcpConnection second;
    TIpv4Endpoint at;
    ASSERT_TRUE(p.listener.LocalEndpoint(at).ok());
    ASSERT_TRUE(second.Connect(at, 5000).ok());
    w[1].Read = false;
    ASSERT_TRUE(WaitAny(w, 2, 5000).ok());
    EXPECT_TRUE(w[0].Readable);

    // The client never reads: the server's sends fill the window and then take nothing, at once.
    TSocketWait out{p.server.NativeHandle(), false, true};
    ASSERT_TRUE(WaitAny(&out, 1, 1000).ok());
    EXPECT_TRUE(out.Writable);
    const std::string chunk(1u << 16, 'q');
    size_t sent = 1, total = 0;
    for (int i = 0; i < 4096 && sent > 0; ++i) {
        ASSERT_TRUE(p.server.SendSome(chunk.data(), chunk.size(), sent).ok());
        total += sent;
    }
    EXPECT_EQ(sent, 0u);
    EXPECT_GT(total, 0u);
    EXPECT_EQ(WaitAny(&out, 1, 100).Kind, TNetStatus::TimedOut);

    // The peer's close shows as readable.
    p.client.Close();
    TSocketWait in{p.server.NativeHandle(), true};
    ASSERT_TRUE(WaitAny(&in, 1, 5000).ok());
    EXPECT_TRUE(in.Readable);
}

TEST(TcpTest, APortInUseCannotBeTakenButAFreedOneCanAtOnce) {
    TTcpListener first;
    TIpv4Endpoint at = Loopback();
    ASSERT_TRUE(first.Listen(at, 16).ok());
    ASSERT_TRUE(first.LocalEndpoint(at).ok());
    TTcpListener second;
    const TNetStatus s = second.Listen(at, 16);
    EXPECT_EQ(s.Kind, TNetStatus::Failed);
    EXPECT_FALSE(s.Text.empty());
    {  // a connection of the first listener's, closed by us first, leaves TIME_WAIT behind
        TTcpConnection c, a;
        ASSERT_TRUE(c.Connect(at, 5000).ok());
        ASSERT_TRUE(first.Accept(a, 5000).ok());
        a.Close();
    }
    first.Close();
    EXPECT_TRUE(second.Listen(at, 16).ok());
}

} // namespace
} // namespace kw::net
