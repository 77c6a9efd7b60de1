// The main window TKW_PAGE.
#include "shell/win32/MainWindow_win32.h"
#include "lang/BuiltinTexts.h"
#include "ui/win32/Layout.h"
#include "platform/Clock.h"
#include "platform/Regional.h"
#include "hostlink/HostWindow_win32.h"
#include "ui/StatusFeed.h"
#include "ui/WorksGrid.h"
#include <windowsx.h>
#include <algorithm>

namespace kw {

namespace {

constexpr int PanLogHeight = 128;
constexpr int StatusColumnWidth = 145;  // the works grid's status column at 96 DPI

// The tool bar's glyphs, drawn rather than loaded so they scale and need no files: lines on an
// 18-unit square that `box` maps to pixels.
void DrawGlyph(HDC dc, int id, const RECT& box, bool enabled) {
    const int size = box.right - box.left;
    auto at = [&](int x, int y) { return POINT{box.left + x * size / 18, box.top + y * size / 18}; };
    auto line = [&](int x0, int y0, int x1, int y1) {
        const POINT a = at(x0, y0), b = at(x1, y1);
        MoveToEx(dc, a.x, a.y, nullptr);
        LineTo(dc, b.x, b.y);
    };
    auto pen = [&](COLORREF c, int w) {
        const int width = w * size / 18 > 0 ? w * size / 18 : 1;
        return win::TGdi<HPEN>(CreatePen(PS_SOLID, width, enabled ? c : RGB(160, 160, 160)));
    };
    switch (id) {
    case TKW_PAGE::IDC_SBADD: {
        auto p = pen(RGB(0, 128, 0), 3);
        win::TSelect s(dc, p.Get());
        line(8, 2, 8, 15), line(2, 8, 15, 8);
        break;
    }
    case TKW_PAGE::IDC_SBEDIT: {
        auto p = pen(RGB(0, 64, 160), 3);
        win::TSelect s(dc, p.Get());
        line(3, 14, 14, 3);
        auto tip = pen(RGB(0, 0, 0), 1);
        win::TSelect t(dc, tip.Get());
        line(2, 15, 5, 15);
        break;
    }
    case TKW_PAGE::IDC_SBSENDNOW: {  // an arrow leaving: render and send
        auto p = pen(RGB(0, 112, 192), 3);
        win::TSelect s(dc, p.Get());
        line(2, 9, 14, 9), line(9, 4, 14, 9), line(9, 14, 14, 9);
        break;
    }
    case TKW_PAGE::IDC_SBDELETE: {
        auto p = pen(RGB(200, 0, 0), 3);
        win::TSelect s(dc, p.Get());
        line(3, 3, 14, 14), line(14, 3, 3, 14);
        break;
    }
    default: {  // settings: a cog
        auto p = pen(RGB(64, 64, 64), 2);
        win::TSelect s(dc, p.Get());
        win::TSelect b(dc, GetStockObject(NULL_BRUSH));
        const POINT tl = at(4, 4), br = at(14, 14);
        Ellipse(dc, tl.x, tl.y, br.x, br.y);
        const int dx[] = {0, 6, 0, -6}, dy[] = {-6, 0, 6, 0};
        for (int k = 0; k < 4; ++k)
            line(9 + dx[k], 9 + dy[k], 9 + dx[k] * 3 / 2, 9 + dy[k] * 3 / 2);
    }
    }
}

// A text the language file translates that has no window of its own (a menu item's caption).
class TTextItem : public win::TControl {
public:
    using TControl::TControl;
    std::string Caption() const override { return text_; }
    void SetCaption(const std::string& text) override { text_ = text; }

private:
    std::string text_;
};

} // namespace

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
    const int dpi = win::SystemDpi();
    const int w = win::Scale(475, dpi), h = win::Scale(374, dpi);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    // a control parent: Tab and the arrow keys reach the tool bar's buttons inside the bar
    if (!CreateWin(WS_EX_CONTROLPARENT, win::Wide(caption), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, w, h, nullptr))
        return false;
    if (Dpi() != dpi)  // opened on a monitor of another scale
        SetWindowPos(Hwnd(), nullptr, 0, 0, S(475), S(374), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CreateControls();
    // Laid out once, as it is first shown: the start's language change may still widen it.
    layoutPending_ = true;
    return true;
}

void TKW_PAGE::CreateControls() {
    components_ = std::make_unique<win::TFormComponents>("KW_PAGE", Hwnd());
    panT_.Create(Hwnd(), 0, 0, S(475), 2);
    panT_.SetGlyphPainter(&DrawGlyph);
    struct TB { int id; const char* name; win::TControl** field; };
    const TB buttons[] = {{IDC_SBADD, "SBAdd", &sbAdd_}, {IDC_SBEDIT, "SBEdit", &sbEdit_},
                          {IDC_SBDELETE, "SBDelete", &sbDelete_}, {IDC_SBSENDNOW, "SBSendNow", &sbSendNow_},
                          {IDC_SBPID, "SBPid", &sbPid_}};
    for (const TB& b : buttons) {
        *b.field = &components_->Add(b.name, "TSpeedButton", panT_.AddButton(b.id, ""));
        (*b.field)->SetShowHint(true);
    }
    const TToolBarLayout design;
    auto place = [this](win::TControl* b, const TToolButton& t) { panT_.Place(b->Hwnd(), S(t.Left), S(t.Width)); };
    place(sbAdd_, design.Add), place(sbEdit_, design.Edit), place(sbDelete_, design.Delete), place(sbPid_, design.Pid);
    place(sbSendNow_, design.SendNow);
    components_->Add("PanT", "TPanel", panT_.Hwnd());
    miSendNow_ = &components_->Add<TTextItem>("MISendNow", "TMenuItem", nullptr);
    sgWork_ = win::MakeReportList(Hwnd(), IDC_SGWORK,
                                  {{"", 27}, {"", 276}, {"", StatusColumnWidth}},
                                  Dpi(), LVS_SINGLESEL | LVS_NOSORTHEADER);
    sgLog_ = win::MakeReportList(Hwnd(), IDC_SGLOG,
                                 {{"", 93}, {"", 313}}, Dpi(),
                                 LVS_SINGLESEL | LVS_NOSORTHEADER);
    win::LvSetRowHeight(sgWork_, GridRowHeight());
    win::LvSetRowHeight(sgLog_, GridRowHeight());
    components_->Add<win::TGridControl>("SGWork", "TStringGrid", sgWork_);
    components_->Add<win::TGridControl>("SGLog", "TStringGrid", sgLog_);
    win::LvInsertRow(sgLog_, 0, {"", ""});  // the empty design row the first entry goes into
    lang::ShowBuiltinTexts(*components_, "Main");
    builtinTextsShown_ = true;
    ShowHints();
}

// A button whose caption the bar has no room for shows its glyph alone: its hint then names it
// (the caption itself where it has no hint).
void TKW_PAGE::ShowHints() {
    for (win::TControl* b : {sbAdd_, sbEdit_, sbDelete_, sbSendNow_, sbPid_}) {
        std::string hint = b->ShowHint() ? b->Hint() : std::string();
        if (hint.empty() && panT_.Compact())
            hint = b->Caption();
        panT_.SetHint(b->Hwnd(), hint);
    }
}

int TKW_PAGE::CaptionsWidth() const {
    int sum = 0;
    for (int id : {IDC_SBADD, IDC_SBEDIT, IDC_SBDELETE, IDC_SBSENDNOW})
        sum += ToolBarWantedWidth(id) + 1;
    return sum + S(TToolBarLayout{}.Pid.Width) + 1 + 2 * panT_.Inset();
}

// The window's width as it opens: the design width, or what the tool bar's captions need in
// the current language at the current scale, within the screen's work area.
bool TKW_PAGE::FitWidthToCaptions() {
    RECT client, outer;
    GetClientRect(Hwnd(), &client);
    const int need = CaptionsWidth();
    if (client.right >= need)
        return false;
    GetWindowRect(Hwnd(), &outer);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(Hwnd(), MONITOR_DEFAULTTOPRIMARY), &info);
    const int frame = (outer.right - outer.left) - client.right;
    const int width = std::min<int>(need + frame, info.rcWork.right - info.rcWork.left);
    const int height = outer.bottom - outer.top;
    const POINT at = win::CentredOrigin(nullptr, SIZE{width, height});
    SetWindowPos(Hwnd(), nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

TToolBarLayout TKW_PAGE::ToolBar() const {
    auto at = [this](int id) {
        RECT r;
        GetWindowRect(Button(id), &r);
        MapWindowPoints(nullptr, panT_.Hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return TToolButton{r.left - panT_.Inset(), r.right - r.left};  // relative to the bar inside its bevel
    };
    TToolBarLayout b;
    b.Add = at(IDC_SBADD), b.Edit = at(IDC_SBEDIT), b.Delete = at(IDC_SBDELETE), b.Pid = at(IDC_SBPID);
    b.SendNow = at(IDC_SBSENDNOW);
    return b;
}

void TKW_PAGE::PanTResize() {
    RECT r;
    GetClientRect(panT_.Hwnd(), &r);
    const int inner = r.right - 2 * panT_.Inset();  // inside the bevel
    TToolBarLayout bar = ToolBar();
    bar.Add.Want = ToolBarWantedWidth(IDC_SBADD);
    bar.Edit.Want = ToolBarWantedWidth(IDC_SBEDIT);
    bar.Delete.Want = ToolBarWantedWidth(IDC_SBDELETE);
    bar.SendNow.Want = ToolBarWantedWidth(IDC_SBSENDNOW);
    bar.GlyphWant = panT_.GlyphWidth();
    const TToolBarLayout b = kw::PanTResize(inner, bar);
    if (b.Compact != panT_.Compact()) {
        panT_.SetCompact(b.Compact);
        ShowHints();
    }
    auto place = [this](win::TControl* button, const TToolButton& t) { panT_.Place(button->Hwnd(), t.Left, t.Width); };
    place(sbAdd_, b.Add), place(sbEdit_, b.Edit), place(sbDelete_, b.Delete), place(sbPid_, b.Pid);
    place(sbSendNow_, b.SendNow);
}

void TKW_PAGE::FitGrid(HWND grid, const std::vector<int16_t>& percents) {
    win::FitListViewColumns(grid, percents, GridRowHeight());
}

// The name column takes what the number and status columns leave; in a window too narrow for
// its title the status column gives what the title lacks, and takes it back when there is room.
void TKW_PAGE::PanWorkResize() {
    const int status = S(StatusColumnWidth);
    if (ListView_GetColumnWidth(sgWork_, 2) < status)
        ListView_SetColumnWidth(sgWork_, 2, status);
    FitGrid(sgWork_, {0, 100, 0});
    win::LvFitHeaders(sgWork_, 2);
}
void TKW_PAGE::PanLogResize() { FitGrid(sgLog_, {0, 100}); }

void TKW_PAGE::Layout() {
    layoutPending_ = false;
    RECT r;
    GetClientRect(Hwnd(), &r);
    const auto rows = win::StackRows(r, {panT_.Height(), win::Fill, S(PanLogHeight)});
    panT_.Move(0, 0, r.right);
    win::MoveTo(sgWork_, rows[1]);
    win::MoveTo(sgLog_, rows[2]);
    PanTResize();
    PanWorkResize();
    PanLogResize();
    // The whole bar at once: a button moved by a maximise is drawn over the new gradient, not
    // left to the next time the pointer passes.
    RedrawWindow(panT_.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TKW_PAGE::DpiChanged(int dpi, const RECT* suggested) {
    panT_.ApplyDpi(dpi);
    win::SetChildFonts(Hwnd(), dpi);
    win::LvScaleColumns(sgWork_, {27, 0, StatusColumnWidth}, dpi);  // the name column is fitted
    win::LvScaleColumns(sgLog_, {93, 0}, dpi);        // the event column is fitted
    for (HWND grid : {sgWork_, sgLog_}) {
        win::LvSetRowHeight(grid, GridRowHeight());
        win::LvFitHeaders(grid, 1);
    }
    panT_.Place(sbPid_->Hwnd(), 0, S(TToolBarLayout{}.Pid.Width));  // PanTResize keeps its width
    if (suggested)
        TWindow::DpiChanged(dpi, suggested);  // the new size lays the window out
    Layout();
    RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TKW_PAGE::StartTimer() { SetTimer(Hwnd(), IDT_MAIN, static_cast<UINT>(MainTimerPeriod), nullptr); }

void TKW_PAGE::ShowWorks() {
    const std::string source = services_.MainText("Source");
    std::string status;
    if (ListView_GetItemCount(sgWork_) > 0)
        status = win::TGridControl("", "", sgWork_).Cell(2, SourceRow());
    const auto rows = ShowWorksRows(settings_.Works, source, status);
    const TStatusTone sourceTone = cellTones_.empty() ? TStatusTone::Normal : cellTones_[0];
    SendMessageW(sgWork_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(sgWork_);
    cellTones_ = WorkStatusTones(settings_.Works);
    cellTones_.insert(cellTones_.begin(), sourceTone);
    cellTones_.resize(rows.size(), TStatusTone::Normal);
    for (size_t i = 0; i < rows.size(); ++i)
        win::LvInsertRow(sgWork_, static_cast<int>(i), {rows[i][0], rows[i][1], rows[i][2]});
    SendMessageW(sgWork_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(sgWork_, nullptr, TRUE);
    PanWorkResize();
    SGWorkClick();
}

void TKW_PAGE::SGWorkClick() {
    const int item = ListView_GetNextItem(sgWork_, -1, LVNI_SELECTED);
    selectedWork_ = SelectedWorkFromRow(item < 0 ? -1 : item + WorksFixedRows);
    const bool on = WorkButtonsEnabled(selectedWork_);
    EnableWindow(sbEdit_->Hwnd(), on);
    EnableWindow(sbDelete_->Hwnd(), on);
    EnableWindow(sbSendNow_->Hwnd(), on);
}

void TKW_PAGE::SBAddClick() {
    if (services_.EditWork(-1))
        ShowWorks();
}

void TKW_PAGE::SBEditClick() {
    if (selectedWork_ >= 0 && services_.EditWork(selectedWork_))
        ShowWorks();
}

// Asks first ("no" is the default); the other works keep their states on the screen.
void TKW_PAGE::SBDeleteClick() {
    if (selectedWork_ < 0 || !services_.ConfirmDelete(selectedWork_))
        return;
    services_.DeleteWork(selectedWork_);
    ShowWorks();
}

void TKW_PAGE::SBSendNowClick() {
    if (selectedWork_ >= 0)
        services_.SendNow(selectedWork_);
}

void TKW_PAGE::TrayMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    const UINT state = selectedWork_ >= 0 ? MF_ENABLED : MF_GRAYED;
    AppendMenuW(menu, MF_STRING | state, IDM_SENDNOW, win::Wide(miSendNow_->Caption()).c_str());
    POINT at;
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only while the window is in the foreground.
    SetForegroundWindow(Hwnd());
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, Hwnd(), nullptr));
    PostMessageW(Hwnd(), WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (chosen == IDM_SENDNOW)
        SBSendNowClick();
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
        win::LvInsertRow(sgLog_, 0, {"", ""});
    }
    win::TGridControl grid("", "", sgLog_);
    grid.SetCell(0, 1, log_.Entry(0)[0]);
    grid.SetCell(1, 1, log_.Entry(0)[1]);
    PanLogResize();
}

void TKW_PAGE::Language_Change() {
    if (!builtinTextsShown_)  // a key the new language lacks shows in English
        lang::ShowBuiltinTexts(*components_, "Main");
    builtinTextsShown_ = false;
    services_.TranslateMain(*components_);
    if (ListView_GetItemCount(sgWork_) > 0)
        SetWorkCell(SourceRow(), 1, services_.MainText("Source"));
    win::LvFitHeaders(sgWork_, 1);  // the name and the event columns are fitted to the rest
    win::LvFitHeaders(sgLog_, 1);
    // start-up: the window opens wide enough for its captions (its new size lays it out)
    const bool resized = !IsWindowVisible(Hwnd()) && FitWidthToCaptions();
    if (layoutPending_) {
        Layout();
    } else if (!resized) {
        PanWorkResize();
        PanTResize();
    }
    ShowHints();
    RedrawWindow(panT_.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TKW_PAGE::SetWorkCell(int row, int col, const std::string& text) {
    win::TGridControl("", "", sgWork_).SetCell(col, row, text);
}

void TKW_PAGE::TimerTick() {
    try {
        NowTicks.store(GetTicks64());
        for (const std::string& line : services_.TakeLogLines())
            OutLog(line);
        if (!StatusPublishedSince(statusSeen_))
            return;
        const TStatusFeed feed = TakeStatusUpdates(settings_.Works.Snapshot(), services_.SourceStatus());
        for (const auto& cell : feed.Cells) {
            if (cell.Row - WorksFixedRows >= ListView_GetItemCount(sgWork_))
                continue;  // a work added since the last refill shows at the next ShowWorks
            SetWorkCell(cell.Row, 2, cell.Text);
            cellTones_[static_cast<size_t>(cell.Row - WorksFixedRows)] = cell.Tone;
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

LRESULT TKW_PAGE::WorksCustomDraw(NMLVCUSTOMDRAW& cd) {
    switch (cd.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const size_t item = cd.nmcd.dwItemSpec;
        const TCellPaint paint = cd.iSubItem == 2 && item < cellTones_.size()
                                     ? StatusCellPaint(cellTones_[item])
                                     : TCellPaint{};
        cd.clrTextBk = paint.Custom ? paint.Background : CLR_DEFAULT;
        cd.clrText = paint.Custom ? paint.Text : CLR_DEFAULT;
        return CDRF_DODEFAULT;
    }
    }
    return CDRF_DODEFAULT;
}

LRESULT TKW_PAGE::OnNotify(const NMHDR& n) {
    if ((n.hwndFrom == sgWork_ || n.hwndFrom == sgLog_) && n.code == NM_SETFOCUS)
        win::LvShowFocus(n.hwndFrom);  // Tab always shows where the keys go
    if (n.hwndFrom == sgWork_) {
        if (n.code == NM_CUSTOMDRAW)
            return WorksCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&n)));
        if (n.code == LVN_ITEMCHANGED || n.code == NM_CLICK)
            SGWorkClick();
        return 0;
    }
    return 0;
}

void TKW_PAGE::Command(int id) {
    switch (id) {
    case IDC_SBADD: SBAddClick(); break;
    case IDC_SBEDIT: SBEditClick(); break;
    case IDC_SBDELETE: SBDeleteClick(); break;
    case IDC_SBPID: SBPidClick(); break;
    case IDC_SBSENDNOW: SBSendNowClick(); break;
    }
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
    case WM_SHOWWINDOW:
        if (wp && layoutPending_)
            Layout();
        break;
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
        m->ptMinTrackSize = POINT{S(MainMinWidth), S(MainMinHeight)};
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED)
            Command(LOWORD(wp));
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lp));
    case WM_SETCURSOR:
        // the hand over the grids, as over the tool bar's buttons
        if (reinterpret_cast<HWND>(wp) == sgWork_ || reinterpret_cast<HWND>(wp) == sgLog_) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return TRUE;
        }
        break;
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
        else if (LOWORD(lp) == WM_RBUTTONUP || LOWORD(lp) == WM_CONTEXTMENU)
            TrayMenu();
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
