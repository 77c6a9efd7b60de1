// Uploads and the folder browser against real FTP servers on 127.0.0.1: pyftpdlib (natively
// and under Wine) and vsftpd (natively).
#include "FtpTestServers.h"
#include "platform/Cp1251.h"
#include "ui/FtpBrowser.h"
#include "RenderedUpload.h"
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace kw {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TRealFtpServer;

const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2.html";  // "Привет.html"
const std::string kPapka1251 = "\xCF\xE0\xEF\xEA\xE0";            // "Папка"

// A path below `dir` for a name in UTF-8, whatever the program's code page.
fs::path Utf8Path(const fs::path& dir, const std::string& utf8) {
    return dir / fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

// A template of every byte value but 26 (which ends a template), lone CR and LF included: the
// page the render makes of it has CR LF line ends and every other byte as it is.
std::string TemplateBytes() {
    std::string s;
    for (int i = 0; i < 300000; ++i) {
        const char c = static_cast<char>((i * 7 + i / 256) & 0xFF);
        s += c == '\x1A' ? ' ' : c;
    }
    return s;
}

// Views the browser through what it shows; ShowModal runs the test's clicks.
class ScriptedView : public IFtpFolderView {
public:
    void ShowCurrentFolder(const std::string& f) override { label = f; }
    void ShowFolders(const std::vector<std::string>& f) override { folders = f; }
    void ShowFiles(const std::vector<TFtpFileRow>& r) override { rows = r; }
    void FitColumns(const std::vector<int>& p) override { fit = p; }
    bool SelectedFolder(std::string& text) override {
        text = selected;
        return !selected.empty();
    }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    int ShowModal(TFtpFolderBrowser& browser) override { return clicks ? clicks(browser, *this) : 1; }

    void DoubleClick(TFtpFolderBrowser& browser, const std::string& folder) {
        selected = folder;
        browser.LBFoldersListBoxDblClick();
    }

    std::string label, selected;
    std::vector<std::string> folders, errors;
    std::vector<TFtpFileRow> rows;
    std::vector<int> fit;
    std::function<int(TFtpFolderBrowser&, ScriptedView&)> clicks;
};

class RealServerTest : public ::testing::Test {
protected:
    static void TearDownTestSuite() {
        pyftpdlib.reset();
        vsftpd.reset();
    }
    static TRealFtpServer& Server(std::unique_ptr<TRealFtpServer>& s, const char* kind) {
        if (!s)
            s = std::make_unique<TRealFtpServer>(kind);
        return *s;
    }
    static std::unique_ptr<TRealFtpServer> pyftpdlib;
    static std::unique_ptr<TRealFtpServer> vsftpd;

    void SetUp() override {
        SetDefaultFtpTimeouts({10000, 10000, 10000});
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const fs::path base = fs::temp_directory_path() / ("kwftp_" + test);
        templateFile = base.string() + ".tpl";
        local = base.string() + ".html";
        std::ofstream(templateFile, std::ios::binary) << TemplateBytes();
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
        return c;
    }

    // Renders the work with the FTP delivery and expects success.
    void ExpectUploaded(const TWorkConfig& c) {
        const std::string text = render.Render(work, c);
        ASSERT_GE(text.size(), 21u);
        EXPECT_EQ(text.substr(8, 2), "  ");  // "HH:NN:SS  DD.MM (FTP)"
        EXPECT_EQ(text.substr(text.size() - 6), " (FTP)") << text;
        EXPECT_EQ(work->Show.Tone(), TStatusTone::Normal);
        EXPECT_FALSE(work->Show.Take().LogIt);
        EXPECT_FALSE(FtpClientOf(*work));
    }
    // The page the render wrote: what the server must hold, byte for byte.
    std::string Page() const {
        const std::string page = ReadWholeFile(local);
        EXPECT_GT(page.size(), 300000u);  // the whole template, its line ends made CR LF
        return page;
    }

    void TearDown() override {
        std::error_code ec;
        fs::remove(local, ec);
        fs::remove(templateFile, ec);
    }

    std::string templateFile, local;
    test::TRenderedUpload render;
    TWorkPtr work = std::make_shared<TWorkData>();
};

std::unique_ptr<TRealFtpServer> RealServerTest::pyftpdlib;
std::unique_ptr<TRealFtpServer> RealServerTest::vsftpd;

// A server that cannot start fails the test: the install script provides both servers.
#define REQUIRE_SERVER(s) \
    if (!(s).Ok())        \
    GTEST_FAIL() << "the FTP server could not be started"

TEST_F(RealServerTest, PyftpdlibStoresPassiveAndActiveInAbsoluteAndRelativeFolders) {
    TRealFtpServer& s = Server(pyftpdlib, "pyftpdlib");
#ifdef _WIN32
    ASSERT_TRUE(s.Ok()) << "the ctest fixture must start pyftpdlib";
#endif
    REQUIRE_SERVER(s);
    fs::create_directories(fs::path(s.Root()) / "pub" / "www");
    struct Case {
        bool passive;
        const char* folder;
        const char* name;
        fs::path where;
    };
    const Case cases[] = {{true, "/", "p.html", "p.html"},
                          {false, "/", "a.html", "a.html"},
                          {true, "/pub/www", "abs.html", fs::path("pub") / "www" / "abs.html"},
                          {false, "pub", "rel.html", fs::path("pub") / "rel.html"}};
    for (const Case& k : cases) {
        TWorkConfig c = Config(s, false);
        c.FTP.Passive = k.passive;
        c.FTP.Folder = k.folder;
        c.FTP.RemoteName = k.name;
        ExpectUploaded(c);
        EXPECT_EQ(ReadWholeFile(fs::path(s.Root()) / k.where), Page()) << k.name;
    }
}

TEST_F(RealServerTest, PyftpdlibStouAndUtf8Names) {
    TRealFtpServer& s = Server(pyftpdlib, "pyftpdlib");
    REQUIRE_SERVER(s);
    const fs::path stou = fs::path(s.Root()) / "stou";
    fs::create_directories(stou);
    TWorkConfig c = Config(s, false);
    c.FTP.Folder = "stou";
    c.FTP.RemoteName.clear();
    ExpectUploaded(c);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(stou)) {
        ++files;
        EXPECT_EQ(ReadWholeFile(entry.path()), Page());
    }
    EXPECT_EQ(files, 1);

    c = Config(s, false);
    c.FTP.UTF8 = true;
    c.FTP.RemoteName = kPrivet1251;
    c.FTP.Passive = false;
    ExpectUploaded(c);
    EXPECT_EQ(ReadWholeFile(Utf8Path(s.Root(), Cp1251ToUtf8(kPrivet1251))), Page());
}

TEST_F(RealServerTest, PyftpdlibFailuresAreRedLoggedAndRetried) {
    TRealFtpServer& s = Server(pyftpdlib, "pyftpdlib");
    REQUIRE_SERVER(s);
    TWorkConfig c = Config(s, false);
    c.FTP.Password = "wrong";
    EXPECT_EQ(render.Render(work, c).rfind("0 FTP: 530 ", 0), 0u) << work->Show.Text();
    EXPECT_EQ(work->Show.Tone(), TStatusTone::Failure);
    EXPECT_TRUE(work->Show.Take().LogIt);
    ASSERT_TRUE(FtpClientOf(*work));
    EXPECT_FALSE(FtpClientOf(*work)->Connected());

    ExpectUploaded(Config(s, false));  // the next render, with the kept client

    c = Config(s, false);
    c.FTP.Folder = "/no/such/folder";
    EXPECT_EQ(render.Render(work, c, 7).rfind("7 FTP: 550 ", 0), 0u) << work->Show.Text();
    EXPECT_FALSE(FtpClientOf(*work));
}

TEST_F(RealServerTest, PyftpdlibBrowserWalksAndChoosesAFolder) {
    TRealFtpServer& s = Server(pyftpdlib, "pyftpdlib");
    REQUIRE_SERVER(s);
    const fs::path root = fs::path(s.Root()) / "browse";
    fs::create_directories(root / "pub" / "www");
    fs::create_directories(Utf8Path(root, Cp1251ToUtf8(kPapka1251)));
    std::ofstream(root / "pub" / "a.txt") << "12345";
    TFTPUse ftp = Config(s, false).FTP;
    ftp.Folder = "/browse";
    ftp.UTF8 = true;

    ScriptedView view;
    view.clicks = [&](TFtpFolderBrowser& b, ScriptedView& v) {
        EXPECT_EQ(v.label, "/browse");
        EXPECT_EQ(v.folders, (std::vector<std::string>{"..", "pub", kPapka1251}));
        EXPECT_EQ(v.rows, (std::vector<TFtpFileRow>{TFtpFileRow{}}));
        EXPECT_EQ(v.fit, (std::vector<int>{100, 0, 0}));
        v.DoubleClick(b, kPapka1251);  // goes out in UTF-8, comes back in the ANSI code page
        EXPECT_EQ(b.CurrentFolder(), "/browse/" + kPapka1251);
        v.DoubleClick(b, "..");
        v.DoubleClick(b, "pub");
        EXPECT_EQ(v.folders, (std::vector<std::string>{"..", "www"}));
        EXPECT_EQ(v.rows.size(), 1u);
        EXPECT_EQ(v.rows[0].Name, "a.txt");
        EXPECT_EQ(v.rows[0].Size, "5");
        EXPECT_EQ(v.rows[0].Date.size(), 14u);  // "DD-MM-YY HH:NN"
        v.DoubleClick(b, "no-such-folder");     // refused: the display keeps its content
        EXPECT_EQ(v.errors.size(), 1u);
        EXPECT_EQ(v.folders, (std::vector<std::string>{"..", "www"}));
        v.DoubleClick(b, "www");
        return 1;
    };
    EXPECT_EQ(SelectFtpFolder(ftp, view), "/browse/pub/www");

    ScriptedView cancel;
    cancel.clicks = [](TFtpFolderBrowser&, ScriptedView&) { return -1; };
    ftp.Folder.clear();
    EXPECT_EQ(SelectFtpFolder(ftp, cancel), "/");
    EXPECT_EQ(cancel.label, "/");
    EXPECT_EQ(cancel.folders.front(), "browse");  // no ".." in the root
}

// The folder chosen in the browser of a UTF-8 server, stored in Windows-1251, is the folder
// the upload stores into.
TEST_F(RealServerTest, PyftpdlibUploadFindsTheCyrillicFolderTheBrowserChose) {
    TRealFtpServer& s = Server(pyftpdlib, "pyftpdlib");
    REQUIRE_SERVER(s);
    const fs::path folder = Utf8Path(fs::path(s.Root()) / "chosen", Cp1251ToUtf8(kPapka1251));
    fs::create_directories(folder);
    TFTPUse ftp = Config(s, false).FTP;
    ftp.Folder = "/chosen";
    ftp.UTF8 = true;
    ScriptedView view;
    view.clicks = [](TFtpFolderBrowser& b, ScriptedView& v) {
        v.DoubleClick(b, kPapka1251);
        return 1;
    };
    const std::string chosen = SelectFtpFolder(ftp, view);
    ASSERT_EQ(chosen, "/chosen/" + kPapka1251);  // Windows-1251, as the settings file keeps it

    TWorkConfig c = Config(s, false);
    c.FTP.UTF8 = true;
    c.FTP.Folder = chosen;
    c.FTP.RemoteName = kPrivet1251;
    ExpectUploaded(c);
    EXPECT_EQ(ReadWholeFile(Utf8Path(folder, Cp1251ToUtf8(kPrivet1251))), Page());
}

TEST_F(RealServerTest, BrowserLoginFailureShowsTheErrorAndChoosesNothing) {
    TRealFtpServer& s = Server(pyftpdlib, "pyftpdlib");
    REQUIRE_SERVER(s);
    TFTPUse ftp = Config(s, false).FTP;
    ftp.Password = "wrong";
    ScriptedView view;
    EXPECT_EQ(SelectFtpFolder(ftp, view), "");
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0].rfind("530 ", 0), 0u);
}

