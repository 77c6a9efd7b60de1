// The template preview's window: the page's lines in a list (one row per line, its number
// first), what could not be read in a list below, Open in browser and Close in the button bar.
#include "dialogs/Preview_win32.h"
#include "lang/BuiltinTexts.h"
#include "lang/Format.h"
#include "ui/win32/Layout.h"
#include "ui/win32/ListView.h"
#include "ui/win32/ModalForm.h"
#include <commctrl.h>
#include <shellapi.h>

namespace kw {

namespace {


constexpr int FormWidth = 600;
constexpr int PageTop = 8, PageH = 300, ProblemsH = 84;

bool ShellOpen(const std::string& path) {
    const auto done = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", win::Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return done > 32;
}

} // namespace

TOpenPageFn OpenPreviewPageHook = &ShellOpen;

// The system's temporary folder, where a preview's folder of its own is made.
std::string TempRoot() {
    char temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(MAX_PATH, temp);
    return n == 0 || n > MAX_PATH ? std::string() : std::string(temp, n);
}

TFPreview::~TFPreview() {
    lang::TLanguage::FreeSection(list_, true);
    lang::TLanguage::FreeSection(mainList_, true);
}

bool TFPreview::Create(HWND owner) {
    owner_ = owner;
    if (!CreateForm(owner, "", FormWidth, 480, ICC_LISTVIEW_CLASSES))
        return false;
    CreateControls();
    lang::ShowBuiltinTexts(*components_, components_->Name());
    language_.LoadAndTranslate(*components_, list_);
    language_.LoadSection("Main", mainList_);  // the texts of a template that cannot be read
    hints_.SetFromForm(Hwnd(), *components_);
    Fill();
    Layout();
    return true;
}

void TFPreview::CreateControls() {
    components_ = std::make_unique<win::TFormComponents>("FPreview", Hwnd());
    lvPage_ = win::MakeReportList(Hwnd(), IDC_LVPAGE, {{"", 40}, {"", 520}}, Dpi(),
                                  LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_NOSORTHEADER);
    components_->Add("LVPage", "TListView", lvPage_);
    lProblems_ = win::MakeChild(Hwnd(), L"STATIC", "", SS_LEFT | SS_NOPREFIX, 0, 0,
                                1, 1, 0);
    components_->Add("LProblems", "TLabel", lProblems_);
    lbProblems_ = win::MakeChild(Hwnd(), L"LISTBOX", "", WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                                 0, 0, 1, 1, IDC_LBPROBLEMS, WS_EX_CLIENTEDGE);
    components_->Add("LBProblems", "TListBox", lbProblems_);
    panB_.Create(Hwnd(), 0, 0, S(FormWidth));
    sbOpenBrowser_ = panB_.AddButton(IDC_SBOPENBROWSER, "");
    sbClose_ = panB_.AddButton(IDC_SBCLOSE, "");
    components_->Add("SBOpenBrowser", "TSpeedButton", sbOpenBrowser_);
    components_->Add("SBClose", "TSpeedButton", sbClose_);
    components_->Add("PanB", "TPanel", panB_.Hwnd());
}

// The problems in reading order, each with its line and column; the note on an empty state
// last. A template that cannot be read is the one problem there is.
std::vector<std::string> TFPreview::ProblemTexts() const {
    std::vector<std::string> texts;
    if (!preview_.Read()) {
        std::string text = language_.MessageText(preview_.FailureKey, mainList_.get());
        if (!preview_.FailureMessage.empty())
            text += (text.empty() ? "" : " ") + preview_.FailureMessage;  // the system's text, ANSI
        texts.push_back(text.empty() ? preview_.FailureKey : text);
        return texts;
    }
    for (const TTemplateProblem& p : preview_.Problems) {
        const bool unknown = p.Kind == TTemplateProblem::TKind::UnknownTag;
        const std::string format = language_.MessageText(unknown ? "UnknownTag" : "MissingDigit", list_.get());
        const std::string marker = win::Ansi(win::Wide(p.Text, CP_UTF8));
        std::string text;
        try {
            text = lang::Format(format, {p.Line, p.Column, marker});
        } catch (const lang::EFormatError&) {
            text.clear();  // a language file with a broken format: the plain facts below
        }
        if (format.empty() || text.empty())
            text = std::to_string(p.Line) + ":" + std::to_string(p.Column) + " " + marker;
        texts.push_back(text);
    }
    if (preview_.LiveTagsEmpty)
        texts.push_back(language_.MessageText("LiveEmpty", list_.get()));
    if (texts.empty())
        texts.push_back(language_.MessageText("NoProblems", list_.get()));
    return texts;
}

void TFPreview::Fill() {
    SendMessageW(lvPage_, WM_SETREDRAW, FALSE, 0);
    for (size_t i = 0; i < preview_.Lines.size(); ++i) {
        const int item = static_cast<int>(i);
        win::LvSetCellUtf8(lvPage_, item, 0, std::to_string(i + 1));
        win::LvSetCellUtf8(lvPage_, item, 1, preview_.Lines[i]);
    }
    SendMessageW(lvPage_, WM_SETREDRAW, TRUE, 0);
    for (const std::string& text : ProblemTexts())
        if (!text.empty())
            SendMessageW(lbProblems_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win::Wide(text).c_str()));
    EnableWindow(sbOpenBrowser_, preview_.Read() && preview_.IsHtml);
}

