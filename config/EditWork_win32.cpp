// The work editor's window: its controls in the editor's tab order, translation by the section
// "FEditWork", and the handlers over the editor's decisions in config/EditWork.h.
#include "config/EditWork_win32.h"
#include "config/EditWorkText.h"
#include "config/SettingsFile.h"
#include "config/ftp/SelectFtpDir_win32.h"
#include "platform/FileSystem.h"
#include <algorithm>
#include <commdlg.h>

namespace kw {

TSelectFtpFolderFn SelectFtpFolderHook = &SelectFtpFolderDialog;

namespace {

using win::AnsiFromUtf8;
using win::Scaled;

constexpr int FormWidth = 400;
constexpr int LabelX = 12, LabelW = 128, FieldX = 144, RowH = 22;
constexpr int GroupTop = 158, GroupH = 196;
constexpr int TextCapacity = 255;  // what a work's text fields can hold

const char* const CodePageItems[CodePageCount] = {"Windows-1251", "UTF-8", "KOI8-R", "KOI8-U", "CP866 (DOS)"};

TLocalStamp LocalStamp() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return TLocalStamp{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// A file name the dialog returned, in the system's code page; false when a character has no
// place in it (the work could not name that file).
bool AnsiFileName(const wchar_t* wide, std::string& out) {
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr, &lost);
    if (n <= 0 || lost)
        return false;
    out.assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n) - 1);
    return true;
}

} // namespace

TFEditWork::~TFEditWork() {
    if (tooltip_)
        DestroyWindow(tooltip_);
    FormClose();
}

bool TFEditWork::Create(HWND owner) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    owner_ = owner;
    Register();
    // No WS_CLIPCHILDREN: the group box draws only its frame and relies on the form's background.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    if (!CreateWin(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, win::Wide(AnsiFromUtf8("Настройки шаблона")), style, 0,
                   0, Scaled(FormWidth), Scaled(300), owner))
        return false;
    CreateControls();
    FormCreate();
    FillData(-1);
    return true;
}

HWND TFEditWork::AddLabel(const char* name, const char* caption, int x, int y, int w) {
    HWND h = win::MakeChild(Hwnd(), L"STATIC", AnsiFromUtf8(caption), SS_LEFT | SS_NOPREFIX, Scaled(x),
                            Scaled(y + 3), Scaled(w), Scaled(16), 0);
    components_->Add(name, "TLabel", h);
    return h;
}

HWND TFEditWork::AddEdit(const char* name, const char* className, int id, int x, int y, int w, DWORD style) {
    HWND h = win::MakeChild(Hwnd(), L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | style, Scaled(x), Scaled(y), Scaled(w),
                            Scaled(RowH), id, WS_EX_CLIENTEDGE);
    SendMessageW(h, EM_SETLIMITTEXT, TextCapacity, 0);
    components_->Add(name, className, h);
    return h;
}

HWND TFEditWork::AddCheck(const char* name, const char* caption, int id, int x, int y, int w) {
    HWND h = win::MakeChild(Hwnd(), L"BUTTON", AnsiFromUtf8(caption), WS_TABSTOP | BS_AUTOCHECKBOX, Scaled(x),
                            Scaled(y), Scaled(w), Scaled(RowH), id);
    components_->Add(name, "TCheckBox", h);
    return h;
}

