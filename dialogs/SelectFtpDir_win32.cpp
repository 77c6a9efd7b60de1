// The FTP folder browser's window: layout, drawing, keyboard and the modal run.
#include "dialogs/SelectFtpDir_win32.h"
#include "lang/BuiltinTexts.h"
#include "ui/win32/Layout.h"
#include "ui/win32/ListView.h"
#include <algorithm>

namespace kw {

namespace {

// Sizes at 96 DPI.
constexpr int PanTHeight = 25; // top bar with the current folder
constexpr int SBSaveLeft = 8;
constexpr int SBCancelWidth = 100;
constexpr int MinPane = 40; // the splitter leaves at least this much to either side
constexpr int MinClientWidth = 360;
constexpr int MinClientHeight = 200;
constexpr int ProgressWidth = 120;
constexpr UINT WM_SERVERWORKDONE = WM_APP + 1; // posted by the worker; only wakes the loop

const char* const Section = "FSelectFTPDir";

// A text of the dialog's section in `language`, the built-in one where it has none.
std::wstring Text(const lang::TLanguage* language, const std::string& key) {
    std::string text = lang::BuiltinText(Section, key);
    if (language) {
        std::unique_ptr<lang::TSectionList> list;
        language->LoadSection(Section, list);
        text = language->Lookup(key, list.get(), text);
    }
    return win::Wide(text);
}

// The dialog's window style: a sizeable frame and a caption without title-bar buttons.
constexpr DWORD FormStyle = WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD FormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

SIZE OuterSize(int clientWidth, int clientHeight) {
    RECT r{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, FormStyle, FALSE, FormExStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// A server's reply may run to thousands of lines; the box shows its beginning, so that it
// fits on the screen and its OK button stays within reach.
std::string BoundedMessage(const std::string& text) {
    constexpr size_t MaxChars = 1000;
    constexpr int MaxLines = 20;
    size_t end = 0;
    int lines = 0;
    while (end < text.size() && end < MaxChars && lines < MaxLines)
        lines += text[end++] == '\n' ? 1 : 0;
    return end < text.size() ? text.substr(0, end) + "..." : text;
}

} // namespace

// ---- the dialog -------------------------------------------------------------------------

TFSelectFTPDir::~TFSelectFTPDir() {
    // The owner comes back before the dialog goes, so that Windows activates it again.
    modal_.reset();
    if (Hwnd())
        DestroyWindow(Hwnd());
}

bool TFSelectFTPDir::Create(HWND owner) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    if (!Register())
        return false;
    const int dpi = win::DpiOf(owner);
    const SIZE size = OuterSize(win::Scale(ClientWidth, dpi), win::Scale(ClientHeight, dpi));
    const POINT at = win::CentredOrigin(owner, size);
    if (!CreateWin(FormExStyle, L"", FormStyle, at.x, at.y, size.cx, size.cy, owner))
        return false;
    owner_ = owner;
    CreateControls();
    FormCreate();
    Layout();
    ShowWindow(Hwnd(), SW_SHOWNORMAL);
    modal_ = std::make_unique<win::TDisabledOwner>(owner); // modal from here on
    SetFocus(lbFolders_);
    UpdateWindow(Hwnd());
    return true;
}

void TFSelectFTPDir::CreateControls() {
    lCurrentFolder_ =
        win::MakeChild(Hwnd(), L"STATIC", "", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 0, 0, 10,
                       10, IDC_LCURRENTFOLDER);
    lbFolders_ = win::MakeChild(Hwnd(), L"LISTBOX", "",
                                WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0,
                                0, 10, 10, IDC_LBFOLDERS, WS_EX_CLIENTEDGE);
    splitter_.Create(Hwnd());
    splitter_.OnMove = [this](int left) { SplitterMoved(left); };
    sgFiles_ = win::MakeReportList(Hwnd(), IDC_SGFILES, {{"", 219}, {"", 64}, {"", 95}}, Dpi(),
                                   LVS_SINGLESEL | LVS_NOSORTHEADER);
    win::LvSetRowHeight(sgFiles_, S(GridRowHeight));

    progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_MARQUEE, 0, 0, 10, 10, Hwnd(), nullptr,
                                win::Instance(), nullptr);

