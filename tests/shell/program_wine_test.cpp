// KWPAGE.exe as a station runs it: copied into a folder of its own with the language files, a
// settings file and a template, started as a process, driven by the host player, and read
// through its windows from outside (as a user sees them).
#include "tests/e2e/Station_win32.h"
#include <gtest/gtest.h>
#include <chrono>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kw::TKW_PAGE;
using namespace kw::e2e;

const char* const WaitText = "Ожидание связи";          // "Wait" of the Russian file
const char* const ConnectedText = "Связь установлена";  // "Connected"
const char* const RunText = "Программа запущена";       // "Run"

struct Program : ::testing::Test {
    std::string build = ExeFolder() + "..\\..\\";
    std::string folder;

    void SetUp() override {
        folder = ExeFolder() + "program_" + std::to_string(GetCurrentProcessId()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA((build + "shell\\KWPAGE.exe").c_str(), (folder + "KWPAGE.exe").c_str(), FALSE));
    }
    void TearDown() override {
        for (const char* f : {"KWPAGE.exe", "KWPAGE.ini", "KWPAGE.Russian.lng", "KWPAGE.English.lng", "page.tpl",
                              "page.html", "play.txt", "play.out"})
            DeleteFileA((folder + f).c_str());
        RemoveDirectoryA(folder.c_str());
    }
    void AddLanguages() {
        for (const char* lng : {"KWPAGE.Russian.lng", "KWPAGE.English.lng"})
            ASSERT_TRUE(CopyFileA((std::string(KW_SOURCE_DIR) + "/dist/" + lng).c_str(), (folder + lng).c_str(), FALSE));
    }
    std::string HostPlayer() const { return "\"" + build + "tools\\hostplayer\\hostplayer.exe\""; }
};

TEST_F(Program, PlaysTheHostIntoThePageAndEndsWithTheSession) {
    AddLanguages();
    WriteFile(folder + "page.tpl", "<p>!KW!SongArtist - !KW!SongTitle</p>\r\n");
    WriteFile(folder + "KWPAGE.ini", "[Settings]\r\nPID=1\r\nHide=0\r\nLanguage=Russian.lng\r\n"
                                     "[File230101000000]\r\nName=Now playing\r\nFileIn=" + folder + "page.tpl\r\n"
                                     "FileOut=" + folder + "page.html\r\nUpdate=900\r\nCodePage=1\r\nUseFTP=0\r\n");
    TProcess kwpage("\"" + folder + "KWPAGE.exe\"", folder);
    ASSERT_TRUE(kwpage.Started());
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = kwpage.Window("TKW_PAGE")) != nullptr; }, 20000));
    HWND works = GetDlgItem(main, TKW_PAGE::IDC_SGWORK);
    HWND log = GetDlgItem(main, TKW_PAGE::IDC_SGLOG);
    auto source = [&] { return RemoteCell(kwpage.Handle(), works, 0, 2); };
    ASSERT_TRUE(WaitFor([&] { return source() == WaitText; }, 5000)) << source();
    EXPECT_EQ(RemoteCell(kwpage.Handle(), works, 1, 1), "Now playing");
    EXPECT_EQ(RemoteCell(kwpage.Handle(), log, 0, 1), RunText);
    char caption[64] = {};
    GetWindowTextA(main, caption, sizeof caption);
    EXPECT_TRUE(std::regex_match(caption, std::regex(R"(KWPAGE \d+\.\d+\.\d+)"))) << caption;

    // The host links itself, reports a song and a block, then the state.
    WriteFile(folder + "play.txt", "connect\nwait 1500\n"
                                   "element song=0 type=2 duration=183000 artist=\"Кино\" title=\"Группа крови\"\n"
                                   "block type=1 duration=3600000 name=\"Утро\"\nwait 1500\n"
                                   "state\nPLAYER=1\nend\nwait 3000\n");
    TProcess host(HostPlayer() + " \"" + folder + "play.txt\" --wait 5000", folder, folder + "play.out");
    ASSERT_TRUE(host.Started());
    std::vector<std::string> seen{source()};
    WaitFor([&] {
        const std::string now = source();
        if (now != seen.back())
            seen.push_back(now);
        return seen.size() >= 3;
    }, 15000);
    ASSERT_GE(seen.size(), 3u) << ReadFile(folder + "play.out");
    EXPECT_EQ(seen[0], WaitText);
    EXPECT_EQ(seen[1], ConnectedText);
    EXPECT_TRUE(std::regex_search(seen[2], std::regex(R"(^\d\d:\d\d:\d\d)"))) << seen[2];

    // The page is written in UTF-8 with the artist recoded from the host's Windows-1251.
    ASSERT_TRUE(WaitFor([&] { return !ReadFile(folder + "page.html").empty(); }, 5000));
    EXPECT_EQ(ReadFile(folder + "page.html"), "<p>Кино - Группа крови</p>\r\n");
    EXPECT_TRUE(std::regex_search(RemoteCell(kwpage.Handle(), works, 1, 2), std::regex(R"(^\d\d:\d\d:\d\d  \d\d\.\d\d$)")));
    EXPECT_EQ(host.WaitExit(15000), 0u) << ReadFile(folder + "play.out");

    // Logging off: answered 1 at once, no question, and the program ends by itself.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    EXPECT_EQ(answer, 1u);
    EXPECT_EQ(kwpage.WaitExit(10000), 0u);
}

TEST_F(Program, ExitAnsweredNoKeepsItRunning) {
    AddLanguages();
    WriteFile(folder + "KWPAGE.ini", "[Settings]\r\nLanguage=Russian.lng\r\n");
    TProcess kwpage("\"" + folder + "KWPAGE.exe\"", folder);
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = kwpage.Window("TKW_PAGE")) != nullptr; }, 20000));
    HWND log = GetDlgItem(main, TKW_PAGE::IDC_SGLOG);
    PostMessageW(main, WM_CLOSE, 0, 0);
    HWND question = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (question = kwpage.Window("#32770")) != nullptr; }, 5000));
    SendMessageW(GetDlgItem(question, IDNO), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(question); }, 5000));
    EXPECT_EQ(kwpage.WaitExit(500), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(RemoteCell(kwpage.Handle(), log, 0, 1), RunText);  // no "Bye"

    // Asked again and answered Yes: "Bye", and the program closes by itself.
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return (question = kwpage.Window("#32770")) != nullptr; }, 5000));
    SendMessageW(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
    EXPECT_EQ(kwpage.WaitExit(10000), 0u);
}

TEST_F(Program, WithoutLanguageFilesItSaysSoAndEnds) {
    TProcess kwpage("\"" + folder + "KWPAGE.exe\"", folder);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = kwpage.Window("#32770")) != nullptr; }, 20000));
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_NE(std::string(text).find("*.lng"), std::string::npos) << text;
    EXPECT_EQ(kwpage.Window("TKW_PAGE"), nullptr);  // the main window never shows
    SendMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(kwpage.WaitExit(10000), 1u);
    EXPECT_EQ(GetFileAttributesA((folder + "KWPAGE.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