// Created in the tab order of the editor; the FTP group's controls follow the group box.
void TFEditWork::CreateControls() {
    components_ = std::make_unique<win::TFormComponents>("FEditWork", Hwnd());
    AddLabel("LName", "Наименование", LabelX, 12, LabelW);
    AddEdit("EName", "TEdit", IDC_ENAME, FieldX, 12, 244);
    AddLabel("LShape", "Файл шаблона", LabelX, 42, LabelW);
    AddEdit("FEFileIn", "TFilenameEdit", IDC_FEFILEIN, FieldX, 42, 218);
    win::MakeChild(Hwnd(), L"BUTTON", "...", WS_TABSTOP, Scaled(FieldX + 220), Scaled(42), Scaled(24), Scaled(RowH),
                   IDC_FEFILEIN_BROWSE);
    AddLabel("LFileOut", "Файл вывода", LabelX, 72, LabelW);
    AddEdit("FEFileOut", "TFilenameEdit", IDC_FEFILEOUT, FieldX, 72, 218);
    win::MakeChild(Hwnd(), L"BUTTON", "...", WS_TABSTOP, Scaled(FieldX + 220), Scaled(72), Scaled(24), Scaled(RowH),
                   IDC_FEFILEOUT_BROWSE);
    AddLabel("LUpdate", "Обновлять (сек.)", LabelX, 102, LabelW);
    eSecs_.Create(Hwnd(), Scaled(FieldX), Scaled(102), Scaled(80), Scaled(RowH), IDC_ESECS, MinUpdateSecs,
                  MaxUpdateSecs, DefaultUpdateSecs);
    components_->Add("ESecs", "TSpinEdit", eSecs_.Edit());
    AddCheck("CBFTPUse", "Выложить на FTP", IDC_CBFTPUSE, LabelX, 130, 240);

    const int g = GroupTop;
    HWND group = win::MakeChild(Hwnd(), L"BUTTON", AnsiFromUtf8("Настройки FTP"), BS_GROUPBOX, Scaled(LabelX),
                                Scaled(g), Scaled(FormWidth - 2 * LabelX), Scaled(GroupH), IDC_GBFTP);
    components_->Add("GBFTP", "TGroupBox", group);
    const size_t firstFtp = static_cast<size_t>(components_->ComponentCount()) - 1;
    const int gx = LabelX + 12, fx = 108, gl = 82;
    AddLabel("LServer", "Сервер", gx, g + 24, gl);
    AddEdit("EFTPServer", "TEdit", IDC_EFTPSERVER, fx, g + 24, 150);
    AddLabel("LPort", "Порт", 266, g + 24, 38);
    eFTPPort_.Create(Hwnd(), Scaled(306), Scaled(g + 24), Scaled(70), Scaled(RowH), IDC_EFTPPORT, MinFtpPort,
                     MaxFtpPort, DefaultFtpPort);
    components_->Add("EFTPPort", "TSpinEdit", eFTPPort_.Edit());
    AddCheck("CBFTPPassive", "Passive", IDC_CBFTPPASSIVE, fx, g + 52, 90);
    AddCheck("CBFTPUTF8", "UTF8", IDC_CBFTPUTF8, fx + 98, g + 52, 90);
    AddLabel("LUser", "Пользователь", gx, g + 78, gl);
    AddEdit("EFTPUser", "TEdit", IDC_EFTPUSER, fx, g + 78, 268);
    AddLabel("LPass", "Пароль", gx, g + 106, gl);
    HWND pass = AddEdit("EFTPPass", "TEdit", IDC_EFTPPASS, fx, g + 106, 180, ES_PASSWORD);
    SendMessageW(pass, EM_SETPASSWORDCHAR, L'*', 0);
    AddCheck("CBShowPass", "Показать", IDC_CBSHOWPASS, fx + 188, g + 106, 80);
    AddLabel("LFolder", "Папка", gx, g + 134, gl);
    AddEdit("EFTPPath", "TEdit", IDC_EFTPPATH, fx, g + 134, 240);
    HWND select = win::MakeChild(Hwnd(), L"BUTTON", "...", WS_TABSTOP, Scaled(fx + 244), Scaled(g + 134), Scaled(24),
                                 Scaled(RowH), IDC_SBSELECTDIR);
    components_->Add("SBSelectDir", "TSpeedButton", select);
    AddLabel("LFTPFile", "Файл", gx, g + 162, gl);
    AddEdit("EFTPFileName", "TEdit", IDC_EFTPFILENAME, fx, g + 162, 268);
    for (size_t i = firstFtp; i < static_cast<size_t>(components_->ComponentCount()); ++i)
        ftpControls_.push_back(static_cast<win::TControl&>(components_->Component(static_cast<int>(i))).Hwnd());
    ftpControls_.push_back(eFTPPort_.UpDown());

    AddLabel("LCodepage", "Кодировка", LabelX, 0, LabelW);
    HWND cp = win::MakeChild(Hwnd(), L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, Scaled(FieldX), 0,
                             Scaled(244), Scaled(200), IDC_CBCODEPAGE);
    for (const char* item : CodePageItems)
        SendMessageW(cp, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win::Wide(item).c_str()));
    SendMessageW(cp, CB_SETCURSEL, 0, 0);
    components_->Add<win::TComboControl>("CBCodePage", "TComboBox", cp);

    panB_.Create(Hwnd(), 0, 0, Scaled(FormWidth));
    const int bw = Scaled(105);
    HWND save = panB_.AddButton(IDC_SBSAVE, AnsiFromUtf8("Сохранить"), Scaled(FormWidth) - 2 * bw - 6, bw);
    HWND cancel = panB_.AddButton(IDC_SBCANCEL, AnsiFromUtf8("Отмена"), Scaled(FormWidth) - bw - 3, bw);
    components_->Add("SBSave", "TSpeedButton", save);
    components_->Add("SBCancel", "TSpeedButton", cancel);
    components_->Add("PanB", "TPanel", panB_.Hwnd());
}

