// The work editor's window: its controls in the editor's tab order, translation by the section
// "FEditWork", and the handlers over the editor's decisions in config/EditWork.h.
#include "dialogs/EditWork_win32.h"
#include "config/EditWorkText.h"
#include "works/Settings.h"
#include "config/TargetChecks.h"
#include "config/WorkFields.h"
#include "lang/BuiltinTexts.h"
#include "dialogs/SelectFtpDir_win32.h"
#include "dialogs/TagList_win32.h"
#include "platform/Regional.h"
#include "render/RenderWork.h"
#include "render/ValueEscaping.h"
#include "platform/ComputerName.h"
#include "platform/FileSystem.h"
#include "ui/win32/DropDown.h"
#include "ui/win32/ModalForm.h"
#include <commctrl.h>
#include <algorithm>
#include <initializer_list>
#include <commdlg.h>

namespace kw {

TSelectFtpFolderFn SelectFtpFolderHook = &SelectFtpFolderDialog;

namespace {

// The work's own fields and its target on the left, the publishing group on the right: the
// form grows in width, not in height, so it stays whole on a 1024 x 768 screen at 150 %.
constexpr int LeftWidth = 400, FormWidth = 620;
constexpr int LabelX = 12, LabelW = 128, FieldX = 144, RowH = 22;
constexpr int GroupTop = 158, GroupH = 224, HttpGroupH = 196, TextGroupH = 84, MqttGroupH = 224;
constexpr int PublishX = LeftWidth, PublishTop = 8, PublishW = FormWidth - LeftWidth - LabelX, PublishH = 212;
// The live pages' group under the publishing group; the address takes two lines, so a whole
// address shows at every scale.
constexpr int LiveTop = PublishTop + PublishH + 8, LiveH = 122;
constexpr int TextCapacity = 255;  // what a work's text fields can hold

// Every item is a word of the language (FormCreate).
const char* const TriggerKeys[TriggerCount] = {"CBTrigger.Every", "CBTrigger.Songs", "CBTrigger.Letters"};
// The last item, Latin letters, is a word of the language (FormCreate).
const char* const CodePageItems[CodePageCount] = {"Windows-1251", "UTF-8", "KOI8-R", "KOI8-U", "CP866 (DOS)", ""};
constexpr int LatinCodePage = CodePageCount - 1;
// "file only" is the language's words (FormCreate); the protocols keep their names
const char* const TargetItems[TargetChoiceCount] = {"", "FTP", "HTTP(S)", "TCP", "UDP", "MQTT"};

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

// The system's file dialog, loaded when first asked for: comdlg32 brings the print spooler's
// libraries with it, which would otherwise load at every start of the program for a dialog
// few starts ever open.
BOOL OpenFileDialog(OPENFILENAMEW& ofn) {
    using Fn = BOOL(WINAPI*)(OPENFILENAMEW*);
    static const Fn open = [] {
        HMODULE dll = LoadLibraryW(L"comdlg32.dll");
        return dll ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, "GetOpenFileNameW"))) : nullptr;
    }();
    return open ? open(&ofn) : FALSE;
}

// A wrapped read-only field that Tab and Enter leave as they leave a one-line field: a
// multi-line edit would otherwise keep every key, and the focus would stay in it.
LRESULT CALLBACK KeysLeaveField(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_GETDLGCODE)
        return DefSubclassProc(h, msg, wp, lp) & ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    return DefSubclassProc(h, msg, wp, lp);
}

// A work field's control, by the name the work-field table gives it; null when it has none.
win::TControl* ControlNamed(win::TFormComponents& form, const char* name) {
    for (int i = 0; name && i < form.ComponentCount(); ++i)
        if (form.Control(i).Name() == name)
            return &form.Control(i);
    return nullptr;
}

// The spin field whose edit box is `edit`, or null.
template <typename Spin>
Spin* SpinWithEdit(HWND edit, std::initializer_list<Spin*> spins) {
    for (Spin* spin : spins)
        if (spin->Edit() == edit)
            return spin;
    return nullptr;
}

// A field's value shown in its control...
void ShowField(const TWorkField& field, const TEditWorkFields& f, win::TControl& control, win::TSpinField* spin) {
    switch (field.Kind) {
    case TControlKind::Edit: control.SetText(f.*field.TextField); break;
    case TControlKind::FileName: control.SetText(QuoteFileName(f.*field.TextField)); break;
    case TControlKind::Check: win::SetChecked(control.Hwnd(), f.*field.FlagField); break;
    case TControlKind::Spin:
        if (spin)
            spin->SetValue(f.*field.NumberField);
        break;
    case TControlKind::List: control.SetItemIndex(f.*field.NumberField); break;
    case TControlKind::None: break;
    }
}

