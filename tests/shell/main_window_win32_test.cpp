// The main window under Wine: created in this process and used as a person uses it (the pointer
// and the keyboard through SendInput), with the program's other parts replaced by a small host.
#include "works/Settings.h"
#include "dialogs/MessageDialog_win32.h"
#include "lang/Language.h"
#include "platform/Profile.h"
#include "platform/Regional.h"
#include "shell/win32/MainWindow_win32.h"
#include "tests/lang/LangFixture.h"
#include "tests/ui/CaptionFit_win32.h"
#include "tests/ui/RealInput_win32.h"
#include "tests/ui/Screenshot_win32.h"
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>

namespace {

using namespace kw;

struct TServices : IMainServices {
    TSettings* settings = nullptr;
    TShowCell source;
    bool exitAnswer = false;
    int asked = 0;
    std::vector<int> edited;  // the works the editor was opened for (-1: a new one)
    int settingsOpened = 0;
    // A shipped language file, when a test gives one: the texts the program shows.
    lang::TLanguage* language = nullptr;
    std::unique_ptr<lang::TSectionList> mainList;
    std::string MainText(const std::string& key) override {
        return language ? language->MessageText(key, mainList.get()) : key;
    }
    // as a language file does: the tool bar's hints
    void TranslateMain(lang::IForm& form) override {
        if (language) {
            language->LoadSection("Main", mainList);
            language->TranslateForm(form, mainList.get());
            return;
        }
        for (int i = 0; i < form.ComponentCount(); ++i) {
            lang::IComponent& c = form.Component(i);
            if (c.Name().rfind("SB", 0) == 0)
                c.SetHint("hint of " + c.Name());
        }
    }
    bool ConfirmExit() override { ++asked; return exitAnswer; }
    bool EditWork(int index) override {
        edited.push_back(index);
        return false;
    }
    void EditProgramSettings() override { ++settingsOpened; }
    std::vector<int> sent;  // the works "Send now" was asked for
    void SendNow(int index) override { sent.push_back(index); }
    // from the list, and from the settings file when the test has one
    void DeleteWork(int index) override {
        if (settings->FileName.empty())
            (void)settings->Works.RemoveAt(index);
        else
            EXPECT_TRUE(kw::DeleteWork(*settings, index));
    }
    bool deleteAnswer = true;
    std::vector<int> deleteAsked;
    // the stand-in's answer, or the program's question in the shipped language
    bool ConfirmDelete(int index) override {
        deleteAsked.push_back(index);
        if (!language)
            return deleteAnswer;
        return language->ShowDialogFmt("DeleteWork", lang::TMsgDlgType::Confirmation,
                                       {settings->Works.At(index)->Config().Name}, mainList.get(), lang::mbYesNo,
                                       lang::mbNo) == lang::mrYes;
    }
    TShowCell& SourceStatus() override { return source; }
    void TerminateReader() override {}
    bool ReaderExists() override { return false; }
    bool ReaderFinished() override { return true; }
    void FreeReader() override {}
    void ReleaseRing() override {}
    void FreeLongLivedObjects() override {}
};

TWorkPtr Named(const std::string& name) {
    TWorkConfig c;
    c.Name = name;
    return std::make_shared<TWorkData>(c);
}

struct MainWindow : ::testing::Test {
    TSettings settings;
    TServices services;
    std::unique_ptr<TKW_PAGE> page;

