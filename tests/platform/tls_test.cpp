// Contract of the TLS seam against real TLS peers on 127.0.0.1 (OpenSSL natively, SChannel under
// Wine): handshake and certificate checks, bounded waits, orderly close, session reuse.
#include "platform/Tls.h"
#include "TlsTestServer.h"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

namespace kw::net {
namespace {

bool RunsOnWine() {
#ifdef _WIN32
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
#else
    return false;
#endif
}

test::TTlsTestServer& Server() {
    static test::TTlsTestServer server;
    return server;
}

class TlsTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        // The test's own certificate stands for the system's trust store.
        static const bool trusted = setenv("SSL_CERT_FILE", Server().File("good.pem").c_str(), 1) == 0;
        ASSERT_TRUE(trusted);
#endif
        ASSERT_TRUE(Server().Ok()) << "the TLS test server did not start";
    }

    static TNetStatus Open(TTlsStream& tls, const std::string& peer, const TTlsPeerCheck& check,
                           const TTlsStream* resumeFrom = nullptr, int timeoutMs = 5000) {
        TTcpConnection tcp;
        const TNetStatus s = tcp.Connect("127.0.0.1", Server().Port(peer), 5000);
        if (!s.ok())
            return s;
        return tls.Handshake(std::move(tcp), check, timeoutMs, resumeFrom);
    }

    static TTlsPeerCheck Pinned(const std::string& sha) { return {"127.0.0.1", sha}; }

    // Reads until `want` bytes arrived or the stream ends.
    static std::string ReadSome(TTlsStream& tls, size_t want, TNetStatus& last) {
        std::string got;
        char buf[65536];
        while (got.size() < want) {
            size_t n = 0;
            last = tls.Receive(buf, sizeof buf, n, 5000);
            if (!last.ok())
                break;
            got.append(buf, n);
        }
        return got;
    }
};

TEST_F(TlsTest, PinnedCertificateCarriesBytesBothWaysAndEndsInOrder) {
    TTlsStream tls;
    const std::string upper = Server().Fingerprint("good");
    std::string spaced;
    for (size_t i = 0; i < upper.size(); i += 2)
        spaced += (i ? ":" : "") + upper.substr(i, 2);
    ASSERT_TRUE(Open(tls, "good", Pinned(spaced)).ok());
    EXPECT_EQ(tls.PeerSha256(), Server().Fingerprint("good"));
    TNetStatus last;
    EXPECT_EQ(ReadSome(tls, 10, last), "resumed=0\n");
    const std::string big(2u << 20, 'k');
    ASSERT_TRUE(tls.SendAll(big.data(), big.size(), 5000).ok());
    EXPECT_EQ(ReadSome(tls, big.size(), last), big);
    ASSERT_TRUE(tls.SendAll("tail bye\n", 9, 5000).ok());
    EXPECT_EQ(ReadSome(tls, 100, last), "tail ");
    EXPECT_EQ(last.Kind, TNetStatus::Closed);  // the server's close alert, not a failure
    tls.Close();
    EXPECT_FALSE(tls.IsOpen());
}

#ifndef _WIN32
// Under Wine the test certificate is in no trust store; there the pinned checks stand for it.
TEST_F(TlsTest, TrustStoreAndNameAcceptTheRightServerOnly) {
    TTlsStream tls;
    EXPECT_TRUE(Open(tls, "good", {"localhost", ""}).ok());
    EXPECT_TRUE(Open(tls, "good", {"127.0.0.1", ""}).ok());
    const TNetStatus wrongName = Open(tls, "good", {"other.invalid", ""});
    EXPECT_EQ(wrongName.Kind, TNetStatus::Failed);
    EXPECT_EQ(wrongName.Key, "CertificateRefused") << wrongName.Text;
    EXPECT_EQ(tls.PeerSha256(), Server().Fingerprint("good"));  // shown so the user can trust it
    EXPECT_FALSE(tls.IsOpen());
}
#endif

TEST_F(TlsTest, RefusedCertificatesKeepTheirFingerprint) {
    for (const char* peer : {"wrongname", "expired"}) {
        TTlsStream tls;
        const TNetStatus s = Open(tls, peer, {"localhost", ""});
        EXPECT_EQ(s.Kind, TNetStatus::Failed) << peer;
        EXPECT_EQ(s.Key, "CertificateRefused") << peer;
        EXPECT_FALSE(s.Text.empty()) << peer;
        EXPECT_EQ(tls.PeerSha256(), Server().Fingerprint(peer)) << peer;
        EXPECT_FALSE(tls.IsOpen()) << peer;
    }
    TTlsStream tls;
    const TNetStatus wrongPin = Open(tls, "good", Pinned(Server().Fingerprint("expired")));
    EXPECT_EQ(wrongPin.Kind, TNetStatus::Failed);
    EXPECT_EQ(tls.PeerSha256(), Server().Fingerprint("good"));
    EXPECT_EQ(Open(tls, "good", Pinned("12:34")).Kind, TNetStatus::Failed);
}

