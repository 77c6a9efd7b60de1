// KWPAGE.exe as a station runs it: copied into a folder of its own with the language files, a
// settings file and a template, started as a process, driven by the host player, and read
// through its windows from outside (as a user sees them).
#include "shell/win32/MainWindow_win32.h"
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

std::string Utf8(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string ExeFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of("\\/") + 1);
}

std::string ReadFile(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Waits up to `ms` for `done`, letting this thread's messages through.
bool WaitFor(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() >= until)
            return false;
        kw::win::PumpMessages();
        Sleep(20);
    }
    return true;
}

// A process started with its output going to a file.
class TProcess {
public:
    TProcess(const std::string& command, const std::string& folder, const std::string& output = "") {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (!output.empty()) {
            out_ = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = out_;
            si.hStdError = out_;
        }
        std::string line = command;
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &si, &pi_))
            CloseHandle(pi_.hThread);
    }
    ~TProcess() {
        if (pi_.hProcess) {
            if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(pi_.hProcess, 99);
            WaitForSingleObject(pi_.hProcess, 5000);
            CloseHandle(pi_.hProcess);
        }
        if (out_ != INVALID_HANDLE_VALUE)
            CloseHandle(out_);
    }
    bool Started() const { return pi_.hProcess != nullptr; }
    HANDLE Handle() const { return pi_.hProcess; }
    DWORD Id() const { return pi_.dwProcessId; }
    // The exit code once it has ended within `ms`, else STILL_ACTIVE.
    DWORD WaitExit(DWORD ms) const {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }
    // A top-level window of this process with the class (and, when not null, other than `not`).
    HWND Window(const char* className, HWND not_ = nullptr) const {
        struct TFind { DWORD pid; const char* cls; HWND not_; HWND found; } f{pi_.dwProcessId, className, not_, nullptr};
        EnumWindows([](HWND w, LPARAM lp) -> BOOL {
            auto& f = *reinterpret_cast<TFind*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            char cls[64] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (pid == f.pid && w != f.not_ && lstrcmpA(cls, f.cls) == 0 && IsWindowVisible(w)) {
                f.found = w;
                return FALSE;
            }
            return TRUE;
        }, reinterpret_cast<LPARAM>(&f));
        return f.found;
    }

private:
    PROCESS_INFORMATION pi_ = {};
    HANDLE out_ = INVALID_HANDLE_VALUE;
};

// The text of a list view cell in another process: the item record and its text buffer are
// placed in that process, where the list view reads and fills them.
std::string RemoteCell(const TProcess& process, HWND listView, int item, int column) {
    constexpr size_t chars = 512;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process.Handle(), nullptr, sizeof(LVITEMW) + chars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    if (!remote)
        return "<no memory>";
    LVITEMW it{};
    it.iSubItem = column;
    it.cchTextMax = chars;
    it.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
    WriteProcessMemory(process.Handle(), remote, &it, sizeof it, nullptr);
    DWORD_PTR length = 0;
    SendMessageTimeoutW(listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote),
                        SMTO_ABORTIFHUNG, 3000, &length);
    std::wstring text(chars, L'\0');
    ReadProcessMemory(process.Handle(), it.pszText, text.data(), chars * sizeof(wchar_t), nullptr);
    VirtualFreeEx(process.Handle(), remote, 0, MEM_RELEASE);
    text.resize(wcsnlen(text.c_str(), chars));
    return Utf8(text);
}

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
    auto source = [&] { return RemoteCell(kwpage, works, 0, 2); };
    ASSERT_TRUE(WaitFor([&] { return source() == WaitText; }, 5000)) << source();
    EXPECT_EQ(RemoteCell(kwpage, works, 1, 1), "Now playing");
    EXPECT_EQ(RemoteCell(kwpage, log, 0, 1), RunText);
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
    EXPECT_TRUE(std::regex_search(RemoteCell(kwpage, works, 1, 2), std::regex(R"(^\d\d:\d\d:\d\d  \d\d\.\d\d$)")));
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
    EXPECT_EQ(RemoteCell(kwpage, log, 0, 1), RunText);  // no "Bye"

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
