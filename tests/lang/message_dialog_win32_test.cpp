// The Win32 message dialog under Wine: a thread timer that runs inside the dialog's modal loop
// inspects the real window and presses its buttons with the mouse and the keyboard (SendInput),
// as a user would.
#include "LangFixture.h"
#include "lang/Language.h"
#include "dialogs/MessageDialog_win32.h"
#include "tests/ui/RealInput_win32.h"
#include "tests/ui/Screenshot_win32.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <windows.h>

namespace kw::lang {
namespace {

struct TSeen {
    HWND Dialog = nullptr;
    std::string Caption;
    std::string Text;
    std::vector<std::string> Buttons;  // left to right
    bool HasIcon = false;
    bool Resizable = true;
    bool Centred = false;
    bool Modal = false;
    bool ShotAt100 = false, ShotAt150 = false;  // the pictures were taken (the dialog was on screen)
};

// What the timer does once it has found the dialog.
enum class TAction { ClickButton, ClickLastButton, ClickHelpThenFirst, PressEscape, TypeAccelerator, TabAndEnter,
                     Screenshots };

TSeen g_seen;
TAction g_action;
int g_ticks = 0;
int g_step = 0;
size_t g_button = 0;       // ClickButton: which one, from the left
std::string g_shotName;    // Screenshots: the pictures' name
HWND g_owner = nullptr;

std::string WindowText(HWND h) {
    char buf[512] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM) {
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") == 0) {
        g_seen.Buttons.push_back(WindowText(child));
    } else if (lstrcmpiA(cls, "Static") == 0) {
        if (GetWindowLongA(child, GWL_STYLE) & SS_ICON)
            g_seen.HasIcon = true;
        else
            g_seen.Text = WindowText(child);
    }
    return TRUE;
}

BOOL CALLBACK FindDialog(HWND h, LPARAM) {
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (IsWindowVisible(h) && lstrcmpA(cls, "#32770") == 0) {
        g_seen.Dialog = h;
        return FALSE;
    }
    return TRUE;
}

std::vector<HWND> ButtonsLeftToRight(HWND dlg) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[64] = {};
        GetClassNameA(c, cls, sizeof cls);
        if (lstrcmpiA(cls, "Button") == 0)
            out.push_back(c);
    }
    std::sort(out.begin(), out.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    return out;
}

void Inspect(HWND dlg) {
    g_seen.Caption = WindowText(dlg);
    EnumChildWindows(dlg, CollectChild, 0);
    std::vector<HWND> buttons = ButtonsLeftToRight(dlg);
    g_seen.Buttons.clear();
    for (HWND b : buttons)
        g_seen.Buttons.push_back(WindowText(b));
    const LONG style = GetWindowLongA(dlg, GWL_STYLE);
    g_seen.Resizable = (style & WS_THICKFRAME) != 0;
    RECT r;
    GetWindowRect(dlg, &r);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoA(MonitorFromWindow(dlg, MONITOR_DEFAULTTOPRIMARY), &info);
    const int dx = (r.left + r.right) / 2 - (info.rcWork.left + info.rcWork.right) / 2;
    const int dy = (r.top + r.bottom) / 2 - (info.rcWork.top + info.rcWork.bottom) / 2;
    g_seen.Centred = dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2;
    g_seen.Modal = g_owner && !IsWindowEnabled(g_owner);
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (++g_ticks > 400) {  // twenty seconds without the expected outcome: end the dialog
        if (g_seen.Dialog)
            EndDialog(g_seen.Dialog, -99);
        return;
    }
    if (!g_seen.Dialog) {
        EnumThreadWindows(GetCurrentThreadId(), FindDialog, 0);
        if (!g_seen.Dialog)
            return;
        Inspect(g_seen.Dialog);
    }
    const std::vector<HWND> buttons = ButtonsLeftToRight(g_seen.Dialog);
    if (g_step > 0 && g_step % 10 != 0) {  // give each input time to arrive before the next
        ++g_step;
        return;
    }
    const int step = g_step++ / 10;
    switch (g_action) {
    case TAction::ClickButton:
        kw::test::QueueClick(buttons.at(g_button));
        break;
    case TAction::ClickLastButton:
        kw::test::QueueClick(buttons.back());
        break;
    case TAction::ClickHelpThenFirst:  // Help leaves the dialog open; the next step presses the first
        kw::test::QueueClick(step == 0 ? buttons.back() : buttons.front());
        break;
    case TAction::PressEscape:
        if (step == 0)
            kw::test::QueueKey(VK_ESCAPE);
        else
            kw::test::QueueClick(buttons.front());
        break;
    case TAction::TypeAccelerator:
        if (step == 0)
            kw::test::QueueKey('N');
        break;
    case TAction::TabAndEnter:  // Tab moves from the first button to the second; Enter presses it
        kw::test::QueueKey(step == 0 ? VK_TAB : VK_RETURN);
        break;
    case TAction::Screenshots:  // a step after the dialog appeared, so that it has painted
        if (step == 1) {
            g_seen.ShotAt100 = kw::test::Shoot(g_seen.Dialog, g_shotName + "-100");
            kw::test::ChangeDpi(g_seen.Dialog, 144);
            g_seen.ShotAt150 = kw::test::Shoot(g_seen.Dialog, g_shotName + "-150");
            RECT r;
            GetClientRect(g_seen.Dialog, &r);
            g_seen.Buttons.clear();
            for (HWND b : ButtonsLeftToRight(g_seen.Dialog))
                g_seen.Buttons.push_back(WindowText(b));
            g_seen.Resizable = false;
            g_seen.Text = std::to_string(r.bottom);  // the client height at 150 %
        }
        if (step == 2)
            kw::test::QueueClick(ButtonsLeftToRight(g_seen.Dialog).front());
        break;
    }
}

