// The main window under Wine: created in this process and driven by messages as a user would
// (clicks, selection, resizing), with the program's other parts replaced by a small host.
#include "platform/Regional.h"
#include "shell/win32/MainWindow_win32.h"
#include <gtest/gtest.h>

namespace {

using namespace kw;

struct TServices : IMainServices {
    TSettings* settings = nullptr;
    TShowCell source;
    bool exitAnswer = false;
    int asked = 0;
    std::string MainText(const std::string& key) override { return key; }
    void TranslateMain(lang::IForm& form) override { form.SetCaption(form.Caption()); }
    bool ConfirmExit() override { ++asked; return exitAnswer; }
    bool EditWork(int) override { return false; }
    void EditProgramSettings() override {}
    void DeleteWork(int index) override { (void)settings->Works.RemoveAt(index); }
    TShowCell& SourceStatus() override { return source; }
    void TerminateReader() override {}
    bool ReaderExists() override { return false; }
    bool ReaderFinished() override { return true; }
    void FreeReader() override {}
    void ReleaseRing() override {}
    void FreeLongLivedObjects() override {}
};

TWorkPtr Named(const std::string& name) {
    TWorkConfig c;
    c.Name = name;
    return std::make_shared<TWorkData>(c);
}

struct MainWindow : ::testing::Test {
    TSettings settings;
    TServices services;
    std::unique_ptr<TKW_PAGE> page;

    void SetUp() override {
        services.settings = &settings;
        for (const char* n : {"b", "\xC0\xE1\xE2", "A", "a"})
            ASSERT_TRUE(settings.Works.Append(Named(n)));
        page = std::make_unique<TKW_PAGE>(settings, services);
        ASSERT_TRUE(page->Create("KWPAGE 1.0.0", nullptr, false));
        page->ShowWorks();
        ShowWindow(page->Hwnd(), SW_SHOWNORMAL);
        win::PumpMessages();
    }
    std::string Cell(int col, int row) { return win::TGridControl("", "", page->SGWork()).Cell(col, row); }
    void Select(int item) {
        ListView_SetItemState(page->SGWork(), item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        win::PumpMessages();
    }
    void Click(int id) { SendMessageW(page->Button(id), BM_CLICK, 0, 0); win::PumpMessages(); }
};

TEST_F(MainWindow, WorksAreSortedByteWiseUnderTheSourceRow) {
    EXPECT_EQ(ListView_GetItemCount(page->SGWork()), 5);
    EXPECT_EQ(Cell(1, 1), "Source");
    const char* names[] = {"A", "a", "b", "\xC0\xE1\xE2"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Cell(0, i + 2), std::to_string(i + 1));
        EXPECT_EQ(Cell(1, i + 2), names[i]);
    }
    EXPECT_EQ(Cell(1, 0), win::AnsiFromUtf8("Наименование"));
}

TEST_F(MainWindow, SourceRowDisablesEditAndDeleteAndDeleteRenumbers) {
    EXPECT_FALSE(IsWindowEnabled(page->Button(TKW_PAGE::IDC_SBEDIT)));
    Select(0);
    EXPECT_EQ(page->SelectedWork(), -1);
    EXPECT_FALSE(IsWindowEnabled(page->Button(TKW_PAGE::IDC_SBDELETE)));
    Select(2);  // the second work, "a"
    EXPECT_EQ(page->SelectedWork(), 1);
    EXPECT_TRUE(IsWindowEnabled(page->Button(TKW_PAGE::IDC_SBEDIT)));
    EXPECT_TRUE(IsWindowEnabled(page->Button(TKW_PAGE::IDC_SBDELETE)));
    Click(TKW_PAGE::IDC_SBDELETE);  // no question asked
    EXPECT_EQ(ListView_GetItemCount(page->SGWork()), 4);
    EXPECT_EQ(Cell(1, 3), "b");
    EXPECT_EQ(Cell(0, 3), "2");
}

TEST_F(MainWindow, ToolBarAt459PixelsAndTheMinimumSize) {
    // PanT's client is 463 wide: 459 inside its two-pixel bevel
    RECT w;
    GetWindowRect(page->Hwnd(), &w);
    RECT c;
    GetClientRect(page->Hwnd(), &c);
    const int frame = (w.right - w.left) - c.right;
    SetWindowPos(page->Hwnd(), nullptr, 0, 0, 463 + frame, 374, SWP_NOMOVE | SWP_NOZORDER);
    win::PumpMessages();
    const TToolBarLayout b = page->ToolBar();
    EXPECT_EQ(b.Pid.Left, 398);
    EXPECT_EQ(b.Delete.Width, 132);
    EXPECT_EQ(b.Delete.Left, 265);
    EXPECT_EQ(b.Add.Width, 132);
    EXPECT_EQ(b.Edit.Left, 133);
    EXPECT_EQ(b.Edit.Width, 131);

    MINMAXINFO m{};
    SendMessageW(page->Hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&m));
    EXPECT_EQ(m.ptMinTrackSize.x, 300);
    EXPECT_EQ(m.ptMinTrackSize.y, 300);
}

