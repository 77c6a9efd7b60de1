// The floor of the host-to-page road, measured under the same Wine as KWPAGE: a window that
// takes the host's element message, makes the page due 100 ms later on a clock that a 100 ms
// timer refreshes, and a loop that looks every 20 ms and writes the element's title as the page.
// Nothing else: no template, no code page, no status, no log.
//
//   e2e_latency_floor PAGE_FILE     (window class KWFloor; ends on WM_CLOSE)
#include <windows.h>
#include <atomic>
#include <cstdio>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace {

constexpr UINT CommandMessage = WM_USER + 1078;
constexpr int64_t NoneDue = INT64_MAX;

std::atomic<int64_t> NowTicks{0};
std::atomic<int64_t> Due{NoneDue};
std::atomic<bool> Stop{false};
std::mutex TitleLock;
std::string Title;

int64_t Ticks() { return static_cast<int64_t>(GetTickCount64()); }

// Kind 0: marker, type, 4 bytes of duration, then artist, byte 13, title, byte 0.
void TakeElement(const COPYDATASTRUCT& data) {
    if ((data.dwData & 0xFFFF) != 0 || data.cbData < 6 || !data.lpData)
        return;
    const char* text = static_cast<const char*>(data.lpData) + 6;
    std::string rest(text, strnlen(text, data.cbData - 6));
    const size_t cr = rest.find('\r');
    {
        std::lock_guard<std::mutex> lock(TitleLock);
        Title = cr == std::string::npos ? std::string() : rest.substr(cr + 1);
    }
    Due.store(Ticks() + 100);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case CommandMessage:
        return 0;
    case WM_COPYDATA:
        TakeElement(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return 0;
    case WM_TIMER:
        NowTicks.store(Ticks());
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void Reader(const std::string& page) {
    while (!Stop.load()) {
        const int64_t due = Due.load();
        if (due <= NowTicks.load()) {
            Due.store(NoneDue);
            std::string title;
            {
                std::lock_guard<std::mutex> lock(TitleLock);
                title = Title;
            }
            if (FILE* f = std::fopen(page.c_str(), "wb")) {
                std::fprintf(f, "%s\r\n", title.c_str());
                std::fclose(f);
            }
        }
        Sleep(20);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_latency_floor PAGE_FILE\n");
        return 2;
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KWFloor";
    if (!RegisterClassA(&wc))
        return 1;
    HWND window = CreateWindowA("KWFloor", "KWFloor", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (!window)
        return 1;
    NowTicks.store(Ticks());
    SetTimer(window, 1, 100, nullptr);
    std::thread reader(Reader, std::string(argv[1]));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    Stop.store(true);
    reader.join();
    return 0;
}
