// The FTP client against a scripted server: the exact command sequence, and the faults that
// real servers do not produce on demand (bad greetings and replies, refusals, aborted and
// stalled transfers, silence, dropped connections).
#include "FakeFtpServer.h"
#include "delivery/DeliveryTargets.h"
#include "delivery/ftp/FtpUpload.h"
#include "ui/FtpBrowser.h"
#include "delivery/ftp/FtpClient.h"
#include "delivery/http/HttpDelivery.h"
#include "delivery/mqtt/MqttDelivery.h"
#include "delivery/text/TextDelivery.h"
#include "lang/RequiredKeys.h"
#include "RenderedUpload.h"
#include "tests/support/ShippedMessages.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

namespace kw {
namespace {

using test::TFakeFtpServer;
using test::TFakeSession;

// The failures read as the English program shows them.
const auto* const kEnglish = ::testing::AddGlobalTestEnvironment(new kw::test::TEnglishMessages);

// A file private to the running test: ctest runs the tests of this program side by side.
std::filesystem::path TempPath(const std::string& name) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::filesystem::temp_directory_path() / (std::string("kwftp_") + test->name() + "_" + name);
}

std::string TempFile(const std::string& name, const std::string& content) {
    const auto path = TempPath(name);
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
}

class FtpFaultTest : public ::testing::Test {
protected:
    void SetUp() override { SetDefaultFtpTimeouts({2000, 1500, 1500}); }
    void TearDown() override {
        SetDefaultFtpTimeouts({});
        std::error_code ec;
        for (const char* name : {"page.tpl", "page.html", "big.tpl"})
            std::filesystem::remove(TempPath(name), ec);
    }

    TWorkConfig Config(uint16_t port, bool passive = true) {
        TWorkConfig c;
        c.FileIn = TempFile("page.tpl", "<html>page</html>");  // the page gets CR LF
        c.FileOut = TempPath("page.html").string();
        c.FTP.Use = true;
        c.FTP.Server = "127.0.0.1";
        c.FTP.Port = port;
        c.FTP.Passive = passive;
        c.FTP.Login = "kw";
        c.FTP.Password = "secret";
        c.FTP.Folder = "/";
        c.FTP.RemoteName = "page.html";
        return c;
    }

    // The render of the work at `position`, with the FTP delivery; returns the status text.
    std::string Upload(const TWorkConfig& config, int position = 0) { return render.Render(work, config, position); }

