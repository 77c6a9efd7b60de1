// The folder browser's exchanges run on a worker while the view waits: the caller's thread
// is free during the exchange, a double click during it is ignored, and a cancel returns at
// once from a server that never answers, keeping the old folder.
#include "FakeFtpServer.h"
#include "ui/FtpBrowser.h"
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>

namespace kw {
namespace {

using test::TFakeFtpServer;
using test::TFakeSession;
using Clock = std::chrono::steady_clock;

// A one-shot signal from the test to the server's script, with a bound on the wait.
class TGate {
public:
    void Open() {
        std::lock_guard<std::mutex> hold(lock_);
        open_ = true;
        changed_.notify_all();
    }
    bool Wait(int ms = TFakeSession::WaitMs) {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::milliseconds(ms), [this] { return open_; });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool open_ = false;
};

// Records what the browser shows; WaitForServer runs the test's own wait.
class TWaitingView : public IFtpFolderView {
public:
    void ShowCurrentFolder(const std::string& f) override { label = f; }
    void ShowFolders(const std::vector<std::string>& f) override { folders = f; }
    void ShowFiles(const std::vector<TFtpFileRow>& r) override { rows = r; }
    void FitColumns(const std::vector<int>&) override {}
    bool SelectedFolder(std::string& text) override {
        ++selections;
        text = selected;
        return !selected.empty();
    }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    int ShowModal(TFtpFolderBrowser& browser) override { return modal ? modal(browser) : 1; }
    bool WaitForServer(TFtpServerWork& work) override {
        ++waits;
        return wait(work);
    }

    std::string label, selected;
    std::vector<std::string> folders, errors;
    std::vector<TFtpFileRow> rows;
    int selections = 0, waits = 0;
    std::function<bool(TFtpServerWork&)> wait;
    std::function<int(TFtpFolderBrowser&)> modal;
};

TFTPUse Ftp(uint16_t port, const std::string& folder) {
    TFTPUse f;
    f.Server = "127.0.0.1";
    f.Port = port;
    f.Passive = true;
    f.Login = "kw";
    f.Password = "secret";
    f.Folder = folder;
    return f;
}

class FtpBrowserWorker : public ::testing::Test {
protected:
    // Long limits: a test that waited for them instead of cancelling would show it.
    void SetUp() override { SetDefaultFtpTimeouts({10000, 10000, 10000}); }
    void TearDown() override { SetDefaultFtpTimeouts({}); }
};

// One folder shown as the browser asks for it: PWD, PASV, LIST with `listing`.
void ServeFolder(TFakeSession& s, const std::string& folder, const std::string& listing) {
    s.Command();
    s.Reply("257 \"" + folder + "\" is current");
    s.Command();
    s.Reply(s.OpenPassive());
    s.AcceptData();
    s.Command();
    s.Reply("150 here it comes");
    s.Data.SendAll(listing.data(), listing.size(), TFakeSession::WaitMs).ok();
    s.Data.Close();
    s.Reply("226 done");
}

TEST_F(FtpBrowserWorker, ExchangeRunsWhileTheCallerWaitsAndADoubleClickMeanwhileIsIgnored) {
    TGate greet;
    TFakeFtpServer server([&](TFakeSession& s) {
        if (!greet.Wait())
            return;
        s.Login();
        s.Command();
        s.Reply("250 ok");
        ServeFolder(s, "/pub", "drwxr-xr-x 2 kw kw 0 Jan 01 2026 www\r\n");
        s.Command();
        s.Reply("250 ok");
        ServeFolder(s, "/pub/www", "-rw-r--r-- 1 kw kw 5 Jan 01 2026 a.txt\r\n");
        s.Command();  // the client closes without a word
    });
    TWaitingView view;
    view.wait = [&](TFtpServerWork& work) {
        if (view.waits == 1) {
            // The server has not even greeted: the exchange cannot have ended, and the
            // caller's thread is here, free to handle a double click.
            EXPECT_FALSE(work.Done());
            greet.Open();
        }
        return work.WaitDone(5000);
    };
    view.modal = [&](TFtpFolderBrowser& b) {
        EXPECT_EQ(view.label, "/pub");
        EXPECT_EQ(view.folders, (std::vector<std::string>{"..", "www"}));
        view.selected = "www";
        view.wait = [&](TFtpServerWork& work) {
            EXPECT_TRUE(b.Busy());
            b.LBFoldersListBoxDblClick();  // a second double click while the first one runs
            EXPECT_EQ(view.selections, 1) << "the second double click must not start an exchange";
            return work.WaitDone(5000);
        };
        b.LBFoldersListBoxDblClick();
        EXPECT_FALSE(b.Busy());
        EXPECT_EQ(view.rows, (std::vector<TFtpFileRow>{{"a.txt", "5", "01-01-26 00:00"}}));
        return 1;
    };
    EXPECT_EQ(SelectFtpFolder(Ftp(server.Port(), "pub"), view), "/pub/www");
    server.Join();
    EXPECT_TRUE(view.errors.empty()) << view.errors.front();
    EXPECT_EQ(view.waits, 2);
    const std::vector<std::string> expected = {"USER kw", "PASS secret", "TYPE I", "SYST", "CWD pub", "PWD",
                                               "PASV",    "LIST",        "CWD www", "PWD", "PASV", "LIST"};
    EXPECT_EQ(server.Commands(), expected);
}

TEST_F(FtpBrowserWorker, CancelWhileTheServerNeverAnswersReturnsAtOnceWithTheOldFolder) {
    TGate release;
    TFakeFtpServer server([&](TFakeSession&) { release.Wait(); });  // accepts, never greets
    TWaitingView view;
    view.wait = [](TFtpServerWork& work) {
        EXPECT_FALSE(work.WaitDone(100));
        return false;  // the user cancels
    };
    view.modal = [](TFtpFolderBrowser& b) {
        EXPECT_TRUE(b.Cancelled());
        b.LBFoldersListBoxDblClick();  // nothing more goes to the server after a cancel
        return -1;
    };
    const auto start = Clock::now();
    EXPECT_EQ(SelectFtpFolder(Ftp(server.Port(), "/old"), view), "/old");
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    // The exchange itself would wait 10 s for the greeting.
    EXPECT_LT(spent, 5000) << "the cancel waited for the server";
    EXPECT_EQ(view.waits, 1);
    EXPECT_EQ(view.selections, 0);
    EXPECT_TRUE(view.errors.empty()) << "a cancel is not an error";
    EXPECT_EQ(view.label, "");
    release.Open();
}

TEST_F(FtpBrowserWorker, FailureOnTheWorkerIsShownAfterWhatCameBeforeIt) {
    TFakeFtpServer server([](TFakeSession& s) {
        s.Login();
        s.Command();
        s.Reply("250 ok");
        s.Command();
        s.Reply("257 \"/half\" is current");
        s.Command();
        s.Reply("425 no data connection for you");
        s.Command();
    });
    TWaitingView view;
    view.wait = [](TFtpServerWork& work) { return work.WaitDone(5000); };
    EXPECT_EQ(SelectFtpFolder(Ftp(server.Port(), "half"), view), "/half");
    server.Join();
    EXPECT_EQ(view.label, "/half");
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0].rfind("425 ", 0), 0u) << view.errors[0];
    EXPECT_TRUE(view.folders.empty());
}

} // namespace
} // namespace kw