// ...and taken from it: a list without a choice gives the field's default.
void TakeField(const TWorkField& field, const win::TControl& control, const win::TSpinField* spin,
               TEditWorkFields& f) {
    switch (field.Kind) {
    case TControlKind::Edit: f.*field.TextField = control.Text(); break;
    case TControlKind::FileName: f.*field.TextField = UnquoteFileName(control.Text()); break;
    case TControlKind::Check: f.*field.FlagField = win::IsChecked(control.Hwnd()); break;
    case TControlKind::Spin:
        if (spin)
            f.*field.NumberField = spin->Value();
        break;
    case TControlKind::List: {
        const int position = control.ItemIndex();
        f.*field.NumberField = position >= 0 ? position : field.DefaultNumber;
        break;
    }
    case TControlKind::None: break;
    }
}

} // namespace

TFEditWork::~TFEditWork() { FormClose(); }

bool TFEditWork::Create(HWND owner) {
    owner_ = owner;
    // No WS_CLIPCHILDREN: the group box draws only its frame and relies on the form's background.
    if (!CreateForm(owner, "", FormWidth, 300, ICC_UPDOWN_CLASS, 0))
        return false;
    CreateControls();
    FormCreate();
    FillData(-1);
    return true;
}

HWND TFEditWork::Place(HWND control, int x, int y, int w, int h) {
    placed_.push_back(TPlaced{control, win::TBox{x, y, w, h}});
    return control;
}

HWND TFEditWork::AddLabel(const char* name, int x, int y, int w) {
    HWND h = Place(win::MakeChild(Hwnd(), L"STATIC", "", SS_LEFT | SS_NOPREFIX, 0, 0, 1, 1, 0), x,
                   y + 3, w, 16);
    components_->Add(name, "TLabel", h);
    return h;
}

HWND TFEditWork::AddEdit(const char* name, const char* className, int id, int x, int y, int w, DWORD style) {
    HWND h = Place(win::MakeChild(Hwnd(), L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | style, 0, 0, 1, 1, id,
                                  WS_EX_CLIENTEDGE),
                   x, y, w, RowH);
    SendMessageW(h, EM_SETLIMITTEXT, TextCapacity, 0);
    components_->Add(name, className, h);
    return h;
}

HWND TFEditWork::AddCheck(const char* name, int id, int x, int y, int w) {
    HWND h = Place(win::MakeChild(Hwnd(), L"BUTTON", "", WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 1, 1,
                                  id),
                   x, y, w, RowH);
    components_->Add(name, "TCheckBox", h);
    return h;
}

HWND TFEditWork::AddBrowse(int id, int x, int y) {
    return Place(win::MakeChild(Hwnd(), L"BUTTON", "...", WS_TABSTOP, 0, 0, 1, 1, id), x, y, 24, RowH);
}

HWND TFEditWork::AddGroup(const char* name, int id, int height) {
    HWND group = Place(win::MakeChild(Hwnd(), L"BUTTON", "", BS_GROUPBOX, 0, 0, 1, 1, id), LabelX,
                       GroupTop, LeftWidth - 2 * LabelX, height);
    components_->Add(name, "TGroupBox", group);
    return group;
}

win::TComboControl* TFEditWork::AddList(const char* name, int id, int x, int y, int w) {
    HWND h = win::MakeChild(Hwnd(), L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 1, 1, id);
    placed_.push_back(TPlaced{h, win::TBox{x, y, w, 200}});  // the height of the open list
    return &components_->Add<win::TComboControl>(name, "TComboBox", h);
}

// The HTTP(S) group: method, address, credentials, content type, trusted certificate.
void TFEditWork::CreateHttpGroup() {
    const int first = components_->ComponentCount();
    AddGroup("GBHTTP", IDC_GBHTTP, HttpGroupH);
    const int g = GroupTop, gx = LabelX + 12, gl = 100, fx = 128, fw = 248;
    AddLabel("LHTTPMethod", gx, g + 24, gl);
    cbHTTPMethod_ = AddList("CBHTTPMethod", IDC_CBHTTPMETHOD, fx, g + 24, 90);
    for (const char* method : HttpMethodNames)
        cbHTTPMethod_->AddItem(method);
    cbHTTPMethod_->SetItemIndex(hmGET);
    AddLabel("LHTTPURL", gx, g + 52, gl);
    eHTTPURL_ = AddEdit("EHTTPURL", "TEdit", IDC_EHTTPURL, fx, g + 52, fw);
    SendMessageW(eHTTPURL_, EM_SETLIMITTEXT, UrlFieldCapacity, 0);
    AddLabel("LHTTPUser", gx, g + 80, gl);
    eHTTPUser_ = AddEdit("EHTTPUser", "TEdit", IDC_EHTTPUSER, fx, g + 80, fw);
    AddLabel("LHTTPPass", gx, g + 108, gl);
    eHTTPPass_ = AddEdit("EHTTPPass", "TEdit", IDC_EHTTPPASS, fx, g + 108, fw, ES_PASSWORD);
    SendMessageW(eHTTPPass_, EM_SETPASSWORDCHAR, L'*', 0);
    AddLabel("LHTTPType", gx, g + 136, gl);
    eHTTPType_ = AddEdit("EHTTPType", "TEdit", IDC_EHTTPTYPE, fx, g + 136, fw);
    AddLabel("LHTTPCert", gx, g + 164, gl);
    eHTTPCert_ = AddEdit("EHTTPCert", "TEdit", IDC_EHTTPCERT, fx, g + 164, fw);
    for (int i = first; i < components_->ComponentCount(); ++i)
        httpControls_.push_back(components_->Control(i).Hwnd());
}