    void SetUp() override {
        services.settings = &settings;
        for (const char* n : {"b", "\xC0\xE1\xE2", "A", "a"})
            ASSERT_TRUE(settings.Works.Append(Named(n)));
        page = std::make_unique<TKW_PAGE>(settings, services);
        ASSERT_TRUE(page->Create("KWPAGE 1.0.0", nullptr, false));
        page->ShowWorks();
        ShowWindow(page->Hwnd(), SW_SHOWNORMAL);
        win::PumpMessages();
        test::KeyboardWindow() = page->Hwnd();  // as the program's message loop does
    }
    void TearDown() override { test::KeyboardWindow() = nullptr; }
    std::string Cell(int col, int row) { return win::TGridControl("", "", page->SGWork()).Cell(col, row); }
    void Select(int item) {
        ListView_SetItemState(page->SGWork(), item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        win::PumpMessages();
    }
    // A click at the button's visible position, through hit-testing as the mouse's.
    void Click(int id) {
        test::ClickOn(page->Button(id));
        test::Settle();
    }
    // A click on a row of the works grid.
    void ClickRow(int item) {
        RECT r{};
        ListView_GetItemRect(page->SGWork(), item, &r, LVIR_LABEL);
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(page->SGWork(), &p);
        test::BringToFront(page->Hwnd());
        test::ClickAtPoint(p);
        test::Settle();
    }
    // The text of the tooltip that shows, or "" when none does.
    static std::string ShownTip() {
        std::string text;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND h, LPARAM out) -> BOOL {
                wchar_t cls[64] = {};
                GetClassNameW(h, cls, 64);
                if (IsWindowVisible(h) && lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0) {
                    *reinterpret_cast<std::string*>(out) = win::GetText(h);
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&text));
        return text;
    }
};

TEST_F(MainWindow, WorksAreSortedByteWiseUnderTheSourceRow) {
    EXPECT_EQ(ListView_GetItemCount(page->SGWork()), 5);
    EXPECT_EQ(Cell(1, 1), "Source");
    const char* names[] = {"A", "a", "b", "\xC0\xE1\xE2"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Cell(0, i + 2), std::to_string(i + 1));
        EXPECT_EQ(Cell(1, i + 2), names[i]);
    }
    EXPECT_EQ(Cell(1, 0), "Name");  // no language file here: the built-in English
}

TEST_F(MainWindow, SourceRowDisablesEditAndDeleteAndDeleteRenumbers) {
    EXPECT_FALSE(IsWindowEnabled(page->Button(TKW_PAGE::IDC_SBEDIT)));
    Select(0);
    EXPECT_EQ(page->SelectedWork(), -1);
    EXPECT_FALSE(IsWindowEnabled(page->Button(TKW_PAGE::IDC_SBDELETE)));
    Select(2);  // the second work, "a"
    EXPECT_EQ(page->SelectedWork(), 1);
    EXPECT_TRUE(IsWindowEnabled(page->Button(TKW_PAGE::IDC_SBEDIT)));
    EXPECT_TRUE(IsWindowEnabled(page->Button(TKW_PAGE::IDC_SBDELETE)));
    Click(TKW_PAGE::IDC_SBDELETE);  // asked, and answered yes
    EXPECT_EQ(services.deleteAsked, std::vector<int>{1});
    EXPECT_EQ(ListView_GetItemCount(page->SGWork()), 4);
    EXPECT_EQ(Cell(1, 3), "b");
    EXPECT_EQ(Cell(0, 3), "2");
}

TEST_F(MainWindow, EveryToolBarButtonTakesARealClick) {
    Click(TKW_PAGE::IDC_SBADD);
    ASSERT_EQ(services.edited, std::vector<int>{-1});  // the editor opens for a new work
    ClickRow(3);  // the third work, "b"
    EXPECT_EQ(page->SelectedWork(), 2);
    Click(TKW_PAGE::IDC_SBEDIT);
    EXPECT_EQ(services.edited, (std::vector<int>{-1, 2}));
    Click(TKW_PAGE::IDC_SBDELETE);
    EXPECT_EQ(settings.Works.Count(), 3u);
    EXPECT_EQ(ListView_GetItemCount(page->SGWork()), 4);
    Click(TKW_PAGE::IDC_SBPID);
    EXPECT_EQ(services.settingsOpened, 1);
    // the Source row selected: Edit and Delete are disabled and a click does nothing
    ClickRow(0);
    Click(TKW_PAGE::IDC_SBEDIT);
    Click(TKW_PAGE::IDC_SBDELETE);
    EXPECT_EQ(services.edited.size(), 2u);
    EXPECT_EQ(settings.Works.Count(), 3u);
}

