// FTP folder browser: the exchanges and what the window shows.
#include "config/ftp/FtpBrowser.h"
#include "platform/Cp1251.h"
#include "platform/Regional.h"
#include <chrono>
#include <thread>

namespace kw {

namespace {

// Short pauses between the exchanges, as the browser has always made them; some servers
// answer a command that follows the login too quickly with an error.
void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void ShowErrorSafely(IFtpFolderView& view, const char* text) noexcept {
    try {
        view.ShowError(text && *text ? text : "FTP error.");
    } catch (...) {
        // The window could not show its error box; nothing else can be done from here.
    }
}

} // namespace

std::string TFtpFolderBrowser::Set8(const std::string& text) const {
    return utf8Names_ ? Cp1251ToUtf8(text) : text;
}

std::string TFtpFolderBrowser::Get8(const std::string& text) const {
    return utf8Names_ ? Utf8ToCp1251(text) : text;
}

void TFtpFolderBrowser::Run(const TFTPUse& ftp) noexcept {
    try {
        utf8Names_ = ftp.UTF8;
        ftp_.Passive = ftp.Passive;
        ftp_.Host = ftp.Server;
        ftp_.Port = ftp.Port;
        ftp_.Username = ftp.Login;
        ftp_.Password = ftp.Password;
        ftp_.Timeouts = DefaultFtpTimeouts();
        ftp_.Connect();
        Pause(50);
        ftp_.ChangeDir(Set8(ftp.Folder));
        Pause(100);
        ShowCurrentDir();
    } catch (const std::exception& e) {
        ShowErrorSafely(view_, e.what());
    } catch (...) {
        ShowErrorSafely(view_, nullptr);
    }
}

void TFtpFolderBrowser::ShowCurrentDir() {
    currentFolder_ = Get8(ftp_.PrintWorkingDir());
    view_.ShowCurrentFolder(currentFolder_);
    Pause(200);
    const std::string listing = ftp_.List();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    DecodeDateTime(Now(), year, month, day, hour, minute, second, ms);
    Fill(ftp::ParseFtpListing(ftp::SplitListingLines(listing), year, month));
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
        if (!view_.SelectedFolder(folder))
            return;
        ftp_.ChangeDir(Set8(folder));
        ShowCurrentDir();
    } catch (const std::exception& e) {
        ShowErrorSafely(view_, e.what());
    } catch (...) {
        ShowErrorSafely(view_, nullptr);
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
