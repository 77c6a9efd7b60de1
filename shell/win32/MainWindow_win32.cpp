// The main window TKW_PAGE.
#include "shell/win32/MainWindow_win32.h"
#include "platform/Clock.h"
#include "platform/Regional.h"
#include "hostlink/HostWindow_win32.h"
#include "shell/StatusFeed.h"
#include "shell/WorksGrid.h"
#include <windowsx.h>

namespace kw {

namespace {

constexpr int PanTHeight = 26;
constexpr int PanLogHeight = 128;
constexpr int GridRowHeight = 18;

void Bevel(HWND w) {
    win::TPaint p(w);
    RECT r;
    GetClientRect(w, &r);
    DrawEdge(p.Dc(), &r, BDR_SUNKENOUTER, BF_RECT);
}

HWND MakeGrid(HWND parent, int id, const std::vector<std::pair<const char*, int>>& columns) {
    HWND g = win::MakeChild(parent, WC_LISTVIEWW, "", WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                                          LVS_NOSORTHEADER, 0, 0, 10, 10, id, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(g, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    int i = 0;
    for (const auto& [title, width] : columns)
        win::LvInsertColumn(g, i++, win::Wide(title, CP_UTF8), width);
    return g;
}

void InsertRow(HWND grid, int index, const std::vector<std::string>& cells) {
    win::LvInsertItem(grid, index, win::Wide(cells.empty() ? std::string() : cells[0]));
    for (size_t c = 1; c < cells.size(); ++c)
        win::LvSetItemText(grid, index, static_cast<int>(c), win::Wide(cells[c]));
}

// The two-state glyphs of the tool bar, drawn rather than loaded so they scale and need no files.
void DrawGlyph(HDC dc, int id, int x, int y, bool enabled) {
    const COLORREF grey = RGB(160, 160, 160);
    auto pen = [&](COLORREF c, int w) { return win::TGdi<HPEN>(CreatePen(PS_SOLID, w, enabled ? c : grey)); };
    switch (id) {
    case TKW_PAGE::IDC_SBADD: {
        auto p = pen(RGB(0, 128, 0), 3);
        win::TSelect s(dc, p.Get());
        MoveToEx(dc, x + 8, y + 2, nullptr), LineTo(dc, x + 8, y + 15);
        MoveToEx(dc, x + 2, y + 8, nullptr), LineTo(dc, x + 15, y + 8);
        break;
    }
    case TKW_PAGE::IDC_SBEDIT: {
        auto p = pen(RGB(0, 64, 160), 3);
        win::TSelect s(dc, p.Get());
        MoveToEx(dc, x + 3, y + 14, nullptr), LineTo(dc, x + 14, y + 3);
        auto tip = pen(RGB(0, 0, 0), 1);
        win::TSelect t(dc, tip.Get());
        MoveToEx(dc, x + 2, y + 15, nullptr), LineTo(dc, x + 5, y + 15);
        break;
    }
    case TKW_PAGE::IDC_SBDELETE: {
        auto p = pen(RGB(200, 0, 0), 3);
        win::TSelect s(dc, p.Get());
        MoveToEx(dc, x + 3, y + 3, nullptr), LineTo(dc, x + 14, y + 14);
        MoveToEx(dc, x + 14, y + 3, nullptr), LineTo(dc, x + 3, y + 14);
        break;
    }
    default: {  // settings: a cog
        auto p = pen(RGB(64, 64, 64), 2);
        win::TSelect s(dc, p.Get());
        win::TSelect b(dc, GetStockObject(NULL_BRUSH));
        Ellipse(dc, x + 4, y + 4, x + 14, y + 14);
        for (int k = 0; k < 4; ++k) {
            const int dx[] = {0, 6, 0, -6}, dy[] = {-6, 0, 6, 0};
            MoveToEx(dc, x + 9 + dx[k], y + 9 + dy[k], nullptr), LineTo(dc, x + 9 + dx[k] * 3 / 2, y + 9 + dy[k] * 3 / 2);
        }
    }
    }
}

} // namespace

bool TPanel::Create(HWND parent, HWND forwardTo, bool lowered) {
    Register();
    forward_ = forwardTo;
    lowered_ = lowered;
    return CreateWin(0, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10, 10, parent);
}

LRESULT TPanel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
        return SendMessageW(forward_, msg, wp, lp);
    case WM_PAINT:
        if (lowered_) {
            Bevel(Hwnd());
            return 0;
        }
        break;
    }
    return Default(msg, wp, lp);
}

TKW_PAGE::~TKW_PAGE() {
    if (trayVisible_)
        TrayIcon(NIM_DELETE);
}

bool TKW_PAGE::Create(const std::string& caption, HICON icon, bool quitOnDestroy) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    quitOnDestroy_ = quitOnDestroy;
    icon_ = icon;
    trayHint_ = caption;
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    Register(0, icon);
    const int w = 475, h = 374;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    if (!CreateWin(0, win::Wide(caption), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, w, h, nullptr))
        return false;
    CreateControls();
    Layout();
    return true;
}

