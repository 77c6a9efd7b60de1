// TFEditWork: the modal work editor. Shows one work's fields, checks them (config/EditWork.h
// decides), gives a new work its section and saves the work's section at once.
#pragma once
#include "ui/EditWork.h"
#include "dialogs/Preview_win32.h"
#include "lang/Language.h"
#include "ui/win32/ButtonBar.h"
#include "ui/win32/Controls.h"
#include "ui/win32/Layout.h"
#include "ui/win32/SpinField.h"
#include "ui/win32/Tooltips.h"
#include "works/Settings.h"
#include <memory>
#include <string>
#include <vector>

namespace kw {

// The FTP folder browser the editor opens, in the editor's language: returns the folder chosen
// on the server of `ftp`, or the old folder ("/" when empty) when the browser was cancelled or
// failed.
using TSelectFtpFolderFn = std::string (*)(HWND owner, const TFTPUse& ftp, const lang::TLanguage* language);
// It is the FTP folder browser window (delivery/ftp/SelectFtpDir_win32.h); tests put a stand-in
// here. While it is null the folder button leaves the folder as it is.
extern TSelectFtpFolderFn SelectFtpFolderHook;

class TFEditWork : public win::TWindowBase<TFEditWork> {
public:
    static const wchar_t* ClassName() { return L"TFEditWork"; }

    TFEditWork(TSettings& settings, lang::TLanguage& language) : settings_(settings), language_(language) {}
    ~TFEditWork() override;
    // The broadcast state the preview and the tag reference read.
    void SetPageSource(TPageSource source) { pageSource_ = std::move(source); }

    // Creates the (hidden) form, translates it (`FormCreate`) and fills it for work `index`.
    bool Create(HWND owner);
    void FillData(int index);
    // Shows the form modally until it closes and returns the modal result: 1 after a save,
    // -1 after SBCancel or Escape, 2 (the platform's cancel result) after the close box.
    // Enter saves only from the Save button itself (or Ctrl+Enter anywhere): in a field it
    // moves to the next field, as a user filling in a form expects; Escape cancels.
    int ShowModal();

    // Handlers, callable by tests as a user's action would call them.
    // The target chosen in the list: its group shows, the others hide.
    void CBTargetChange();
    void CBShowPassClick();
    void SBSaveClick();
    void SBCancelClick();
    void SBSelectDirClick();
    void BrowseFileClick(bool templateFile);
    // The preview and the tag reference of the form's current, unsaved settings.
    void SBPreviewClick();
    void SBTagsClick();
    // The work's live address onto the clipboard.
    void SBCopyLiveClick();

    // The controls' contents as the editor's checks see them.
    TEditWorkFields Fields() const;
    TPreviewSettings PreviewSettings() const;
    int EditIndex() const { return editIndex_; }
    int ModalResult() const { return modalResult_; }
    win::TFormComponents& Components() { return *components_; }
    const win::TSpinField& ESecs() const { return eSecs_; }
    const win::TSpinField& EFTPPort() const { return eFTPPort_; }
    const win::TSpinField& EDelay() const { return eDelay_; }
    const win::TSpinField& ERefreshMinutes() const { return eRefreshMinutes_; }
    int TargetIndex() const;
    // The work's address on the live server; empty while the server is off or the work is new.
    const std::string& LiveAddress() const { return liveAddress_; }

