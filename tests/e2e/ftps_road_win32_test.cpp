// FTP over TLS with the real KWPAGE.exe (SChannel) and the host player: one element on air is
// uploaded to vsftpd demanding TLS on control and data connections; the grid names "(FTPS)".
#include <winsock2.h>
#include "tests/delivery/FtpTestServers.h"
#include "tests/e2e/Station_win32.h"
#include <gtest/gtest.h>
#include <fstream>
#include <regex>

namespace kw::e2e {
namespace {

std::string GoodFingerprint(const test::TRealFtpServer& server) {
    std::ifstream in(server.Dir() + "/certs/fingerprints");
    for (std::string name, value; in >> name >> value;)
        if (name == "good")
            return value;
    return {};
}

TEST(FtpsRoad, OneElementIsUploadedOverTlsToVsftpd) {
    // Without the session reuse demand: Wine's SChannel resumes no session (Windows' does).
    test::TRealFtpServer server("vsftpd-tls-noreuse");
    ASSERT_TRUE(server.Ok()) << "vsftpd fixture not running (KW_FTP_VSFTPD_TLS_NOREUSE_DIR)";
    const std::string fingerprint = GoodFingerprint(server);
    ASSERT_EQ(fingerprint.size(), 64u);
    const std::string uploaded = server.Root() + "/incoming/now.html";
    DeleteFileA(uploaded.c_str());

    TStation station("ftps");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "<p>!KW!SongArtist - !KW!SongTitle</p>\n");
    TStationWork w = Work("a-ftps", "page.tpl", "a.html", 1);
    w.Ftp = true;
    w.FtpPort = server.Port();
    w.FtpLogin = "anonymous";
    w.FtpPassword = "kw@example";
    w.FtpFile = "incoming/now.html";
    w.Extra = "FTPTLS=1\r\nFTPTLSCert=" + fingerprint + "\r\n";
    station.WriteSettings({w});
    ASSERT_TRUE(station.Start());
    ASSERT_TRUE(station.PlayHost("connect\nwait 1500\nelement song=0 type=2 duration=183000 artist=\"Кино\" "
                                 "title=\"Группа крови\"\nwait 4000\n"));
    const std::string kinoUtf8 = "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE";
    EXPECT_TRUE(WaitFor([&] { return ReadFile(station.Path("a.html")).find(kinoUtf8) != std::string::npos; }, 20000))
        << ReadFile(station.Path("a.html"));
    EXPECT_TRUE(WaitFor([&] { return ReadFile(uploaded) == ReadFile(station.Path("a.html")); }, 20000))
        << station.WorkStatus(0);
    EXPECT_TRUE(WaitFor([&] {
        return std::regex_match(station.WorkStatus(0), std::regex(R"(^\d\d:\d\d:\d\d  \d\d\.\d\d \(FTPS\)$)"));
    }, 20000)) << station.WorkStatus(0);
}

} // namespace
} // namespace kw::e2e

int main(int argc, char** argv) { return kw::e2e::RunStationTests(argc, argv); }
