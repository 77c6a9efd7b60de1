// Test helper for the release test: waits for a top-level window of a class, or ends the
// session for it the way Windows does at log-off (WM_QUERYENDSESSION, answered within a bound).
//
//   release_window_probe wait CLASS TIMEOUT_MS        0 when the window is there, 3 when not
//   release_window_probe gone CLASS TIMEOUT_MS        0 when no such window is left, 3 when one is
//   release_window_probe endsession CLASS TIMEOUT_MS  0 when the window agreed to end the session,
//                                                     1 when it refused or did not answer, 3 no window
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <windows.h>

namespace {

HWND FindByClass(const std::string& className) {
    return FindWindowA(className.c_str(), nullptr);
}

// Polls every 50 ms until `want` holds for the window's presence or the time is up.
bool WaitForPresence(const std::string& className, DWORD timeoutMs, bool want) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if ((FindByClass(className) != nullptr) == want)
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(50);
    }
}

int EndSession(const std::string& className, DWORD timeoutMs) {
    HWND window = FindByClass(className);
    if (!window)
        return 3;
    DWORD_PTR answer = 0;
    const LRESULT sent = SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                             SMTO_ABORTIFHUNG, timeoutMs, &answer);
    std::printf("WM_QUERYENDSESSION -> %s\n", sent == 0 ? "no answer" : (answer ? "TRUE" : "FALSE"));
    return sent != 0 && answer != 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: release_window_probe wait|gone|endsession CLASS TIMEOUT_MS\n");
        return 2;
    }
    const std::string command = argv[1];
    const std::string className = argv[2];
    const DWORD timeoutMs = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
    if (command == "wait")
        return WaitForPresence(className, timeoutMs, true) ? 0 : 3;
    if (command == "gone")
        return WaitForPresence(className, timeoutMs, false) ? 0 : 3;
    if (command == "endsession")
        return EndSession(className, timeoutMs);
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 2;
}