int ShowAndPress(const TMessageDialogModel& model, TAction action) {
    g_seen = TSeen{};
    g_action = action;
    g_ticks = 0;
    g_step = 0;
    g_owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
    TMessageDialogWin32 dialog(g_owner);
    const int result = dialog.ShowModal(model);
    KillTimer(nullptr, timer);
    DestroyWindow(g_owner);
    g_owner = nullptr;
    return result;
}

TEST(MessageDialogWin32, ShowsTheLocalisedDialogAndReturnsThePressedButtonsCode) {
    test::TProgramFolder dir;
    dir.WriteLines("Prog.Ru.lng", {"[Constants]", "Dialog.Confirm=\xCF\xEE\xE4\xF2\xE2\xE5\xF0\xE6\xE4\xE5\xED\xE8\xE5",
                                   "Button.Yes=&\xC4\xE0", "Button.No=&\xCD\xE5\xF2", "[Main]",
                                   "Dialog.Exit=\xC7\xE0\xE2\xE5\xF0\xF8\xE8\xF2\xFC?"});
    TLanguage language("Prog.");
    ASSERT_TRUE(language.SelectFromSettings("", "Settings", ""));
    std::unique_ptr<TSectionList> main;
    language.LoadSection("Main", main);
    const TMessageDialogModel model = language.LocalisedDialog(language.MessageText("Exit", main.get()),
                                                               TMsgDlgType::Confirmation, mbYesNo);
    EXPECT_EQ(ShowAndPress(model, TAction::ClickLastButton), mrNo);
    ASSERT_NE(g_seen.Dialog, nullptr);
    EXPECT_EQ(g_seen.Caption, "\xCF\xEE\xE4\xF2\xE2\xE5\xF0\xE6\xE4\xE5\xED\xE8\xE5");
    EXPECT_EQ(g_seen.Text, "\xC7\xE0\xE2\xE5\xF0\xF8\xE8\xF2\xFC?");
    EXPECT_EQ(g_seen.Buttons, (std::vector<std::string>{"&\xC4\xE0", "&\xCD\xE5\xF2"}));
    EXPECT_TRUE(g_seen.HasIcon);
    EXPECT_FALSE(g_seen.Resizable);
    EXPECT_TRUE(g_seen.Centred);
    EXPECT_TRUE(g_seen.Modal);
}

