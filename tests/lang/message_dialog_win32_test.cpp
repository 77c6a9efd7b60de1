// The Win32 message dialog under Wine: a thread timer that runs inside the dialog's modal loop
// inspects the real window and presses its buttons, as a user would.
#include "LangFixture.h"
#include "lang/Language.h"
#include "lang/MessageDialog_win32.h"
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
};

// What the timer does once it has found the dialog.
enum class TAction { ClickLastButton, ClickHelpThenFirst, PressEscape, TypeAccelerator };

TSeen g_seen;
TAction g_action;
int g_ticks = 0;
int g_step = 0;
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
    if (++g_ticks > 200) {  // ten seconds without the expected outcome: end the dialog
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
    switch (g_action) {
    case TAction::ClickLastButton:
        SendMessageA(buttons.back(), BM_CLICK, 0, 0);
        break;
    case TAction::ClickHelpThenFirst:  // Help leaves the dialog open; the next tick presses the first
        SendMessageA(g_step++ == 0 ? buttons.back() : buttons.front(), BM_CLICK, 0, 0);
        break;
    case TAction::PressEscape:
        if (g_step++ == 0)
            PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        else
            SendMessageA(buttons.front(), BM_CLICK, 0, 0);
        break;
    case TAction::TypeAccelerator:
        if (g_step++ == 0)
            PostMessageA(GetFocus(), WM_CHAR, 'n', 0);
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

TEST(MessageDialogWin32, EmptyCaptionsStillWork) {
    TMessageDialogModel model = BuildMessageDialog("", TMsgDlgType::Error, mbYesNo);
    for (TDialogButton& b : model.ButtonList)
        b.Caption.clear();
    EXPECT_EQ(ShowAndPress(model, TAction::ClickLastButton), mrNo);
    EXPECT_EQ(g_seen.Buttons, (std::vector<std::string>{"", ""}));
}

} // namespace
} // namespace kw::lang