    test::TRenderedUpload render;
    TWorkPtr work = std::make_shared<TWorkData>();
};

// A passive store answered by the server; `final` is the reply after the data.
void ServePassiveStore(TFakeSession& s, const std::string& final, std::string* data = nullptr) {
    s.Login();
    for (std::string cmd = s.Command(); !cmd.empty(); cmd = s.Command()) {
        if (cmd == "PASV") {
            s.Reply(s.OpenPassive());
        } else if (cmd.rfind("STOR", 0) == 0 || cmd == "STOU") {
            s.AcceptData();
            s.Reply("150 go ahead");
            const std::string bytes = s.ReadAllData();
            if (data)
                *data = bytes;
            s.Send(final);
        } else {
            s.Reply("250 ok");
        }
    }
}

TEST_F(FtpFaultTest, SendsTheExactCommandSequenceWithoutQuit) {
    std::string received;
    TFakeFtpServer server([&](TFakeSession& s) { ServePassiveStore(s, "226 done\r\n", &received); });
    TWorkConfig c = Config(server.Port());
    c.FTP.Folder = "/www";
    EXPECT_NE(Upload(c, 5).find(" (FTP)"), std::string::npos) << work->Show.Text();
    server.Join();
    const std::vector<std::string> expected = {"USER kw", "PASS secret", "TYPE I", "SYST",
                                               "CWD /www", "PASV", "STOR page.html"};
    EXPECT_EQ(server.Commands(), expected);
    EXPECT_EQ(received, "<html>page</html>\r\n");
    EXPECT_EQ(work->Show.Tone(), TStatusTone::Normal);
    EXPECT_FALSE(FtpClientOf(*work));  // released after the upload
}

// The bytes on the wire: Windows-1251 as stored without the UTF-8 option, UTF-8 with it.
TEST_F(FtpFaultTest, CyrillicFolderAndNameFollowTheUtf8Option) {
    const std::string folder1251 = "/\xEF\xE0\xEF\xEA\xE0";  // "/папка"
    const std::string name1251 = "\xEF.html";                  // "п.html"
    for (const bool utf8 : {false, true}) {
        TFakeFtpServer server([&](TFakeSession& s) { ServePassiveStore(s, "226 done\r\n"); });
        TWorkConfig c = Config(server.Port());
        c.FTP.Folder = folder1251;
        c.FTP.RemoteName = name1251;
        c.FTP.UTF8 = utf8;
        EXPECT_NE(Upload(c).find(" (FTP)"), std::string::npos) << work->Show.Text();
        server.Join();
        const std::vector<std::string> commands = server.Commands();
        ASSERT_EQ(commands.size(), 7u);
        EXPECT_EQ(commands[4], utf8 ? "CWD /\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0" : "CWD " + folder1251);
        EXPECT_EQ(commands[6], utf8 ? "STOR \xD0\xBF.html" : "STOR " + name1251);
    }
}

TEST_F(FtpFaultTest, RootFolderSendsNoCwdAndEmptyNameSendsStou) {
    TFakeFtpServer server([&](TFakeSession& s) { ServePassiveStore(s, "250 stored\r\n"); });
    TWorkConfig c = Config(server.Port());
    c.FTP.RemoteName.clear();
    Upload(c);
    server.Join();
    const std::vector<std::string> expected = {"USER kw", "PASS secret", "TYPE I", "SYST", "PASV", "STOU"};
    EXPECT_EQ(server.Commands(), expected);
}

TEST_F(FtpFaultTest, AbortedTransferIsAFailureEvenWhenA226Follows) {
    for (const char* abort : {"426 Connection closed; transfer aborted.\r\n226 closing\r\n", "450 busy\r\n"}) {
        TFakeFtpServer server([&](TFakeSession& s) { ServePassiveStore(s, abort); });
        work->Show.Set("", TStatusTone::Normal, false, true);
        EXPECT_EQ(Upload(Config(server.Port()), 2).rfind("2 FTP: Transfer aborted by the server: 4", 0), 0u)
            << work->Show.Text();
        EXPECT_EQ(work->Show.Tone(), TStatusTone::Failure);
        EXPECT_TRUE(work->Show.Take().LogIt);
    }
}

TEST_F(FtpFaultTest, RejectedGreetingOrLoginKeepsTheClosedClient) {
    const std::vector<std::pair<TFakeFtpServer::TScript, std::string>> cases = {
        {[](TFakeSession& s) { s.Reply("421 Too many users"); }, "0 FTP: 421 Too many users"},
        {[](TFakeSession& s) {
             s.Reply("220 hi");
             s.Command();
             s.Reply("331 pw");
             s.Command();
             s.Reply("530 Login incorrect.");
         },
         "0 FTP: 530 Login incorrect."},
        {[](TFakeSession& s) {
             s.Reply("220 hi");
             s.Command();
             s.Reply("230 in");
             s.Command();
             s.Reply("504 no binary");
         },
         "0 FTP: 504 no binary"},
    };
    for (const auto& [script, text] : cases) {
        TFakeFtpServer server(script);
        EXPECT_EQ(Upload(Config(server.Port())), text);
        ASSERT_TRUE(FtpClientOf(*work));  // kept, closed, for the next PrepareUpload
        EXPECT_FALSE(FtpClientOf(*work)->Connected());
    }
}

TEST_F(FtpFaultTest, MultiLineRepliesAreReadWhole) {
    TFakeFtpServer server([](TFakeSession& s) {
        s.Send("220-Welcome\r\n  to the station\r\n220-still talking\r\n220 ready\r\n");
        s.Command();
        s.Send("230-Hello\r\n230 in\r\n");
        s.Command();
        s.Reply("200 ok");
        s.Command();
        s.Send("500-SYST not understood\r\n500 really\r\n");
        s.Command();
        s.Send("550-No such folder\r\n    twice\r\n550 End\r\n");
    });
    TWorkConfig c = Config(server.Port());
    c.FTP.Folder = "www";
    EXPECT_EQ(Upload(c), "0 FTP: 550 No such folder twice End");
    server.Join();
    EXPECT_EQ(server.Commands().back(), "CWD www");
}

TEST_F(FtpFaultTest, HostileRepliesFailCleanly) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"2x0 garbage\r\n", "0 FTP: Malformed reply from the server: 2x0 garbage"},
        {std::string(20000, 'x'), "0 FTP: Reply line from the server is too long"},
        {"220-never ending\r\n" + std::string(3000, '\n'), "0 FTP: Reply from the server has too many lines"},
    };
    for (const auto& [first, text] : cases) {
        const std::string greeting = first;
        TFakeFtpServer server([&](TFakeSession& s) {
            s.Send(greeting);
            s.Command();  // wait until the client gives up
        });
        EXPECT_EQ(Upload(Config(server.Port())), text);
    }
}