    panB_.Create(Hwnd(), 0, 0, S(ClientWidth));
    sbSave_ = panB_.AddButton(IDC_SBSAVE, "");
    sbCancel_ = panB_.AddButton(IDC_SBCANCEL, "");
    components_ = std::make_unique<win::TFormComponents>(Section, Hwnd());
    components_->Add("LCurrentFolder", "TLabel", lCurrentFolder_);
    components_->Add<win::TGridControl>("SGFiles", "TStringGrid", sgFiles_);
    components_->Add("SBSave", "TSpeedButton", sbSave_);
    components_->Add("SBCancel", "TSpeedButton", sbCancel_);
    // Nothing to choose until the server has named a folder.
    EnableWindow(sbSave_, FALSE);
}

void TFSelectFTPDir::FormCreate() {
    lang::ShowBuiltinTexts(*components_, Section);
    if (language_)
        language_->TranslateOnce(*components_);
    ShowFiles({TFtpFileRow{}});
}

// The rows: the top bar with the current folder, the folders and files, the button bar.
std::vector<RECT> TFSelectFTPDir::Rows() const {
    RECT r;
    GetClientRect(Hwnd(), &r);
    return win::StackRows(r, {S(PanTHeight), win::Fill, panB_.Height()});
}

RECT TFSelectFTPDir::CentreRect() const { return Rows()[1]; }

void TFSelectFTPDir::Layout() {
    RECT r;
    GetClientRect(Hwnd(), &r);
    MoveWindow(lCurrentFolder_, S(6), S(5), r.right > S(12) ? r.right - S(12) : 0, S(PanTHeight - 9), TRUE);
    MoveWindow(progress_, r.right - S(ProgressWidth + 6), S(6), S(ProgressWidth), S(PanTHeight - 11), TRUE);
    PanCResize();
    panB_.Move(0, Rows()[2].top, r.right);
    PanBResize();
    FitColumns({100, 0, 0});
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void TFSelectFTPDir::PanCResize() {
    const RECT c = CentreRect();
    PlaceCentre((c.right - c.left - S(SplitterWidth)) / 2);
}

void TFSelectFTPDir::PlaceCentre(int listWidth) {
    const RECT c = CentreRect();
    const int height = c.bottom - c.top;
    const int width = c.right - c.left;
    listWidth = listWidth < 0 ? 0 : listWidth;
    const int gridLeft = listWidth + S(SplitterWidth);
    MoveWindow(lbFolders_, c.left, c.top, listWidth, height, TRUE);
    MoveWindow(splitter_.Hwnd(), c.left + listWidth, c.top, S(SplitterWidth), height, TRUE);
    MoveWindow(sgFiles_, c.left + gridLeft, c.top, width > gridLeft ? width - gridLeft : 0, height, TRUE);
}

void TFSelectFTPDir::PanBResize() {
    RECT bar;
    GetClientRect(panB_.Hwnd(), &bar);
    const int cancelLeft = bar.right - S(SBCancelWidth + 20);
    const int saveWidth = cancelLeft - S(SBSaveLeft + 20);
    // the bar places buttons from inside its bevel; these positions are the bar's own
    panB_.Place(sbSave_, S(SBSaveLeft) - panB_.Inset(), saveWidth > 0 ? saveWidth : 0);
    panB_.Place(sbCancel_, cancelLeft - panB_.Inset(), S(SBCancelWidth));
}

void TFSelectFTPDir::SplitterMoved(int left) {
    const RECT c = CentreRect();
    const int most = c.right - c.left - S(SplitterWidth + MinPane);
    left = left > most ? most : left;
    left = left < S(MinPane) ? S(MinPane) : left;
    PlaceCentre(left);
    FitColumns({100, 0, 0});
}

void TFSelectFTPDir::ShowCurrentFolder(const std::string& folder) {
    win::SetText(lCurrentFolder_, folder);
    folderReported_ = true;
    EnableWindow(sbSave_, !waiting_);
}

void TFSelectFTPDir::ShowFolders(const std::vector<std::string>& folders) {
    SendMessageW(lbFolders_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(lbFolders_, LB_RESETCONTENT, 0, 0);
    int widest = 0;
    for (const std::string& f : folders) {
        const std::wstring w = win::Wide(f);
        SendMessageW(lbFolders_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
        widest = std::max<int>(widest, win::MeasureLine(win::UiFont(Dpi()), w).cx);
    }
    // Long names can be scrolled to rather than cut off.
    SendMessageW(lbFolders_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
    SendMessageW(lbFolders_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(lbFolders_, nullptr, TRUE);
}

void TFSelectFTPDir::ShowFiles(const std::vector<TFtpFileRow>& rows) {
    SendMessageW(sgFiles_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(sgFiles_);
    int item = 0;
    for (const TFtpFileRow& row : rows) {
        LVITEMW it{};
        it.mask = LVIF_TEXT | LVIF_IMAGE;
        it.iItem = item;
        it.iImage = -1; // no picture: the image list only sets the row height
        std::wstring name = win::Wide(row.Name);
        it.pszText = name.data();
        SendMessageW(sgFiles_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
        win::LvSetItemText(sgFiles_, item, 1, row.Size);
        win::LvSetItemText(sgFiles_, item, 2, row.Date);
        ++item;
    }
    SendMessageW(sgFiles_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(sgFiles_, nullptr, TRUE);
}

void TFSelectFTPDir::FitColumns(const std::vector<int>& percents) {
    std::vector<int16_t> p;
    for (int v : percents)
        p.push_back(static_cast<int16_t>(v));
    win::FitListViewColumns(sgFiles_, p, S(GridRowHeight));
}

bool TFSelectFTPDir::SelectedFolder(std::string& text) {
    const LRESULT i = SendMessageW(lbFolders_, LB_GETCURSEL, 0, 0);
    if (i == LB_ERR)
        return false;
    const LRESULT n = SendMessageW(lbFolders_, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (n == LB_ERR)
        return false;
    std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(lbFolders_, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(static_cast<size_t>(n));
    text = win::Ansi(buf);
    return true;
}

void TFSelectFTPDir::ShowError(const std::string& text) {
    MessageBoxW(Hwnd() ? Hwnd() : owner_, win::Wide(BoundedMessage(text)).c_str(), Text(language_, "Caption").c_str(),
                MB_OK | MB_ICONERROR);
}

int TFSelectFTPDir::ShowModal(TFtpFolderBrowser& browser) {
    browser_ = &browser;
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    win::RunModalLoop(Hwnd(), [this] { return modalResult_ != 0 || !Hwnd(); });
    browser_ = nullptr;
    return modalResult_ == 1 ? 1 : -1;
}

bool TFSelectFTPDir::WaitForServer(TFtpServerWork& work) {
    const HWND self = Hwnd();
    if (!self)
        return false;
    work.OnDone([self] { PostMessageW(self, WM_SERVERWORKDONE, 0, 0); });
    ShowWaiting(true);
    // The window thread goes on handling every message (the host's too) while the worker
    // talks to the server; Cancel, Escape or closing end the wait at once.
    const bool quit = !win::RunModalLoop(self, [&] { return work.Done() || modalResult_ != 0 || !Hwnd(); });
    work.OnDone(nullptr);
    if (Hwnd())
        ShowWaiting(false);
    return !quit && modalResult_ == 0 && Hwnd() != nullptr;
}

void TFSelectFTPDir::ShowWaiting(bool waiting) {
    // Nothing to take while the server is busy; the folder list ignores double clicks then.
    waiting_ = waiting;
    EnableWindow(sbSave_, !waiting && folderReported_);
    SendMessageW(progress_, PBM_SETMARQUEE, waiting ? TRUE : FALSE, 30);
    ShowWindow(progress_, waiting ? SW_SHOWNA : SW_HIDE);
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(waiting ? IDC_APPSTARTING : IDC_ARROW)));
}

void TFSelectFTPDir::SBSaveClick() {
    // Before the server has named a folder there is none to take; returning an empty one
    // would replace the work's folder by the root. While it works, the folder may be changing.
    if (folderReported_ && !waiting_)
        modalResult_ = 1;
}

void TFSelectFTPDir::SBCancelClick() {
    modalResult_ = -1;
}

void TFSelectFTPDir::FolderDblClick() {
    if (browser_)
        browser_->LBFoldersListBoxDblClick();
}

void TFSelectFTPDir::Command(int id, int code) {
    switch (id) {
    case IDC_LBFOLDERS:
        if (code == LBN_DBLCLK)
            FolderDblClick();
        break;
    case IDC_SBSAVE:
        if (code == BN_CLICKED)
            SBSaveClick();
        break;
    case IDC_SBCANCEL:
        if (code == BN_CLICKED)
            SBCancelClick();
        break;
    case IDOK: { // Enter acts on the focused control; elsewhere it takes the current folder
        const HWND focus = GetFocus();
        if (focus == lbFolders_)
            FolderDblClick();
        else if (focus == sbCancel_)
            SBCancelClick();
        else
            SBSaveClick();
        break;
    }
    case IDCANCEL: // Escape
        SBCancelClick();
        break;
    }
}

void TFSelectFTPDir::PaintBars() {
    win::TPaint p(Hwnd());
    RECT top;
    GetClientRect(Hwnd(), &top);
    top.bottom = S(PanTHeight);
    FillRect(p.Dc(), &top, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(p.Dc(), &top, BDR_SUNKENOUTER, BF_RECT);
}

void TFSelectFTPDir::DpiChanged(int dpi, const RECT* suggested) {
    panB_.ApplyDpi(dpi);
    win::SetChildFonts(Hwnd(), dpi);
    win::LvSetRowHeight(sgFiles_, S(GridRowHeight));
    win::LvScaleColumns(sgFiles_, {0, 64, 95}, dpi); // the name column is fitted
    win::TWindow::DpiChanged(dpi, suggested); // the new size lays the dialog out
    Layout();
    RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TFSelectFTPDir::Destroyed() {
    browser_ = nullptr;
    if (modalResult_ == 0)
        modalResult_ = -1; // gone without a choice: the old folder stays
}

LRESULT TFSelectFTPDir::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED)
            Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        const SIZE least = OuterSize(S(MinClientWidth), S(MinClientHeight));
        reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = POINT{least.cx, least.cy};
        return 0;
    }
    case WM_COMMAND:
        Command(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_PAINT:
        PaintBars();
        return 0;
    case WM_NOTIFY: {
        const auto& n = *reinterpret_cast<const NMHDR*>(lp);
        if (n.hwndFrom == sgFiles_ && n.code == NM_SETFOCUS)
            win::LvShowFocus(sgFiles_);
        return Default(msg, wp, lp);
    }
    case WM_CLOSE:
        SBCancelClick(); // the window itself goes with the dialog object
        return 0;
    }
    return Default(msg, wp, lp);
}

std::string SelectFtpFolderDialog(HWND owner, const TFTPUse& ftp, const lang::TLanguage* language) noexcept {
    try {
        TFSelectFTPDir dialog(language);
        if (!dialog.Create(owner)) {
            MessageBoxW(owner, Text(language, "Dialog.NotOpened").c_str(), Text(language, "Caption").c_str(),
                        MB_OK | MB_ICONERROR);
            return ftp.Folder.empty() ? std::string(1, '/') : ftp.Folder;
        }
        return SelectFtpFolder(ftp, dialog);
    } catch (...) {
        // Nothing was chosen; the editor keeps its folder.
        try {
            return ftp.Folder.empty() ? std::string(1, '/') : ftp.Folder;
        } catch (...) {
            return {};
        }
    }
}

} // namespace kw
