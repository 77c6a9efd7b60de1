// The program settings dialog's window and the main window's settings button.
#include "dialogs/ChangePid_win32.h"
#include "works/Settings.h"
#include "lang/BuiltinTexts.h"
#include "live/AccessKey.h"
#include "platform/FileSystem.h"
#include "ui/win32/DropDown.h"
#include "ui/win32/Layout.h"
#include "ui/win32/ModalForm.h"
#include <commctrl.h>
#include <vector>

namespace kw {

namespace {

constexpr int FormWidth = 300;
// The live pages' group under the program's own settings.
constexpr int LiveTop = 166, LiveH = 160;

} // namespace

TFChangePID::~TFChangePID() = default;

bool TFChangePID::Create(HWND owner, int pid) {
    owner_ = owner;
    // No WS_CLIPCHILDREN: the group box draws only its frame and relies on the form's background.
    if (!CreateForm(owner, "", FormWidth, 340, ICC_UPDOWN_CLASS, 0))
        return false;
    CreateControls();
    ePid_.SetValue(pid);
    FormCreate();
    return true;
}

void TFChangePID::CreateControls() {
    components_ = std::make_unique<win::TFormComponents>("FChangePID", Hwnd());
    lLanguage_ = win::MakeChild(Hwnd(), L"STATIC", "", SS_CENTER | SS_NOPREFIX, 0, 0, 1, 1, 0);
    components_->Add("LLanguage", "TLabel", lLanguage_);
    HWND cb = win::MakeChild(Hwnd(), L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 1, 1,
                             IDC_CBLANGUAGE);
    cbLanguage_ = &components_->Add<win::TComboControl>("CBLanguage", "TComboBox", cb);
    lSetPID_ = win::MakeChild(Hwnd(), L"STATIC", "", SS_LEFT | SS_NOPREFIX,
                              0, 0, 1, 1, 0);
    components_->Add("LSetPID", "TLabel", lSetPID_);
    ePid_.Create(Hwnd(), IDC_EPID, MinPid, MaxPid, MinPid);
    components_->Add("EPid", "TSpinEdit", ePid_.Edit());
    cbAutoStart_ = win::MakeChild(Hwnd(), L"BUTTON", "",
                                  WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 1, 1, IDC_CBAUTOSTART);
    components_->Add("CBAutoStart", "TCheckBox", cbAutoStart_);
    cbTray_ = win::MakeChild(Hwnd(), L"BUTTON", "", WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0,
                             1, 1, IDC_CBTRAY);
    components_->Add("CBTray", "TCheckBox", cbTray_);
    CreateLiveGroup();

    panB_.Create(Hwnd(), 0, 0, S(FormWidth));
    sbSave_ = panB_.AddButton(IDC_SBSAVE, "");
    components_->Add("SBSave", "TSpeedButton", sbSave_);
    components_->Add("PanB", "TPanel", panB_.Hwnd());
    Layout();
}

// The live pages: on/off, the port, other computers, and the access key with its button.
void TFChangePID::CreateLiveGroup() {
    gbLive_ = win::MakeChild(Hwnd(), L"BUTTON", "", BS_GROUPBOX, 0, 0, 1, 1, IDC_GBLIVE);
    components_->Add("GBLive", "TGroupBox", gbLive_);
    cbLiveServer_ = win::MakeChild(Hwnd(), L"BUTTON", "", WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 1, 1, IDC_CBLIVESERVER);
    components_->Add("CBLiveServer", "TCheckBox", cbLiveServer_);
    lLivePort_ = win::MakeChild(Hwnd(), L"STATIC", "", SS_LEFT | SS_NOPREFIX, 0, 0, 1, 1, 0);
    components_->Add("LLivePort", "TLabel", lLivePort_);
    eLivePort_.Create(Hwnd(), IDC_ELIVEPORT, 1, 65535, DefaultLivePort);
    eLivePortControl_ = &components_->Add("ELivePort", "TSpinEdit", eLivePort_.Edit());
    cbLiveOther_ = win::MakeChild(Hwnd(), L"BUTTON", "", WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 1, 1, IDC_CBLIVEOTHER);
    components_->Add("CBLiveOther", "TCheckBox", cbLiveOther_);
    lLiveKey_ = win::MakeChild(Hwnd(), L"STATIC", "", SS_LEFT | SS_NOPREFIX, 0, 0, 1, 1, 0);
    components_->Add("LLiveKey", "TLabel", lLiveKey_);
    sbNewKey_ = win::MakeChild(Hwnd(), L"BUTTON", "", WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 1, 1, IDC_SBNEWKEY);
    components_->Add("SBNewKey", "TButton", sbNewKey_);
    // read-only, yet in the tab order: the key can be selected and copied
    eLiveKey_ = win::MakeChild(Hwnd(), L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY, 0, 0, 1, 1,
                               IDC_ELIVEKEY, WS_EX_CLIENTEDGE);
    components_->Add("ELiveKey", "TEdit", eLiveKey_);
}

void TFChangePID::Layout() {
    win::TLayout l(*this, FormWidth);
    const int x = 12, w = FormWidth - 24;
    l.Put(lLanguage_, {x, 12, w, win::LabelHeight});
    l.DropDown(cbLanguage_->Hwnd(), x, 30, w);
    l.Put(lSetPID_, {x, 64, w, win::LabelHeight});
    l.Put(ePid_, {x, 82, 100, win::RowHeight});
    l.Put(cbAutoStart_, {x, 114, w, win::RowHeight});
    l.Put(cbTray_, {x, 138, w, win::RowHeight});
    const int g = LiveTop, gx = x + 12, gw = w - 24;
    l.Put(gbLive_, {x, g, w, LiveH});
    l.Put(cbLiveServer_, {gx, g + 20, gw, win::RowHeight});
    l.Label(lLivePort_, gx, g + 48, gw - 96);
    l.Put(eLivePort_, {gx + gw - 90, g + 48, 90, win::RowHeight});
    l.Put(cbLiveOther_, {gx, g + 76, gw, win::RowHeight});
    // the key on a row of its own, so that all of it shows
    l.Label(lLiveKey_, gx, g + 102, gw - 96);
    l.Put(sbNewKey_, {gx + gw - 90, g + 102, 90, win::RowHeight});
    l.Put(eLiveKey_, {gx, g + 128, gw, win::RowHeight});
    l.Bar(panB_, LiveTop + LiveH + 10);
    l.BarCentre({sbSave_, 105});
    l.SizeAndCentreForm();
}

void TFChangePID::DpiChanged(int dpi, const RECT*) {
    panB_.ApplyDpi(dpi);
    win::SetChildFonts(Hwnd(), dpi);
    Layout();
    RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TFChangePID::FormCreate() {
    std::vector<std::string> names;
    language_.GetLanguageNames(names);
    auto& list = *cbLanguage_;
    for (const std::string& n : names)
        list.AddItem(n);
    int index = language_.IndexOfLanguage(settings_.Language);
    if (index < 0 && !names.empty())
        index = 0;
    list.SetItemIndex(index);
    shownLanguage_ = list.ItemIndex();
    Translate();
    // Ticking the box counts as a click: a registration found only machine-wide gains its
    // per-user value now.
    const bool registered = IsAutoStartRegistered(fs::ProgramPath());
    win::SetChecked(cbAutoStart_, registered);
    if (registered)
        CBAutoStartClick();
    win::SetChecked(cbTray_, settings_.Hide);
    win::SetChecked(cbLiveServer_, settings_.Live.On);
    eLivePort_.SetValue(settings_.Live.Port);
    win::SetChecked(cbLiveOther_, settings_.Live.OtherComputers);
    liveKey_ = settings_.Live.AccessKey;
    CBLiveClick();
}

void TFChangePID::CBLiveClick() {
    const bool on = win::IsChecked(cbLiveServer_);
    const bool lan = on && win::IsChecked(cbLiveOther_);
    if (lan && liveKey_.empty())
        liveKey_ = live::NewAccessKey();  // the key the server will ask for, shown before it does
    win::SetText(eLiveKey_, liveKey_);
    for (HWND h : {lLivePort_, eLivePort_.Edit(), eLivePort_.UpDown(), cbLiveOther_})
        EnableWindow(h, on);
    for (HWND h : {lLiveKey_, eLiveKey_, sbNewKey_})
        EnableWindow(h, lan);
}

void TFChangePID::SBNewKeyClick() {
    liveKey_ = live::NewAccessKey();
    win::SetText(eLiveKey_, liveKey_);
}

bool TFChangePID::TakeLiveSettings(TLiveSettings& live) {
    live = settings_.Live;
    live.On = win::IsChecked(cbLiveServer_);
    live.OtherComputers = win::IsChecked(cbLiveOther_);
    live.AccessKey = liveKey_;
    uint16_t port = 0;
    if (ParseLivePort(win::GetText(eLivePort_.Edit()), port)) {
        live.Port = port;
        return true;
    }
    if (!live.On)
        return true;  // a server that stays off keeps its port; the field is greyed out
    std::unique_ptr<lang::TSectionList> list;
    language_.LoadSection(components_->Name(), list);
    language_.ShowDialog("BadLivePort", lang::TMsgDlgType::Error, list.get(), lang::mbOKOnly);
    lang::TLanguage::FreeSection(list, true);
    SetFocus(eLivePort_.Edit());
    SendMessageW(eLivePort_.Edit(), EM_SETSEL, 0, -1);
    return false;
}

// The built-in texts first: a key the new language lacks shows in English, not in the old one.
void TFChangePID::Translate() {
    lang::ShowBuiltinTexts(*components_, components_->Name());
    language_.TranslateOnce(*components_);
    // the language files' translation knows no spin fields: the port's hint is taken here
    std::unique_ptr<lang::TSectionList> list;
    language_.LoadSection(components_->Name(), list);
    eLivePortControl_->SetHint(
        language_.Lookup("ELivePort.Hint", list.get(), lang::BuiltinText(components_->Name(), "ELivePort.Hint")));
    eLivePortControl_->SetShowHint(true);
    lang::TLanguage::FreeSection(list, true);
    hints_.SetFromForm(Hwnd(), *components_);
}

void TFChangePID::CBAutoStartClick() { SetAutoStart(win::IsChecked(cbAutoStart_), fs::ProgramPath()); }

void TFChangePID::CBLanguageChange() {
    const int index = cbLanguage_->ItemIndex();
    if (index < 0)
        return;
    shownLanguage_ = index;
    (void)language_.SelectLanguage(index);
    Translate();
}

void TFChangePID::SBSaveClick() {
    TLiveSettings live;
    if (!TakeLiveSettings(live))
        return;  // the dialog stays open with the port to correct
    const auto& list = *cbLanguage_;
    TProgramSettingsChoice choice;
    choice.Live = live;
    choice.Hide = win::IsChecked(cbTray_);
    choice.LanguageIndex = list.ItemIndex();
    choice.LanguageCount = list.ItemCount();
    ApplyProgramSettings(choice, settings_, [this](int i) { return language_.LanguageFileName(i); });
    modalResult_ = lang::mrOk;
}

int TFChangePID::ShowModal() {
    modalResult_ = 0;
    const bool ended = win::ShowModalForm(Hwnd(), owner_, cbLanguage_->Hwnd(), [this] { return modalResult_ != 0; });
    if (!ended || modalResult_ == 0)
        modalResult_ = -1;  // the program is ending: the number is not taken
    ePid_.Normalise();
    return modalResult_;
}

LRESULT TFChangePID::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wp), code = HIWORD(wp);
        if (id == IDC_CBLANGUAGE)
            win::NoteDropDown(Hwnd(), reinterpret_cast<HWND>(lp), code);
        else if (id == IDC_EPID && code == EN_KILLFOCUS)
            ePid_.Normalise();
        else if (code == BN_CLICKED && id == IDC_CBAUTOSTART)
            CBAutoStartClick();
        else if (code == BN_CLICKED && (id == IDC_CBLIVESERVER || id == IDC_CBLIVEOTHER))
            CBLiveClick();
        else if (code == BN_CLICKED && id == IDC_SBNEWKEY)
            SBNewKeyClick();
        else if (code == BN_CLICKED && (id == IDC_SBSAVE || id == IDOK))
            SBSaveClick();
        else if (code == BN_CLICKED && id == IDCANCEL)
            modalResult_ = lang::mrCancel;  // Escape closes as the close box does
        return 0;
    }
    case win::WM_KW_LISTCHANGED:
        // the language is switched (and the dialog translated again) once the list has closed
        if (static_cast<int>(wp) == IDC_CBLANGUAGE && cbLanguage_->ItemIndex() != shownLanguage_)
            CBLanguageChange();
        return 0;
    case WM_CLOSE:
        modalResult_ = lang::mrCancel;  // the platform's cancel result: the number is taken
        return 0;
    }
    return Default(msg, wp, lp);
}

int EditProgramSettings(HWND owner, TSettings& settings, lang::TLanguage& language, int pid) {
    try {
        TFChangePID form(settings, language);
        if (!form.Create(owner, pid))
            return pid;
        const int result = form.ShowModal();
        return ProgramSettingsResult(result, form.Pid(), pid);
    } catch (...) {
        if (owner)
            EnableWindow(owner, TRUE);
        return pid;
    }
}

bool SBPidClick(HWND owner, TSettings& settings, lang::TLanguage& language, std::string* error) {
    const int pid = EditProgramSettings(owner, settings, language, settings.PID);
    if (pid != settings.PID)
        settings.PID = static_cast<int16_t>(pid);
    return SaveProgramSettings(settings, error);
}

} // namespace kw