TEST_F(MainWindow, PointerOverAButtonShowsItsEdgeHandAndHint) {
    page->Language_Change();
    test::BringToFront(page->Hwnd());
    for (int id : {TKW_PAGE::IDC_SBADD, TKW_PAGE::IDC_SBPID}) {
        HWND button = page->Button(id);
        test::PointAt(test::CentreOf(button));
        test::PointAt(POINT{test::CentreOf(button).x + 1, test::CentreOf(button).y});
        EXPECT_EQ(page->Bar().Hot(), button) << id;
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND))) << id;
        const std::string expected = id == TKW_PAGE::IDC_SBADD ? "hint of SBAdd" : "hint of SBPid";
        EXPECT_TRUE(test::WaitFor([&] { return ShownTip() == expected; }, 4000)) << ShownTip();
    }
    // off the bar: no button is hot
    test::PointAt(test::CentreOf(page->SGLog()));
    EXPECT_TRUE(test::WaitFor([&] { return page->Bar().Hot() == nullptr; }, 1000));
}

TEST_F(MainWindow, TabReachesEveryControlAndEnterPressesTheFocusedButton) {
    ClickRow(2);  // a work selected: Edit and Delete take the focus too
    std::set<HWND> reached;
    for (int i = 0; i < 9; ++i) {
        reached.insert(GetFocus());
        test::PressKey(VK_TAB);
    }
    for (HWND h : {page->Button(TKW_PAGE::IDC_SBADD), page->Button(TKW_PAGE::IDC_SBEDIT),
                   page->Button(TKW_PAGE::IDC_SBDELETE), page->Button(TKW_PAGE::IDC_SBSENDNOW),
                   page->Button(TKW_PAGE::IDC_SBPID), page->SGWork(),
                   page->SGLog()})
        EXPECT_TRUE(reached.count(h)) << GetDlgCtrlID(h);
    // Enter on Add, Space on the settings button
    SetFocus(page->Button(TKW_PAGE::IDC_SBADD));
    test::PressKey(VK_RETURN);
    test::Settle();
    EXPECT_EQ(services.edited, std::vector<int>{-1});
    SetFocus(page->Button(TKW_PAGE::IDC_SBPID));
    test::PressKey(VK_SPACE);
    test::Settle();
    EXPECT_EQ(services.settingsOpened, 1);
    // arrow keys in the works grid move the selection
    SetFocus(page->SGWork());
    test::PressKey(VK_DOWN);
    test::Settle();
    EXPECT_EQ(page->SelectedWork(), 2);
}

TEST_F(MainWindow, ScalesToTheMonitorsDpi) {
    // a row is the grid row height and its grid line, as the column fitting counts it
    EXPECT_EQ(page->Bar().Height(), 26);
    EXPECT_EQ(win::LvRowHeight(page->SGWork()), 18 + 1);
    int from = 96;
    for (int dpi : {120, 144, 192, 96}) {  // 125, 150, 200 % and back
        SCOPED_TRACE(dpi);
        test::ChangeDpi(page->Hwnd(), dpi, from);
        from = dpi;
        test::Settle();
        EXPECT_EQ(page->Dpi(), dpi);
        EXPECT_EQ(page->Bar().Height(), win::Scale(26, dpi));
        EXPECT_EQ(page->GridRowHeight(), win::Scale(18, dpi));
        EXPECT_EQ(win::LvRowHeight(page->SGWork()), win::Scale(18, dpi) + 1);
        // the columns still fill the grid: the name takes what the number and status leave
        RECT grid;
        GetClientRect(page->SGWork(), &grid);
        int sum = 0;
        for (int col = 0; col < 3; ++col)
            sum += ListView_GetColumnWidth(page->SGWork(), col);
        EXPECT_LE(sum, grid.right);
        EXPECT_GE(sum, grid.right - 6);
        // the number column at its scaled width, or a little wider where its title needs it whole
        EXPECT_GE(ListView_GetColumnWidth(page->SGWork(), 0), win::Scale(27, dpi));
        EXPECT_LE(ListView_GetColumnWidth(page->SGWork(), 0), win::Scale(27 + 4, dpi));
        // every button lies inside the bar, the settings button at its right end
        RECT bar, pid;
        GetClientRect(page->PanT(), &bar);
        GetWindowRect(page->Button(TKW_PAGE::IDC_SBPID), &pid);
        MapWindowPoints(nullptr, page->PanT(), reinterpret_cast<POINT*>(&pid), 2);
        EXPECT_EQ(pid.right - pid.left, win::Scale(60, dpi));
        EXPECT_LE(pid.right, bar.right);
        EXPECT_GE(pid.right, bar.right - win::Scale(4, dpi));
        MINMAXINFO m{};
        SendMessageW(page->Hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&m));
        EXPECT_EQ(m.ptMinTrackSize.x, win::Scale(300, dpi));
    }
    // the buttons still take clicks where they show
    test::ChangeDpi(page->Hwnd(), 192);
    Click(TKW_PAGE::IDC_SBADD);
    EXPECT_EQ(services.edited, std::vector<int>{-1});
}