HWND TFEditWork::Control(const std::string& name) const {
    if (win::TControl* c = components_->Find(name))
        return c->Hwnd();
    return nullptr;
}

// The code page row and the button bar move up while the FTP group is hidden, so the form has
// no empty hole; the form stays centred on the screen.
void TFEditWork::Layout() {
    const bool ftp = win::IsChecked(Control("CBFTPUse"));
    const int rowY = ftp ? GroupTop + GroupH + 10 : GroupTop + 4;
    MoveWindow(Control("LCodepage"), Scaled(LabelX), Scaled(rowY + 3), Scaled(LabelW), Scaled(16), TRUE);
    MoveWindow(Control("CBCodePage"), Scaled(FieldX), Scaled(rowY), Scaled(244), Scaled(200), TRUE);
    const int barY = Scaled(rowY + RowH + 14);
    MoveWindow(panB_.Hwnd(), 0, barY, Scaled(FormWidth), win::TButtonBar::BarHeight, TRUE);

    win::SizeAndCentre(Hwnd(), Scaled(FormWidth), barY + win::TButtonBar::BarHeight);
}

void TFEditWork::FormCreate() {
    language_.LoadAndTranslate(*components_, list_);
    tooltip_ = win::MakeHints(Hwnd(), *components_, tooltip_);
}

void TFEditWork::FormClose() { lang::TLanguage::FreeSection(list_, true); }

void TFEditWork::FillData(int index) {
    // A position outside the list cannot be edited: the form then makes a new work.
    editIndex_ = index >= 0 && static_cast<size_t>(index) < settings_.Works.Count() ? index : -1;
    const TEditWorkFields f = kw::FillData(settings_.Works, editIndex_);
    win::SetText(Control("EName"), f.Name);
    SetFileField(Control("FEFileIn"), f.FileIn);
    SetFileField(Control("FEFileOut"), f.FileOut);
    eSecs_.SetValue(f.Secs);
    SendMessageW(Control("CBCodePage"), CB_SETCURSEL, static_cast<WPARAM>(f.CodePage), 0);
    win::SetChecked(Control("CBFTPUse"), f.FTPUse);
    win::SetText(Control("EFTPServer"), f.FTPServer);
    eFTPPort_.SetValue(f.FTPPort);
    win::SetChecked(Control("CBFTPPassive"), f.FTPPassive);
    win::SetChecked(Control("CBFTPUTF8"), f.FTPUTF8);
    win::SetText(Control("EFTPUser"), f.FTPUser);
    win::SetText(Control("EFTPPass"), f.FTPPass);
    win::SetText(Control("EFTPPath"), f.FTPPath);
    win::SetText(Control("EFTPFileName"), f.FTPFileName);
    CBFTPUseClick();
}

TEditWorkFields TFEditWork::Fields() const {
    TEditWorkFields f;
    f.Name = win::GetText(Control("EName"));
    f.FileIn = FileField(Control("FEFileIn"));
    f.FileOut = FileField(Control("FEFileOut"));
    f.Secs = eSecs_.Value();
    const LRESULT cp = SendMessageW(Control("CBCodePage"), CB_GETCURSEL, 0, 0);
    f.CodePage = cp >= 0 && cp < CodePageCount ? static_cast<int>(cp) : 0;
    f.FTPUse = win::IsChecked(Control("CBFTPUse"));
    f.FTPServer = win::GetText(Control("EFTPServer"));
    f.FTPPort = eFTPPort_.Value();
    f.FTPPassive = win::IsChecked(Control("CBFTPPassive"));
    f.FTPUTF8 = win::IsChecked(Control("CBFTPUTF8"));
    f.FTPUser = win::GetText(Control("EFTPUser"));
    f.FTPPass = win::GetText(Control("EFTPPass"));
    f.FTPPath = win::GetText(Control("EFTPPath"));
    f.FTPFileName = win::GetText(Control("EFTPFileName"));
    return f;
}