TEST_F(MainWindow, LogKeeps254NewestAndStatusCellsArriveByTheTimer) {
    page->OutLog("Run");
    EXPECT_EQ(ListView_GetItemCount(page->SGLog()), 1);
    for (int i = 0; i < 299; ++i)
        page->OutLog("line " + std::to_string(i));
    EXPECT_EQ(ListView_GetItemCount(page->SGLog()), 254);
    win::TGridControl log("", "", page->SGLog());
    EXPECT_EQ(log.Cell(1, 1), "line 298");
    EXPECT_EQ(log.Cell(1, 254), "line 45");
    EXPECT_EQ(log.Cell(0, 1).size(), 14u);  // HH:NN:SS DD.MM

    SetShowCell(settings.Works.At(3)->Show, "failed", clRed, true, false);
    SetShowCell(services.source, "Wait", clRed, false, false);
    page->TimerTick();
    EXPECT_EQ(Cell(2, 5), "failed");
    EXPECT_EQ(Cell(2, 1), "Wait");
    EXPECT_EQ(log.Cell(1, 1), "[4] failed");
}

TEST_F(MainWindow, ExitAnsweredNoKeepsRunningAndSessionEndAsksNothing) {
    SendMessageW(page->Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(services.asked, 1);
    EXPECT_TRUE(IsWindow(page->Hwnd()));
    EXPECT_EQ(page->Closing().Stage(), 0);
    EXPECT_EQ(page->Log().EntryCount(), 0u);

    EXPECT_EQ(SendMessageW(page->Hwnd(), WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(services.asked, 1);
    EXPECT_EQ(page->Closing().Stage(), 1);
    EXPECT_EQ(page->Log().Entry(0)[1], "Bye");
    SendMessageW(page->Hwnd(), WM_CLOSE, 0, 0);  // refused in stage 1
    EXPECT_TRUE(IsWindow(page->Hwnd()));
    page->ToShutdownTick();  // no threads: stage 2
    page->ToShutdownTick();  // releases and asks to close
    win::PumpMessages();
    EXPECT_FALSE(IsWindow(page->Hwnd()));
}

TEST_F(MainWindow, HideMinimisesToTheTray) {
    page->AttachMinimizeHooks();
    ShowWindow(page->Hwnd(), SW_MINIMIZE);
    win::PumpMessages();
    EXPECT_FALSE(page->TrayIconVisible());  // Hide off: an ordinary minimise
    ShowWindow(page->Hwnd(), SW_RESTORE);
    settings.Hide = true;
    ShowWindow(page->Hwnd(), SW_MINIMIZE);
    win::PumpMessages();
    EXPECT_TRUE(page->TrayIconVisible());
    EXPECT_FALSE(IsWindowVisible(page->Hwnd()));
    SendMessageW(page->Hwnd(), win::WM_KW_TRAY, 1, WM_LBUTTONDBLCLK);
    win::PumpMessages();
    EXPECT_FALSE(page->TrayIconVisible());
    EXPECT_TRUE(IsWindowVisible(page->Hwnd()));
}

TEST_F(MainWindow, Screenshot) {
    page->OutLog("Run");
    SetShowCell(settings.Works.At(0)->Show, "19:27:26  07.12", NormalColor(), false, false);
    SetShowCell(settings.Works.At(1)->Show, "0 FTP: 530 Login incorrect.", clRed, true, false);
    SetShowCell(services.source, "Connected", clGreen, false, false);
    page->TimerTick();
    Select(1);
    SetWindowPos(page->Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(page->Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    for (int i = 0; i < 20; ++i) {
        win::PumpMessages();
        Sleep(25);
    }
    RECT r;
    GetWindowRect(page->Hwnd(), &r);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, r.right - r.left, r.bottom - r.top);
    HGDIOBJ old = SelectObject(mem, bmp);
    // Copied from the screen: that is what the user sees, children included.
    BitBlt(mem, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi{sizeof bi, r.right - r.left, r.bottom - r.top, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const int stride = ((bi.biWidth * 3 + 3) / 4) * 4;
    std::vector<char> pixels(static_cast<size_t>(stride * bi.biHeight));
    GetDIBits(mem, bmp, 0, static_cast<UINT>(bi.biHeight), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    const char* out = getenv("KW_SCREENSHOT");
    if (!out)
        GTEST_SKIP() << "set KW_SCREENSHOT to a .bmp path to keep the picture";
    FILE* f = fopen(out, "wb");
    ASSERT_NE(f, nullptr);
    BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof bi + pixels.size()), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof bi};
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&bi, sizeof bi, 1, f);
    fwrite(pixels.data(), 1, pixels.size(), f);
    fclose(f);
}

} // namespace