TEST_F(MainWindow, ToolBarAt459PixelsAndTheMinimumSize) {
    // PanT's client is 463 wide: 459 inside its two-pixel bevel
    RECT w;
    GetWindowRect(page->Hwnd(), &w);
    RECT c;
    GetClientRect(page->Hwnd(), &c);
    const int frame = (w.right - w.left) - c.right;
    SetWindowPos(page->Hwnd(), nullptr, 0, 0, 463 + frame, 374, SWP_NOMOVE | SWP_NOZORDER);
    win::PumpMessages();
    const TToolBarLayout b = page->ToolBar();
    EXPECT_EQ(b.Pid.Left, 398);
    // The four buttons tile the rest with one-pixel gaps, each wide enough for its caption.
    EXPECT_EQ(b.Add.Left, 0);
    EXPECT_EQ(b.Edit.Left, b.Add.Left + b.Add.Width + 1);
    EXPECT_EQ(b.Delete.Left, b.Edit.Left + b.Edit.Width + 1);
    EXPECT_EQ(b.SendNow.Left, b.Delete.Left + b.Delete.Width + 1);
    EXPECT_EQ(b.Pid.Left, b.SendNow.Left + b.SendNow.Width + 1);
    for (int id : {TKW_PAGE::IDC_SBADD, TKW_PAGE::IDC_SBEDIT, TKW_PAGE::IDC_SBDELETE, TKW_PAGE::IDC_SBSENDNOW}) {
        RECT r;
        GetWindowRect(page->Button(id), &r);
        EXPECT_GE(r.right - r.left, page->ToolBarWantedWidth(id)) << "caption cut short on button " << id;
    }

    MINMAXINFO m{};
    SendMessageW(page->Hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&m));
    EXPECT_EQ(m.ptMinTrackSize.x, 300);
    EXPECT_EQ(m.ptMinTrackSize.y, 300);
}

TEST_F(MainWindow, LogKeeps254NewestAndStatusCellsArriveByTheTimer) {
    page->OutLog("Run");
    EXPECT_EQ(ListView_GetItemCount(page->SGLog()), 1);
    for (int i = 0; i < 299; ++i)
        page->OutLog("line " + std::to_string(i));
    EXPECT_EQ(ListView_GetItemCount(page->SGLog()), 254);
    win::TGridControl log("", "", page->SGLog());
    EXPECT_EQ(log.Cell(1, 1), "line 298");
    EXPECT_EQ(log.Cell(1, 254), "line 45");
    EXPECT_EQ(log.Cell(0, 1).size(), 14u);  // HH:NN:SS DD.MM

    SetShowCell(settings.Works.At(3)->Show, "failed", TStatusTone::Failure, true, false);
    SetShowCell(services.source, "Wait", TStatusTone::Failure, false, false);
    page->TimerTick();
    EXPECT_EQ(Cell(2, 5), "failed");
    EXPECT_EQ(Cell(2, 1), "Wait");
    EXPECT_EQ(log.Cell(1, 1), "[4] failed");
}