void TFEditWork::SetFileField(HWND field, const std::string& name) { win::SetText(field, QuoteFileName(name)); }

std::string TFEditWork::FileField(HWND field) const { return UnquoteFileName(win::GetText(field)); }

int TFEditWork::ShowModal() {
    modalResult_ = 0;
    if (owner_)
        EnableWindow(owner_, FALSE);
    ShowWindow(Hwnd(), SW_SHOW);
    SetForegroundWindow(Hwnd());
    SetFocus(Control("EName"));
    const bool quit = !win::RunModalLoop(Hwnd(), [this] { return modalResult_ != 0 || !IsWindow(Hwnd()); });
    if (quit || modalResult_ == 0)
        modalResult_ = -1;  // the program is ending: nothing was saved
    // The owner comes back before this form goes, so that it gets the activation.
    if (owner_)
        EnableWindow(owner_, TRUE);
    if (Hwnd())
        ShowWindow(Hwnd(), SW_HIDE);
    FormClose();
    return modalResult_;
}

void TFEditWork::CBFTPUseClick() {
    const int show = win::IsChecked(Control("CBFTPUse")) ? SW_SHOW : SW_HIDE;
    for (HWND h : ftpControls_)
        ShowWindow(h, show);
    if (show == SW_HIDE) {
        HWND focus = GetFocus();
        for (HWND h : ftpControls_)
            if (focus == h)
                SetFocus(Control("CBFTPUse"));
    }
    Layout();
}

void TFEditWork::CBShowPassClick() {
    HWND pass = Control("EFTPPass");
    SendMessageW(pass, EM_SETPASSWORDCHAR, win::IsChecked(Control("CBShowPass")) ? 0 : L'*', 0);
    InvalidateRect(pass, nullptr, TRUE);
}

void TFEditWork::SBCancelClick() { modalResult_ = -1; }

void TFEditWork::SBSaveClick() {
    const TEditWorkFields f = Fields();
    const TCheckResult check =
        CheckSttings(f, settings_.Works, editIndex_, [](const std::string& path) { return fs::FileExists(path); });
    if (!check.Ok) {
        ShowError(check);
        return;
    }
    if (editIndex_ < 0) {
        const int index = GetNewSection(settings_.Works, LocalStamp(), ApplySetting(f, TWorkConfig{}));
        if (index < 0) {
            ShowText(AnsiFromUtf8("Список уже содержит 128 шаблонов: новый шаблон добавить нельзя."));
            return;
        }
        editIndex_ = index;
    }
    const TWorkPtr work = settings_.Works.At(editIndex_);
    work->SetConfig(ApplySetting(f, work->Config()));
    std::string error;
    if (!SaveWork(settings_, editIndex_, &error))
        ShowText(error);  // the work is in the list and runs; the user learns the file is behind
    modalResult_ = 1;
}

void TFEditWork::SBSelectDirClick() {
    const TEditWorkFields f = Fields();
    if (const std::string key = CheckBrowseFields(f); !key.empty()) {
        ShowError(TCheckResult{false, key, false, {}});
        return;
    }
    TFTPUse ftp;
    ftp.Server = TrimText(f.FTPServer);
    ftp.Port = static_cast<uint16_t>(f.FTPPort);
    ftp.Passive = f.FTPPassive;
    ftp.UTF8 = f.FTPUTF8;
    ftp.Login = TrimText(f.FTPUser);
    ftp.Password = f.FTPPass;
    ftp.Folder = f.FTPPath;
    std::string folder = ftp.Folder.empty() ? "/" : ftp.Folder;
    if (SelectFtpFolderHook) {
        folder = SelectFtpFolderHook(Hwnd(), ftp);
        if (owner_)
            EnableWindow(owner_, FALSE);  // the browser's own modality must not free the main window
    }
    win::SetText(Control("EFTPPath"), folder);
}