TEST_F(FtpFaultTest, MalformedPasvFailsAndUnbracketedPasvWorks) {
    for (const char* pasv : {"227 Entering Passive Mode (127,0,0,1,300,1)", "227 Entering (127,0,0,1,4)"}) {
        TFakeFtpServer server([&](TFakeSession& s) {
            s.Login();
            s.Command();
            s.Reply(pasv);
            s.Command();
        });
        EXPECT_EQ(Upload(Config(server.Port())).rfind("0 FTP: Malformed PASV reply: 227", 0), 0u) << work->Show.Text();
    }
    TFakeFtpServer server([](TFakeSession& s) {
        s.Login();
        s.Command();
        std::string pasv = s.OpenPassive();  // "227 Entering Passive Mode (h,h,h,h,p,p)."
        pasv = pasv.substr(0, pasv.find('(')) + pasv.substr(pasv.find('(') + 1, pasv.find(')') - pasv.find('(') - 1);
        s.Reply(pasv);
        s.Command();
        s.AcceptData();
        s.Reply("125 open");
        s.ReadAllData();
        s.Reply("226 ok");
    });
    EXPECT_NE(Upload(Config(server.Port())).find("(FTP)"), std::string::npos) << work->Show.Text();
}

TEST_F(FtpFaultTest, EveryWaitIsBounded) {
    // No reply after USER.
    {
        TFakeFtpServer server([](TFakeSession& s) {
            s.Reply("220 hi");
            s.Command();
            s.Command();  // stays silent until the client closes
        });
        EXPECT_EQ(Upload(Config(server.Port())), "0 FTP: Read timed out: no reply from the server within 1500 ms");
    }
    // No final reply after the data (a 426 that is never followed up behaves the same).
    {
        TFakeFtpServer server([](TFakeSession& s) { ServePassiveStore(s, ""); });
        EXPECT_EQ(Upload(Config(server.Port())), "0 FTP: Read timed out: no reply from the server within 1500 ms");
    }
    // Active mode: the server never connects back.
    {
        TFakeFtpServer server([](TFakeSession& s) {
            s.Login();
            s.Command();
            s.Reply("200 PORT ok");
            s.Command();
            s.Reply("150 connecting");
            s.Command();
        });
        EXPECT_EQ(Upload(Config(server.Port(), false)),
                  "0 FTP: The server did not open the data connection within 1500 ms");
    }
}

