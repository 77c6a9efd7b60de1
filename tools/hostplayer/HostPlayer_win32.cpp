// The host player: a console program that stands in for the KW host. It owns a top-level
// window, finds KWPAGE's window, and plays a script of control and data messages, printing
// every answer. See README.md for the arguments and the script format.
#include "tools/hostplayer/Script.h"
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <windows.h>

namespace {

using kw::player::TSender;
using kw::player::TStep;

constexpr UINT CommandMessage = 2102;
const char PlayerClass[] = "KWHostPlayer";

struct TOptions {
    std::string Script;
    std::string Class = "TKW_PAGE";
    std::string Title;
    DWORD WaitMs = 5000;
    bool Times = false;  // print how long each single message took
};

// UTF-8 script text to the host's Windows-1251.
std::string ToHost(const std::string& utf8) {
    if (utf8.empty())
        return utf8;
    const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                         nullptr, 0);
    if (wide <= 0)
        throw std::runtime_error("the script's text is not UTF-8: " + utf8);
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
    const int narrow = WideCharToMultiByte(1251, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(1251, 0, w.data(), wide, out.data(), narrow, nullptr, nullptr);
    return out;
}

double NowDateTime() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    // FILETIME counts 100 ns from 1601-01-01; the date-time counts days from 1899-12-30.
    constexpr double daysFrom1601To1899 = 109205.0;
    return static_cast<double>(t.QuadPart) / 864000000000.0 - daysFrom1601To1899;
}

// The player's own windows: the linked one, a second top-level one, a child, a closed one.
class TPlayerWindows {
public:
    TPlayerWindows() {
        WNDCLASSA cls = {};
        cls.lpfnWndProc = DefWindowProcA;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = PlayerClass;
        RegisterClassA(&cls);
        own_ = Create("KW host player", WS_OVERLAPPEDWINDOW, nullptr);
        second_ = Create("KW host player (second)", WS_OVERLAPPEDWINDOW, nullptr);
        child_ = Create("", WS_CHILD, own_);
        closed_ = Create("", WS_OVERLAPPEDWINDOW, nullptr);
        DestroyWindow(closed_);  // its handle now names no window
    }
    ~TPlayerWindows() {
        DestroyWindow(child_);
        DestroyWindow(second_);
        DestroyWindow(own_);
    }
    bool Ok() const { return own_ && second_ && child_; }
    HWND Get(TSender sender) const {
        switch (sender) {
        case TSender::Second: return second_;
        case TSender::Child: return child_;
        case TSender::Closed: return closed_;
        case TSender::Zero: return nullptr;
        default: return own_;
        }
    }

private:
    static HWND Create(const char* title, DWORD style, HWND parent) {
        return CreateWindowExA(0, PlayerClass, title, style, 0, 0, 100, 100, parent, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }
    HWND own_ = nullptr, second_ = nullptr, child_ = nullptr, closed_ = nullptr;
};

// Handles what is sent or posted to the player's windows while it waits (a bounded wait).
void PumpFor(DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= until)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_ALLINPUT);
    }
}

HWND FindTarget(const TOptions& options) {
    const ULONGLONG until = GetTickCount64() + options.WaitMs;
    for (;;) {
        HWND target = FindWindowA(options.Class.c_str(), options.Title.empty() ? nullptr : options.Title.c_str());
        if (target || GetTickCount64() >= until)
            return target;
        PumpFor(50);
    }
}

LRESULT Send(HWND target, HWND from, const TStep& step) {
    if (step.Type == TStep::TType::Control)
        return SendMessageA(target, CommandMessage, reinterpret_cast<WPARAM>(from), static_cast<LPARAM>(step.LParam));
    COPYDATASTRUCT data = {};
    data.dwData = (static_cast<ULONG_PTR>(step.Marker) << 16) | step.Kind;
    data.cbData = static_cast<DWORD>(step.Payload.size());
    data.lpData = step.Payload.empty() ? nullptr : const_cast<uint8_t*>(step.Payload.data());
    return SendMessageA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data));
}

void Play(HWND target, const TPlayerWindows& windows, const std::vector<TStep>& steps, bool times) {
    for (const TStep& step : steps) {
        switch (step.Type) {
        case TStep::TType::Wait:
            PumpFor(step.Milliseconds);
            break;
        case TStep::TType::Print:
            std::printf("%s\n", step.Text.c_str());
            break;
        default: {
            const HWND from = windows.Get(step.From);
            if (step.Count == 0) {
                const auto start = std::chrono::steady_clock::now();
                const LRESULT result = Send(target, from, step);
                const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
                if (times)
                    std::printf("%s -> %lld in %.0f us\n", step.Name.c_str(), static_cast<long long>(result),
                                spent.count());
                else
                    std::printf("%s -> %lld\n", step.Name.c_str(), static_cast<long long>(result));
                break;
            }
            const auto start = std::chrono::steady_clock::now();
            for (uint32_t i = 0; i < step.Count; ++i)
                Send(target, from, step);
            const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
            std::printf("measure %s: %u round trips, %.3f us each\n", step.Name.c_str(), step.Count,
                        spent.count() / step.Count);
            break;
        }
        }
        std::fflush(stdout);
    }
}

int Usage() {
    std::fprintf(stderr, "usage: hostplayer SCRIPT [--class NAME] [--title TEXT] [--wait MS] [--times]\n"
                         "plays SCRIPT (see tools/hostplayer/README.md) to the window of class NAME\n"
                         "(default TKW_PAGE), waiting up to MS milliseconds (default 5000) for it;\n"
                         "--times adds to each answer how long the message took.\n");
    return 2;
}

bool ParseArguments(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--class" && hasValue)
            options.Class = argv[++i];
        else if (arg == "--title" && hasValue)
            options.Title = argv[++i];
        else if (arg == "--wait" && hasValue)
            options.WaitMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        else if (arg == "--times")
            options.Times = true;
        else if (options.Script.empty() && arg.rfind("--", 0) != 0)
            options.Script = arg;
        else
            return false;
    }
    return !options.Script.empty();
}

} // namespace

int main(int argc, char** argv) {
    try {
        TOptions options;
        if (!ParseArguments(argc, argv, options))
            return Usage();
        std::ifstream file(options.Script, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "hostplayer: cannot read %s\n", options.Script.c_str());
            return 2;
        }
        std::stringstream text;
        text << file.rdbuf();
        const std::vector<TStep> steps = kw::player::ParseScript(text.str(), ToHost, NowDateTime);

        const TPlayerWindows windows;
        if (!windows.Ok()) {
            std::fprintf(stderr, "hostplayer: cannot create the player's windows\n");
            return 4;
        }
        const HWND target = FindTarget(options);
        if (!target) {
            std::fprintf(stderr, "hostplayer: no window of class %s within %lu ms\n", options.Class.c_str(),
                         static_cast<unsigned long>(options.WaitMs));
            return 3;
        }
        Play(target, windows, steps, options.Times);
        return 0;
    } catch (const kw::player::TScriptError& e) {
        std::fprintf(stderr, "hostplayer: script %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "hostplayer: %s\n", e.what());
        return 1;
    }
}