TEST_F(TlsTest, AServerWithNothingNewerThanTls11IsRefused) {
    TTlsStream tls;
    const TNetStatus s = Open(tls, "old", Pinned(Server().Fingerprint("good")));
    EXPECT_EQ(s.Kind, TNetStatus::Failed) << s.Text;
    std::printf("TLS 1.1-only server: %s\n", s.Text.c_str());
    EXPECT_FALSE(tls.IsOpen());
    EXPECT_TRUE(Open(tls, "good", Pinned(Server().Fingerprint("good"))).ok());  // the same certificate, TLS 1.2+
}

TEST_F(TlsTest, StalledHandshakeEndsAtItsLimit) {
    TTlsStream tls;
    const auto start = std::chrono::steady_clock::now();
    const TNetStatus s = Open(tls, "stall", Pinned(Server().Fingerprint("good")), nullptr, 300);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(s.Kind, TNetStatus::TimedOut);
    EXPECT_LT(took, std::chrono::seconds(5));  // a bound, not a measurement
    EXPECT_FALSE(tls.IsOpen());
}

TEST_F(TlsTest, ReceiveWaitEndsAtItsLimitAndTheStreamGoesOn) {
    TTlsStream tls;
    ASSERT_TRUE(Open(tls, "good", Pinned(Server().Fingerprint("good"))).ok());
    TNetStatus last;
    ReadSome(tls, 10, last);
    char buf[16];
    size_t n = 1;
    EXPECT_EQ(tls.Receive(buf, sizeof buf, n, 200).Kind, TNetStatus::TimedOut);
    EXPECT_EQ(n, 0u);
    ASSERT_TRUE(tls.SendAll("x", 1, 5000).ok());
    EXPECT_EQ(ReadSome(tls, 1, last), "x");
}

TEST_F(TlsTest, SecondConnectionReusesTheFirstOnesSession) {
    const TTlsPeerCheck check = Pinned(Server().Fingerprint("good"));
    TTlsStream control;
    ASSERT_TRUE(Open(control, "good", check).ok());
    TNetStatus last;
    EXPECT_EQ(ReadSome(control, 10, last), "resumed=0\n");  // also takes the session ticket in
    TTlsStream data;
    ASSERT_TRUE(Open(data, "good", check, &control).ok());
    // Wine's SChannel (GnuTLS) resumes no session; Windows' offers its cached one by itself.
    // Either way the stream says what the server saw.
    if (!RunsOnWine()) {
        EXPECT_TRUE(data.Resumed());
    }
    EXPECT_EQ(ReadSome(data, 10, last), data.Resumed() ? "resumed=1\n" : "resumed=0\n");
    TTlsStream fresh;
    ASSERT_TRUE(Open(fresh, "good", check).ok());
    EXPECT_FALSE(fresh.Resumed());
}

TEST(TlsTextTest, FingerprintTextIsNormalized) {
    const std::string hex(64, 'a');
    EXPECT_EQ(NormalizeSha256Text(std::string(64, 'A')), hex);
    std::string colons;
    for (int i = 0; i < 32; ++i)
        colons += (i ? ":" : "") + std::string("aa");
    EXPECT_EQ(NormalizeSha256Text(colons), hex);
    EXPECT_EQ(NormalizeSha256Text(hex + "a"), "");
    EXPECT_EQ(NormalizeSha256Text(std::string(63, 'a') + "g"), "");
    EXPECT_EQ(NormalizeSha256Text(""), "");
}

TEST(TlsTextTest, ClosedStreamRefusesCalls) {
    TTlsStream tls;
    char buf[4];
    size_t n = 1;
    EXPECT_EQ(tls.Receive(buf, sizeof buf, n, 10).Kind, TNetStatus::Failed);
    EXPECT_EQ(tls.SendAll("x", 1, 10).Kind, TNetStatus::Failed);
    TTlsStream moved(std::move(tls));
    EXPECT_FALSE(moved.IsOpen());
    tls.Close();  // a moved-from stream closes quietly
}

} // namespace
} // namespace kw::net

// Under Wine, in the parallel Windows stage, this program was seen to pass all its tests and
// then not end at all: the hang is in the process's own teardown (the system's TLS library
// unloading), after every test has reported. The results are out, so the program ends there
// rather than run into ctest's time limit. The program's own exit is tested by the end-to-end
// FTPS test with KWPAGE.exe.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
#ifdef _WIN32
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
#endif
    return result;
}