    enum : int {
        IDC_ENAME = 1001, IDC_FEFILEIN, IDC_FEFILEIN_BROWSE, IDC_FEFILEOUT, IDC_FEFILEOUT_BROWSE, IDC_ESECS,
        IDC_CBTARGET, IDC_GBFTP, IDC_EFTPSERVER, IDC_EFTPPORT, IDC_CBFTPPASSIVE, IDC_CBFTPUTF8, IDC_EFTPUSER,
        IDC_EFTPPASS, IDC_CBSHOWPASS, IDC_EFTPPATH, IDC_SBSELECTDIR, IDC_EFTPFILENAME, IDC_CBCODEPAGE,
        IDC_SBSAVE, IDC_SBCANCEL, IDC_CBESCAPING, IDC_SBPREVIEW, IDC_SBTAGS, IDC_CBFTPTLS, IDC_EFTPCERT
    };
    // the HTTP(S) and the TCP/UDP groups
    enum : int {
        IDC_GBHTTP = 1101, IDC_CBHTTPMETHOD, IDC_EHTTPURL, IDC_EHTTPUSER, IDC_EHTTPPASS, IDC_EHTTPTYPE,
        IDC_EHTTPCERT, IDC_GBTEXT, IDC_ETEXTHOST, IDC_ETEXTPORT
    };
    // the MQTT group
    enum : int {
        IDC_GBMQTT = 1201, IDC_EMQTTHOST, IDC_EMQTTPORT, IDC_CBMQTTTLS, IDC_EMQTTCERT, IDC_EMQTTCLIENTID,
        IDC_EMQTTUSER, IDC_EMQTTPASS, IDC_EMQTTTOPIC, IDC_CBMQTTQOS, IDC_CBMQTTRETAIN, IDC_EMQTTSTATUSTOPIC,
        IDC_CBMQTTNOWPLAYING
    };
    // the publishing group
    enum : int {
        IDC_GBPUBLISH = 1151, IDC_CBTRIGGER, IDC_ETRIGGERLETTERS, IDC_CBTRIGGERBLOCK, IDC_EDELAY,
        IDC_CBONLYCHANGED, IDC_EREFRESHMINUTES
    };
    // the live pages' group
    enum : int { IDC_GBLIVE = 1171, IDC_CBSERVELIVE, IDC_SBCOPYLIVE, IDC_ELIVEADDRESS };

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
    void DpiChanged(int dpi, const RECT* suggested) override;

private:
    // A control's place at 96 DPI; Layout scales it.
    struct TPlaced {
        HWND Hwnd;
        win::TBox At;
    };
    void CreateControls();
    HWND Place(HWND control, int x, int y, int w, int h);
    HWND AddLabel(const char* name, int x, int y, int w);
    HWND AddEdit(const char* name, const char* className, int id, int x, int y, int w, DWORD style = 0);
    HWND AddCheck(const char* name, int id, int x, int y, int w);
    HWND AddBrowse(int id, int x, int y);
    HWND AddGroup(const char* name, int id, int height);
    win::TComboControl* AddList(const char* name, int id, int x, int y, int w);
    void CreateHttpGroup();
    void CreateTextGroup();
    void CreateMqttGroup();
    void CreatePublishGroup();
    void CreateLiveGroup();
    // The address (or why there is none) in its field; Copy only while there is one.
    void ShowLiveAddress();
    // The letters only for the letters trigger, the refresh only with "only when changed".
    void EnablePublishFields();
    win::TSpinField* SpinOf(HWND edit);
    const win::TSpinField* SpinOf(HWND edit) const;
    void ShowGroup(const std::vector<HWND>& controls, bool show);
    void ListChanged(int id);
    int GroupHeight() const;
    void Layout();
    void NextField(bool back);
    void FormCreate();
    void FormClose();
    void Command(int id, int code);
    void ShowError(const TCheckResult& failure);
    // The state the work's delay shows now.
    TPageState CurrentPage() const;
    void SetFileField(HWND field, const std::string& name);
    std::string FileField(HWND field) const;

    TSettings& settings_;
    lang::TLanguage& language_;
    std::unique_ptr<lang::TSectionList> list_;
    std::unique_ptr<win::TFormComponents> components_;
    win::TButtonBar panB_;
    win::TSpinField eSecs_, eFTPPort_, eDelay_, eRefreshMinutes_;
    win::TTooltips hints_;
    // the controls the editor reads and writes
    HWND eName_ = nullptr, feFileIn_ = nullptr, feFileOut_ = nullptr, eFTPServer_ = nullptr;
    HWND cbFTPPassive_ = nullptr, cbFTPUTF8_ = nullptr, eFTPUser_ = nullptr, eFTPPass_ = nullptr;
    HWND cbShowPass_ = nullptr, eFTPPath_ = nullptr, eFTPFileName_ = nullptr, lCodepage_ = nullptr;
    HWND sbSave_ = nullptr, sbCancel_ = nullptr, sbPreview_ = nullptr, sbTags_ = nullptr, lEscaping_ = nullptr;
    HWND cbFTPTLS_ = nullptr, eFTPCert_ = nullptr;
    win::TComboControl* cbCodePage_ = nullptr;
    win::TComboControl* cbEscaping_ = nullptr;
    win::TComboControl* cbTarget_ = nullptr;
    win::TComboControl* cbHTTPMethod_ = nullptr;
    HWND eHTTPURL_ = nullptr, eHTTPUser_ = nullptr, eHTTPPass_ = nullptr, eHTTPType_ = nullptr, eHTTPCert_ = nullptr;
    HWND eTextHost_ = nullptr, eTextPort_ = nullptr;
    win::TComboControl* cbTrigger_ = nullptr;
    HWND lTriggerLetters_ = nullptr, eTriggerLetters_ = nullptr, cbOnlyChanged_ = nullptr, lRefresh_ = nullptr;
    HWND eLiveAddress_ = nullptr, sbCopyLive_ = nullptr;
    std::string liveAddress_;
    TPageSource pageSource_;
    std::vector<TPlaced> placed_;    // every control but the code page row and the button bar
    std::vector<HWND> ftpControls_;  // GBFTP and what it holds
    std::vector<HWND> httpControls_, textControls_, mqttControls_;  // GBHTTP, GBText, GBMQTT and what they hold
    HWND owner_ = nullptr;
    int editIndex_ = -1;
    int modalResult_ = 0;
    int shownTarget_ = -1;  // the target whose group the form shows
};

// Opens the work editor for work `index` (-1: a new work) over `owner`; true when the main
// window is to show the works again (saved, or closed by the close box). Its preview reads
// `pageSource`.
bool EditWork(HWND owner, TSettings& settings, lang::TLanguage& language, int index, TPageSource pageSource = {});

} // namespace kw
