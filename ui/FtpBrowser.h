// The logic of the FTP folder browser (TFSelectFTPDir): it logs in with the editor's current
// values, shows the server's current folder with its subfolders and files, changes folder on
// a double click and returns the folder the server reports. The window itself implements
// IFtpFolderView; everything it shows is decided here. The exchanges with the server run on a
// worker thread while the view waits (WaitForServer), so the window thread never blocks on
// the network.
#pragma once
#include "config/WorkConfig.h"
#include "delivery/ftp/FtpClient.h"
#include "delivery/ftp/FtpListing.h"
#include "delivery/ftp/FtpServerWork.h"
#include <memory>
#include <string>
#include <vector>

namespace kw {

// One row of the file grid under its header ("FileName", "Size", "Date").
struct TFtpFileRow {
    std::string Name;
    std::string Size;
    std::string Date;
    bool operator==(const TFtpFileRow&) const = default;
};

class TFtpFolderBrowser;

class IFtpFolderView {
public:
    virtual ~IFtpFolderView() = default;
    virtual void ShowCurrentFolder(const std::string& folder) = 0;           // LCurrentFolder
    virtual void ShowFolders(const std::vector<std::string>& folders) = 0;  // LbFolders, in order
    // SGFiles' rows under the header; always at least one (an empty row for an empty folder).
    virtual void ShowFiles(const std::vector<TFtpFileRow>& rows) = 0;
    // FitColumns of the main window's layout on SGFiles with these percentages.
    virtual void FitColumns(const std::vector<int>& percents) = 0;
    // The selected entry of LbFolders; false when none is selected.
    virtual bool SelectedFolder(std::string& text) = 0;
    virtual void ShowError(const std::string& text) = 0;  // error box with an OK button
    // Shows the dialog modally; its double clicks go to `browser`. 1 for SBSave, -1 for
    // SBCancel or closing.
    virtual int ShowModal(TFtpFolderBrowser& browser) = 0;
    // Waits while `work` talks to the server on its worker thread. A window keeps handling its
    // messages meanwhile, shows that it waits and lets the user cancel: false then, and the
    // browser drops the work. A view without a window just waits for the end.
    virtual bool WaitForServer(TFtpServerWork& work);
};

class TFtpFolderBrowser {
public:
    explicit TFtpFolderBrowser(IFtpFolderView& view) : view_(view) {}

    // Connects with `ftp`, changes to its folder and shows it; a failure is shown in an error
    // box and leaves the display as far as it was filled.
    void Run(const TFTPUse& ftp) noexcept;
    // Changes to the selected folder (a name relative to the current one, or "..") and shows it.
    void LBFoldersListBoxDblClick() noexcept;

    std::string Set8(const std::string& text) const;  // ANSI -> server names
    std::string Get8(const std::string& text) const;  // server names -> ANSI

    const std::string& CurrentFolder() const noexcept { return currentFolder_; }
    const std::vector<std::string>& Folders() const noexcept { return folders_; }
    const std::vector<TFtpFileRow>& Files() const noexcept { return files_; }
    // True while an exchange runs: a double click then does nothing. After a cancel the
    // browser does no more exchanges.
    bool Busy() const noexcept { return busy_; }
    bool Cancelled() const noexcept { return cancelled_; }

private:
    // Runs `exchange` on the worker and shows what it found; false when the user cancelled.
    // Rethrows the exchange's failure after showing what came before it.
    bool OnServer(TFtpServerWork::TExchange exchange);
    void Show(const TFtpServerWork& work);
    void Fill(const std::vector<ftp::TFtpListEntry>& entries);

    IFtpFolderView& view_;
    std::shared_ptr<TFtpSession> session_ = std::make_shared<TFtpSession>();
    bool busy_ = false;
    bool cancelled_ = false;
    bool utf8Names_ = false;
    std::string currentFolder_;
    std::vector<std::string> folders_;
    std::vector<TFtpFileRow> files_{TFtpFileRow{}};
};

// The work editor's entry: lets the user pick a folder on the server of `ftp` (the editor's
// current values). Returns the folder the server reported when the user took it, otherwise
// the old folder ("/" when it was empty).
std::string SelectFtpFolder(const TFTPUse& ftp, IFtpFolderView& view);

} // namespace kw
