// Under Wine (or Windows): what KWPAGE.exe costs a station machine while it waits. It runs
// KWPAGE with ten works and no host beside a reference program that only owns a window with an
// empty 100 ms timer, both started in the same run, and reports for each: the time from start
// to the first painted, idle main window; the CPU used over the measuring time; the peak
// working set. The ratios against the reference are the figures.
//
// The works' period is an hour, so that once their first renders (spread over the first ten
// seconds) are done, the measured time holds none: what is measured is the program at rest.
// With --renders they render every minute, as a busy station's pages do: that figure holds
// the renders' own work besides.
//
//   shell_idle_bench.exe [--renders] [seconds [KWPAGE.exe]]
//       (default 60 s, the build's KWPAGE.exe; another exe compares a build before a change)
#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const char* const ReferenceClass = "KWPAGE.IdleReference";

// The reference: a window, an empty 100 ms timer, a message loop.
int RunReference() {
    WNDCLASSA cls = {};
    cls.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_TIMER)
            return 0;
        if (m == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    };
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszClassName = ReferenceClass;
    RegisterClassA(&cls);
    HWND w = CreateWindowExA(0, ReferenceClass, "reference", WS_OVERLAPPEDWINDOW, 0, 0, 475, 374, nullptr, nullptr,
                             cls.hInstance, nullptr);
    SetTimer(w, 1, 100, nullptr);
    ShowWindow(w, SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}

std::string ExeFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of("\\/") + 1);
}

double Seconds(const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}

// Wine does not keep other processes' kernel and user times current; there the Linux process
// behind the Windows one is read instead, found by its command line under Z:\proc.
double UnixCpuSeconds(const std::string& commandPart) {
    WIN32_FIND_DATAA d;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &d);
    if (find == INVALID_HANDLE_VALUE)
        return -1;
    double found = -1;
    do {
        if (d.cFileName[0] < '0' || d.cFileName[0] > '9')
            continue;
        const std::string dir = std::string("Z:\\proc\\") + d.cFileName + "\\";
        std::string cmd((std::istreambuf_iterator<char>(std::ifstream(dir + "cmdline", std::ios::binary).rdbuf())),
                        std::istreambuf_iterator<char>());
        for (char& c : cmd)
            c = c ? c : ' ';
        if (cmd.find(commandPart) == std::string::npos)
            continue;
        // schedstat's first field: nanoseconds on the CPU, exact where stat's ticks are sampled
        // (every match counts: Wine may keep a launcher process with the same command line)
        unsigned long long ns = 0;
        std::ifstream schedstat(dir + "schedstat");
        if (schedstat >> ns)
            found = std::max(found, 0.0) + static_cast<double>(ns) / 1e9;
    } while (FindNextFileA(find, &d));
    FindClose(find);
    return found;
}

double CpuSeconds(HANDLE process, const std::string& commandPart) {
    const double unix = UnixCpuSeconds(commandPart);  // found only under Wine
    if (unix >= 0)
        return unix;
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return -1;
    return Seconds(kernel) + Seconds(user);
}

struct TRun {
    PROCESS_INFORMATION pi = {};
    double firstPaintMs = -1;
    double cpuStart = 0, cpuEnd = 0;
    size_t peakWorkingSet = 0;
};

// Starts `command` and waits (at most 30 s) until its window is shown and it waits for input,
// which it does only once its first paint is done (a console program, the reference, does
// not wait for input in that sense: its visible window counts).
bool Start(const std::string& command, const std::string& folder, const char* windowClass, TRun& run) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string line = command;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &run.pi))
        return false;
    for (int i = 0; i < 3000; ++i) {
        HWND w = FindWindowA(windowClass, nullptr);
        if (w && IsWindowVisible(w) && WaitForInputIdle(run.pi.hProcess, 0) != WAIT_TIMEOUT) {
            QueryPerformanceCounter(&t1);
            run.firstPaintMs = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
            return true;
        }
        Sleep(10);
    }
    return false;
}

