// TFChangePID: the modal program settings dialog (language, program group, start with Windows,
// hide to the tray, the live pages' server). The decisions live in ui/ChangePid.h.
#pragma once
#include "ui/ChangePid.h"
#include "lang/Language.h"
#include "ui/win32/ButtonBar.h"
#include "ui/win32/Controls.h"
#include "ui/win32/SpinField.h"
#include "ui/win32/Tooltips.h"
#include <memory>
#include <string>

namespace kw {

class TFChangePID : public win::TWindowBase<TFChangePID> {
public:
    static const wchar_t* ClassName() { return L"TFChangePID"; }

    TFChangePID(TSettings& settings, lang::TLanguage& language) : settings_(settings), language_(language) {}
    ~TFChangePID() override;

    // Creates the (hidden) dialog and runs `FormCreate`; EPid starts at `pid`.
    bool Create(HWND owner, int pid);
    // Shows it modally until it closes: 1 after SBSave (or Enter, anywhere: the dialog is one
    // short row of choices), 2 (the platform's cancel result) after the close box or Escape.
    int ShowModal();

    void CBAutoStartClick();
    void CBLanguageChange();
    // The live pages' group: its fields only while the server is on, the key's only while other
    // computers may connect (a key made then if there is none yet).
    void CBLiveClick();
    // A new access key, shown at once and stored with the other settings on SBSave.
    void SBNewKeyClick();
    void SBSaveClick();

    int Pid() const { return ePid_.Value(); }
    int ModalResult() const { return modalResult_; }
    win::TFormComponents& Components() { return *components_; }
    const win::TSpinField& EPid() const { return ePid_; }
    const win::TSpinField& ELivePort() const { return eLivePort_; }

    enum : int { IDC_CBLANGUAGE = 1101, IDC_EPID, IDC_CBAUTOSTART, IDC_CBTRAY, IDC_SBSAVE };
    enum : int { IDC_GBLIVE = 1121, IDC_CBLIVESERVER, IDC_ELIVEPORT, IDC_CBLIVEOTHER, IDC_ELIVEKEY, IDC_SBNEWKEY };

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
    void DpiChanged(int dpi, const RECT* suggested) override;

private:
    void CreateControls();
    void CreateLiveGroup();
    void Layout();
    void FormCreate();
    void Translate();
    // The live group as typed; false (the message shown, the focus on the port) for a port the
    // server could not use while it is on.
    bool TakeLiveSettings(TLiveSettings& live);

    TSettings& settings_;
    lang::TLanguage& language_;
    std::unique_ptr<win::TFormComponents> components_;
    win::TButtonBar panB_;
    win::TSpinField ePid_, eLivePort_;
    win::TTooltips hints_;
    HWND lLanguage_ = nullptr, lSetPID_ = nullptr, cbAutoStart_ = nullptr, cbTray_ = nullptr, sbSave_ = nullptr;
    HWND gbLive_ = nullptr, cbLiveServer_ = nullptr, lLivePort_ = nullptr, cbLiveOther_ = nullptr;
    HWND lLiveKey_ = nullptr, eLiveKey_ = nullptr, sbNewKey_ = nullptr;
    win::TControl* eLivePortControl_ = nullptr;  // the port as the translation knows it (its hint)
    std::string liveKey_;  // the key the group shows, stored on SBSave
    win::TComboControl* cbLanguage_ = nullptr;
    HWND owner_ = nullptr;
    int modalResult_ = 0;
    int shownLanguage_ = -1;  // the language the dialog is translated into
};

// `EditProgramSettings`: shows the dialog with EPid at `pid`; the dialog's number when it closed
// with a result above 0, otherwise `pid`. Hide and Language change in `settings` on SBSave; the
// current language may change at once through the language list.
int EditProgramSettings(HWND owner, TSettings& settings, lang::TLanguage& language, int pid);

// The main window's settings button: the dialog, the PID stored when it changed, then the
// program settings written (PID, Hide, Language) whatever the outcome. False when the file could
// not be written (`error` says why). The caller then runs Language_Change.
bool SBPidClick(HWND owner, TSettings& settings, lang::TLanguage& language, std::string* error = nullptr);

} // namespace kw
