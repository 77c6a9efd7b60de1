// FTP over TLS against real servers on 127.0.0.1 (vsftpd demanding TLS and session reuse,
// pyftpdlib's TLS handler), and the refusals: a certificate that is not trusted, a server
// without TLS, a handshake that stalls. Nothing may go out in clear but "AUTH TLS".
#include "FakeFtpServer.h"
#include "FtpTestServers.h"
#include "RenderedUpload.h"
#include "tests/support/ShippedMessages.h"
#include "ui/FtpBrowser.h"
#include "delivery/ftp/FtpClient.h"
#include "platform/Cp1251.h"
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>

namespace kw {
namespace {

// The failures read as the English program shows them.
const auto* const kEnglish = ::testing::AddGlobalTestEnvironment(new kw::test::TEnglishMessages);

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TRealFtpServer;

const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2.html";  // "Привет.html"
const std::string kPapka1251 = "\xCF\xE0\xEF\xEA\xE0";            // "Папка"

fs::path Utf8Path(const fs::path& dir, const std::string& utf8) {
    return dir / fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

// Byte-identical, without printing megabytes when not.
::testing::AssertionResult SameBytes(const std::string& stored, const std::string& page) {
    if (stored == page)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "stored " << stored.size() << " bytes, the page has " << page.size();
}

std::string Fingerprint(const TRealFtpServer& s, const std::string& name) {
    std::ifstream in(s.Dir() + "/certs/fingerprints");
    std::string n, v;
    while (in >> n >> v)
        if (n == name)
            return v;
    return {};
}

class FtpsTest : public ::testing::Test {
protected:
    static void TearDownTestSuite() { servers.clear(); }
    static TRealFtpServer& Server(const std::string& kind) {
        auto& s = servers[kind];
        if (!s)
            s = std::make_unique<TRealFtpServer>(kind);
        return *s;
    }
    static std::map<std::string, std::unique_ptr<TRealFtpServer>> servers;

    void SetUp() override {
        SetDefaultFtpTimeouts({10000, 10000, 10000});
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const fs::path base = fs::temp_directory_path() / ("kwftps_" + test);
        templateFile = base.string() + ".tpl";
        local = base.string() + ".html";
        std::string bytes;
        for (int i = 0; i < 200000; ++i)
            bytes += static_cast<char>('a' + i * 7 % 26);
        std::ofstream(templateFile, std::ios::binary) << bytes;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove(local, ec);
        fs::remove(templateFile, ec);
    }

    TWorkConfig Config(const TRealFtpServer& server, bool vs) const {
        TWorkConfig c;
        c.FileIn = templateFile;
        c.FileOut = local;
        c.FTP.Use = true;
        c.FTP.Server = "127.0.0.1";
        c.FTP.Port = server.Port();
        c.FTP.Passive = true;
        c.FTP.Login = vs ? "anonymous" : "kw";
        c.FTP.Password = vs ? "kw@example" : "secret";
        c.FTP.Folder = vs ? "/incoming" : "/";
        c.FTP.RemoteName = "index.html";
        c.FTP.Tls = true;
        c.FTP.TlsSha256 = Fingerprint(server, "good");
        return c;
    }

    void ExpectUploaded(const TWorkConfig& c) {
        const std::string text = render.Render(work, c);
        ASSERT_GE(text.size(), 22u);
        EXPECT_EQ(text.substr(text.size() - 7), " (FTPS)") << text;
        EXPECT_EQ(work->Show.Tone(), TStatusTone::Normal);
    }
    // Renders and expects a red status; its text.
    std::string ExpectRefused(const TWorkConfig& c) {
        const std::string text = render.Render(work, c);
        EXPECT_NE(work->Show.Tone(), TStatusTone::Normal) << text;
        return text;
    }

    std::string templateFile, local;
    test::TRenderedUpload render;
    TWorkPtr work = std::make_shared<TWorkData>();
};

std::map<std::string, std::unique_ptr<TRealFtpServer>> FtpsTest::servers;

#define REQUIRE_SERVER(s) \
    if (!(s).Ok())        \
    GTEST_FAIL() << "the FTP server could not be started"

// The lines of the server's command log.
std::vector<std::string> LogLines(const TRealFtpServer& s) {
    std::ifstream in(s.Dir() + "/commands");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Natively vsftpd demands that data connections reuse the control connection's TLS session.
// Wine's SChannel resumes no session (Windows' does), so under Wine the server does not demand it.
#ifdef _WIN32
const char* const VsftpdTls = "vsftpd-tls-noreuse";
#else
const char* const VsftpdTls = "vsftpd-tls";
#endif

TEST_F(FtpsTest, VsftpdStoresPassiveAndActiveAndWindows1251Names) {
    TRealFtpServer& s = Server(VsftpdTls);
    REQUIRE_SERVER(s);
    TWorkConfig c = Config(s, true);
    ExpectUploaded(c);
    EXPECT_TRUE(SameBytes(ReadWholeFile(fs::path(s.Root()) / "incoming" / "index.html"), ReadWholeFile(local)));
    c.FTP.Passive = false;
    c.FTP.RemoteName = kPrivet1251;  // vsftpd keeps the bytes as sent
    ExpectUploaded(c);
#ifdef _WIN32
    // Wine cannot open a Linux name that is not UTF-8: the server's own listing shows it.
    TFtpClient client;
    client.Host = "127.0.0.1";
    client.Port = s.Port();
    client.Username = "anonymous";
    client.Password = "kw@example";
    client.UseTls = true;
    client.TrustedSha256 = c.FTP.TlsSha256;
    client.Connect();
    client.ChangeDir("/incoming");
    EXPECT_NE(client.List().find(kPrivet1251), std::string::npos);
    client.Disconnect();
#else
    EXPECT_TRUE(SameBytes(ReadWholeFile(fs::path(s.Root()) / "incoming" / kPrivet1251), ReadWholeFile(local)));
    // The server's protocol log: every session asked for TLS before it logged in.
    bool sawAuth = false, sawUser = false;
    for (const std::string& line : LogLines(s)) {
        if (line.find("\"AUTH TLS\"") != std::string::npos)
            sawAuth = true;
        if (line.find("\"USER ") != std::string::npos) {
            sawUser = true;
            EXPECT_TRUE(sawAuth) << line;
        }
    }
    EXPECT_TRUE(sawUser);
#endif
}

TEST_F(FtpsTest, PyftpdlibStoresUtf8NamesAndBrowsesOverTls) {
    TRealFtpServer& s = Server("pyftpdlib-tls");
    REQUIRE_SERVER(s);
    const fs::path folder = Utf8Path(fs::path(s.Root()) / "site", Cp1251ToUtf8(kPapka1251));
    fs::create_directories(folder);
    TWorkConfig c = Config(s, false);
    c.FTP.UTF8 = true;
    c.FTP.Folder = "/site/" + kPapka1251;
    c.FTP.RemoteName = kPrivet1251;
    for (const bool passive : {true, false}) {
        c.FTP.Passive = passive;
        fs::remove(Utf8Path(folder, Cp1251ToUtf8(kPrivet1251)));
        ExpectUploaded(c);
        EXPECT_TRUE(SameBytes(ReadWholeFile(Utf8Path(folder, Cp1251ToUtf8(kPrivet1251))), ReadWholeFile(local))) << passive;
    }

    TFtpClient client;
    client.Host = "127.0.0.1";
    client.Port = s.Port();
    client.Username = "kw";
    client.Password = "secret";
    client.UseTls = true;
    client.TrustedSha256 = c.FTP.TlsSha256;
    for (const bool passive : {true, false}) {
        client.Passive = passive;
        client.Connect();
        client.ChangeDir("/site/" + Cp1251ToUtf8(kPapka1251));
        EXPECT_NE(client.List().find(Cp1251ToUtf8(kPrivet1251)), std::string::npos) << passive;
        client.Disconnect();
    }
    // Only "AUTH TLS" ever arrived in clear.
    const std::vector<std::string> log = LogLines(s);
    ASSERT_FALSE(log.empty());
    for (const std::string& line : log) {
        if (line.rfind("clear ", 0) == 0) {
            EXPECT_EQ(line, "clear AUTH") << "sent in clear";
        }
    }
}

// The folder browser's view as a person would use it: one double-click, then OK.
class OneClickView : public IFtpFolderView {
public:
    std::string Into;
    std::vector<std::string> Folders, Errors;
    void ShowCurrentFolder(const std::string&) override {}
    void ShowFolders(const std::vector<std::string>& f) override { Folders = f; }
    void ShowFiles(const std::vector<TFtpFileRow>&) override {}
    void FitColumns(const std::vector<int>&) override {}
    bool SelectedFolder(std::string& text) override {
        text = Into;
        return true;
    }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    int ShowModal(TFtpFolderBrowser& browser) override {
        browser.LBFoldersListBoxDblClick();
        return 1;
    }
};

TEST_F(FtpsTest, FolderBrowserWalksAUtf8ServerOverTls) {
    TRealFtpServer& s = Server("pyftpdlib-tls");
    REQUIRE_SERVER(s);
    fs::create_directories(Utf8Path(fs::path(s.Root()) / "walk", Cp1251ToUtf8(kPapka1251)));
    TFTPUse ftp = Config(s, false).FTP;
    ftp.UTF8 = true;
    ftp.Folder = "/walk";
    OneClickView view;
    view.Into = kPapka1251;
    EXPECT_EQ(SelectFtpFolder(ftp, view), "/walk/" + kPapka1251);
    EXPECT_TRUE(view.Errors.empty()) << view.Errors.front();

    ftp.TlsSha256 = Fingerprint(s, "wrongname");  // refused: the error box names the real one
    OneClickView refused;
    refused.Into = kPapka1251;
    SelectFtpFolder(ftp, refused);
    ASSERT_FALSE(refused.Errors.empty());
    EXPECT_NE(refused.Errors.front().find(Fingerprint(s, "good")), std::string::npos) << refused.Errors.front();
}

TEST_F(FtpsTest, UntrustedCertificateIsRefusedAndShowsItsFingerprint) {
    TRealFtpServer& s = Server("pyftpdlib-tls");
    REQUIRE_SERVER(s);
    const size_t logBefore = LogLines(s).size();
    TWorkConfig c = Config(s, false);
    c.FTP.TlsSha256 = Fingerprint(s, "expired");  // some other certificate
    const std::string wrongPin = ExpectRefused(c);
    EXPECT_NE(wrongPin.find(Fingerprint(s, "good")), std::string::npos) << wrongPin;
#ifndef _WIN32
    // No pin: the system's trust store, which does not know the test's certificate.
    c.FTP.TlsSha256.clear();
    const std::string untrusted = ExpectRefused(c);
    EXPECT_NE(untrusted.find(Fingerprint(s, "good")), std::string::npos) << untrusted;
#endif
    const std::vector<std::string> log = LogLines(s);
    for (size_t i = logBefore; i < log.size(); ++i)
        EXPECT_EQ(log[i], "clear AUTH") << "nothing but AUTH TLS before the certificate is accepted";
}

TEST_F(FtpsTest, ServerWithoutTlsIsAnErrorNeverClearText) {
    test::TFakeFtpServer server([](test::TFakeSession& s) {
        s.Reply("220 plain only");
        s.Command();
        s.Reply("500 AUTH not understood");
        s.Command();  // the client hangs up: nothing more arrives
    });
    TFtpClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Username = "kw";
    client.Password = "secret";
    client.UseTls = true;
    try {
        client.Connect();
        ADD_FAILURE() << "connected without TLS";
    } catch (const TFtpError& e) {
        EXPECT_EQ(e.Message().Key, "FtpNoTls") << e.what();
        ASSERT_EQ(e.Message().Args.size(), 1u);
        EXPECT_EQ(e.Message().Args[0].Text.rfind("5", 0), 0u) << "the server's own reply";
    }
    EXPECT_FALSE(client.Connected());
    server.Join();
    EXPECT_EQ(server.Commands(), (std::vector<std::string>{"AUTH TLS"}));
}

TEST_F(FtpsTest, StalledHandshakeAndSmuggledRepliesEndRedWithinTheBound) {
    TFtpClient client;
    client.Host = "127.0.0.1";
    client.Username = "kw";
    client.Password = "secret";
    client.UseTls = true;
    client.Timeouts = {2000, 500, 500};
    {
        test::TFakeFtpServer stall([](test::TFakeSession& s) {
            s.Reply("220 ready");
            s.Command();
            s.Reply("234 go ahead");
            // Takes the ClientHello and answers nothing until the client gives up.
            char buf[4096];
            size_t got = 0;
            while (s.Control.Receive(buf, sizeof buf, got, test::TFakeSession::WaitMs).ok()) {
            }
        });
        client.Port = stall.Port();
        const auto start = std::chrono::steady_clock::now();
        try {
            client.Connect();
            ADD_FAILURE() << "connected through a stalled handshake";
        } catch (const TFtpError& e) {
            EXPECT_EQ(e.Message().Key, "TlsHandshakeTimedOut") << e.what();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));  // a bound
        EXPECT_FALSE(client.Connected());
        stall.Join();
        EXPECT_EQ(stall.Commands(), (std::vector<std::string>{"AUTH TLS"}));
    }
    {
        // A reply pushed in after the 234, in clear, would be read as if it came over TLS.
        test::TFakeFtpServer smuggle([](test::TFakeSession& s) {
            s.Reply("220 ready");
            s.Command();
            s.Send("234 go ahead\r\n230 logged in\r\n");
            s.Command();
        });
        client.Port = smuggle.Port();
        try {
            client.Connect();
            ADD_FAILURE() << "accepted a reply sent in clear";
        } catch (const TFtpError& e) {
            EXPECT_EQ(e.Message().Key, "FtpBeforeHandshake") << e.what();
        }
        smuggle.Join();
        EXPECT_EQ(smuggle.Commands(), (std::vector<std::string>{"AUTH TLS"}));
    }
}

} // namespace
} // namespace kw