void TFPreview::Layout() {
    win::TLayout l(*this, FormWidth);
    const int w = FormWidth - 16;
    l.Put(lvPage_, {8, PageTop, w, PageH});
    // the text column takes the width the number column leaves
    const int numberW = S(40);
    ListView_SetColumnWidth(lvPage_, 0, numberW);
    ListView_SetColumnWidth(lvPage_, 1, S(w) - numberW - GetSystemMetrics(SM_CXVSCROLL) - S(4));
    const int problemsTop = PageTop + PageH + 8;
    l.Put(lProblems_, {8, problemsTop, w, win::LabelHeight});
    l.Put(lbProblems_, {8, problemsTop + 18, w, ProblemsH});
    l.Bar(panB_, problemsTop + 18 + ProblemsH + 10);
    l.BarLeft({{sbOpenBrowser_, 150}});
    l.BarRight({{sbClose_, 105}});
    l.SizeAndCentreForm();
}

void TFPreview::DpiChanged(int dpi, const RECT*) {
    panB_.ApplyDpi(dpi);
    win::SetChildFonts(Hwnd(), dpi);
    SendMessageW(lvPage_, WM_SETFONT, reinterpret_cast<WPARAM>(win::UiFont(dpi)), TRUE);
    Layout();
    RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TFPreview::ShowModal() {
    closed_ = false;
    win::ShowModalForm(Hwnd(), owner_, lvPage_, [this] { return closed_; });
    folder_.Remove();  // the page opened in a browser goes with the preview
}

void TFPreview::SBOpenBrowserClick() {
    if (!preview_.Read() || !preview_.IsHtml)
        return;
    std::string path, error;
    if (!folder_.Write(preview_, path, error)) {
        language_.ShowDialogFmt("PageNotWritten", lang::TMsgDlgType::Error, {error.empty() ? "%TEMP%" : error},
                                list_.get(), lang::mbOKOnly);
        return;
    }
    if (OpenPreviewPageHook && !OpenPreviewPageHook(path))
        language_.ShowTextDialog(path, lang::TMsgDlgType::Error, lang::mbOKOnly);
}

LRESULT TFPreview::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wp), code = HIWORD(wp);
        if (code != BN_CLICKED)
            return 0;
        if (id == IDC_SBOPENBROWSER)
            SBOpenBrowserClick();
        else if (id == IDC_SBCLOSE || id == IDCANCEL || id == IDOK)
            closed_ = true;
        return 0;
    }
    case WM_NOTIFY: {
        const auto& n = *reinterpret_cast<const NMHDR*>(lp);
        if (n.hwndFrom == lvPage_ && n.code == NM_SETFOCUS)
            win::LvShowFocus(lvPage_);
        return 0;
    }
    case WM_CLOSE:
        closed_ = true;
        return 0;
    }
    return Default(msg, wp, lp);
}

void ShowPreview(HWND owner, lang::TLanguage& language, const TPreviewSettings& settings, const TPageState& page) {
    TFPreview form(language, RenderPreview(settings, page));
    if (form.Create(owner))
        form.ShowModal();
}

} // namespace kw