// Data connections go only to and from the host the control connection reached: a PASV reply
// naming another address is connected at the control peer, an active connection from another
// address is closed unheard.
TEST_F(FtpFaultTest, DataConnectionsGoOnlyToTheControlPeer) {
    bool decoyReached = true;
    std::string stored;
    {
        TFakeFtpServer server([&](TFakeSession& s) {
            s.Login();
            s.Command();
            std::string pasv = s.OpenPassive();  // listens on 127.0.0.1
            net::TIpv4Endpoint named;
            ASSERT_TRUE(ftp::ParsePasvAddress(pasv, named));
            named.Host[3] = 2;  // names 127.0.0.2, where a decoy listens on the same port
            net::TTcpListener decoy;
            ASSERT_TRUE(decoy.Listen(named).ok());
            s.Reply("227 Entering Passive Mode (" + ftp::FormatPortArgument(named) + ").");
            s.Command();
            s.AcceptData();
            s.Reply("150 go");
            stored = s.ReadAllData();
            s.Reply("226 ok");
            net::TTcpConnection none;
            decoyReached = decoy.Accept(none, 0).ok();
            s.Command();
        });
        EXPECT_NE(Upload(Config(server.Port())).find("(FTP)"), std::string::npos) << work->Show.Text();
    }
    EXPECT_FALSE(decoyReached);
    EXPECT_EQ(stored, "<html>page</html>\r\n");

    bool foreignOpened = false, foreignDropped = false;
    stored.clear();
    {
        TFakeFtpServer server([&](TFakeSession& s) {
            s.Login();
            net::TIpv4Endpoint client;
            ASSERT_TRUE(ftp::ParsePasvAddress(s.Command(), client));  // "PORT h,h,h,h,p,p"
            s.Reply("200 PORT ok");
            s.Command();
            s.Reply("150 connecting");
            test::TForeignConnection foreign;
            foreignOpened = foreign.Open(client);
            foreignDropped = foreign.ClosedUnheard(5000);
            ASSERT_TRUE(s.Data.Connect(client, TFakeSession::WaitMs).ok());
            stored = s.ReadAllData();
            s.Reply("226 ok");
            s.Command();
        });
        EXPECT_NE(Upload(Config(server.Port(), false)).find("(FTP)"), std::string::npos) << work->Show.Text();
    }
    EXPECT_TRUE(foreignOpened);
    EXPECT_TRUE(foreignDropped) << "a connection from another address was taken for the data";
    EXPECT_EQ(stored, "<html>page</html>\r\n");
}

// One bound for the whole upload (connect + reply limit, 3.5 s here): a server that answers
// every command just within the reply limit cannot stretch it.
TEST_F(FtpFaultTest, ASlowServerHoldsTheRenderNoLongerThanTheUploadsBound) {
    TFakeFtpServer server([](TFakeSession& s) {
        s.Reply("220 slow");
        for (std::string cmd = s.Command(); !cmd.empty(); cmd = s.Command()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1200));
            s.Reply(cmd.rfind("USER", 0) == 0 ? "331 password" : cmd.rfind("PASS", 0) == 0 ? "230 in" : "200 ok");
        }
    });
    const auto start = std::chrono::steady_clock::now();
    const std::string status = Upload(Config(server.Port()));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::printf("slow FTP server: upload ended after %lld ms, bound 3500 ms\n", static_cast<long long>(took.count()));
    EXPECT_EQ(status, "0 FTP: The upload did not finish within 3500 ms");
    EXPECT_LT(took, std::chrono::milliseconds(3500 + 1000));
}

// A server that repeats the password in its refusal: the status (and so the log) masks it.
TEST_F(FtpFaultTest, APasswordEchoedByTheServerIsMasked) {
    TFakeFtpServer server([](TFakeSession& s) {
        s.Reply("220 hi");
        s.Command();
        s.Reply("331 password please");
        const std::string pass = s.Command();
        s.Reply("530 Login incorrect: " + pass.substr(5) + " / " + "c2VjcmV0");
    });
    test::TRenderedUpload masked(WithMaskedFailures(std::make_shared<TFtpDelivery>()));
    TWorkConfig c = Config(server.Port());
    c.FTP.Password = "s";  // however short
    EXPECT_EQ(masked.Render(work, c), "0 FTP: 530 Login incorrect: *** / c2VjcmV0");
}

TEST_F(FtpFaultTest, StalledOrDroppedDataConnectionFailsTheUpload) {
    // The server opens the data connection but never reads it: the send stalls.
    const std::string big(48u << 20, 'k');
    {
        TFakeFtpServer server([](TFakeSession& s) {
            s.Login();
            s.Command();
            s.Reply(s.OpenPassive());
            s.Command();
            s.AcceptData();
            s.Reply("150 go");
            s.Command();
        });
        TWorkConfig c = Config(server.Port());
        c.FileIn = TempFile("big.tpl", big);
        EXPECT_EQ(Upload(c), "0 FTP: Data transfer stalled: the server took no data for 1500 ms");
    }
    // The server drops both connections in the middle of the transfer.
    {
        TFakeFtpServer server([](TFakeSession& s) {
            s.Login();
            s.Command();
            s.Reply(s.OpenPassive());
            s.Command();
            s.AcceptData();
            s.Reply("150 go");
            char buf[1000];
            size_t got = 0;
            (void)s.Data.Receive(buf, sizeof buf, got, TFakeSession::WaitMs);
            s.Data.Close();
            s.Control.Close();
        });
        TWorkConfig c = Config(server.Port());
        c.FileIn = TempFile("big.tpl", big);
        const std::string text = Upload(c);
        EXPECT_EQ(text.rfind("0 FTP: ", 0), 0u) << text;
        EXPECT_EQ(work->Show.Tone(), TStatusTone::Failure);
    }
}

