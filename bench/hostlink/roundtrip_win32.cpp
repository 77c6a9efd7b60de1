// Under Wine (or Windows): the host player's SendMessage round trip of one element message to a
// TKW_PAGE window with the real handler, beside the same round trip to a window whose handler
// does nothing, in the same run. The ratio is the figure.
#include "tests/hostlink/TestPage_win32.h"
#include <cstdio>
#include <cstdlib>

namespace {

LRESULT CALLBACK EmptyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA || message == kw::CommandMessage)
        return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

double MeanMicroseconds(const std::string& output) {
    const size_t at = output.find("round trips, ");
    return at == std::string::npos ? -1 : std::atof(output.c_str() + at + 13);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    kw::test::TTestPage page;
    page.reader->Start();
    WNDCLASSA cls = {};
    cls.lpfnWndProc = EmptyProc;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "KWPAGE.EmptyHandler";
    RegisterClassA(&cls);
    HWND empty = CreateWindowExA(0, cls.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                 cls.hInstance, nullptr);
    const std::string message = "measure " + std::to_string(count) +
                                " element song=0 type=2 duration=180000 artist=\"Artist\" title=\"Title\"\n";
    const auto real = kw::test::Play("connect\nwait 300\n" + message);
    const auto none = kw::test::Play(message, "--class KWPAGE.EmptyHandler");
    DestroyWindow(empty);
    const double realUs = MeanMicroseconds(real.Output);
    const double noneUs = MeanMicroseconds(none.Output);
    if (realUs <= 0 || noneUs <= 0) {
        std::fprintf(stderr, "no measurement:\n%s\n%s\n", real.Output.c_str(), none.Output.c_str());
        return 1;
    }
    std::printf("element round trip, %d messages: real handler %.2f us, empty handler %.2f us, ratio %.3f\n", count,
                realUs, noneUs, realUs / noneUs);
    return 0;
}
