// FTP folder browser: the exchanges and what the window shows.
#include "ui/FtpBrowser.h"
#include "delivery/SecretMask.h"
#include "delivery/ftp/FtpSettings.h"
#include "platform/Cp1251.h"
#include "platform/Regional.h"
#include <chrono>
#include <new>
#include <thread>

namespace kw {

namespace {

// Short pauses between the exchanges, as the browser has always made them; some servers
// answer a command that follows the login too quickly with an error.
void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A server's reply may echo the password (a "530" with it): the error box never shows it.
void ShowErrorSafely(IFtpFolderView& view, const std::exception* e, const TFtpClient& client) noexcept {
    try {
        const auto* ftp = dynamic_cast<const TFtpError*>(e);
        TMessage message = ftp ? ftp->Message() : TMessage::Of(dynamic_cast<const std::bad_alloc*>(e) ? "OutOfMemory" : "FtpError");
        EditTexts(message, [&](std::string text) { return WithoutSecret(text, client.Username, client.Password); });
        view.ShowError(TextOf(message));
    } catch (...) {
        // The window could not show its error box; nothing else can be done from here.
    }
}

// "PWD", a pause, "LIST": on the worker thread; what arrived is kept for the window.
void ListCurrentDir(TFtpClient& client, TFtpServerWork& found) {
    found.Folder = client.PrintWorkingDir();
    found.HasFolder = true;
    Pause(200);
    found.Listing = client.List();
    found.HasListing = true;
}

// Longer than any exchange can take within the client's limits (connect 10 s, a handful of
// replies and one listing at 30 s each): only a view without a window waits this way.
constexpr int LongestExchangeMs = 10 * 60 * 1000;

} // namespace

bool IFtpFolderView::WaitForServer(TFtpServerWork& work) {
    return work.WaitDone(LongestExchangeMs);
}

std::string TFtpFolderBrowser::Set8(const std::string& text) const {
    return utf8Names_ ? Cp1251ToUtf8(text) : text;
}

std::string TFtpFolderBrowser::Get8(const std::string& text) const {
    return utf8Names_ ? Utf8ToCp1251(text) : text;
}

void TFtpFolderBrowser::Run(const TFTPUse& ftp) noexcept {
    try {
        utf8Names_ = ftp.UTF8;
        UseFtpSettings(session_->Client, ftp);  // no exchange runs yet
        const std::string folder = Set8(ftp.Folder);
        OnServer([folder](TFtpClient& c, TFtpServerWork& found) {
            c.Connect();
            Pause(50);
            c.ChangeDir(folder);
            Pause(100);
            ListCurrentDir(c, found);
        });
    } catch (const std::exception& e) {
        ShowErrorSafely(view_, &e, session_->Client);
    } catch (...) {
        ShowErrorSafely(view_, nullptr, session_->Client);
    }
}

bool TFtpFolderBrowser::OnServer(TFtpServerWork::TExchange exchange) {
    if (busy_ || cancelled_)
        return false;
    busy_ = true;
    std::shared_ptr<TFtpServerWork> work;
    bool finished = false;
    try {
        work = TFtpServerWork::Start(session_, std::move(exchange));
        finished = view_.WaitForServer(*work) && work->Done();
    } catch (...) {
        busy_ = false;
        throw;
    }
    busy_ = false;
    if (!finished) {
        // The worker keeps the session until its exchange ends; this browser talks no more.
        work->OnDone(nullptr);
        cancelled_ = true;
        return false;
    }
    Show(*work);
    if (work->Error)
        std::rethrow_exception(work->Error);
    return true;
}

void TFtpFolderBrowser::Show(const TFtpServerWork& work) {
    if (work.HasFolder) {
        currentFolder_ = Get8(work.Folder);
        view_.ShowCurrentFolder(currentFolder_);
    }
    if (!work.HasListing)
        return;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    DecodeDateTime(Now(), year, month, day, hour, minute, second, ms);
    Fill(ftp::ParseFtpListing(ftp::SplitListingLines(work.Listing), year, month));
}

void TFtpFolderBrowser::Fill(const std::vector<ftp::TFtpListEntry>& entries) {
    folders_.clear();
    files_.clear();
    if (currentFolder_ != "/")
        folders_.push_back("..");
    for (const ftp::TFtpListEntry& e : entries) {
        if (e.Name == "." || e.Name == "..")
            continue;
        if (e.Kind == ftp::TFtpEntryKind::Folder)
            folders_.push_back(Get8(e.Name));
        else if (e.Kind == ftp::TFtpEntryKind::File)
            files_.push_back({Get8(e.Name), std::to_string(e.Size), ftp::FormatListingDate(e.Modified)});
    }
    if (files_.empty())
        files_.push_back(TFtpFileRow{});  // the grid keeps one empty row under its header
    view_.ShowFolders(folders_);
    view_.ShowFiles(files_);
    view_.FitColumns({100, 0, 0});
}

void TFtpFolderBrowser::LBFoldersListBoxDblClick() noexcept {
    try {
        std::string folder;
        if (busy_ || cancelled_ || !view_.SelectedFolder(folder))  // one exchange at a time
            return;
        OnServer([name = Set8(folder)](TFtpClient& c, TFtpServerWork& found) {
            c.ChangeDir(name);
            ListCurrentDir(c, found);
        });
    } catch (const std::exception& e) {
        ShowErrorSafely(view_, &e, session_->Client);
    } catch (...) {
        ShowErrorSafely(view_, nullptr, session_->Client);
    }
}

std::string SelectFtpFolder(const TFTPUse& ftp, IFtpFolderView& view) {
    TFTPUse start = ftp;
    if (start.Folder.empty())
        start.Folder.assign(1, '/');  // a literal here trips a false GCC 12 -Wrestrict at -O3
    const std::string oldFolder = start.Folder;
    TFtpFolderBrowser browser(view);
    browser.Run(start);
    return view.ShowModal(browser) == 1 ? browser.CurrentFolder() : oldFolder;
}

} // namespace kw