// The TCP/UDP group: where an RDS encoder or the like listens.
void TFEditWork::CreateTextGroup() {
    const int first = components_->ComponentCount();
    AddGroup("GBText", IDC_GBTEXT, TextGroupH);
    const int g = GroupTop, gx = LabelX + 12, gl = 100, fx = 128;
    AddLabel("LTextHost", gx, g + 24, gl);
    eTextHost_ = AddEdit("ETextHost", "TEdit", IDC_ETEXTHOST, fx, g + 24, 248);
    AddLabel("LTextPort", gx, g + 52, gl);
    eTextPort_ = AddEdit("ETextPort", "TEdit", IDC_ETEXTPORT, fx, g + 52, 70);
    SendMessageW(eTextPort_, EM_SETLIMITTEXT, 5, 0);
    for (int i = first; i < components_->ComponentCount(); ++i)
        textControls_.push_back(components_->Control(i).Hwnd());
}

// The MQTT group: the broker and how to reach it, the topic and its message options, presence,
// and the message itself: the template's page or the now-playing document. Seven rows, as the
// FTP group, so the editor stays whole on a 1024 x 768 screen at 150 %: short fields share a
// row with a long one (broker and port, certificate and TLS, client id and QoS, user and
// password, topic and retained).
void TFEditWork::CreateMqttGroup() {
    const int first = components_->ComponentCount();
    AddGroup("GBMQTT", IDC_GBMQTT, MqttGroupH);
    const int g = GroupTop, gx = LabelX + 12, gl = 100, fx = 128, fw = 248, end = fx + fw;
    const int rx = 280, rl = 34, rf = 316, rw = end - rf;  // the short field at a row's right end
    const int half = rx - 8 - fx;
    AddLabel("LMQTTHost", gx, g + 24, gl);
    AddEdit("EMQTTHost", "TEdit", IDC_EMQTTHOST, fx, g + 24, half);
    AddLabel("LMQTTPort", rx, g + 24, rl);
    SendMessageW(AddEdit("EMQTTPort", "TEdit", IDC_EMQTTPORT, rf, g + 24, rw), EM_SETLIMITTEXT, 5, 0);
    AddLabel("LMQTTCert", gx, g + 52, gl);
    AddEdit("EMQTTCert", "TEdit", IDC_EMQTTCERT, fx, g + 52, half);
    AddCheck("CBMQTTTLS", IDC_CBMQTTTLS, rx, g + 52, end - rx);
    AddLabel("LMQTTClientId", gx, g + 80, gl);
    AddEdit("EMQTTClientId", "TEdit", IDC_EMQTTCLIENTID, fx, g + 80, half);
    AddLabel("LMQTTQoS", rx, g + 80, rl);
    win::TComboControl* qos = AddList("CBMQTTQoS", IDC_CBMQTTQOS, rf, g + 80, rw);
    qos->AddItem("0");
    qos->AddItem("1");
    qos->SetItemIndex(1);
    // the password's caption has the room of the English "Password" at every scale
    const int passLabelX = fx + 100, passX = passLabelX + 62;
    AddLabel("LMQTTUser", gx, g + 108, gl);
    AddEdit("EMQTTUser", "TEdit", IDC_EMQTTUSER, fx, g + 108, passLabelX - 6 - fx);
    AddLabel("LMQTTPass", passLabelX, g + 108, passX - passLabelX - 4);
    HWND pass = AddEdit("EMQTTPass", "TEdit", IDC_EMQTTPASS, passX, g + 108, end - passX, ES_PASSWORD);
    SendMessageW(pass, EM_SETPASSWORDCHAR, L'*', 0);
    AddLabel("LMQTTTopic", gx, g + 136, gl);
    SendMessageW(AddEdit("EMQTTTopic", "TEdit", IDC_EMQTTTOPIC, fx, g + 136, half), EM_SETLIMITTEXT,
                 MaxTopicTemplateBytes, 0);
    AddCheck("CBMQTTRetain", IDC_CBMQTTRETAIN, rx, g + 136, end - rx);
    AddLabel("LMQTTStatusTopic", gx, g + 164, gl);
    SendMessageW(AddEdit("EMQTTStatusTopic", "TEdit", IDC_EMQTTSTATUSTOPIC, fx, g + 164, fw), EM_SETLIMITTEXT,
                 MaxTopicTemplateBytes, 0);
    AddCheck("CBMQTTNowPlaying", IDC_CBMQTTNOWPLAYING, gx, g + 192, end - gx);
    for (int i = first; i < components_->ComponentCount(); ++i)
        mqttControls_.push_back(components_->Control(i).Hwnd());
}

