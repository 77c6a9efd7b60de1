// The program settings dialog's window and the main window's settings button.
#include "config/ChangePid_win32.h"
#include "config/SettingsFile.h"
#include "platform/FileSystem.h"
#include <vector>

namespace kw {

namespace {

using win::AnsiFromUtf8;
using win::Scaled;

constexpr int FormWidth = 260;
constexpr int RowH = 22;

} // namespace

TFChangePID::~TFChangePID() {
    if (tooltip_)
        DestroyWindow(tooltip_);
}

bool TFChangePID::Create(HWND owner, int pid) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    owner_ = owner;
    Register();
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    if (!CreateWin(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, win::Wide(AnsiFromUtf8("Установить PID")), style, 0, 0,
                   Scaled(FormWidth), Scaled(220), owner))
        return false;
    CreateControls();
    ePid_.SetValue(pid);
    FormCreate();
    return true;
}

void TFChangePID::CreateControls() {
    components_ = std::make_unique<win::TFormComponents>("FChangePID", Hwnd());
    const int x = 12, w = FormWidth - 24;
    HWND l = win::MakeChild(Hwnd(), L"STATIC", "Language", SS_CENTER | SS_NOPREFIX, Scaled(x), Scaled(12), Scaled(w),
                            Scaled(16), 0);
    components_->Add("LLanguage", "TLabel", l);
    HWND cb = win::MakeChild(Hwnd(), L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, Scaled(x),
                             Scaled(30), Scaled(w), Scaled(200), IDC_CBLANGUAGE);
    components_->Add<win::TComboControl>("CBLanguage", "TComboBox", cb);
    HWND pidLabel = win::MakeChild(Hwnd(), L"STATIC", AnsiFromUtf8("Укажите группу программ (PID)"), SS_LEFT | SS_NOPREFIX,
                                   Scaled(x), Scaled(64), Scaled(w), Scaled(16), 0);
    components_->Add("LSetPID", "TLabel", pidLabel);
    ePid_.Create(Hwnd(), Scaled(x), Scaled(82), Scaled(100), Scaled(RowH), IDC_EPID, MinPid, MaxPid, MinPid);
    components_->Add("EPid", "TSpinEdit", ePid_.Edit());
    HWND autoStart = win::MakeChild(Hwnd(), L"BUTTON", AnsiFromUtf8("Автозапуск c Windows"),
                                    WS_TABSTOP | BS_AUTOCHECKBOX, Scaled(x), Scaled(114), Scaled(w), Scaled(RowH),
                                    IDC_CBAUTOSTART);
    components_->Add("CBAutoStart", "TCheckBox", autoStart);
    HWND tray = win::MakeChild(Hwnd(), L"BUTTON", AnsiFromUtf8("Спрятать в Tray"), WS_TABSTOP | BS_AUTOCHECKBOX,
                               Scaled(x), Scaled(138), Scaled(w), Scaled(RowH), IDC_CBTRAY);
    components_->Add("CBTray", "TCheckBox", tray);

    const int barY = Scaled(172);
    panB_.Create(Hwnd(), 0, barY, Scaled(FormWidth));
    const int bw = Scaled(105);
    HWND save = panB_.AddButton(IDC_SBSAVE, AnsiFromUtf8("Сохранить"), (Scaled(FormWidth) - bw) / 2, bw);
    components_->Add("SBSave", "TSpeedButton", save);
    components_->Add("PanB", "TPanel", panB_.Hwnd());
    win::SizeAndCentre(Hwnd(), Scaled(FormWidth), barY + win::TButtonBar::BarHeight);
}

HWND TFChangePID::Control(const std::string& name) const {
    if (win::TControl* c = components_->Find(name))
        return c->Hwnd();
    return nullptr;
}

void TFChangePID::FormCreate() {
    std::vector<std::string> names;
    language_.GetLanguageNames(names);
    auto& list = static_cast<win::TComboControl&>(*components_->Find("CBLanguage"));
    for (const std::string& n : names)
        SendMessageW(list.Hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win::Wide(n).c_str()));
    int index = language_.IndexOfLanguage(settings_.Language);
    if (index < 0 && !names.empty())
        index = 0;
    list.SetItemIndex(index);
    Translate();
    // Ticking the box counts as a click: a registration found only machine-wide gains its
    // per-user value now.
    const bool registered = IsAutoStartRegistered(fs::ProgramPath());
    win::SetChecked(Control("CBAutoStart"), registered);
    if (registered)
        CBAutoStartClick();
    win::SetChecked(Control("CBTray"), settings_.Hide);
}

void TFChangePID::Translate() {
    language_.TranslateOnce(*components_);
    tooltip_ = win::MakeHints(Hwnd(), *components_, tooltip_);
}

void TFChangePID::CBAutoStartClick() { SetAutoStart(win::IsChecked(Control("CBAutoStart")), fs::ProgramPath()); }

void TFChangePID::CBLanguageChange() {
    const int index = components_->Find("CBLanguage")->ItemIndex();
    if (index < 0)
        return;
    (void)language_.SelectLanguage(index);
    Translate();
}

void TFChangePID::SBSaveClick() {
    const auto& list = *components_->Find("CBLanguage");
    TProgramSettingsChoice choice;
    choice.Hide = win::IsChecked(Control("CBTray"));
    choice.LanguageIndex = list.ItemIndex();
    choice.LanguageCount = list.ItemCount();
    ApplyProgramSettings(choice, settings_, [this](int i) { return language_.LanguageFileName(i); });
    modalResult_ = lang::mrOk;
}

int TFChangePID::ShowModal() {
    modalResult_ = 0;
    if (owner_)
        EnableWindow(owner_, FALSE);
    ShowWindow(Hwnd(), SW_SHOW);
    SetForegroundWindow(Hwnd());
    SetFocus(Control("CBLanguage"));
    const bool quit = !win::RunModalLoop(Hwnd(), [this] { return modalResult_ != 0 || !IsWindow(Hwnd()); });
    if (quit || modalResult_ == 0)
        modalResult_ = -1;  // the program is ending: the number is not taken
    ePid_.Normalise();
    if (owner_)
        EnableWindow(owner_, TRUE);
    if (Hwnd())
        ShowWindow(Hwnd(), SW_HIDE);
    return modalResult_;
}

LRESULT TFChangePID::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wp), code = HIWORD(wp);
        if (id == IDC_CBLANGUAGE && code == CBN_SELCHANGE)
            CBLanguageChange();
        else if (id == IDC_EPID && code == EN_KILLFOCUS)
            ePid_.Normalise();
        else if (code == BN_CLICKED && id == IDC_CBAUTOSTART)
            CBAutoStartClick();
        else if (code == BN_CLICKED && (id == IDC_SBSAVE || id == IDOK))
            SBSaveClick();
        else if (code == BN_CLICKED && id == IDCANCEL)
            modalResult_ = lang::mrCancel;  // Escape closes as the close box does
        return 0;
    }
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
