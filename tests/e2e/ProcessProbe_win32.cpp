// Reads the resources of the process that owns a top-level window, the way Windows itself
// counts them, for the soak run (scripts/soak.sh):
//
//   e2e_process_probe sample CLASS
//     prints one line: pid=N handles=N threads=N private_kb=N working_set_kb=N cpu_ms=N gdi=N user=N
//     exit 0; 3 when no window of the class exists; 1 when the process cannot be opened
//   e2e_process_probe endsession CLASS
//     sends WM_QUERYENDSESSION as Windows does at log-off (bounded: 10 s); exit 0 when it was
//     answered TRUE, 1 when refused or unanswered, 3 when no window of the class exists
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <cstdio>
#include <cstring>

namespace {

unsigned long CountThreads(DWORD pid) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    unsigned long count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == pid;
    CloseHandle(snapshot);
    return count;
}

unsigned long long Milliseconds(const FILETIME& t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
}

int Sample(const char* className) {
    const HWND window = FindWindowA(className, nullptr);
    if (!window)
        return 3;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process)
        return 1;
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    FILETIME created, ended, kernel, user;
    unsigned long long cpu = 0;
    if (GetProcessTimes(process, &created, &ended, &kernel, &user))
        cpu = Milliseconds(kernel) + Milliseconds(user);
    std::printf("pid=%lu handles=%lu threads=%lu private_kb=%llu working_set_kb=%llu cpu_ms=%llu gdi=%lu user=%lu\n",
                pid, handles, CountThreads(pid), static_cast<unsigned long long>(memory.PrivateUsage / 1024),
                static_cast<unsigned long long>(memory.WorkingSetSize / 1024), cpu,
                GetGuiResources(process, GR_GDIOBJECTS), GetGuiResources(process, GR_USEROBJECTS));
    CloseHandle(process);
    return 0;
}

int EndSession(const char* className) {
    const HWND window = FindWindowA(className, nullptr);
    if (!window)
        return 3;
    DWORD_PTR answer = 0;
    const LRESULT sent =
        SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer);
    return sent != 0 && answer != 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "sample") == 0)
        return Sample(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "endsession") == 0)
        return EndSession(argv[2]);
    std::fprintf(stderr, "usage: e2e_process_probe sample|endsession CLASS\n");
    return 2;
}
