// TFChangePID: the modal program settings dialog (language, program group, start with Windows,
// hide to the tray). The decisions live in config/ChangePid.h.
#pragma once
#include "config/ChangePid.h"
#include "lang/Language.h"
#include "shell/win32/Controls_win32.h"
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
    // Shows it modally until it closes: 1 after SBSave (or Enter), 2 (the platform's cancel
    // result) after the close box or Escape.
    int ShowModal();

    void CBAutoStartClick();
    void CBLanguageChange();
    void SBSaveClick();

    int Pid() const { return ePid_.Value(); }
    int ModalResult() const { return modalResult_; }
    win::TFormComponents& Components() { return *components_; }
    HWND Control(const std::string& name) const;
    const win::TSpinField& EPid() const { return ePid_; }

    enum : int { IDC_CBLANGUAGE = 1101, IDC_EPID, IDC_CBAUTOSTART, IDC_CBTRAY, IDC_SBSAVE };

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

private:
    void CreateControls();
    void FormCreate();
    void Translate();
    void Centre();

    TSettings& settings_;
    lang::TLanguage& language_;
    std::unique_ptr<win::TFormComponents> components_;
    win::TButtonBar panB_;
    win::TSpinField ePid_;
    HWND owner_ = nullptr;
    HWND tooltip_ = nullptr;
    int modalResult_ = 0;
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
