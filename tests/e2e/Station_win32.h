// A station as the end-to-end tests set it up: KWPAGE.exe copied into a folder of its own with
// the language files, a settings file and templates, started as a process, driven by the host
// player and read from outside through its windows, the way a user sees them.
#pragma once
#include "config/Password.h"
#include "shell/win32/MainWindow_win32.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace kw::e2e {

// Exit code of a test program whose programs under test are not built: a failure, since the
// test command always builds them.
constexpr int NotBuilt = 1;

inline std::string ExeFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string s = path;
    return s.substr(0, s.find_last_of("\\/") + 1);
}

// The top of the win build tree (the test programs live two folders below it).
inline std::string BuildFolder() { return ExeFolder() + "..\\..\\"; }
inline std::string KwpageExe() { return BuildFolder() + "shell\\KWPAGE.exe"; }
inline std::string HostPlayerExe() { return BuildFolder() + "tools\\hostplayer\\hostplayer.exe"; }
inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The main of a test program that runs KWPAGE.exe and the host player: both must be built.
inline int RunStationTests(int argc, char** argv) {
    if (!Exists(KwpageExe()) || !Exists(HostPlayerExe())) {
        std::printf("FAIL: KWPAGE.exe or the host player is not built\n");
        return NotBuilt;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

inline std::string ReadFile(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::wstring Wide(const std::string& text, UINT codePage) {
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

inline std::string Narrow(const std::wstring& text, UINT codePage) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// UTF-8 text in another code page, converted by the system (not by the program under test).
inline std::string Encode(const std::string& utf8, UINT codePage) { return Narrow(Wide(utf8, CP_UTF8), codePage); }

// Waits up to `ms` for `done`, letting this thread's messages through; every wait has a bound.
inline bool WaitFor(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() >= until)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(20);
    }
    return true;
}

// A process started with its output going to a file; ended (bounded) when the object goes.
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
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;
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
    // The exit code once the process has ended within `ms`, else STILL_ACTIVE.
    DWORD WaitExit(DWORD ms) const {
        DWORD code = STILL_ACTIVE;
        if (pi_.hProcess && WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }
    bool Running() const { return WaitExit(0) == STILL_ACTIVE; }
    // A visible top-level window of this process with the class, or null.
    HWND Window(const char* className) const {
        struct TFind {
            DWORD pid;
            const char* cls;
            HWND found;
        } f{pi_.dwProcessId, className, nullptr};
        EnumWindows(
            [](HWND w, LPARAM lp) -> BOOL {
                auto& f = *reinterpret_cast<TFind*>(lp);
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                char cls[64] = {};
                GetClassNameA(w, cls, sizeof cls);
                if (pid != f.pid || lstrcmpA(cls, f.cls) != 0 || !IsWindowVisible(w))
                    return TRUE;
                f.found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&f));
        return f.found;
    }

private:
    PROCESS_INFORMATION pi_ = {};
    HANDLE out_ = INVALID_HANDLE_VALUE;
};

// One work of the settings file.
struct TStationWork {
    std::string Name;
    std::string Template;  // file name in the station folder
    std::string Page;      // file name in the station folder
    int CodePage = 0;
    int Update = 900;
    bool Ftp = false;
    int FtpPort = 21;
    std::string FtpLogin = "kw";
    std::string FtpPassword = "secret";
    std::string FtpFile;
    std::string Extra;  // more keys of the work's section, each line ending in CR LF
};

inline TStationWork Work(const std::string& name, const std::string& templateFile, const std::string& page,
                         int codePage, int update = 900) {
    TStationWork w;
    w.Name = name;
    w.Template = templateFile;
    w.Page = page;
    w.CodePage = codePage;
    w.Update = update;
    return w;
}

// The program's folder, its settings and its running process.
class TStation {
public:
    explicit TStation(const std::string& name) {
        folder_ = ExeFolder() + "e2e_" + std::to_string(GetCurrentProcessId()) + "_" + name + "\\";
        CreateDirectoryA(folder_.c_str(), nullptr);
        ok_ = CopyFileA(KwpageExe().c_str(), (folder_ + "KWPAGE.exe").c_str(), FALSE) != 0;
        for (const char* lng : {"KWPAGE.Russian.lng", "KWPAGE.English.lng"})
            ok_ = ok_ && CopyFileA((std::string(KW_SOURCE_DIR) + "/dist/" + lng).c_str(), (folder_ + lng).c_str(), FALSE);
    }
    TStation(const TStation&) = delete;
    TStation& operator=(const TStation&) = delete;
    ~TStation() {
        host_.reset();
        program_.reset();
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder_ + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do
                DeleteFileA((folder_ + found.cFileName).c_str());
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder_.c_str());
    }

    bool Ok() const { return ok_; }
    const std::string& Folder() const { return folder_; }
    std::string Path(const std::string& file) const { return folder_ + file; }

    // `program`: more keys of [Settings], each line ending in CR LF.
    void WriteSettings(const std::vector<TStationWork>& works, const std::string& program = {}) const {
        std::string ini = "[Settings]\r\nPID=1\r\nHide=0\r\nLanguage=Russian.lng\r\n" + program;
        int number = 0;
        for (const TStationWork& w : works) {
            ini += "[File2601010000" + std::to_string(10 + number++) + "]\r\nName=" + w.Name + "\r\nFileIn=" +
                   Path(w.Template) + "\r\nFileOut=" + Path(w.Page) + "\r\nUpdate=" + std::to_string(w.Update) +
                   "\r\nCodePage=" + std::to_string(w.CodePage) + "\r\nUseFTP=" + (w.Ftp ? "1" : "0") + "\r\n";
            if (w.Ftp)
                ini += "FTPServer=127.0.0.1\r\nFTPPort=" + std::to_string(w.FtpPort) +
                       "\r\nFTPPassive=1\r\nFTPUTF8=0\r\nFTPLogin=" + w.FtpLogin +
                       "\r\nFTPPass=" + ScramblePassword(w.FtpPassword) + "\r\nFTPPath=/\r\nFIPFile=" + w.FtpFile +
                       "\r\n";
            ini += w.Extra;
        }
        WriteFile(Path("KWPAGE.ini"), ini);
    }

    // Starts KWPAGE.exe and waits for its main window.
    bool Start() {
        program_ = std::make_unique<TProcess>("\"" + Path("KWPAGE.exe") + "\"", folder_);
        return program_->Started() && WaitFor([&] { return (main_ = program_->Window("TKW_PAGE")) != nullptr; }, 30000);
    }

    // Plays a host script (UTF-8) with the host player; its output goes to host.out.
    bool PlayHost(const std::string& script) {
        WriteFile(Path("host.txt"), script);
        host_ = std::make_unique<TProcess>("\"" + HostPlayerExe() + "\" \"" + Path("host.txt") + "\" --wait 5000",
                                           folder_, Path("host.out"));
        return host_->Started();
    }
    TProcess& Host() { return *host_; }
    std::string HostOutput() const { return ReadFile(Path("host.out")); }

    TProcess& Program() { return *program_; }
    HWND Main() const { return main_; }
    HWND WorksGrid() const { return GetDlgItem(main_, TKW_PAGE::IDC_SGWORK); }
    HWND LogGrid() const { return GetDlgItem(main_, TKW_PAGE::IDC_SGLOG); }

    // Row 0 of the works grid is the host link ("Source"); work i is row i + 1.
    std::string Cell(HWND grid, int row, int column) const;
    std::string SourceStatus() const { return Cell(WorksGrid(), 0, 2); }
    std::string WorkStatus(int position) const { return Cell(WorksGrid(), position + 1, 2); }
    int Rows(HWND grid) const {
        DWORD_PTR count = 0;
        SendMessageTimeoutW(grid, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 3000, &count);
        return static_cast<int>(count);
    }
    // The log's texts, newest first.
    std::vector<std::string> Log() const {
        std::vector<std::string> lines;
        const int rows = Rows(LogGrid());
        for (int i = 0; i < rows; ++i)
            lines.push_back(Cell(LogGrid(), i, 1));
        return lines;
    }

private:
    std::string folder_;
    bool ok_ = false;
    std::unique_ptr<TProcess> program_;
    std::unique_ptr<TProcess> host_;
    HWND main_ = nullptr;
};

// A list view cell of another process: the item record and its text buffer must lie in that
// process, where the list view reads and fills them.
// The text of a list view cell in another process: the item record and its text buffer are
// placed in that process, where the list view reads and fills them.
inline std::string RemoteCell(HANDLE process, HWND grid, int row, int column) {
    constexpr size_t chars = 512;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + chars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    if (!remote)
        return "<no memory in the program>";
    LVITEMW item{};
    item.iSubItem = column;
    item.cchTextMax = chars;
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
    WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
    DWORD_PTR length = 0;
    SendMessageTimeoutW(grid, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote),
                        SMTO_ABORTIFHUNG, 3000, &length);
    std::wstring text(chars, L'\0');
    ReadProcessMemory(process, item.pszText, text.data(), chars * sizeof(wchar_t), nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    text.resize(wcsnlen(text.c_str(), chars));
    return Narrow(text, CP_UTF8);
}

inline std::string TStation::Cell(HWND grid, int row, int column) const {
    return RemoteCell(program_->Handle(), grid, row, column);
}

} // namespace kw::e2e