// The publishing group: which host events render the work at once, its delay behind the air,
// and whether an unchanged page goes out again.
void TFEditWork::CreatePublishGroup() {
    Place(win::MakeChild(Hwnd(), L"BUTTON", "", BS_GROUPBOX, 0, 0, 1, 1, IDC_GBPUBLISH), PublishX, PublishTop,
          PublishW, PublishH);
    components_->Add("GBPublish", "TGroupBox", placed_.back().Hwnd);
    const int g = PublishTop, x = PublishX + 12, w = PublishW - 24, lw = w - 74;
    AddLabel("LTrigger", x, g + 16, w);
    cbTrigger_ = AddList("CBTrigger", IDC_CBTRIGGER, x, g + 38, w);
    for (int i = 0; i < TriggerCount; ++i)
        cbTrigger_->AddItem("");
    cbTrigger_->SetItemIndex(trEveryElement);
    lTriggerLetters_ = AddLabel("LTriggerLetters", x, g + 66, 60);
    eTriggerLetters_ = AddEdit("ETriggerLetters", "TEdit", IDC_ETRIGGERLETTERS, x + 64, g + 66, w - 64, ES_UPPERCASE);
    SendMessageW(eTriggerLetters_, EM_SETLIMITTEXT, TriggerLettersCapacity, 0);
    AddCheck("CBTriggerBlock", IDC_CBTRIGGERBLOCK, x, g + 94, w);
    AddLabel("LDelay", x, g + 122, lw);
    eDelay_.Create(Hwnd(), IDC_EDELAY, 0, MaxDelaySecs, 0);
    components_->Add("EDelay", "TSpinEdit", eDelay_.Edit());
    cbOnlyChanged_ = AddCheck("CBOnlyChanged", IDC_CBONLYCHANGED, x, g + 150, w);
    lRefresh_ = AddLabel("LRefreshMinutes", x, g + 178, lw);
    eRefreshMinutes_.Create(Hwnd(), IDC_EREFRESHMINUTES, 0, MaxRefreshMinutes, 0);
    components_->Add("ERefreshMinutes", "TSpinEdit", eRefreshMinutes_.Edit());
}

// Live pages: whether the live server serves the work, and the address it serves it at.
void TFEditWork::CreateLiveGroup() {
    Place(win::MakeChild(Hwnd(), L"BUTTON", "", BS_GROUPBOX, 0, 0, 1, 1, IDC_GBLIVE), PublishX, LiveTop, PublishW,
          LiveH);
    components_->Add("GBLive", "TGroupBox", placed_.back().Hwnd);
    const int g = LiveTop, x = PublishX + 12, w = PublishW - 24, copyW = 112;
    AddCheck("CBServeLive", IDC_CBSERVELIVE, x, g + 20, w);
    // read-only and wrapped over two lines; in the tab order, so it can be selected by hand too
    eLiveAddress_ = Place(win::MakeChild(Hwnd(), L"EDIT", "", WS_TABSTOP | ES_MULTILINE | ES_READONLY, 0, 0, 1, 1,
                                         IDC_ELIVEADDRESS, WS_EX_CLIENTEDGE),
                          x, g + 46, w, 38);
    SetWindowSubclass(eLiveAddress_, &KeysLeaveField, 1, 0);
    components_->Add("ELiveAddress", "TEdit", eLiveAddress_);
    sbCopyLive_ = Place(win::MakeChild(Hwnd(), L"BUTTON", "", WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 1, 1, IDC_SBCOPYLIVE),
                        x + w - copyW, g + 90, copyW, RowH);
    components_->Add("SBCopyLive", "TButton", sbCopyLive_);
}

void TFEditWork::ShowLiveAddress() {
    const TWorkPtr work = editIndex_ >= 0 ? settings_.Works.At(editIndex_) : nullptr;
    liveAddress_ = kw::LiveAddress(settings_.Live, work ? work->Config().Section : std::string(), ComputerName());
    std::string shown = liveAddress_;
    if (shown.empty()) {
        const char* why = settings_.Live.On ? "ELiveAddress.New" : "ELiveAddress.Off";
        shown = language_.Lookup(why, list_.get(), lang::BuiltinText(components_->Name(), why));
    }
    win::SetText(eLiveAddress_, shown);
    EnableWindow(sbCopyLive_, !liveAddress_.empty());
}

void TFEditWork::SBCopyLiveClick() {
    if (!liveAddress_.empty())
        (void)win::CopyToClipboard(Hwnd(), liveAddress_);
}

