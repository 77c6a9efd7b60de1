// The host never waits on the FTP folder browser: with the real KWPAGE.exe, a user opens the
// work editor and the folder browser by mouse on a server that accepts and never answers,
// while the host player sends an element every 100 ms and times each SendMessage. No send
// may take longer than 50 ms, and Cancel must close the browser within 200 ms.
#include <winsock2.h>
#include "dialogs/EditWork_win32.h"
#include "dialogs/SelectFtpDir_win32.h"
#include "platform/Tcp.h"
#include "tests/e2e/OtherProcess_win32.h"
#include "tests/e2e/Station_win32.h"
#include <atomic>
#include <gtest/gtest.h>
#include <regex>
#include <thread>

namespace kw::e2e {
namespace {

// What the user sees of `w`, as a BMP file in the build tree.
void Screenshot(HWND w, const std::string& path) {
    RECT r;
    GetWindowRect(w, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi{sizeof bi, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<char> pixels(static_cast<size_t>(((width * 3 + 3) / 4) * 4 * height));
    GetDIBits(mem, bmp, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi),
              DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof fh + sizeof bi + pixels.size()), 0, 0,
                        sizeof fh + sizeof bi};
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    file.write(reinterpret_cast<const char*>(&bi), sizeof bi);
    file.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

TEST(HostNeverWaits, FolderBrowserOnASilentServerLeavesEverySendShortAndCancelsAtOnce) {
    TSilentServer silent;
    ASSERT_TRUE(silent.Ok());
    TStation station("browser_wait");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "<p>!KW!SongArtist</p>\n");
    TStationWork work = Work("silent", "page.tpl", "page.html", 0);
    work.Ftp = true;
    work.FtpPort = silent.Port();
    work.FtpFile = "page.html";
    station.WriteSettings({work});
    ASSERT_TRUE(station.Start());
    HANDLE program = station.Program().Handle();

    // The work's row, then "edit", then the editor's folder button: as a user does it.
    ASSERT_TRUE(WaitFor([&] { return station.Rows(station.WorksGrid()) >= 2; }, 10000));
    ClickItem(station.WorksGrid(), RemoteItemRect(program, station.WorksGrid(), 1));
    const HWND edit = Child(station.Main(), TKW_PAGE::IDC_SBEDIT);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(edit) != FALSE; }, 5000)) << "no work selected";
    ClickWindow(edit);
    HWND editor = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (editor = station.Program().Window("TFEditWork")) != nullptr; }, 10000));
    const int acceptedBefore = silent.Accepted();
    ClickWindow(Child(editor, TFEditWork::IDC_SBSELECTDIR));
    HWND browser = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (browser = station.Program().Window("TFSelectFTPDir")) != nullptr; }, 10000));
    ASSERT_TRUE(WaitFor([&] { return silent.Accepted() > acceptedBefore; }, 10000))
        << "the browser never reached the server";

    // The host plays while the browser waits for a greeting that never comes.
    std::string script = "connect\nwait 200\n";
    for (int i = 0; i < 40; ++i)
        script += "element song=0 type=2 duration=183000 artist=\"Кино " + std::to_string(i) +
                  "\" title=\"Группа крови\"\nwait 100\n";
    WriteFile(station.Path("host.txt"), script + "disconnect\n");
    TProcess host("\"" + HostPlayerExe() + "\" \"" + station.Path("host.txt") + "\" --wait 5000 --times",
                  station.Folder(), station.Path("host.out"));
    ASSERT_TRUE(host.Started());
    Sleep(2500);
    ASSERT_TRUE(IsWindow(browser)) << "the browser closed on its own";
    Screenshot(browser, ExeFolder() + "host_never_waits_browser.bmp");

    ClickWindow(Child(browser, TFSelectFTPDir::IDC_SBCANCEL));
    const ULONGLONG clicked = GetTickCount64();
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(browser); }, 5000)) << "Cancel did not close the browser";
    const ULONGLONG closedAfter = GetTickCount64() - clicked;
    EXPECT_LT(closedAfter, 200u) << "Cancel took " << closedAfter << " ms";

    ASSERT_EQ(host.WaitExit(20000), 0u) << ReadFile(station.Path("host.out"));
    const std::string out = ReadFile(station.Path("host.out"));
    const std::regex timed(R"(element -> 0 in (\d+) us)");
    int sends = 0;
    long longest = 0;
    for (auto it = std::sregex_iterator(out.begin(), out.end(), timed); it != std::sregex_iterator(); ++it) {
        ++sends;
        longest = std::max(longest, std::stol((*it)[1]));
    }
    EXPECT_EQ(sends, 40) << out;
    EXPECT_LT(longest, 50000) << "the host waited " << longest << " us for one element";
    std::printf("browser waiting: %d elements, longest SendMessage %ld us; Cancel closed it in %llu ms\n", sends,
                longest, closedAfter);

    // The editor is still there and answers; the program closes cleanly.
    EXPECT_TRUE(IsWindow(editor));
    PostMessageW(editor, WM_CLOSE, 0, 0);
    DWORD_PTR answer = 0;
    WaitFor([&] { return !IsWindow(editor); }, 5000);
    SendMessageTimeoutW(station.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
    // The work's own upload to the silent server may be waiting for its greeting (30 s limit);
    // shutdown waits for that render.
    EXPECT_EQ(station.Program().WaitExit(60000), 0u);
}

} // namespace
} // namespace kw::e2e

int main(int argc, char** argv) {
    if (!kw::e2e::Exists(kw::e2e::KwpageExe()) || !kw::e2e::Exists(kw::e2e::HostPlayerExe())) {
        std::printf("KWPAGE.exe or the host player is not built\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