void TFEditWork::BrowseFileClick(bool templateFile) {
    HWND field = Control(templateFile ? "FEFileIn" : "FEFileOut");
    const std::string current = FileField(field);
    std::wstring name(32768, L'\0');
    const std::wstring start = win::Wide(fs::ExtractFileName(current));
    const std::wstring folder = win::Wide(fs::ExtractFilePath(current));
    start.copy(name.data(), std::min(start.size(), name.size() - 1));
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Hwnd();
    ofn.lpstrFilter = L"*.*\0*.*\0";
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | (templateFile ? OFN_FILEMUSTEXIST : 0);
    if (!GetOpenFileNameW(&ofn))
        return;
    std::string chosen;
    if (!AnsiFileName(name.c_str(), chosen) || chosen.size() > static_cast<size_t>(TextCapacity)) {
        ShowText(AnsiFromUtf8("Имя файла не подходит для шаблона (символы вне кодовой страницы системы или длиннее "
                              "255 знаков): ") +
                 win::Ansi(name.c_str()));
        return;
    }
    SetFileField(field, chosen);
}

// The message of a failed check, then the focus on the field it is about.
void TFEditWork::ShowError(const TCheckResult& failure) {
    if (failure.HasArgument)
        language_.ShowDialogFmt(failure.MessageKey, lang::TMsgDlgType::Error, {failure.Argument}, list_.get(),
                                lang::mbOKOnly);
    else
        language_.ShowDialog(failure.MessageKey, lang::TMsgDlgType::Error, list_.get(), lang::mbOKOnly);
    if (owner_)
        EnableWindow(owner_, FALSE);  // a message box owned by the main window would free it
    const std::string& k = failure.MessageKey;
    const char* field = k == "SetShape" || k == "DblShape"         ? "EName"
                        : k == "SetFileIn" || k == "FileInNotEx"   ? "FEFileIn"
                        : k == "SetFTPServ"                        ? "EFTPServer"
                        : k == "SetFTPUser"                        ? "EFTPUser"
                        : k == "SetFTPPass"                        ? "EFTPPass"
                                                                   : "FEFileOut";
    SetFocus(Control(field));
}

void TFEditWork::ShowText(const std::string& text) {
    language_.ShowTextDialog(text, lang::TMsgDlgType::Error, lang::mbOKOnly);
    if (owner_)
        EnableWindow(owner_, FALSE);
}

void TFEditWork::Command(int id, int code) {
    switch (id) {
    case IDOK: SBSaveClick(); break;       // Enter
    case IDCANCEL: SBCancelClick(); break;  // Escape
    case IDC_SBSAVE: SBSaveClick(); break;
    case IDC_SBCANCEL: SBCancelClick(); break;
    case IDC_CBFTPUSE: CBFTPUseClick(); break;
    case IDC_CBSHOWPASS: CBShowPassClick(); break;
    case IDC_SBSELECTDIR: SBSelectDirClick(); break;
    case IDC_FEFILEIN_BROWSE: BrowseFileClick(true); break;
    case IDC_FEFILEOUT_BROWSE: BrowseFileClick(false); break;
    case IDC_ESECS:
        if (code == EN_KILLFOCUS)
            eSecs_.Normalise();
        break;
    case IDC_EFTPPORT:
        if (code == EN_KILLFOCUS)
            eFTPPort_.Normalise();
        break;
    }
}

LRESULT TFEditWork::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wp), code = HIWORD(wp);
        const bool edit = id == IDC_ESECS || id == IDC_EFTPPORT;
        if (edit || code == BN_CLICKED)
            Command(id, code);
        return 0;
    }
    case WM_CLOSE:
        modalResult_ = lang::mrCancel;  // the close box: the platform's cancel result
        return 0;
    }
    return Default(msg, wp, lp);
}

bool EditWork(HWND owner, TSettings& settings, lang::TLanguage& language, int index) {
    try {
        TFEditWork form(settings, language);
        if (!form.Create(owner))
            return false;
        form.FillData(index);
        return form.ShowModal() > 0;
    } catch (...) {
        if (owner)
            EnableWindow(owner, TRUE);
        return true;  // whatever happened, showing the works again is right
    }
}

} // namespace kw