TEST_F(MainWindow, ExitAnsweredNoKeepsRunningAndSessionEndAsksNothing) {
    SendMessageW(page->Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(services.asked, 1);
    EXPECT_TRUE(IsWindow(page->Hwnd()));
    EXPECT_EQ(page->Closing().Stage(), 0);
    EXPECT_EQ(page->Log().EntryCount(), 0u);

    EXPECT_EQ(SendMessageW(page->Hwnd(), WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(services.asked, 1);
    EXPECT_EQ(page->Closing().Stage(), 1);
    EXPECT_EQ(page->Log().Entry(0)[1], "Bye");
    SendMessageW(page->Hwnd(), WM_CLOSE, 0, 0);  // refused in stage 1
    EXPECT_TRUE(IsWindow(page->Hwnd()));
    page->ToShutdownTick();  // no threads: stage 2
    page->ToShutdownTick();  // releases and asks to close
    win::PumpMessages();
    EXPECT_FALSE(IsWindow(page->Hwnd()));
}

TEST_F(MainWindow, HideMinimisesToTheTray) {
    page->AttachMinimizeHooks();
    ShowWindow(page->Hwnd(), SW_MINIMIZE);
    win::PumpMessages();
    EXPECT_FALSE(page->TrayIconVisible());  // Hide off: an ordinary minimise
    ShowWindow(page->Hwnd(), SW_RESTORE);
    settings.Hide = true;
    ShowWindow(page->Hwnd(), SW_MINIMIZE);
    win::PumpMessages();
    EXPECT_TRUE(page->TrayIconVisible());
    EXPECT_FALSE(IsWindowVisible(page->Hwnd()));
    SendMessageW(page->Hwnd(), win::WM_KW_TRAY, 1, WM_LBUTTONDBLCLK);
    win::PumpMessages();
    EXPECT_FALSE(page->TrayIconVisible());
    EXPECT_TRUE(IsWindowVisible(page->Hwnd()));
}

// The notification icon's menu as a person meets it: its first item read, then clicked with
// the pointer when it is enabled, or the menu left with Escape when it is grayed.
struct TMenuSeen {
    bool Shown = false;
    bool Grayed = false;
    std::string Text;
};
TMenuSeen g_menu;

void CALLBACK AnswerMenu(HWND, UINT, UINT_PTR, DWORD) {
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (!popup || !IsWindowVisible(popup) || g_menu.Shown)
        return;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    if (!menu)
        return;
    g_menu.Shown = true;
    wchar_t text[128] = {};
    GetMenuStringW(menu, 0, text, 127, MF_BYPOSITION);
    g_menu.Text = win::Ansi(text);
    g_menu.Grayed = (GetMenuState(menu, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) != 0;
    RECT r{};
    if (g_menu.Grayed || !GetMenuItemRect(nullptr, menu, 0, &r)) {
        test::QueueKey(VK_ESCAPE);
        return;
    }
    test::QueueClick(popup);  // moves the pointer into the menu first
    const POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    test::SendMouse(MOUSEEVENTF_MOVE, at);
    test::SendMouse(MOUSEEVENTF_LEFTDOWN, at);
    test::SendMouse(MOUSEEVENTF_LEFTUP, at);
}

// "Send now" from the tool bar and from the notification icon's menu: each asks for the
// selected work, and neither can without one.
TEST_F(MainWindow, SendNowFromTheToolBarAndTheTrayMenuAsksForTheSelectedWork) {
    EXPECT_FALSE(IsWindowEnabled(page->Button(TKW_PAGE::IDC_SBSENDNOW)));
    ClickRow(3);  // the third work, "b"
    ASSERT_TRUE(IsWindowEnabled(page->Button(TKW_PAGE::IDC_SBSENDNOW)));
    Click(TKW_PAGE::IDC_SBSENDNOW);
    EXPECT_EQ(services.sent, std::vector<int>{2});

    page->AttachMinimizeHooks();
    settings.Hide = true;
    ShowWindow(page->Hwnd(), SW_MINIMIZE);
    win::PumpMessages();
    ASSERT_TRUE(page->TrayIconVisible());
    for (const bool selected : {true, false}) {
        if (!selected) {
            page->OnRestore();
            Select(0);  // the source row: no work
            ShowWindow(page->Hwnd(), SW_MINIMIZE);
            win::PumpMessages();
        }
        g_menu = TMenuSeen{};
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &AnswerMenu);
        // the shell reports a right click on the icon; the menu runs until it is answered
        SendMessageW(page->Hwnd(), win::WM_KW_TRAY, 1, WM_RBUTTONUP);
        KillTimer(nullptr, timer);
        test::Settle();
        EXPECT_TRUE(g_menu.Shown);
        EXPECT_EQ(g_menu.Text, "Send now");
        EXPECT_EQ(g_menu.Grayed, !selected);
    }
    EXPECT_EQ(services.sent, (std::vector<int>{2, 2}));
}

TEST_F(MainWindow, Screenshot) {
    page->OutLog("Run");
    SetShowCell(settings.Works.At(0)->Show, "19:27:26  07.12", TStatusTone::Normal, false, false);
    SetShowCell(settings.Works.At(1)->Show, "0 FTP: 530 Login incorrect.", TStatusTone::Failure, true, false);
    SetShowCell(services.source, "Connected", TStatusTone::Connected, false, false);
    page->TimerTick();
    Select(1);
    ASSERT_TRUE(test::Shoot(page->Hwnd(), "main-100"));
    test::ChangeDpi(page->Hwnd(), 144);
    ASSERT_TRUE(test::Shoot(page->Hwnd(), "main-150"));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The main window speaking a shipped language, its works saved in a settings file.
struct MainWindowInALanguage : MainWindow {
    lang::test::TProgramFolder folder;
    std::unique_ptr<lang::TLanguage> language;
    lang::TMessageDialogWin32 view{nullptr};

    void Speak(const std::string& name) {
        for (const char* l : {"Russian", "English", "Ukrainian"})
            folder.Remove(std::string("Prog.") + l + ".lng");
        folder.Write("Prog." + name + ".lng", ReadFile(std::string(KW_SOURCE_DIR) + "/dist/KWPAGE." + name + ".lng"));
        services.mainList.reset();
        language = std::make_unique<lang::TLanguage>("Prog.");
        ASSERT_TRUE(language->SelectLanguage(0));
        language->SetDialogView(&view);
        services.language = language.get();
        page->Language_Change();
    }
    void TearDown() override {
        services.language = nullptr;
        MainWindow::TearDown();
    }
};

// What the delete question showed, and how the timer answered it.
struct TQuestion {
    bool Shown = false;
    std::string Text, DefaultCaption, FocusCaption;
    bool PressEnter = true;  // else a click on "yes"
};
TQuestion g_question;

void CALLBACK AnswerQuestion(HWND, UINT, UINT_PTR, DWORD) {
    HWND dlg = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM out) -> BOOL {
            wchar_t cls[16] = {};
            GetClassNameW(h, cls, 16);
            if (IsWindowVisible(h) && lstrcmpW(cls, L"#32770") == 0) {
                *reinterpret_cast<HWND*>(out) = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&dlg));
    if (!dlg || g_question.Shown)
        return;
    g_question.Shown = true;
    HWND yes = nullptr;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[16] = {};
        GetClassNameW(c, cls, 16);
        if (lstrcmpiW(cls, L"Static") == 0 && !(GetWindowLongW(c, GWL_STYLE) & SS_ICON))
            g_question.Text = win::GetText(c);
        if (lstrcmpiW(cls, L"Button") == 0 && GetDlgCtrlID(c) == IDYES)
            yes = c;
    }
    const LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
    if (HIWORD(def) == DC_HASDEFID)
        g_question.DefaultCaption = win::GetText(GetDlgItem(dlg, LOWORD(def)));
    g_question.FocusCaption = win::GetText(GetFocus());
    SetForegroundWindow(dlg);
    if (g_question.PressEnter || !yes)
        test::QueueKey(VK_RETURN);
    else
        test::QueueClick(yes);
}

// Delete asks first, with "no" as the answer Enter gives: Enter keeps the work in the list and in
// the file, "yes" removes it; the other works keep the states the grid showed, and a state that
// names its work carries the number the grid shows.
TEST_F(MainWindowInALanguage, DeleteAsksWithNoAsTheDefaultAndKeepsTheOtherStates) {
    settings.FileName = folder.Path("Prog.ini");
    for (int i = 0; i < 4; ++i) {
        TWorkConfig c = settings.Works.At(i)->Config();
        c.Section = "File" + std::to_string(i);
        settings.Works.At(i)->SetConfig(c);
        ASSERT_TRUE(SaveWork(settings, i));
    }
    Speak("Russian");
    page->ShowWorks();  // A, a, b, Абв
    SetShowCell(settings.Works.At(0)->Show, "19:27:26  07.12 (FTP)", TStatusTone::Normal, false, false);
    // a render that failed while "b" stood at another place in the list
    SetShowCell(settings.Works.At(2)->Show, "7 TCP: connection refused", TStatusTone::Failure, true, false);
    SetShowCell(settings.Works.At(3)->Show, "19:27:27  07.12", TStatusTone::Normal, false, false);
    page->TimerTick();
    EXPECT_EQ(Cell(2, 4), "3 TCP: connection refused");  // "b" is number 3
    EXPECT_EQ(win::TGridControl("", "", page->SGLog()).Cell(1, 1), "[3] 3 TCP: connection refused");

    const std::string section = settings.Works.At(1)->Section();
    ClickRow(2);  // "a"
    for (const bool enter : {true, false}) {
        g_question = TQuestion{};
        g_question.PressEnter = enter;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &AnswerQuestion);
        Click(TKW_PAGE::IDC_SBDELETE);
        ASSERT_TRUE(test::WaitFor([] { return g_question.Shown; }, 3000));
        test::Settle(300);
        KillTimer(nullptr, timer);
        EXPECT_EQ(g_question.Text, win::AnsiFromUtf8("Удалить шаблон \"a\"? Его настройки будут удалены из файла настроек."));
        EXPECT_EQ(g_question.DefaultCaption, win::AnsiFromUtf8("&Нет"));
        EXPECT_EQ(g_question.FocusCaption, win::AnsiFromUtf8("&Нет"));
        if (enter) {  // kept, in the list and in the file
            EXPECT_EQ(settings.Works.Count(), 4u);
            EXPECT_EQ(profile::ReadString(settings.FileName, section, "Name", "<none>"), "a");
        }
    }
    ASSERT_EQ(settings.Works.Count(), 3u);
    EXPECT_EQ(profile::ReadString(settings.FileName, section, "Name", "<none>"), "<none>");
    // the others keep their states; "b" is number 2 now, and its state says so
    EXPECT_EQ(Cell(2, 2), "19:27:26  07.12 (FTP)");
    EXPECT_EQ(Cell(1, 3), "b");
    EXPECT_EQ(Cell(2, 3), "2 TCP: connection refused");
    EXPECT_EQ(Cell(2, 4), "19:27:27  07.12");
    test::Shoot(page->Hwnd(), "main-after-delete");
}

// The pixels of a grid's first row as the screen shows them.
std::vector<uint32_t> FirstRow(HWND grid) {
    RECT r{};
    ListView_GetItemRect(grid, 0, &r, LVIR_BOUNDS);
    MapWindowPoints(grid, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return test::ScreenPixels(r);
}

// Tab into the log shows where the focus is (its first line marked, not selected), as Tab into
// the works grid does.
TEST_F(MainWindow, TabIntoTheLogShowsTheFocus) {
    page->OutLog("Run");
    page->OutLog("Second");
    ClickRow(2);
    test::PointAt(POINT{0, 0});
    test::Settle(200);
    const std::vector<uint32_t> unfocused = FirstRow(page->SGLog());
    for (int i = 0; i < 8 && GetFocus() != page->SGLog(); ++i)
        test::PressKey(VK_TAB);
    ASSERT_EQ(GetFocus(), page->SGLog());
    test::Settle(200);
    EXPECT_EQ(ListView_GetNextItem(page->SGLog(), -1, LVNI_FOCUSED), 0);
    EXPECT_EQ(ListView_GetNextItem(page->SGLog(), -1, LVNI_SELECTED), -1);
    EXPECT_NE(FirstRow(page->SGLog()), unfocused) << "the focus is not drawn";
    test::Shoot(page->Hwnd(), "main-log-focus");
}

// After a maximise the settings button's cog is drawn at once, with the pointer far away.
TEST_F(MainWindow, TheSettingsIconIsDrawnAfterMaximising) {
    test::BringToFront(page->Hwnd());
    test::PointAt(POINT{0, GetSystemMetrics(SM_CYSCREEN) - 1});
    ShowWindow(page->Hwnd(), SW_MAXIMIZE);
    test::Settle(400);
    RECT r;
    GetWindowRect(page->Button(TKW_PAGE::IDC_SBPID), &r);
    int dark = 0;
    for (uint32_t p : test::ScreenPixels(r))
        dark += ((p >> 16) & 255) < 120 && ((p >> 8) & 255) < 120 && (p & 255) < 120 ? 1 : 0;
    EXPECT_GT(dark, 10) << "no cog on the settings button";
    // as the screen shows it, nothing repainted for the picture
    EXPECT_TRUE(test::SaveWindowPng(page->PanT(), test::ScreenshotDir() + "/main-maximised-bar.png"));
    ShowWindow(page->Hwnd(), SW_RESTORE);
}

// The tool bar's buttons and the grids' column titles show whole at the window's opening size
// at 100, 125, 150 and 200 % in every shipped language; at the minimum size the bar shows its
// glyphs alone (the hints name the buttons) and still no caption is cut short.
TEST_F(MainWindowInALanguage, CaptionsShowWholeAtEveryScaleInEveryLanguage) {
    int total = 0;
    int from = 96;
    for (const char* lang : {"Russian", "English", "Ukrainian"}) {
        Speak(lang);
        for (int dpi : {96, 120, 144, 192}) {
            test::ChangeDpi(page->Hwnd(), dpi, from);
            from = dpi;
            // as the program opens at this scale: the design size, translated while hidden
            ShowWindow(page->Hwnd(), SW_HIDE);
            SetWindowPos(page->Hwnd(), nullptr, 0, 0, win::Scale(475, dpi), win::Scale(374, dpi),
                         SWP_NOMOVE | SWP_NOZORDER);
            page->Language_Change();
            ShowWindow(page->Hwnd(), SW_SHOWNORMAL);
            test::Settle(100);
            auto cut = [&] {
                int n = 0;
                for (int id : {TKW_PAGE::IDC_SBADD, TKW_PAGE::IDC_SBEDIT, TKW_PAGE::IDC_SBDELETE, TKW_PAGE::IDC_SBSENDNOW}) {
                    RECT r;
                    GetWindowRect(page->Button(id), &r);
                    if (!page->Bar().Compact() && r.right - r.left < page->ToolBarWantedWidth(id)) {
                        ++n;
                        ADD_FAILURE() << lang << " " << dpi << " dpi: button " << win::GetText(page->Button(id));
                    }
                }
                for (HWND grid : {page->SGWork(), page->SGLog()})
                    for (int col = 0; col < Header_GetItemCount(ListView_GetHeader(grid)); ++col)
                        if (ListView_GetColumnWidth(grid, col) < win::LvHeaderWantedWidth(grid, col)) {
                            ++n;
                            ADD_FAILURE() << lang << " " << dpi << " dpi: column " << col;
                        }
                return n;
            };
            const int atOpening = cut();
            const bool compactAtOpening = page->Bar().Compact();
            RECT w;
            GetWindowRect(page->Hwnd(), &w);
            if (dpi == 144)
                test::Shoot(page->Hwnd(), std::string("main-") + lang + "-150");
            SetWindowPos(page->Hwnd(), nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER);  // to the minimum size
            test::Settle(50);
            const int atMinimum = cut();
            std::printf("captions cut: %-9s %3d dpi: %d at the opening size %ldx%ld%s, %d at the minimum size%s\n",
                        lang, dpi, atOpening, w.right - w.left, w.bottom - w.top,
                        compactAtOpening ? " (glyphs only)" : "", atMinimum,
                        page->Bar().Compact() ? " (glyphs only)" : "");
            EXPECT_FALSE(compactAtOpening);
            EXPECT_TRUE(page->Bar().Compact());
            total += atOpening + atMinimum;
        }
    }
    EXPECT_EQ(total, 0);
}

} // namespace
