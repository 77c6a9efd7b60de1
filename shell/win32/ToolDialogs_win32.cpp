// The dialogs behind the tool bar's buttons: the work editor (with the FTP folder browser
// behind its folder button) and the program settings.
#include "dialogs/ChangePid_win32.h"
#include "dialogs/EditWork_win32.h"
#include "dialogs/SelectFtpDir_win32.h"
#include "shell/win32/Application_win32.h"

namespace kw {

void TApplication::ConnectDialogs() { SelectFtpFolderHook = &SelectFtpFolderDialog; }

bool TApplication::EditWork(int index) {
    const bool changed = Language && kw::EditWork(page_.Hwnd(), Settings, *Language, index,
                                                  [this](int64_t delayMs) { return CurrentPage(delayMs); });
    if (changed)
        ApplyLiveSettings();  // "serve live", the output's name and code page
    return changed;
}

void TApplication::EditProgramSettings() {
    if (!Language)
        return;
    if (!SBPidClick(page_.Hwnd(), Settings, *Language))  // the choice holds for this run; the file did not take it
        Language->ShowDialogFmt("SettingsNotWritten", lang::TMsgDlgType::Error, {Settings.FileName},
                                MainSection.get(), lang::mbOKOnly);
    ApplyLiveSettings();
}

} // namespace kw