TEST(MessageDialogWin32, ButtonsInBitOrderHelpStaysOpenCustomHasNoIcon) {
    TMessageDialogModel model = BuildMessageDialog("Several\rlines of text", TMsgDlgType::Custom,
                                                   Buttons(mbOK) | Buttons(mbCancel) | Buttons(mbHelp));
    model.Caption = "Custom";
    EXPECT_EQ(ShowAndPress(model, TAction::ClickHelpThenFirst), mrOk);
    EXPECT_EQ(g_seen.Buttons, (std::vector<std::string>{"OK", "Cancel", "&Help"}));
    EXPECT_FALSE(g_seen.HasIcon);
    EXPECT_EQ(g_seen.Caption, "Custom");
}

TEST(MessageDialogWin32, EscapeAnswersCancelOnlyWhereTheDialogHasOne) {
    EXPECT_EQ(ShowAndPress(BuildMessageDialog("x", TMsgDlgType::Warning, Buttons(mbOK) | Buttons(mbCancel)),
                  TAction::PressEscape),
              mrCancel);
    // Yes/No has no answer for Escape: it stays open until a button is pressed.
    EXPECT_EQ(ShowAndPress(BuildMessageDialog("x", TMsgDlgType::Confirmation, mbYesNo), TAction::PressEscape), mrYes);
}

TEST(MessageDialogWin32, TheUnderlinedLetterPressesItsButton) {
    EXPECT_EQ(ShowAndPress(BuildMessageDialog("x", TMsgDlgType::Confirmation, mbYesNo), TAction::TypeAccelerator), mrNo);
}

TEST(MessageDialogWin32, EveryButtonTakesARealClickAndTabAndEnterWork) {
    const TMessageDialogModel model = BuildMessageDialog("x", TMsgDlgType::Confirmation, mbYesNo | Buttons(mbCancel));
    const int expected[] = {mrYes, mrNo, mrCancel};
    for (size_t i = 0; i < 3; ++i) {
        g_button = i;
        EXPECT_EQ(ShowAndPress(model, TAction::ClickButton), expected[i]) << i;
    }
    EXPECT_EQ(ShowAndPress(model, TAction::TabAndEnter), mrNo);
}

// Pictures for the documentation at 100 % and, after a move to a 150 % monitor, laid out again.
TEST(MessageDialogWin32, Screenshots) {
    test::TProgramFolder dir;
    dir.WriteLines("Prog.Ru.lng", {"[Constants]", "Dialog.Confirm=\xCF\xEE\xE4\xF2\xE2\xE5\xF0\xE6\xE4\xE5\xED\xE8\xE5",
                                   "Button.Yes=&\xC4\xE0", "Button.No=&\xCD\xE5\xF2", "[Main]",
                                   "Dialog.Exit=\xC7\xE0\xE2\xE5\xF0\xF8\xE8\xF2\xFC KWPAGE?"});
    TLanguage language("Prog.");
    ASSERT_TRUE(language.SelectFromSettings("", "Settings", ""));
    std::unique_ptr<TSectionList> main;
    language.LoadSection("Main", main);
    g_shotName = "message";
    const TMessageDialogModel model = language.LocalisedDialog(language.MessageText("Exit", main.get()),
                                                               TMsgDlgType::Confirmation, mbYesNo);
    EXPECT_EQ(ShowAndPress(model, TAction::Screenshots), mrYes);
    EXPECT_TRUE(g_seen.ShotAt100) << "the dialog at 100 % is not on the screen";
    EXPECT_TRUE(g_seen.ShotAt150) << "the dialog at 150 % is not on the screen";
    EXPECT_EQ(g_seen.Buttons, (std::vector<std::string>{"&\xC4\xE0", "&\xCD\xE5\xF2"}));
    EXPECT_GT(std::stoi(g_seen.Text), 60);  // the 150 % layout is taller than the font alone
}

TEST(MessageDialogWin32, EmptyCaptionsStillWork) {
    TMessageDialogModel model = BuildMessageDialog("", TMsgDlgType::Error, mbYesNo);
    for (TDialogButton& b : model.ButtonList)
        b.Caption.clear();
    EXPECT_EQ(ShowAndPress(model, TAction::ClickLastButton), mrNo);
    EXPECT_EQ(g_seen.Buttons, (std::vector<std::string>{"", ""}));
}

} // namespace
} // namespace kw::lang