void Stop(TRun& run, HWND window, UINT message) {
    if (window)
        SendMessageTimeoutA(window, message, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    if (WaitForSingleObject(run.pi.hProcess, 15000) != WAIT_OBJECT_0)
        TerminateProcess(run.pi.hProcess, 1);
    CloseHandle(run.pi.hThread);
    CloseHandle(run.pi.hProcess);
}

// The station: KWPAGE.exe beside its language files, ten works rendering every `period` seconds.
std::string LayOut(const std::string& exe, int period) {
    // Named after this run: other programs on the machine (other benchmarks, tests) may run a
    // KWPAGE.exe too, and the CPU is read by command line.
    const std::string folder = ExeFolder() + "idle_station_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    CopyFileA(exe.c_str(), (folder + "KWPAGE.exe").c_str(), FALSE);
    CopyFileA(KW_SOURCE_DIR "/dist/KWPAGE.Russian.lng", (folder + "KWPAGE.Russian.lng").c_str(), FALSE);
    std::ofstream(folder + "page.tpl", std::ios::binary) << "<p>!KW!SongArtist - !KW!SongTitle !KW!SystemTime</p>\r\n";
    std::ofstream ini(folder + "KWPAGE.ini", std::ios::binary);
    ini << "[Settings]\r\nLanguage=Russian.lng\r\n";
    for (int i = 0; i < 10; ++i)
        ini << "[File24010100000" << i << "]\r\nName=Work " << i << "\r\nFileIn=" << folder << "page.tpl\r\nFileOut="
            << folder << "page" << i << ".html\r\nUpdate=" << period << "\r\nCodePage=1\r\n";
    return folder;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--idle-reference")
        return RunReference();
    const bool renders = argc > 1 && std::string(argv[1]) == "--renders";
    if (renders) {
        --argc;
        ++argv;
    }
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    const std::string exe = argc > 2 ? argv[2] : ExeFolder() + "..\\..\\shell\\KWPAGE.exe";
    const std::string folder = LayOut(exe, renders ? 60 : 3600);

    TRun reference, kwpage;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string referenceMark = "--idle-reference " + std::to_string(GetCurrentProcessId());
    const std::string kwpageMark = "idle_station_" + std::to_string(GetCurrentProcessId());
    if (!Start("\"" + std::string(self) + "\" " + referenceMark, folder, ReferenceClass, reference)) {
        std::fprintf(stderr, "the reference program did not come up\n");
        return 1;
    }
    if (!Start("\"" + folder + "KWPAGE.exe\"", folder, "TKW_PAGE", kwpage)) {
        std::fprintf(stderr, "KWPAGE.exe did not come up\n");
        Stop(reference, FindWindowA(ReferenceClass, nullptr), WM_CLOSE);
        return 1;
    }
    Sleep(12000);  // start-up and the first renders (within ten seconds) are not idle
    reference.cpuStart = CpuSeconds(reference.pi.hProcess, referenceMark);
    kwpage.cpuStart = CpuSeconds(kwpage.pi.hProcess, kwpageMark);
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    QueryPerformanceCounter(&t1);
    const double wall = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
    reference.cpuEnd = CpuSeconds(reference.pi.hProcess, referenceMark);
    kwpage.cpuEnd = CpuSeconds(kwpage.pi.hProcess, kwpageMark);
    for (TRun* r : {&reference, &kwpage}) {
        PROCESS_MEMORY_COUNTERS m = {};
        m.cb = sizeof m;
        if (GetProcessMemoryInfo(r->pi.hProcess, &m, sizeof m))
            r->peakWorkingSet = m.PeakWorkingSetSize;
    }
    Stop(kwpage, FindWindowA("TKW_PAGE", nullptr), WM_QUERYENDSESSION);
    Stop(reference, FindWindowA(ReferenceClass, nullptr), WM_CLOSE);

    const double refCpu = 100.0 * (reference.cpuEnd - reference.cpuStart) / wall;
    const double kwCpu = 100.0 * (kwpage.cpuEnd - kwpage.cpuStart) / wall;
    std::printf("idle over %.1f s, 10 works %s, no host\n", wall,
                renders ? "rendering every minute" : "between renders (period an hour)");
    std::printf("  CPU seconds:  KWPAGE %.4f, reference %.4f\n", kwpage.cpuEnd - kwpage.cpuStart,
                reference.cpuEnd - reference.cpuStart);
    std::printf("  CPU:          KWPAGE %.3f %%, reference %.3f %%, ratio %.2f\n", kwCpu, refCpu,
                refCpu > 0 ? kwCpu / refCpu : 0.0);
    std::printf("  first paint:  KWPAGE %.0f ms, reference %.0f ms, ratio %.2f\n", kwpage.firstPaintMs,
                reference.firstPaintMs, kwpage.firstPaintMs / reference.firstPaintMs);
    std::printf("  peak working set: KWPAGE %.1f MB, reference %.1f MB, ratio %.2f\n", kwpage.peakWorkingSet / 1048576.0,
                reference.peakWorkingSet / 1048576.0,
                reference.peakWorkingSet ? static_cast<double>(kwpage.peakWorkingSet) / reference.peakWorkingSet : 0.0);
    return 0;
}