// Created in the tab order of the editor; each group's controls follow its group box.
void TFEditWork::CreateControls() {
    components_ = std::make_unique<win::TFormComponents>("FEditWork", Hwnd());
    AddLabel("LName", LabelX, 12, LabelW);
    eName_ = AddEdit("EName", "TEdit", IDC_ENAME, FieldX, 12, 244);
    AddLabel("LShape", LabelX, 42, LabelW);
    feFileIn_ = AddEdit("FEFileIn", "TFilenameEdit", IDC_FEFILEIN, FieldX, 42, 218);
    AddBrowse(IDC_FEFILEIN_BROWSE, FieldX + 220, 42);
    AddLabel("LFileOut", LabelX, 72, LabelW);
    feFileOut_ = AddEdit("FEFileOut", "TFilenameEdit", IDC_FEFILEOUT, FieldX, 72, 218);
    AddBrowse(IDC_FEFILEOUT_BROWSE, FieldX + 220, 72);
    AddLabel("LUpdate", LabelX, 102, LabelW);
    eSecs_.Create(Hwnd(), IDC_ESECS, MinUpdateSecs, MaxUpdateSecs, DefaultUpdateSecs);
    components_->Add("ESecs", "TSpinEdit", eSecs_.Edit());
    AddLabel("LTarget", LabelX, 130, LabelW);
    cbTarget_ = AddList("CBTarget", IDC_CBTARGET, FieldX, 130, 244);
    for (const char* item : TargetItems)
        cbTarget_->AddItem(item);
    cbTarget_->SetItemIndex(tcFileOnly);

    const int g = GroupTop;
    AddGroup("GBFTP", IDC_GBFTP, GroupH);
    const size_t firstFtp = static_cast<size_t>(components_->ComponentCount()) - 1;
    const int gx = LabelX + 12, fx = 108, gl = 84;  // the Russian "User" whole at every scale
    AddLabel("LServer", gx, g + 24, gl);
    eFTPServer_ = AddEdit("EFTPServer", "TEdit", IDC_EFTPSERVER, fx, g + 24, 150);
    AddLabel("LPort", 266, g + 24, 38);
    eFTPPort_.Create(Hwnd(), IDC_EFTPPORT, MinFtpPort, MaxFtpPort, DefaultFtpPort);
    components_->Add("EFTPPort", "TSpinEdit", eFTPPort_.Edit());
    cbFTPPassive_ = AddCheck("CBFTPPassive", IDC_CBFTPPASSIVE, fx, g + 52, 90);
    cbFTPUTF8_ = AddCheck("CBFTPUTF8", IDC_CBFTPUTF8, fx + 98, g + 52, 90);
    cbFTPTLS_ = AddCheck("CBFTPTLS", IDC_CBFTPTLS, fx + 196, g + 52, 72);
    AddLabel("LUser", gx, g + 78, gl);
    eFTPUser_ = AddEdit("EFTPUser", "TEdit", IDC_EFTPUSER, fx, g + 78, 268);
    AddLabel("LPass", gx, g + 106, gl);
    eFTPPass_ = AddEdit("EFTPPass", "TEdit", IDC_EFTPPASS, fx, g + 106, 180, ES_PASSWORD);
    SendMessageW(eFTPPass_, EM_SETPASSWORDCHAR, L'*', 0);
    cbShowPass_ = AddCheck("CBShowPass", IDC_CBSHOWPASS, fx + 188, g + 106, 80);
    AddLabel("LFolder", gx, g + 134, gl);
    eFTPPath_ = AddEdit("EFTPPath", "TEdit", IDC_EFTPPATH, fx, g + 134, 240);
    components_->Add("SBSelectDir", "TSpeedButton", AddBrowse(IDC_SBSELECTDIR, fx + 244, g + 134));
    AddLabel("LFTPFile", gx, g + 162, gl);
    eFTPFileName_ = AddEdit("EFTPFileName", "TEdit", IDC_EFTPFILENAME, fx, g + 162, 268);
    AddLabel("LFTPCert", gx, g + 190, gl);
    eFTPCert_ = AddEdit("EFTPCert", "TEdit", IDC_EFTPCERT, fx, g + 190, 268);
    for (size_t i = firstFtp; i < static_cast<size_t>(components_->ComponentCount()); ++i)
        ftpControls_.push_back(components_->Control(static_cast<int>(i)).Hwnd());
    ftpControls_.push_back(eFTPPort_.UpDown());
    CreateHttpGroup();
    CreateTextGroup();
    CreateMqttGroup();

    lCodepage_ = win::MakeChild(Hwnd(), L"STATIC", "", SS_LEFT | SS_NOPREFIX, 0, 0, 1, 1, 0);
    components_->Add("LCodepage", "TLabel", lCodepage_);
    HWND cp = win::MakeChild(Hwnd(), L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 1, 1,
                             IDC_CBCODEPAGE);
    cbCodePage_ = &components_->Add<win::TComboControl>("CBCodePage", "TComboBox", cp);
    for (const char* item : CodePageItems)
        cbCodePage_->AddItem(item);
    cbCodePage_->SetItemIndex(0);
    lEscaping_ = win::MakeChild(Hwnd(), L"STATIC", "", SS_LEFT | SS_NOPREFIX, 0, 0, 1, 1, 0);
    components_->Add("LEscaping", "TLabel", lEscaping_);
    HWND esc = win::MakeChild(Hwnd(), L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 1, 1,
                              IDC_CBESCAPING);
    cbEscaping_ = &components_->Add<win::TComboControl>("CBEscaping", "TComboBox", esc);
    cbEscaping_->AddItem("");  // "none" is the language's word (FormCreate); the formats keep their names
    for (int i = 1; i < EscapingModeCount; ++i)
        cbEscaping_->AddItem(EscapingNames[i]);
    cbEscaping_->SetItemIndex(0);
    CreatePublishGroup();
    CreateLiveGroup();

    panB_.Create(Hwnd(), 0, 0, S(FormWidth));
    // left to right, which is also the order Tab walks them in
    sbPreview_ = panB_.AddButton(IDC_SBPREVIEW, "");
    sbTags_ = panB_.AddButton(IDC_SBTAGS, "");
    sbSave_ = panB_.AddButton(IDC_SBSAVE, "");
    sbCancel_ = panB_.AddButton(IDC_SBCANCEL, "");
    components_->Add("SBSave", "TSpeedButton", sbSave_);
    components_->Add("SBCancel", "TSpeedButton", sbCancel_);
    components_->Add("SBPreview", "TSpeedButton", sbPreview_);
    components_->Add("SBTags", "TSpeedButton", sbTags_);
    components_->Add("PanB", "TPanel", panB_.Hwnd());
}