TEST_F(FtpFaultTest, RefusedConnectionAndMissingFileAreReported) {
    uint16_t closedPort = 0;
    {
        net::TTcpListener l;
        net::TIpv4Endpoint e{{127, 0, 0, 1}, 0};
        ASSERT_TRUE(l.Listen(e).ok());
        ASSERT_TRUE(l.LocalEndpoint(e).ok());
        closedPort = e.Port;
    }
    const std::string refused = Upload(Config(closedPort), 3);
    EXPECT_EQ(refused.rfind("3 FTP: ", 0), 0u);
    EXPECT_GT(refused.size(), 8u);
    ASSERT_TRUE(FtpClientOf(*work));
    const TFtpClient* kept = FtpClientOf(*work).get();
    PrepareUpload(*work, Config(closedPort));
    EXPECT_EQ(FtpClientOf(*work).get(), kept);  // the next upload reuses the same client

    TFakeFtpServer server([](TFakeSession& s) {
        s.Login();
        s.Command();
    });
    // The render always writes the page before it delivers; the target still checks.
    TWorkConfig c = Config(server.Port());
    c.FileOut = TempPath("missing").string();
    const TDeliveryResult missing = TFtpDelivery().Deliver(*work, c, TDeliveryPage{});
    EXPECT_FALSE(missing.Ok);
    EXPECT_EQ(missing.Message.Key, "CannotOpenFile");
    EXPECT_EQ(TextOf(missing.Message).rfind("Cannot open " + c.FileOut + ": ", 0), 0u) << TextOf(missing.Message);
}

TEST_F(FtpFaultTest, LineBreaksInNamesAreNotSent) {
    TFakeFtpServer server([](TFakeSession& s) {
        s.Login();
        s.Command();
    });
    TWorkConfig c = Config(server.Port());
    c.FTP.Folder = "www\r\nDELE index.html";
    EXPECT_EQ(Upload(c), "0 FTP: A line break in a name or folder cannot be sent to the server");
    server.Join();
    EXPECT_EQ(server.Commands().size(), 4u);
}

// The browser's listing: a data connection that never delivers is bounded too.
class NullView : public IFtpFolderView {
public:
    void ShowCurrentFolder(const std::string&) override {}
    void ShowFolders(const std::vector<std::string>&) override {}
    void ShowFiles(const std::vector<TFtpFileRow>&) override {}
    void FitColumns(const std::vector<int>&) override {}
    bool SelectedFolder(std::string&) override { return false; }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    int ShowModal(TFtpFolderBrowser&) override { return 1; }
    std::vector<std::string> errors;
};

TEST_F(FtpFaultTest, BrowserListingThatStallsIsReported) {
    TFakeFtpServer server([](TFakeSession& s) {
        s.Login();
        s.Command();
        s.Reply("250 ok");
        s.Command();
        s.Reply("257 \"/pub\" is current");
        s.Command();
        s.Reply(s.OpenPassive());
        s.AcceptData();
        s.Command();
        s.Reply("150 here it comes");
        s.Command();
    });
    TFTPUse ftp = Config(server.Port()).FTP;
    ftp.Folder = "pub";
    NullView view;
    EXPECT_EQ(SelectFtpFolder(ftp, view), "/pub");
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0], "Data transfer stalled: no data from the server for 1500 ms");
}

