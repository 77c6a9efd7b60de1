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

} // namespace
} // namespace kw::net