void TKW_PAGE::CreateControls() {
    components_ = std::make_unique<win::TFormComponents>("KW_PAGE", Hwnd());
    panT_.Create(Hwnd(), Hwnd(), true);
    label_.Create(panT_.Hwnd(), 2, 1, 10, 24, false);
    label_.ConfigureAsButtonBar();
    struct TB { int id; const char* name; const char* caption; int left, width; };
    const TB buttons[] = {{IDC_SBADD, "SBAdd", "Добавить", 0, 105}, {IDC_SBEDIT, "SBEdit", "Редактировать", 108, 105},
                          {IDC_SBDELETE, "SBDelete", "Удалить", 212, 105}, {IDC_SBPID, "SBPid", "", 320, 60}};
    for (const TB& b : buttons) {
        HWND h = win::MakeChild(panT_.Hwnd(), L"BUTTON", win::AnsiFromUtf8(b.caption), BS_OWNERDRAW, b.left + 2, 2,
                                b.width, 24, b.id);
        components_->Add(b.name, "TSpeedButton", h);
    }
    components_->Find("SBPid")->SetHint(win::AnsiFromUtf8("Настройки"));
    components_->Find("SBPid")->SetShowHint(true);
    components_->Add("PanT", "TPanel", panT_.Hwnd());
    sgWork_ = MakeGrid(Hwnd(), IDC_SGWORK, {{"№", 27}, {"Наименование", 276}, {"Состояние", 145}});
    sgLog_ = MakeGrid(Hwnd(), IDC_SGLOG, {{"Время", 93}, {"Событие", 313}});
    components_->Add<win::TGridControl>("SGWork", "TStringGrid", sgWork_);
    components_->Add<win::TGridControl>("SGLog", "TStringGrid", sgLog_);
    InsertRow(sgLog_, 0, {"", ""});  // the empty design row the first entry goes into

    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, Hwnd(),
                               nullptr, win::Instance(), nullptr);
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = Hwnd();
    ti.uId = reinterpret_cast<UINT_PTR>(Button(IDC_SBPID));
    ti.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