// The browser's exchanges have one bound each, as an upload has: a server that answers every
// command just within its limit does not keep the browser waiting longer.
TEST_F(FtpFaultTest, ABrowserExchangeWithASlowServerEndsAtItsBound) {
    TFakeFtpServer server([](TFakeSession& s) {
        s.Reply("220 slow");
        for (std::string cmd = s.Command(); !cmd.empty(); cmd = s.Command()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1200));
            s.Reply(cmd.rfind("USER", 0) == 0 ? "331 password" : cmd.rfind("PASS", 0) == 0 ? "230 in" : "200 ok");
        }
    });
    NullView view;
    const auto start = std::chrono::steady_clock::now();
    SelectFtpFolder(Config(server.Port()).FTP, view);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_FALSE(view.errors.empty());
    EXPECT_EQ(view.errors[0], "The exchange with the server did not finish within 3500 ms");
    EXPECT_LT(took, std::chrono::milliseconds(3500 + 1000));
}

} // namespace
} // namespace kw

namespace kw {
namespace {

// The English file's own words for the deliveries' messages: every run of two or more words
// between the arguments of a text.
std::vector<std::string> EnglishPhrases() {
    std::vector<std::string> phrases;
    const std::string file = test::ShippedLanguageFile("English");
    for (const lang::TLogMessage& m : lang::LogMessages()) {
        const std::string text = profile::ReadString(file, "Main", "Dialog." + m.Name, "");
        size_t start = 0;
        for (size_t end = 0; end != std::string::npos; start = end + 2) {
            end = text.find("%s", start);
            std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            part.erase(0, part.find_first_not_of(" :;,.()"));
            part.erase(part.find_last_not_of(" :;,.()") + 1);
            if (part.find(' ') != std::string::npos)
                phrases.push_back(part);
        }
    }
    return phrases;
}

// A word like "FtpNoTls": a message key the language had no words for.
bool HoldsAKey(const std::string& text) {
    for (size_t i = 0; i + 2 < text.size(); ++i) {
        const auto upper = [&](size_t k) { return std::isupper(static_cast<unsigned char>(text[k])) != 0; };
        const auto lower = [&](size_t k) { return std::islower(static_cast<unsigned char>(text[k])) != 0; };
        if ((i == 0 || text[i - 1] == ' ') && upper(i) && lower(i + 1)) {
            size_t k = i + 1;
            while (k < text.size() && lower(k))
                ++k;
            if (k + 1 < text.size() && upper(k) && lower(k + 1))
                return true;
        }
    }
    return false;
}

// An MQTT broker for the faults mosquitto does not make on demand: on every connection it reads
// the client's CONNECT, answers `reply` (nothing when empty) and then keeps silent until the
// client leaves.
class TScriptedBroker {
public:
    explicit TScriptedBroker(std::string reply) {
        net::TIpv4Endpoint at;
        if (listener_.Listen({{127, 0, 0, 1}, 0}, 4).ok() && listener_.LocalEndpoint(at).ok())
            port_ = at.Port;
        thread_ = std::thread([this, reply = std::move(reply)] {
            while (!stop_) {
                net::TTcpConnection c;
                if (listener_.Accept(c, 100).ok())
                    Answer(c, reply);
            }
        });
    }
    ~TScriptedBroker() {
        stop_ = true;
        thread_.join();
    }
    uint16_t Port() const { return port_; }

private:
    // Reads until the client leaves, the test ends or nothing came for a while.
    bool Read(net::TTcpConnection& c, int quietMs) {
        char buffer[4096];
        for (int waited = 0; !stop_ && waited < quietMs; waited += 100) {
            size_t n = 0;
            const net::TNetStatus got = c.Receive(buffer, sizeof buffer, n, 100);
            if (got.Kind != net::TNetStatus::TimedOut)
                return got.ok() && n > 0;
        }
        return false;
    }
    void Answer(net::TTcpConnection& c, const std::string& reply) {
        if (!Read(c, 5000) || (!reply.empty() && !c.SendAll(reply.data(), reply.size(), 5000).ok()))
            return;
        while (Read(c, 60000)) {
        }
    }

