// Host-name lookup inside the connect limit: a resolver that never answers (a dead DNS server,
// played here, as no real resolver does it on demand) costs a connect no more than its limit,
// and the FTP client reports it as a connect time-out.
#include "delivery/ftp/FtpClient.h"
#include "platform/NameLookup.h"
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

namespace kw {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A resolver that answers only when released (at most after ten seconds). The lookups it holds
// run on threads the client has given up on: they share its state, so they may still be waking
// up when the test is over.
class TDeadResolver {
public:
    TDeadResolver() {
        net::SetNameLookupForTesting([state = state_](const std::string&, net::TIpv4Endpoint&) {
            std::unique_lock<std::mutex> hold(state->Lock);
            state->Released.wait_for(hold, std::chrono::seconds(10), [&] { return state->Free; });
            return net::TNetStatus{net::TNetStatus::Failed, 1, "no answer"};
        });
    }
    ~TDeadResolver() {
        {
            std::lock_guard<std::mutex> hold(state_->Lock);
            state_->Free = true;
        }
        state_->Released.notify_all();
        net::SetNameLookupForTesting(nullptr);
    }

private:
    struct TState {
        std::mutex Lock;
        std::condition_variable Released;
        bool Free = false;
    };
    std::shared_ptr<TState> state_ = std::make_shared<TState>();
};

TEST(DeadDns, DottedAddressesNeedNoResolver) {
    net::TIpv4Endpoint e;
    ASSERT_TRUE(net::ParseDottedAddress("127.0.0.1", e));
    EXPECT_EQ(e.HostText(), "127.0.0.1");
    ASSERT_TRUE(net::ParseDottedAddress("255.10.0.9", e));
    EXPECT_EQ(e.HostText(), "255.10.0.9");
    for (const char* name : {"", "ftp.example", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1.2.3.4 ", "01.2.3.4", "1..2.3"})
        EXPECT_FALSE(net::ParseDottedAddress(name, e)) << name;
}

TEST(DeadDns, ConnectByNameEndsWithinItsLimit) {
    TDeadResolver dead;
    net::TTcpConnection c;
    const auto start = Clock::now();
    const net::TNetStatus s = c.Connect("ftp.station.example", 21, 300);
    const long long spent = MsSince(start);
    EXPECT_EQ(s.Kind, net::TNetStatus::TimedOut);
    EXPECT_GE(spent, 250);
    EXPECT_LT(spent, 3000) << "the lookup was not bounded by the connect limit";
    EXPECT_FALSE(c.IsOpen());

    // A dotted address never asks the resolver.
    net::TTcpListener listener;
    net::TIpv4Endpoint local{{127, 0, 0, 1}, 0};
    ASSERT_TRUE(listener.Listen(local).ok());
    ASSERT_TRUE(listener.LocalEndpoint(local).ok());
    EXPECT_TRUE(c.Connect("127.0.0.1", local.Port, 2000).ok());
}

TEST(DeadDns, FtpClientReportsAConnectTimeOut) {
    TDeadResolver dead;
    TFtpClient ftp;
    ftp.Host = "ftp.station.example";
    ftp.Timeouts = {400, 1000, 1000};
    const auto start = Clock::now();
    try {
        ftp.Connect();
        ADD_FAILURE() << "connected through a dead resolver";
    } catch (const TFtpError& e) {
        EXPECT_EQ(e.Message().Key, "ConnectTimedOut");
    }
    EXPECT_LT(MsSince(start), 3000);
}

} // namespace
} // namespace kw