// The height of the chosen target's group; 0 for "file only".
int TFEditWork::GroupHeight() const {
    switch (TargetIndex()) {
    case tcFTP: return GroupH;
    case tcHTTP: return HttpGroupH;
    case tcTCP:
    case tcUDP: return TextGroupH;
    case tcMQTT: return MqttGroupH;
    default: return 0;
    }
}

int TFEditWork::TargetIndex() const {
    const int target = cbTarget_->ItemIndex();
    return target >= 0 && target < TargetChoiceCount ? target : static_cast<int>(tcFileOnly);
}

// The code page row and the button bar follow the chosen target's group (directly under the
// target's row for "file only"), so the form has no empty hole; it stays centred on the screen.
void TFEditWork::Layout() {
    win::TLayout l(*this, FormWidth, false);  // the form is painted once, when the whole layout is done
    for (const TPlaced& p : placed_)
        l.Put(p.Hwnd, p.At);
    l.Put(eSecs_, {FieldX, 102, 80, RowH});
    l.Put(eFTPPort_, {306, GroupTop + 24, 70, RowH});
    const int group = GroupHeight();
    const int rowY = group ? GroupTop + group + 10 : GroupTop + 4;
    l.Label(lCodepage_, LabelX, rowY, LabelW);
    l.DropDown(cbCodePage_->Hwnd(), FieldX, rowY, 244);
    const int escY = rowY + RowH + 8;
    l.Label(lEscaping_, LabelX, escY, LabelW);
    l.DropDown(cbEscaping_->Hwnd(), FieldX, escY, 244);
    const int spinX = PublishX + PublishW - 12 - 70;  // at the group's right edge
    l.Put(eDelay_, {spinX, PublishTop + 122, 70, RowH});
    l.Put(eRefreshMinutes_, {spinX, PublishTop + 178, 70, RowH});
    l.Bar(panB_, std::max(escY + RowH + 14, LiveTop + LiveH + 10));
    l.BarLeft({{sbPreview_, 86}, {sbTags_, 86}});
    l.BarRight({{sbSave_, 105}, {sbCancel_, 105}});
    l.SizeAndCentreForm();
}

