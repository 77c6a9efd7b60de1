// The floor of the host-to-page road, measured under the same Wine as KWPAGE: a window that
// takes the host's element message and a thread that writes the element's title as the page
// exactly 100 ms later (a timed wait on the real clock; a later element moves the moment on, as
// the program's coalescing does). Nothing else: no template, no code page, no status, no log.
//
//   e2e_latency_floor PAGE_FILE     (window class KWFloor; ends on WM_CLOSE)
#include <windows.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace {

constexpr UINT CommandMessage = WM_USER + 1078;
using Clock = std::chrono::steady_clock;

std::mutex Lock;  // guards everything below
std::condition_variable Changed;
bool Stop = false;
bool Pending = false;
Clock::time_point Due;
std::string Title;

// Kind 0: marker, type, 4 bytes of duration, then artist, byte 13, title, byte 0.
void TakeElement(const COPYDATASTRUCT& data) {
    if ((data.dwData & 0xFFFF) != 0 || data.cbData < 6 || !data.lpData)
        return;
    const char* text = static_cast<const char*>(data.lpData) + 6;
    const auto arrived = Clock::now();
    std::string rest(text, strnlen(text, data.cbData - 6));
    const size_t cr = rest.find('\r');
    {
        std::lock_guard<std::mutex> lock(Lock);
        Title = cr == std::string::npos ? std::string() : rest.substr(cr + 1);
        Due = arrived + std::chrono::milliseconds(100);
        Pending = true;
    }
    Changed.notify_one();
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case CommandMessage:
        return 0;
    case WM_COPYDATA:
        TakeElement(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void Reader(const std::string& page) {
    std::unique_lock<std::mutex> lock(Lock);
    while (!Stop) {
        if (!Pending) {
            Changed.wait(lock);
            continue;
        }
        if (Clock::now() < Due) {
            Changed.wait_until(lock, Due);
            continue;
        }
        Pending = false;
        const std::string title = Title;
        lock.unlock();
        if (FILE* f = std::fopen(page.c_str(), "wb")) {
            std::fprintf(f, "%s\r\n", title.c_str());
            std::fclose(f);
        }
        lock.lock();
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
    std::thread reader(Reader, std::string(argv[1]));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    {
        std::lock_guard<std::mutex> lock(Lock);
        Stop = true;
    }
    Changed.notify_one();
    reader.join();
    return 0;
}