    net::TTcpListener listener_;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class TFailureCatalogue : public FtpFaultTest {
protected:
    // Every failure the targets, the render and the folder browser show, as the station reads
    // it, each with the message it must be; real peers on loopback (a scripted FTP server for
    // the faults a real one does not make on demand).
    std::vector<std::pair<std::string, std::string>> ShowEveryFailure() {
        std::vector<std::pair<std::string, std::string>> shown;
        const auto ftp = [&](const char* key, TFakeFtpServer::TScript script, auto adjust) {
            TFakeFtpServer server(std::move(script));
            TWorkConfig c = Config(server.Port());
            adjust(c);
            shown.emplace_back(key, Upload(c));
        };
        const auto asIs = [](TWorkConfig&) {};
        const auto waitOut = [](TFakeSession& s) { s.Command(); };
        ftp("FtpMalformedReply", [](TFakeSession& s) { s.Send("2x0 garbage\r\n"); s.Command(); }, asIs);
        ftp("FtpReplyLineTooLong", [](TFakeSession& s) { s.Send(std::string(20000, 'x')); s.Command(); }, asIs);
        ftp("FtpReplyTimedOut", [](TFakeSession& s) { s.Reply("220 hello"); s.Command(); s.Command(); }, asIs);
        ftp("ServerClosed", [](TFakeSession& s) { s.Reply("220 hello"); s.Command(); }, asIs);
        ftp("FtpNoTls", [&](TFakeSession& s) { s.Reply("220 plain"); s.Command(); s.Reply("500 AUTH?"); waitOut(s); },
            [](TWorkConfig& c) { c.FTP.Tls = true; });
        ftp("FtpBeforeHandshake", [&](TFakeSession& s) { s.Reply("220 tls"); s.Command(); s.Send("234 go\r\n230 in\r\n"); waitOut(s); },
            [](TWorkConfig& c) { c.FTP.Tls = true; });
        ftp("FtpBadPasv", [&](TFakeSession& s) { s.Login(); s.Command(); s.Reply("227 Entering (1,2)"); waitOut(s); }, asIs);
        ftp("FtpTransferAborted", [](TFakeSession& s) { ServePassiveStore(s, "426 aborted\r\n"); }, asIs);
        ftp("FtpLineBreakInName", [&](TFakeSession& s) { s.Login(); waitOut(s); },
            [](TWorkConfig& c) { c.FTP.Folder = "www\r\nDELE b"; });
        {
            TWorkConfig c = Config(ClosedPort());
            shown.emplace_back("", Upload(c));  // the system's words for a refused connection
        }
        {
            TFakeFtpServer server([](TFakeSession& s) { s.Send("2x0 garbage\r\n"); s.Command(); });
            NullView view;
            SelectFtpFolder(Config(server.Port()).FTP, view);
            shown.emplace_back("FtpMalformedReply", view.errors.empty() ? std::string() : view.errors[0]);
        }
        const auto other = [&](const char* key, std::shared_ptr<IDelivery> target, TTargetChoice choice, auto adjust) {
            test::TRenderedUpload render(WithMaskedFailures(std::move(target)));
            TWorkConfig c = Config(0);
            c.FTP.Use = false;
            SetTargetChoice(c, choice);
            c.HTTP.URL = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/page";
            c.Text.Host = "127.0.0.1";
            c.Text.Port = ClosedPort();
            adjust(c);
            shown.emplace_back(key, render.Render(work, c));
        };
        const auto http = std::make_shared<THttpDelivery>();
        other("HttpBadAddress", http, tcHTTP, [](TWorkConfig& c) { c.HTTP.URL = "ftp://127.0.0.1/"; });
        other("HttpTagInOrigin", http, tcHTTP, [](TWorkConfig& c) { c.HTTP.URL = "http://!KW!SongArtist/"; });
        other("BadFingerprint", http, tcHTTP, [](TWorkConfig& c) { c.HTTP.CertSHA256 = "12:34"; });
        other("HttpBadContentType", http, tcHTTP, [](TWorkConfig& c) {
            c.HTTP.Method = hmPOST;
            c.HTTP.ContentType = "text/html\r\nX: 1";
        });
        other("", http, tcHTTP, asIs);
        other("PeerFailure", std::make_shared<TTcpTextDelivery>(), tcTCP, asIs);
        other("NoTextAddress", std::make_shared<TTcpTextDelivery>(), tcTCP, [](TWorkConfig& c) { c.Text.Host.clear(); });
        other("DatagramTooLong", std::make_shared<TUdpTextDelivery>(), tcUDP, [](TWorkConfig& c) {
            c.FileIn = TempFile("big.tpl", std::string(MaxDatagramBytes + 1, 'x'));
        });
        other("InvalidFileName", http, tcHTTP, [](TWorkConfig& c) { c.FileIn.push_back('\0'); });
        ShowEveryMqttFailure(shown);
        return shown;
    }

    void ShowEveryMqttFailure(std::vector<std::pair<std::string, std::string>>& shown) {
        mqtt::TLinkTimings quick;
        quick.ConnectMs = 2000;
        quick.ReplyMs = 500;
        quick.BackoffFirstMs = quick.BackoffMaxMs = 10000;  // one attempt within a render's wait
        const auto target = std::make_shared<TMqttDelivery>(quick);
        test::TRenderedUpload render(WithMaskedFailures(target));
        const auto publish = [&](const char* key, uint16_t port, auto adjust) {
            TWorkConfig c = Config(0);
            c.FTP.Use = false;
            SetTargetChoice(c, tcMQTT);
            c.MQTT.Host = "127.0.0.1";
            c.MQTT.Port = port;
            c.MQTT.Topic = "kw/now";
            adjust(c);
            shown.emplace_back(key, render.Render(work, c));
        };
        const auto asIs = [](TWorkConfig&) {};
        const auto scripted = [&](const char* key, const std::string& reply, auto adjust) {
            TScriptedBroker broker(reply);
            publish(key, broker.Port(), adjust);
        };
        const auto refused = [&](const char* key, char code) {
            scripted(key, std::string("\x20\x02\x00", 3) + code, asIs);
        };
        publish("MqttWaitingBecause", ClosedPort(), asIs);  // with the system's words for a refused connection
        publish("MqttNoTopic", ClosedPort(), [](TWorkConfig& c) { c.MQTT.Topic.clear(); });
        refused("MqttRefusedVersion", 1);
        refused("MqttRefusedClientId", 2);
        refused("MqttRefusedUnavailable", 3);
        refused("MqttRefusedLogin", 4);
        refused("MqttRefusedNotAuthorized", 5);
        refused("MqttRefusedCode", 6);
        scripted("MqttNoConnAck", "", asIs);
        scripted("MqttBadPacket", "\x20\xFF\xFF\xFF\xFF\x7F", asIs);  // a length of five bytes
        scripted("MqttUnexpectedPacket", std::string("\x90\x03\x00\x01\x00", 5), asIs);  // SUBACK
        scripted("MqttFieldTooLong", "", [](TWorkConfig& c) { c.MQTT.User.assign(70000, 'u'); });
    }

    static uint16_t ClosedPort() {
        static const uint16_t port = [] {
            net::TTcpListener l;
            net::TIpv4Endpoint at;
            if (!l.Listen({{127, 0, 0, 1}, 0}, 1).ok() || !l.LocalEndpoint(at).ok())
                return uint16_t{1};
            return at.Port;  // free again once the listener is gone
        }();
        return port;
    }
};

// The program in Russian or Ukrainian shows no sentence of ours in English: every failure of
// every target reads in the program's language, with the server's and the system's own words
// as they came.
TEST_F(TFailureCatalogue, EveryFailureOfEveryTargetReadsInTheProgramsLanguage) {
    const std::vector<std::string> phrases = EnglishPhrases();
    ASSERT_GT(phrases.size(), 40u);
    for (const std::string language : {"English", "Russian", "Ukrainian"}) {
        test::UseShippedMessages(language);
        for (const auto& [key, text] : ShowEveryFailure()) {
            EXPECT_FALSE(text.empty()) << language << " " << key;
            EXPECT_FALSE(HoldsAKey(text)) << language << ": a message without words: " << text;
            const std::string words = key.empty() ? std::string()
                                                  : profile::ReadString(test::ShippedLanguageFile(language), "Main",
                                                                        "Dialog." + key, "");
            const std::string lead = words.substr(0, words.find("%s"));
            EXPECT_NE(text.find(lead), std::string::npos) << language << " " << key << ": " << text;
            if (language == "English")
                continue;
            for (const std::string& phrase : phrases)
                EXPECT_EQ(text.find(phrase), std::string::npos) << language << ": \"" << phrase << "\" in " << text;
        }
    }
    test::UseShippedMessages("English");
}

} // namespace
} // namespace kw
