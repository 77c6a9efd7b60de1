// A window of class TKW_PAGE wired to the real link, inbox, reader and poll timer (what the
// shell's main window does with the host's messages), and a runner for the host player that
// keeps this window's messages flowing. Shared by the Windows tests and the round-trip bench.
#pragma once
#include "hostlink/HostWindow_win32.h"
#include "hostlink/ReaderDataThread.h"
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace kw::test {

// The test's main window: what the shell's TKW_PAGE does with the host's messages.
class TTestPage {
public:
    TTestPage() {
        WNDCLASSA cls = {};
        cls.lpfnWndProc = &TTestPage::Proc;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = "TKW_PAGE";
        RegisterClassA(&cls);
        for (int i = 0; i < 2; ++i)
            settings.Works.Append(std::make_shared<TWorkData>());
        for (const auto& work : settings.Works.Snapshot())
            work->NextUpdate = INT64_MAX;
        window = CreateWindowExA(0, "TKW_PAGE", "KWPAGE test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), this);
        link.OwnHandle = WindowKey(window);
        link.OnConnect = [this](TWinMSG&, const TLinkWindow&) { events.push_back("connect"); status.ConnectKW(); };
        link.OnDisconnect = [this](TWinMSG&, const TLinkWindow&) { events.push_back("disconnect"); status.DisconnectKW(); };
        inbox.SetLink(&link);
        status.SetLinkStatus(0);
    }
    ~TTestPage() {
        reader.reset();
        poll.reset();
        DestroyWindow(window);
    }

    std::unique_ptr<IWindowEnum> desktop = CreateDesktopWindowEnum();
    TWinMSG link{*desktop, 0};
    TInboundRing ring;
    TSettings settings;
    TLinkStatus status{[](const std::string& key) { return key; }};
    std::atomic<uint8_t> closing{0};
    TInbox inbox{ring, settings, status, closing};
    TBroadcastStore store;
    std::unique_ptr<TReaderDataThread> reader =
        std::make_unique<TReaderDataThread>(ring, store, status, nullptr);
    std::unique_ptr<TLinkPollTimer> poll = std::make_unique<TLinkPollTimer>(link);
    HWND window = nullptr;
    std::vector<std::string> events;
    // Runs on this thread after each host message the window has handled (a control message or
    // WM_COPYDATA), while the host still waits for its answer: tests that drive the link's polls
    // themselves (poll reset) place them between two messages here, with no timing involved.
    std::function<void(UINT message)> AfterHostMessage;

    int Queued() const {
        int n = 0;
        for (int i = 0; i < TInboundRing::SlotCount; ++i)
            n += ring.IsFilled(i);
        return n;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE)
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<TTestPage*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        LRESULT result = 0;
        if (self && HandleHostMessage(self->inbox, message, wParam, lParam, result)) {
            if (self->AfterHostMessage)
                self->AfterHostMessage(message);
            return result;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

// Dispatches this thread's messages for `ms` milliseconds.
inline void Pump(DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < until; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
}

// Dispatches this thread's messages until `done` holds, for at most `ms` milliseconds; false
// when the time ran out.
template <typename F>
bool PumpUntil(F done, DWORD ms = 5000) {
    const ULONGLONG until = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() >= until)
            return false;
        Pump(10);
    }
    return true;
}

inline std::string Folder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of("\\/") + 1);
}

struct TPlayed {
    DWORD ExitCode = 0xFFFF;
    std::string Output;
};

// Runs the host player with `script` and keeps this window's messages flowing until it ends
// (at most 60 s).
inline TPlayed Play(const std::string& script, const std::string& arguments = "") {
    static int run = 0;
    const std::string base = Folder() + "link_wine_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++run);
    std::ofstream(base + ".txt", std::ios::binary) << script;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA((base + ".out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi = {};
    std::string command = "\"" + Folder() + "..\\..\\tools\\hostplayer\\hostplayer.exe\" \"" + base + ".txt\" --wait 5000 " + arguments;
    TPlayed played;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(out);
        played.Output = "cannot start the host player";
        return played;
    }
    const ULONGLONG until = GetTickCount64() + 60000;
    while (GetTickCount64() < until &&
           MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 5000);
    GetExitCodeProcess(pi.hProcess, &played.ExitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(out);
    std::stringstream text;
    text << std::ifstream(base + ".out", std::ios::binary).rdbuf();
    for (const char c : text.str())
        if (c != '\r')  // the console's text mode ends lines with CR LF
            played.Output.push_back(c);
    DeleteFileA((base + ".txt").c_str());
    DeleteFileA((base + ".out").c_str());
    return played;
}

} // namespace kw::test