#ifndef _WIN32
TEST_F(RealServerTest, VsftpdStoresPassiveActiveAndWindows1251Names) {
    TRealFtpServer& s = Server(vsftpd, "vsftpd");
    REQUIRE_SERVER(s);
    const fs::path incoming = fs::path(s.Root()) / "incoming";
    for (bool passive : {true, false}) {
        TWorkConfig c = Config(s, true);
        c.FTP.Passive = passive;
        c.FTP.RemoteName = passive ? "p.html" : "a.html";
        ExpectUploaded(c);
        EXPECT_EQ(ReadWholeFile(incoming / c.FTP.RemoteName), Page());
    }
    // Without the UTF-8 option the name goes out in Windows-1251, byte for byte.
    TWorkConfig c = Config(s, true);
    c.FTP.Folder = "incoming";
    c.FTP.RemoteName = kPrivet1251;
    ExpectUploaded(c);
    EXPECT_EQ(ReadWholeFile(incoming / kPrivet1251), Page());

    // With it, the folder and the name go out in UTF-8; the folder is stored in Windows-1251.
    const fs::path utf8Folder = incoming / Cp1251ToUtf8(kPapka1251);
    fs::create_directories(utf8Folder);
    fs::permissions(utf8Folder, fs::perms::all);  // writable for the anonymous user
    c.FTP.Folder = "/incoming/" + kPapka1251;
    c.FTP.UTF8 = true;
    c.FTP.Passive = false;
    ExpectUploaded(c);
    EXPECT_EQ(ReadWholeFile(utf8Folder / Cp1251ToUtf8(kPrivet1251)), Page());
}

TEST_F(RealServerTest, VsftpdBrowserInActiveMode) {
    TRealFtpServer& s = Server(vsftpd, "vsftpd");
    REQUIRE_SERVER(s);
    fs::create_directories(fs::path(s.Root()) / "incoming" / "sub");
    TFTPUse ftp = Config(s, true).FTP;
    ftp.Passive = false;
    ftp.Folder = "/";
    ScriptedView view;
    view.clicks = [](TFtpFolderBrowser& b, ScriptedView& v) {
        EXPECT_EQ(v.label, "/");
        EXPECT_NE(std::find(v.folders.begin(), v.folders.end(), "incoming"), v.folders.end());
        v.DoubleClick(b, "incoming");
        EXPECT_EQ(v.folders.front(), "..");
        EXPECT_NE(std::find(v.folders.begin(), v.folders.end(), "sub"), v.folders.end());
        return 1;
    };
    EXPECT_EQ(SelectFtpFolder(ftp, view), "/incoming");
    EXPECT_TRUE(view.errors.empty()) << view.errors.front();
}
#endif

} // namespace
} // namespace kw
