// The Icecast title update end to end: Debian's icecast2 with a source streaming to /live (both
// started by the test through icecast_server.py), the HTTP target's GET with the song in the URL
// after a render, and the title listeners' players show, Cyrillic included, in the server's
// /status-json.xsl. Wrong credentials are red with the server's answer.
#include "delivery/http/HttpDelivery.h"
#include "platform/Tcp.h"
#include "render/CodePages.h"
#include "tests/delivery/RenderedUpload.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TcpPeer.h"
#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>


namespace {

using namespace kw;

class TIcecast {
public:
    TIcecast() {
        char tmpl[] = "/tmp/kwicecast_XXXXXX";
        if (!mkdtemp(tmpl))
            return;
        dir_ = tmpl;
        const std::string script = std::string(KW_SOURCE_DIR) + "/tests/delivery/icecast_server.py";
        server_.Start({"/usr/bin/python3", script, dir_});
        for (int i = 0; i < 200 && server_.Started() && port_ == 0; ++i) {
            std::ifstream in(dir_ + "/port");
            int p = 0;
            if (in >> p)
                port_ = static_cast<uint16_t>(p);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ~TIcecast() {
        server_.Stop();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    uint16_t Port() const { return port_; }

    // The server's status page, read by a plain HTTP/1.0 GET.
    std::string Status() const {
        net::TTcpConnection c;
        if (!c.Connect("127.0.0.1", port_, 5000).ok())
            return {};
        const std::string request = "GET /status-json.xsl HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (!c.SendAll(request.data(), request.size(), 5000).ok())
            return {};
        return test::ReadToEnd(c, 5000);
    }

private:
    std::string dir_;
    test::TServerProcess server_;
    uint16_t port_ = 0;
};

TEST(Icecast, TheSongBecomesTheStreamTitleAndWrongCredentialsAreRed) {
    TIcecast icecast;
    ASSERT_NE(icecast.Port(), 0) << "icecast2 with its source did not start";
    kwtest::TTempFolder dir;
    dir.Write("now.tpl", "!KW!SongArtist - !KW!SongTitle\n");
    auto target = std::make_shared<THttpDelivery>();
    test::TRenderedUpload render(target);
    TBroadcastState state;
    state.Song.Artist = "\xCA\xE8\xED\xEE";                                        // Кино
    state.Song.Title = "\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8 & \"live\"";  // Группа крови & "live"
    render.Publish(state);

    TWorkConfig c;
    c.Section = c.Name = "File1";
    c.FileIn = dir.Path("now.tpl");
    c.FileOut = dir.Path("now.txt");
    c.CodePage = cpUTF8;
    SetTargetChoice(c, tcHTTP);
    c.HTTP.URL = "http://127.0.0.1:" + std::to_string(icecast.Port()) +
                 "/admin/metadata?mount=/live&mode=updinfo&charset=UTF-8&song=!KW!SongArtist - !KW!SongTitle";
    c.HTTP.Login = "admin";
    c.HTTP.Password = "hackme";
    auto work = std::make_shared<TWorkData>();
    const std::string status = render.Render(work, c);
    EXPECT_EQ(status.substr(16), "(HTTP 200)") << status;

    // Icecast 2.4 shows characters beyond ASCII as numeric references in its JSON.
    const std::string title = "&#1050;&#1080;&#1085;&#1086; - &#1043;&#1088;&#1091;&#1087;&#1087;&#1072; "
                              "&#1082;&#1088;&#1086;&#1074;&#1080; & \\\"live\\\"";
    const std::string titleUtf8 = "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE - \xD0\x93\xD1\x80\xD1\x83\xD0\xBF\xD0\xBF\xD0\xB0 "
                                  "\xD0\xBA\xD1\x80\xD0\xBE\xD0\xB2\xD0\xB8 & \\\"live\\\"";
    std::string seen;
    for (int i = 0; i < 50; ++i) {
        seen = icecast.Status();
        if (seen.find("\"title\":\"" + title + "\"") != std::string::npos ||
            seen.find("\"title\":\"" + titleUtf8 + "\"") != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(seen.find(title) != std::string::npos || seen.find(titleUtf8) != std::string::npos) << seen;

    c.HTTP.Password = "wrong-password";
    const std::string refused = render.Render(work, c);
    EXPECT_EQ(refused.rfind("0 HTTP: HTTP/1.0 401 ", 0), 0u) << refused;
    EXPECT_EQ(refused.find("wrong-password"), std::string::npos);
    EXPECT_EQ(work->Show.Tone(), TStatusTone::Failure);
}

} // namespace