void TFEditWork::DpiChanged(int dpi, const RECT*) {
    panB_.ApplyDpi(dpi);
    win::SetChildFonts(Hwnd(), dpi);
    Layout();  // sizes and centres the form itself
    RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TFEditWork::FormCreate() {
    lang::ShowBuiltinTexts(*components_, components_->Name());
    language_.LoadAndTranslate(*components_, list_);
    // the one item of each list that is a word of the language
    auto itemText = [this](const char* key) {
        return language_.Lookup(key, list_.get(), lang::BuiltinText(components_->Name(), key));
    };
    cbEscaping_->SetItem(escNone, itemText("CBEscaping.None"));
    cbCodePage_->SetItem(LatinCodePage, itemText("CBCodePage.Latin"));
    cbTarget_->SetItem(tcFileOnly, itemText("CBTarget.FileOnly"));
    for (int i = 0; i < TriggerCount; ++i)
        cbTrigger_->SetItem(i, itemText(TriggerKeys[i]));
    // the language files' translation knows no spin fields: their hints are taken here
    for (const char* spin : {"EDelay", "ERefreshMinutes"})
        if (win::TControl* control = ControlNamed(*components_, spin)) {
            control->SetHint(itemText((std::string(spin) + ".Hint").c_str()));
            control->SetShowHint(true);
        }
    hints_.SetFromForm(Hwnd(), *components_);
}

void TFEditWork::FormClose() { lang::TLanguage::FreeSection(list_, true); }

void TFEditWork::FillData(int index) {
    // A position outside the list cannot be edited: the form then makes a new work.
    editIndex_ = index >= 0 && static_cast<size_t>(index) < settings_.Works.Count() ? index : -1;
    const TEditWorkFields f = kw::FillData(settings_.Works, editIndex_);
    for (const TWorkField& field : WorkFields())
        if (win::TControl* control = ControlNamed(*components_, field.Control))
            ShowField(field, f, *control, SpinOf(control->Hwnd()));
    EnablePublishFields();
    ShowLiveAddress();
    CBTargetChange();
}

TEditWorkFields TFEditWork::Fields() const {
    TEditWorkFields f;
    for (const TWorkField& field : WorkFields())
        if (const win::TControl* control = ControlNamed(*components_, field.Control))
            TakeField(field, *control, SpinOf(control->Hwnd()), f);
    return f;
}

win::TSpinField* TFEditWork::SpinOf(HWND edit) {
    return SpinWithEdit<win::TSpinField>(edit, {&eSecs_, &eFTPPort_, &eDelay_, &eRefreshMinutes_});
}

const win::TSpinField* TFEditWork::SpinOf(HWND edit) const {
    return SpinWithEdit<const win::TSpinField>(edit, {&eSecs_, &eFTPPort_, &eDelay_, &eRefreshMinutes_});
}

void TFEditWork::EnablePublishFields() {
    const bool letters = cbTrigger_->ItemIndex() == trLetters;
    EnableWindow(lTriggerLetters_, letters);
    EnableWindow(eTriggerLetters_, letters);
    const bool refresh = win::IsChecked(cbOnlyChanged_);
    EnableWindow(lRefresh_, refresh);
    EnableWindow(eRefreshMinutes_.Edit(), refresh);
    EnableWindow(eRefreshMinutes_.UpDown(), refresh);
}

TPreviewSettings TFEditWork::PreviewSettings() const {
    const TEditWorkFields f = Fields();
    TPreviewSettings p;
    p.FileIn = f.FileIn;
    p.FileOut = f.FileOut;
    p.CodePage = static_cast<uint8_t>(f.CodePage);
    p.Escaping = PageEscaping(static_cast<unsigned>(f.Escaping), static_cast<TTargetChoice>(f.Target));
    return p;
}

// The state the program's renders of a work with the form's delay would read now; without a
// source, that of a program that has heard nothing from the host.
TPageState TFEditWork::CurrentPage() const {
    if (pageSource_)
        return pageSource_(static_cast<int64_t>(eDelay_.Value()) * 1000);
    TPageState page;
    page.Now = Now();
    return page;
}

void TFEditWork::SBPreviewClick() { ShowPreview(Hwnd(), language_, PreviewSettings(), CurrentPage()); }

void TFEditWork::SBTagsClick() {
    const TPreviewSettings p = PreviewSettings();
    ShowTagList(Hwnd(), language_, CurrentPage(), p.CodePage, p.Escaping);
}

void TFEditWork::SetFileField(HWND field, const std::string& name) { win::SetText(field, QuoteFileName(name)); }

std::string TFEditWork::FileField(HWND field) const { return UnquoteFileName(win::GetText(field)); }

int TFEditWork::ShowModal() {
    modalResult_ = 0;
    const bool ended = win::ShowModalForm(Hwnd(), owner_, eName_, [this] { return modalResult_ != 0; });
    if (!ended || modalResult_ == 0)
        modalResult_ = -1;  // the program is ending: nothing was saved
    FormClose();
    return modalResult_;
}

// One step: the groups are hidden and shown and the form laid out without painting anything
// in between, then the whole form is painted once, so nothing of the group that went (its
// labels, its frame) stays on the screen where the next group or the rows below it now are.
void TFEditWork::CBTargetChange() {
    const int target = TargetIndex();
    shownTarget_ = target;
    ShowGroup(ftpControls_, target == tcFTP);
    ShowGroup(httpControls_, target == tcHTTP);
    ShowGroup(textControls_, target == tcTCP || target == tcUDP);
    ShowGroup(mqttControls_, target == tcMQTT);
    Layout();
    RedrawWindow(Hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// A hidden group never keeps the focus: it goes back to the target's list.
void TFEditWork::ShowGroup(const std::vector<HWND>& controls, bool show) {
    HWND focus = GetFocus();
    if (!show)
        for (HWND h : controls)
            if (focus == h)
                SetFocus(cbTarget_->Hwnd());
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW;
    for (HWND h : controls)
        SetWindowPos(h, nullptr, 0, 0, 0, 0, flags | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

// The target's list changes the form: acted on once the list has closed (ui/win32/DropDown.h).
void TFEditWork::ListChanged(int id) {
    if (id == IDC_CBTARGET && TargetIndex() != shownTarget_)
        CBTargetChange();
    if (id == IDC_CBTRIGGER)
        EnablePublishFields();
}

void TFEditWork::CBShowPassClick() {
    HWND pass = eFTPPass_;
    SendMessageW(pass, EM_SETPASSWORDCHAR, win::IsChecked(cbShowPass_) ? 0 : L'*', 0);
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
            language_.ShowDialog("WorkLimit", lang::TMsgDlgType::Error, list_.get(), lang::mbOKOnly);
            return;
        }
        editIndex_ = index;
    }
    const TWorkPtr work = settings_.Works.At(editIndex_);
    work->SetConfig(ApplySetting(f, work->Config()));
    std::string error;
    if (!SaveWork(settings_, editIndex_, &error))  // the work is in the list and runs; the user learns the file is behind
        language_.ShowDialogFmt("SettingsNotWritten", lang::TMsgDlgType::Error, {settings_.FileName}, list_.get(),
                                lang::mbOKOnly);
    modalResult_ = 1;
}

void TFEditWork::SBSelectDirClick() {
    const TEditWorkFields f = Fields();
    if (const std::string key = CheckBrowseFields(f); !key.empty()) {
        ShowError(TCheckResult{false, key, false, {}});
        return;
    }
    const TFTPUse ftp = FtpSettingsOf(f);  // what a save would store
    std::string folder = ftp.Folder;
    if (SelectFtpFolderHook)
        folder = SelectFtpFolderHook(Hwnd(), ftp, &language_);
    win::SetText(eFTPPath_, folder);
}

void TFEditWork::BrowseFileClick(bool templateFile) {
    HWND field = templateFile ? feFileIn_ : feFileOut_;
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
    if (!OpenFileDialog(ofn))
        return;
    std::string chosen;
    if (!AnsiFileName(name.c_str(), chosen) || chosen.size() > static_cast<size_t>(TextCapacity)) {
        language_.ShowDialogFmt("BadFileName", lang::TMsgDlgType::Error, {win::Ansi(name.c_str())}, list_.get(),
                                lang::mbOKOnly);
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
    const TWorkField* field = FieldOfMessage(failure.MessageKey);
    const win::TControl* control = field ? ControlNamed(*components_, field->Control) : nullptr;
    SetFocus(control ? control->Hwnd() : feFileOut_);
}

void TFEditWork::Command(int id, int code) {
    switch (id) {
    case IDOK: NextField(GetKeyState(VK_SHIFT) < 0); break;  // Enter in a field
    case IDCANCEL: SBCancelClick(); break;  // Escape
    case IDC_SBSAVE: SBSaveClick(); break;
    case IDC_SBCANCEL: SBCancelClick(); break;
    case IDC_SBPREVIEW: SBPreviewClick(); break;
    case IDC_SBTAGS: SBTagsClick(); break;
    case IDC_SBCOPYLIVE: SBCopyLiveClick(); break;
    case IDC_CBSHOWPASS: CBShowPassClick(); break;
    case IDC_CBONLYCHANGED: EnablePublishFields(); break;
    case IDC_SBSELECTDIR: SBSelectDirClick(); break;
    case IDC_FEFILEIN_BROWSE: BrowseFileClick(true); break;
    case IDC_FEFILEOUT_BROWSE: BrowseFileClick(false); break;
    case IDC_ESECS:
    case IDC_EFTPPORT:
    case IDC_EDELAY:
    case IDC_EREFRESHMINUTES:
        if (code == EN_KILLFOCUS)
            if (win::TSpinField* spin = SpinOf(GetDlgItem(Hwnd(), id)))
                spin->Normalise();
        break;
    }
}

LRESULT TFEditWork::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wp), code = HIWORD(wp);
        const bool edit = id == IDC_ESECS || id == IDC_EFTPPORT || id == IDC_EDELAY || id == IDC_EREFRESHMINUTES;
        const bool list = id == IDC_CBTARGET || id == IDC_CBCODEPAGE || id == IDC_CBESCAPING ||
                          id == IDC_CBHTTPMETHOD || id == IDC_CBTRIGGER;
        if (list)
            win::NoteDropDown(Hwnd(), reinterpret_cast<HWND>(lp), code);
        else if (edit || code == BN_CLICKED)
            Command(id, code);
        return 0;
    }
    case win::WM_KW_LISTCHANGED:
        ListChanged(static_cast<int>(wp));
        return 0;
    case WM_CLOSE:
        modalResult_ = lang::mrCancel;  // the close box: the platform's cancel result
        return 0;
    }
    return Default(msg, wp, lp);
}

// Enter in a field moves on to the next field (Shift+Enter back); Ctrl+Enter saves from anywhere.
void TFEditWork::NextField(bool back) {
    if (GetKeyState(VK_CONTROL) < 0) {
        SBSaveClick();
        return;
    }
    HWND focus = win::FocusWithin(Hwnd());
    if (HWND next = GetNextDlgTabItem(Hwnd(), focus, back ? TRUE : FALSE))
        SetFocus(next);
}

bool EditWork(HWND owner, TSettings& settings, lang::TLanguage& language, int index, TPageSource pageSource) {
    try {
        TFEditWork form(settings, language);
        form.SetPageSource(std::move(pageSource));
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
