// Under Wine (or Windows): the host player's SendMessage round trip of one element message to a
// TKW_PAGE window with the real handler, beside the same round trip to a window whose handler
// does nothing, in the same run. The ratio is the figure.
#include "tests/hostlink/TestPage_win32.h"
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <vector>

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
    // Alternate the two targets over several rounds and compare medians, so that a burst of
    // load on the machine does not land on one side only.
    constexpr int Rounds = 5;
    std::vector<double> realUs, noneUs;
    for (int round = 0; round < Rounds; ++round) {
        const auto real = kw::test::Play((round == 0 ? "connect\nwait 300\n" : "") + message);
        const auto none = kw::test::Play(message, "--class KWPAGE.EmptyHandler");
        realUs.push_back(MeanMicroseconds(real.Output));
        noneUs.push_back(MeanMicroseconds(none.Output));
        if (realUs.back() <= 0 || noneUs.back() <= 0) {
            std::fprintf(stderr, "no measurement:\n%s\n%s\n", real.Output.c_str(), none.Output.c_str());
            return 1;
        }
    }
    DestroyWindow(empty);
    std::sort(realUs.begin(), realUs.end());
    std::sort(noneUs.begin(), noneUs.end());
    const double real = realUs[Rounds / 2], none = noneUs[Rounds / 2];
    std::printf("element round trip, %d messages x %d rounds (medians): real handler %.2f us, empty handler %.2f us, "
                "ratio %.3f\n",
                count, Rounds, real, none, real / none);
    return 0;
}
