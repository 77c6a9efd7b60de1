// TFSelectFTPDir: the window of the FTP folder browser. It shows the server's current folder,
// its subfolders and its files, and hands double clicks to the browser logic
// (TFtpFolderBrowser), which decides everything it shows. Its captions are those of the section
// "FSelectFTPDir" of the editor's language (the built-in English without one).
#pragma once
#include "ui/FtpBrowser.h"
#include "lang/Language.h"
#include "ui/win32/ButtonBar.h"
#include "ui/win32/Controls.h"
#include "ui/win32/ListView.h"
#include "ui/win32/ModalForm.h"
#include "ui/win32/Splitter.h"
#include <commctrl.h>
#include <memory>
#include <string>
#include <vector>

namespace kw {

class TFSelectFTPDir : public win::TWindowBase<TFSelectFTPDir>, public IFtpFolderView {
  public:
    static const wchar_t* ClassName() { return L"TFSelectFTPDir"; }

    // IDOK and IDCANCEL come only from Enter and Escape, whose meaning depends on the focus.
    enum : int { IDC_LCURRENTFOLDER = 201, IDC_LBFOLDERS, IDC_SGFILES, IDC_SBSAVE, IDC_SBCANCEL };

    static constexpr int ClientWidth = 771;
    static constexpr int ClientHeight = 500;
    static constexpr int SplitterWidth = 4;
    static constexpr int GridRowHeight = 18;  // sizes at 96 DPI

    explicit TFSelectFTPDir(const lang::TLanguage* language = nullptr) : language_(language) {}
    ~TFSelectFTPDir() override;

    // Creates the dialog centred over `owner`, shows it and disables the owner until the
    // dialog is destroyed. False when the window could not be created.
    bool Create(HWND owner);

    // IFtpFolderView
    void ShowCurrentFolder(const std::string& folder) override;
    void ShowFolders(const std::vector<std::string>& folders) override;
    void ShowFiles(const std::vector<TFtpFileRow>& rows) override;
    void FitColumns(const std::vector<int>& percents) override;
    bool SelectedFolder(std::string& text) override;
    void ShowError(const std::string& text) override;
    int ShowModal(TFtpFolderBrowser& browser) override;
    bool WaitForServer(TFtpServerWork& work) override;

    void FormCreate();
    void SBSaveClick();
    void SBCancelClick();
    void PanCResize();
    void PanBResize();

    int ModalResult() const { return modalResult_; }
    bool Waiting() const { return waiting_; } // for the server
    HWND LCurrentFolder() const { return lCurrentFolder_; }
    HWND LbFolders() const { return lbFolders_; }
    HWND SGFiles() const { return sgFiles_; }
    HWND Splitter() const { return splitter_.Hwnd(); }
    HWND SBSave() const { return sbSave_; }
    HWND SBCancel() const { return sbCancel_; }
    HWND Progress() const { return progress_; } // moving bar in the top bar while the server works
    win::TFormComponents& Components() { return *components_; }

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void Destroyed() override; // after WM_NCDESTROY

  protected:
    void DpiChanged(int dpi, const RECT* suggested) override;

  private:
    void CreateControls();
    void Layout();
    void PlaceCentre(int listWidth);
    void SplitterMoved(int left);
    void FolderDblClick();
    void ShowWaiting(bool waiting);
    void Command(int id, int code);
    void PaintBars();
    std::vector<RECT> Rows() const;
    RECT CentreRect() const;

    const lang::TLanguage* language_;
    std::unique_ptr<win::TFormComponents> components_;  // what translation sees
    HWND owner_ = nullptr;
    std::unique_ptr<win::TDisabledOwner> modal_; // the owner, disabled while the dialog is open
    HWND lCurrentFolder_ = nullptr, lbFolders_ = nullptr, sgFiles_ = nullptr;
    HWND sbSave_ = nullptr, sbCancel_ = nullptr, progress_ = nullptr;
    win::TSplitter splitter_;
    win::TButtonBar panB_;
    TFtpFolderBrowser* browser_ = nullptr; // set while the dialog runs modally
    bool folderReported_ = false;
    bool waiting_ = false; // an exchange with the server runs
    int modalResult_ = 0;
};

// The work editor's entry: lets the user walk the folders of the server in `ftp` (the editor's
// current values) over `owner` and returns the chosen folder, as the server reports it, or the
// old folder ("/" when it was empty) when the user cancels. `language` may be null (built-in
// English). Never throws.
std::string SelectFtpFolderDialog(HWND owner, const TFTPUse& ftp, const lang::TLanguage* language) noexcept;

} // namespace kw
