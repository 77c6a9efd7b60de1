// "Send now" with the real KWPAGE.exe: a user selects a work whose period is far off and
// clicks the tool bar's button; the page is written at once with its status. For a work whose
// render is held by an FTP server that never answers, the same click says that the work is
// being rendered and starts nothing.
#include <winsock2.h>
#include "platform/Tcp.h"
#include "tests/e2e/OtherProcess_win32.h"
#include "tests/e2e/Station_win32.h"
#include <atomic>
#include <gtest/gtest.h>
#include <regex>
#include <thread>

namespace kw::e2e {
namespace {

// A click on row `row` of the works grid of another process.
void ClickRow(HANDLE process, HWND grid, int row) { ClickItem(grid, RemoteItemRect(process, grid, row)); }

// The texts of a message dialog of another process (its static controls).
std::string DialogText(HWND dialog) {
    std::string text;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[32] = {};
        GetClassNameA(c, cls, sizeof cls);
        char buffer[1024] = {};
        if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(c, buffer, sizeof buffer) > 0)
            text += buffer;
    }
    return text;
}

HWND FirstButton(HWND dialog) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[32] = {};
        GetClassNameA(c, cls, sizeof cls);
        if (lstrcmpiA(cls, "Button") == 0)
            return c;
    }
    return nullptr;
}

TEST(SendNow, RendersTheSelectedWorkAtOnceAndSaysSoWhileItsRenderRuns) {
    TSilentServer silent;
    ASSERT_TRUE(silent.Ok());
    TStation station("send_now");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "<p>now</p>\n");
    TStationWork stuck = Work("stuck", "page.tpl", "stuck.html", 0);  // 900 s between renders
    stuck.Ftp = true;
    stuck.FtpPort = silent.Port();
    stuck.FtpFile = "stuck.html";
    station.WriteSettings({Work("plain", "page.tpl", "plain.html", 0), stuck});
    ASSERT_TRUE(station.Start());
    HANDLE program = station.Program().Handle();
    ASSERT_TRUE(WaitFor([&] { return station.Rows(station.WorksGrid()) >= 3; }, 10000));

    // The start-up renders (spread over the first seconds): "plain" writes its page, "stuck"
    // waits for the silent server's greeting from then on.
    ASSERT_TRUE(WaitFor([&] { return Exists(station.Path("plain.html")) && silent.Accepted() >= 1; }, 20000));
    ASSERT_TRUE(WaitFor([&] { return !station.WorkStatus(0).empty(); }, 5000));
    ASSERT_TRUE(DeleteFileA(station.Path("plain.html").c_str()));
    Sleep(1500);
    ASSERT_FALSE(Exists(station.Path("plain.html")));  // its next render is 900 s away

    const HWND sendNow = Child(station.Main(), TKW_PAGE::IDC_SBSENDNOW);
    ASSERT_NE(sendNow, nullptr);
    ClickRow(program, station.WorksGrid(), 1);  // "plain"
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(sendNow) != FALSE; }, 5000)) << "no work selected";
    const ULONGLONG clicked = GetTickCount64();
    ClickWindow(sendNow);
    ASSERT_TRUE(WaitFor([&] { return Exists(station.Path("plain.html")); }, 5000)) << "Send now rendered nothing";
    const ULONGLONG writtenAfter = GetTickCount64() - clicked;
    EXPECT_EQ(ReadFile(station.Path("plain.html")), "<p>now</p>\r\n");
    EXPECT_TRUE(std::regex_search(station.WorkStatus(0), std::regex(R"(\d\d:\d\d:\d\d)"))) << station.WorkStatus(0);
    EXPECT_EQ(station.Program().Window("#32770"), nullptr);  // nothing to say

    // "stuck" is still waiting in its upload: Send now says so, and nothing more starts.
    const int accepted = silent.Accepted();
    ClickRow(program, station.WorksGrid(), 2);
    Sleep(300);
    ClickWindow(sendNow);
    HWND message = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (message = station.Program().Window("#32770")) != nullptr; }, 5000))
        << "no message while the render runs";
    const std::string text = DialogText(message);
    EXPECT_NE(text.find("\"stuck\""), std::string::npos) << text;
    ClickWindow(FirstButton(message));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(message); }, 5000));
    Sleep(500);
    EXPECT_EQ(silent.Accepted(), accepted);  // no second upload
    std::printf("Send now: page written %llu ms after the click\n", writtenAfter);

    DWORD_PTR answer = 0;
    SendMessageTimeoutW(station.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
    // "stuck" waits for the greeting up to its 30 s limit; shutdown waits for that render.
    EXPECT_EQ(station.Program().WaitExit(60000), 0u);
}

// Delete in KWPAGE.exe asks in the user's language with "no" as the answer Enter gives: Enter
// keeps the work in the grid and in the settings file; "yes" removes it, and the other work keeps
// the state the grid showed.
TEST(Delete, AsksFirstAndEnterKeepsTheWork) {
    TStation station("delete");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "<p>now</p>\n");
    station.WriteSettings({Work("first", "page.tpl", "first.html", 0), Work("second", "page.tpl", "second.html", 0)});
    ASSERT_TRUE(station.Start());
    HANDLE program = station.Program().Handle();
    ASSERT_TRUE(WaitFor([&] { return station.Rows(station.WorksGrid()) >= 3; }, 10000));
    ASSERT_TRUE(WaitFor([&] { return !station.WorkStatus(1).empty(); }, 20000));  // "second" rendered
    const std::string secondState = station.WorkStatus(1);
    const HWND del = Child(station.Main(), TKW_PAGE::IDC_SBDELETE);
    auto section = [&] { return ReadFile(station.Path("KWPAGE.ini")).find("Name=first") != std::string::npos; };
    ClickRow(program, station.WorksGrid(), 1);  // "first"
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(del) != FALSE; }, 5000)) << "no work selected";
    for (const bool enter : {true, false}) {
        ClickWindow(del);
        HWND question = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (question = station.Program().Window("#32770")) != nullptr; }, 5000))
            << "deleted without a question";
        EXPECT_EQ(DialogText(question), Encode("Удалить шаблон \"first\"? Его настройки будут удалены из файла настроек.",
                                               1251));
        const LRESULT def = SendMessageW(question, DM_GETDEFID, 0, 0);
        EXPECT_EQ(LOWORD(def), IDNO);
        if (enter) {
            // Enter, as the keyboard gives it to the dialog's focused button
            HWND focused = GetDlgItem(question, LOWORD(def));
            PostMessageW(focused, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageW(focused, WM_KEYUP, VK_RETURN, 0xC01C0001);
        } else {
            ClickWindow(GetDlgItem(question, IDYES));
        }
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(question); }, 5000));
        Sleep(300);
        if (enter) {
            EXPECT_EQ(station.Rows(station.WorksGrid()), 3);
            EXPECT_TRUE(section()) << "Enter deleted the work";
        }
    }
    ASSERT_TRUE(WaitFor([&] { return station.Rows(station.WorksGrid()) == 2; }, 5000));
    EXPECT_FALSE(section());
    EXPECT_EQ(station.Cell(station.WorksGrid(), 1, 1), "second");
    EXPECT_EQ(station.WorkStatus(0), secondState);  // kept, not emptied until the next render
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(station.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
    EXPECT_EQ(station.Program().WaitExit(20000), 0u);
}

} // namespace
} // namespace kw::e2e

int main(int argc, char** argv) {
    if (!kw::e2e::Exists(kw::e2e::KwpageExe())) {
        std::printf("KWPAGE.exe is not built\n");
        return kw::e2e::NotBuilt;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