TToolBarLayout TKW_PAGE::ToolBar() const {
    auto at = [this](int id) {
        RECT r;
        GetWindowRect(Button(id), &r);
        MapWindowPoints(nullptr, panT_.Hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return TToolButton{r.left - 2, r.right - r.left};  // relative to the bar inside its bevel
    };
    TToolBarLayout b;
    b.Add = at(IDC_SBADD), b.Edit = at(IDC_SBEDIT), b.Delete = at(IDC_SBDELETE), b.Pid = at(IDC_SBPID);
    return b;
}

void TKW_PAGE::PanTResize() {
    RECT r;
    GetClientRect(panT_.Hwnd(), &r);
    const int inner = r.right - 4;  // inside the bevel
    MoveWindow(label_.Hwnd(), 2, 1, inner, r.bottom - 2, TRUE);
    const TToolBarLayout b = kw::PanTResize(inner, ToolBar());
    auto place = [this](int id, const TToolButton& t) { MoveWindow(Button(id), t.Left + 2, 1, t.Width, 24, TRUE); };
    place(IDC_SBADD, b.Add), place(IDC_SBEDIT, b.Edit), place(IDC_SBDELETE, b.Delete), place(IDC_SBPID, b.Pid);
}

void TKW_PAGE::FitGrid(HWND grid, const std::vector<int16_t>& percents) {
    win::FitListViewColumns(grid, percents, GridRowHeight);
}

void TKW_PAGE::PanWorkResize() { FitGrid(sgWork_, {0, 100, 0}); }
void TKW_PAGE::PanLogResize() { FitGrid(sgLog_, {0, 100}); }

void TKW_PAGE::Layout() {
    RECT r;
    GetClientRect(Hwnd(), &r);
    MoveWindow(panT_.Hwnd(), 0, 0, r.right, PanTHeight, TRUE);
    const int logTop = r.bottom - PanLogHeight;
    MoveWindow(sgWork_, 0, PanTHeight, r.right, logTop - PanTHeight, TRUE);
    MoveWindow(sgLog_, 0, logTop, r.right, PanLogHeight, TRUE);
    PanTResize();
    PanWorkResize();
    PanLogResize();
}

void TKW_PAGE::StartTimer() { SetTimer(Hwnd(), IDT_MAIN, 100, nullptr); }

void TKW_PAGE::ShowWorks() {
    const std::string source = services_.MainText("Source");
    std::string status;
    if (ListView_GetItemCount(sgWork_) > 0)
        status = win::TGridControl("", "", sgWork_).Cell(2, SourceRow());
    const auto rows = ShowWorksRows(settings_.Works, source, status);
    const uint32_t sourceColor = cellColors_.empty() ? NormalColor() : cellColors_[0];
    SendMessageW(sgWork_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(sgWork_);
    cellColors_.assign(rows.size(), NormalColor());
    cellColors_[0] = sourceColor;
    for (size_t i = 0; i < rows.size(); ++i)
        InsertRow(sgWork_, static_cast<int>(i), {rows[i][0], rows[i][1], rows[i][2]});
    SendMessageW(sgWork_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(sgWork_, nullptr, TRUE);
    PanWorkResize();
    SGWorkClick();
}

void TKW_PAGE::SGWorkClick() {
    const int item = ListView_GetNextItem(sgWork_, -1, LVNI_SELECTED);
    selectedWork_ = SelectedWorkFromRow(item < 0 ? -1 : item + WorksFixedRows);
    const bool on = WorkButtonsEnabled(selectedWork_);
    EnableWindow(Button(IDC_SBEDIT), on);
    EnableWindow(Button(IDC_SBDELETE), on);
}

void TKW_PAGE::SBAddClick() {
    if (services_.EditWork(-1))
        ShowWorks();
}

void TKW_PAGE::SBEditClick() {
    if (selectedWork_ >= 0 && services_.EditWork(selectedWork_))
        ShowWorks();
}

void TKW_PAGE::SBDeleteClick() {
    services_.DeleteWork(selectedWork_);
    ShowWorks();
}

void TKW_PAGE::SBPidClick() {
    services_.EditProgramSettings();
    Language_Change();
}

void TKW_PAGE::OutLog(const std::string& text) {
    const size_t before = log_.EntryCount();
    log_.Add(FormatLogStamp(Now()), text);
    if (before > 0) {
        if (before == TLogModel::MaxEntries)
            ListView_DeleteItem(sgLog_, ListView_GetItemCount(sgLog_) - 1);
        InsertRow(sgLog_, 0, {"", ""});
    }
    win::TGridControl grid("", "", sgLog_);
    grid.SetCell(0, 1, log_.Entry(0)[0]);
    grid.SetCell(1, 1, log_.Entry(0)[1]);
    PanLogResize();
}

void TKW_PAGE::Language_Change() {
    services_.TranslateMain(*components_);
    if (ListView_GetItemCount(sgWork_) > 0)
        SetWorkCell(SourceRow(), 1, services_.MainText("Source"));
    InvalidateRect(panT_.Hwnd(), nullptr, TRUE);
}

void TKW_PAGE::SetWorkCell(int row, int col, const std::string& text) {
    win::TGridControl("", "", sgWork_).SetCell(col, row, text);
}

void TKW_PAGE::TimerTick() {
    try {
        NowTicks.store(GetTicks64());
        const TStatusFeed feed = TakeStatusUpdates(settings_.Works.Snapshot(), services_.SourceStatus());
        for (const auto& cell : feed.Cells) {
            if (cell.Row - WorksFixedRows >= ListView_GetItemCount(sgWork_))
                continue;  // a work added since the last refill shows at the next ShowWorks
            SetWorkCell(cell.Row, 2, cell.Text);
            cellColors_[static_cast<size_t>(cell.Row - WorksFixedRows)] = cell.Color;
        }
        for (const auto& line : feed.LogLines)
            OutLog(line);
        if (feed.GridChanged) {
            InvalidateRect(sgWork_, nullptr, FALSE);
            UpdateWindow(sgWork_);  // repaint now, not at the next idle moment
        }
    } catch (...) {
        // the tick is lost; the next one runs normally
    }
}

void TKW_PAGE::ToShutdownTick() { closing_.ToShutdownTick(*this, settings_.Works); }

void TKW_PAGE::TrayIcon(DWORD action) {
    NOTIFYICONDATAW n{};
    n.cbSize = sizeof n;
    n.hWnd = Hwnd();
    n.uID = 1;
    n.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    n.uCallbackMessage = win::WM_KW_TRAY;
    n.hIcon = icon_ ? icon_ : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    lstrcpynW(n.szTip, win::Wide(trayHint_).c_str(), static_cast<int>(std::size(n.szTip)));
    Shell_NotifyIconW(action, &n);
}

void TKW_PAGE::OnMinimize() {
    if (!settings_.Hide)
        return;
    TrayIcon(NIM_ADD);
    trayVisible_ = true;
    ShowWindow(Hwnd(), SW_HIDE);
}

void TKW_PAGE::OnRestore() {
    if (trayVisible_)
        TrayIcon(NIM_DELETE);
    trayVisible_ = false;
    ShowWindow(Hwnd(), SW_RESTORE);
    SetForegroundWindow(Hwnd());
}

void TKW_PAGE::DrawButton(const DRAWITEMSTRUCT& d) {
    const RECT& r = d.rcItem;
    const int w = r.right - r.left, h = r.bottom - r.top;
    win::PaintLabelBehind(d, label_);

    const bool enabled = !(d.itemState & ODS_DISABLED);
    const bool pressed = d.itemState & ODS_SELECTED;
    if (pressed || (enabled && hotButton_ == static_cast<int>(d.CtlID))) {
        RECT e = r;
        DrawEdge(d.hDC, &e, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    }
    const std::string caption = win::GetText(d.hwndItem);
    const int glyphX = caption.empty() ? (w - 18) / 2 : 4;
    DrawGlyph(d.hDC, static_cast<int>(d.CtlID), glyphX + (pressed ? 1 : 0), (h - 18) / 2 + (pressed ? 1 : 0), enabled);
    if (!caption.empty()) {
        SetBkMode(d.hDC, TRANSPARENT);
        SetTextColor(d.hDC, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        win::TSelect f(d.hDC, win::UiFont());
        RECT t{r.left + 24, r.top, r.right - 2, r.bottom};
        std::wstring text = win::Wide(caption);
        DrawTextW(d.hDC, text.c_str(), -1, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    if (d.itemState & ODS_FOCUS) {
        RECT f{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
        DrawFocusRect(d.hDC, &f);
    }
}

LRESULT TKW_PAGE::WorksCustomDraw(NMLVCUSTOMDRAW& cd) {
    switch (cd.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const size_t item = cd.nmcd.dwItemSpec;
        const uint32_t background = GridBackgroundColor.load();
        const TCellPaint paint = cd.iSubItem == 2 && item < cellColors_.size()
                                     ? StatusCellPaint(cellColors_[item], background)
                                     : TCellPaint{};
        cd.clrTextBk = paint.Custom ? paint.Background : CLR_DEFAULT;
        cd.clrText = paint.Custom ? paint.Text : CLR_DEFAULT;
        return CDRF_DODEFAULT;
    }
    }
    return CDRF_DODEFAULT;
}

LRESULT TKW_PAGE::OnNotify(const NMHDR& n) {
    if (n.hwndFrom == sgWork_) {
        if (n.code == NM_CUSTOMDRAW)
            return WorksCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&n)));
        if (n.code == LVN_ITEMCHANGED || n.code == NM_CLICK)
            SGWorkClick();
        return 0;
    }
    if (n.code == TTN_GETDISPINFOW) {
        auto& info = *reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(&n));
        static std::wstring hint;
        hint = win::Wide(components_->Find("SBPid")->Hint());
        info.lpszText = hint.data();
    }
    return 0;
}

void TKW_PAGE::Command(int id) {
    switch (id) {
    case IDC_SBADD: SBAddClick(); break;
    case IDC_SBEDIT: SBEditClick(); break;
    case IDC_SBDELETE: SBDeleteClick(); break;
    case IDC_SBPID: SBPidClick(); break;
    }
}

uint32_t TKW_PAGE::WorksGridColor() const {
    const COLORREF c = ListView_GetBkColor(sgWork_);
    return c == CLR_NONE ? GetSysColor(COLOR_WINDOW) : c;
}

LRESULT TKW_PAGE::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT hostResult = 0;
    if (inbox_ && HandleHostMessage(*inbox_, msg, wp, lp, hostResult))
        return hostResult;  // WM_COPYDATA and the control message: the host link's
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        if (trayVisible_)
            TrayIcon(NIM_ADD);  // Explorer restarted: the icon is gone with the old taskbar
        return 0;
    }
    switch (msg) {
    case WM_SIZE:
        if (wp == SIZE_MINIMIZED) {
            if (minimizeHooks_)
                OnMinimize();
        }
        else
            Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* m = reinterpret_cast<MINMAXINFO*>(lp);
        m->ptMinTrackSize = POINT{MainMinWidth, MainMinHeight};
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED)
            Command(LOWORD(wp));
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lp));
    case WM_DRAWITEM:
        DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
    case WM_SETCURSOR: {
        // the hand cursor over the tool bar's buttons and the grids
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(wp));
        if (id >= IDC_SBADD && id <= IDC_SGLOG) {
            if (id <= IDC_SBPID && hotButton_ != id) {
                const int old = hotButton_;
                hotButton_ = id;
                if (old)
                    InvalidateRect(Button(old), nullptr, FALSE);
                InvalidateRect(Button(id), nullptr, FALSE);
            }
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return TRUE;
        }
        if (hotButton_) {
            InvalidateRect(Button(hotButton_), nullptr, FALSE);
            hotButton_ = 0;
        }
        break;
    }
    case WM_TIMER:
        if (wp == IDT_MAIN) {
            if (closing_.Stage() == 0)
                TimerTick();
            else
                ToShutdownTick();
        }
        return 0;
    case win::WM_KW_TRAY:
        if (LOWORD(lp) == WM_LBUTTONDBLCLK)
            TrayIconDblClick();
        return 0;
    case WM_CLOSE:
        if (closing_.FormClose(*this))
            DestroyWindow(Hwnd());
        return 0;
    case WM_QUERYENDSESSION:
        Default(msg, wp, lp);
        closing_.SetSystemShutdown();
        SendMessageW(Hwnd(), WM_CLOSE, 0, 0);
        return 1;
    case WM_DESTROY:
        KillTimer(Hwnd(), IDT_MAIN);
        if (trayVisible_)
            TrayIcon(NIM_DELETE);
        trayVisible_ = false;
        if (quitOnDestroy_)
            PostQuitMessage(0);
        return 0;
    }
    return Default(msg, wp, lp);
}

} // namespace kw
