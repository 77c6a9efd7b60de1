// The FTP folder browser's window under Wine against a real pyftpdlib server (started by the
// ctest fixture): opened through the work editor's entry point and driven as a user would,
// with the mouse and the keyboard (SendInput) from a timer while the dialog runs modally.
#include "FakeFtpServer.h"
#include "FtpTestServers.h"
#include "dialogs/SelectFtpDir_win32.h"
#include "tests/ui/RealInput_win32.h"
#include "tests/ui/Screenshot_win32.h"
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <regex>

namespace kw {
namespace {

namespace fs = std::filesystem;

const std::string kArchive1251 = "\xC0\xF0\xF5\xE8\xE2";  // "Архив"
const std::string kSong1251 = "\xEF\xE5\xF1\xED\xFF.txt"; // "песня.txt"

fs::path Utf8Path(const fs::path& dir, const std::string& utf8) {
    return dir / fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

void WriteFile(const fs::path& path, size_t size) {
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

// ---- looking at the windows ---------------------------------------------------------------

std::string ClassOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 63);
    return win::Ansi(name);
}

// A visible top-level window of this thread with the given class.
HWND ThreadWindow(const std::string& cls) {
    struct TFind {
        std::string cls;
        HWND found;
    } find{cls, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM lp) -> BOOL {
            auto& f = *reinterpret_cast<TFind*>(lp);
            if (IsWindowVisible(w) && ClassOf(w) == f.cls) {
                f.found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

// The message of an error box: its longest static text.
std::string BoxText(HWND box) {
    std::string text;
    EnumChildWindows(
        box,
        [](HWND w, LPARAM lp) -> BOOL {
            auto& t = *reinterpret_cast<std::string*>(lp);
            const std::string s = win::GetText(w);
            if (ClassOf(w) == "Static" && s.size() > t.size())
                t = s;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

std::vector<std::string> Folders(HWND lb) {
    std::vector<std::string> out;
    const int n = static_cast<int>(SendMessageW(lb, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        wchar_t buf[512] = {};
        SendMessageW(lb, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
        out.push_back(win::Ansi(buf));
    }
    return out;
}

std::vector<std::vector<std::string>> Rows(HWND grid) {
    win::TGridControl g("SGFiles", "TStringGrid", grid);
    std::vector<std::vector<std::string>> rows;
    for (int r = 1; r < g.RowCount(); ++r)
        rows.push_back({g.Cell(0, r), g.Cell(1, r), g.Cell(2, r)});
    return rows;
}

bool Has(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

RECT ChildRect(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// ---- acting on them --------------------------------------------------------------------

// A double click on a folder's line, as the mouse sends it.
void DoubleClickFolder(HWND lb, const std::string& name) {
    const LRESULT i = SendMessageW(lb, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(win::Wide(name).c_str()));
    if (i == LB_ERR) {
        ADD_FAILURE() << "no folder \"" << name << "\" in the list";
        return;
    }
    RECT r;
    SendMessageW(lb, LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(lb, &at);
    for (int click = 0; click < 2; ++click) {  // queued: the modal loop sees a double click
        test::SendMouse(MOUSEEVENTF_MOVE, at);
        test::SendMouse(MOUSEEVENTF_LEFTDOWN, at);
        test::SendMouse(MOUSEEVENTF_LEFTUP, at);
    }
}

// A key goes through the modal loop, where the dialog's keyboard handling sees it.
void PressKey(HWND focus, WPARAM key) {
    SetFocus(focus);
    test::QueueKey(static_cast<WORD>(key));
}

void Click(HWND button) {
    test::QueueClick(button);
}

// Runs the dialog through the editor's entry point; a timer plays `steps` one per tick while
// it runs, and answers every error box, keeping its text. A step returns true when done.
struct TDriver {
    using TStep = std::function<bool(TFSelectFTPDir&)>;
    std::vector<TStep> steps;
    std::vector<std::string> errors;
    size_t next = 0;
    int ticks = 0;
    bool busy = false;
    HWND answered = nullptr;  // the error box whose OK has been clicked

    static TDriver*& Current() {
        static TDriver* d = nullptr;
        return d;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        TDriver& d = *Current();
        if (HWND box = ThreadWindow("#32770")) {
            if (box != d.answered) {  // the click is on its way otherwise
                d.answered = box;
                d.errors.push_back(BoxText(box));
                SetForegroundWindow(box);
                test::QueueKey(VK_RETURN);  // OK is the box's default button
            }
            return;
        }
        HWND w = ThreadWindow("TFSelectFTPDir");
        auto* dialog = w ? reinterpret_cast<TFSelectFTPDir*>(GetWindowLongPtrW(w, GWLP_USERDATA)) : nullptr;
        if (d.busy || !dialog || dialog->Waiting())
            return;  // a user too waits until the server has answered
        if (++d.ticks > 1000) { // about 30 s: give up rather than hang
            ADD_FAILURE() << "the script stopped at step " << d.next;
            PostMessageW(w, WM_CLOSE, 0, 0);
            return;
        }
        if (d.next >= d.steps.size())
            return;
        d.busy = true;
        if (d.steps[d.next](*dialog))
            ++d.next;
        d.busy = false;
    }

    std::string Run(HWND owner, const TFTPUse& ftp) {
        Current() = this;
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, &TDriver::Tick);
        const std::string folder = SelectFtpFolderDialog(owner, ftp, nullptr);
        KillTimer(nullptr, timer);
        Current() = nullptr;
        EXPECT_EQ(next, steps.size()) << "not every step ran";
        return folder;
    }
};

// ---- the fixture -----------------------------------------------------------------------

class SelectFtpDir : public ::testing::Test {
  protected:
    void SetUp() override {
        SetDefaultFtpTimeouts({10000, 10000, 10000});
        owner = CreateWindowExW(0, L"STATIC", L"editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 400, 300,
                                nullptr, nullptr, win::Instance(), nullptr);
        ASSERT_NE(owner, nullptr);
    }
    void TearDown() override { DestroyWindow(owner); }

    // The server's folders; pyftpdlib logs "kw" in at its root.
    fs::path Root() {
        EXPECT_TRUE(server.Ok()) << "the ctest fixture must start pyftpdlib";
        return server.Root();
    }

    TFTPUse Ftp(const std::string& folder, bool passive = true) const {
        TFTPUse f;
        f.Server = "127.0.0.1";
        f.Port = server.Port();
        f.Passive = passive;
        f.Login = "kw";
        f.Password = "secret";
        f.Folder = folder;
        return f;
    }

    test::TRealFtpServer server{"pyftpdlib"};
    HWND owner = nullptr;
};

#define REQUIRE_SERVER() ASSERT_TRUE(server.Ok()) << "the ctest fixture must start pyftpdlib"

TEST_F(SelectFtpDir, FormLayoutAndResizeArithmetic) {
    auto dialog = std::make_unique<TFSelectFTPDir>();
    ASSERT_TRUE(dialog->Create(owner));
    HWND w = dialog->Hwnd();
    EXPECT_FALSE(IsWindowEnabled(owner)) << "the dialog is modal to the editor";
    EXPECT_EQ(GetWindow(w, GW_OWNER), owner);
    EXPECT_EQ(win::GetText(w), "FTP folder");  // the built-in English: no language given
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) << "no title-bar buttons";
    RECT c;
    GetClientRect(w, &c);
    EXPECT_EQ(c.right, 771);
    EXPECT_EQ(c.bottom, 500);

    EXPECT_EQ(win::GetText(dialog->LCurrentFolder()), "Current folder");
    EXPECT_EQ(win::GetText(dialog->SBSave()), "Choose the current folder");
    EXPECT_EQ(win::GetText(dialog->SBCancel()), "Cancel");
    EXPECT_FALSE(IsWindowEnabled(dialog->SBSave())) << "nothing to choose before the server named a folder";
    win::TGridControl grid("SGFiles", "TStringGrid", dialog->SGFiles());
    EXPECT_EQ(grid.Cell(0, 0), "File name");
    EXPECT_EQ(grid.Cell(1, 0), "Size");
    EXPECT_EQ(grid.Cell(2, 0), "Date");
    EXPECT_EQ(Rows(dialog->SGFiles()), (std::vector<std::vector<std::string>>{{"", "", ""}}));
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(dialog->SGFiles()) & LVS_EX_FULLROWSELECT);
    // Size and Date keep their widths, FileName fills the rest of the grid without a scroll bar.
    EXPECT_EQ(ListView_GetColumnWidth(dialog->SGFiles(), 1), 64);
    EXPECT_EQ(ListView_GetColumnWidth(dialog->SGFiles(), 2), 95);
    RECT gc;
    GetClientRect(dialog->SGFiles(), &gc);
    const int used = ListView_GetColumnWidth(dialog->SGFiles(), 0) + 64 + 95;
    EXPECT_LE(used, gc.right);
    EXPECT_GE(used, gc.right - 8);

    // PanCResize and PanBResize at the first size and at an odd width (division truncates).
    auto expectLayout = [&](int width) {
        SCOPED_TRACE(width);
        const int list = (width - 4) / 2;
        EXPECT_EQ(ChildRect(dialog->LbFolders()).left, 0);
        EXPECT_EQ(ChildRect(dialog->LbFolders()).right, list);
        EXPECT_EQ(ChildRect(dialog->Splitter()).left, list);
        EXPECT_EQ(ChildRect(dialog->Splitter()).right, list + 4);
        EXPECT_EQ(ChildRect(dialog->SGFiles()).left, list + 4);
        EXPECT_EQ(ChildRect(dialog->SGFiles()).right, width);
        const RECT cancel = ChildRect(dialog->SBCancel()), save = ChildRect(dialog->SBSave());
        EXPECT_EQ(cancel.left, width - (cancel.right - cancel.left) - 20);
        EXPECT_EQ(save.right - save.left, cancel.left - save.left - 20);
    };
    expectLayout(771);
    RECT outer{0, 0, 601, 401};
    AdjustWindowRectEx(&outer, GetWindowLongW(w, GWL_STYLE), FALSE, GetWindowLongW(w, GWL_EXSTYLE));
    SetWindowPos(w, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(w, &c);
    ASSERT_EQ(c.right, 601);
    expectLayout(601);

    // Dragging the splitter moves the border; it leaves both sides some room.
    HWND split = dialog->Splitter();
    const int before = ChildRect(dialog->LbFolders()).right;
    RECT bar;
    GetWindowRect(split, &bar);
    const POINT grab{bar.left + 2, bar.top + 10};
    test::BringToFront(w);
    test::PointAt(grab);
    test::SendMouse(MOUSEEVENTF_LEFTDOWN, grab);
    test::Settle(60);
    test::PointAt(POINT{grab.x - 100, grab.y});
    EXPECT_EQ(ChildRect(dialog->LbFolders()).right, before - 100);
    EXPECT_EQ(ChildRect(dialog->SGFiles()).left, before - 96);
    test::PointAt(POINT{bar.left - 2000 > 0 ? bar.left - 2000 : 0, grab.y});
    EXPECT_GT(ChildRect(dialog->LbFolders()).right, 0);
    test::SendMouse(MOUSEEVENTF_LEFTUP, POINT{0, grab.y});
    test::Settle(60);
    EXPECT_EQ(GetCapture(), nullptr);

    dialog.reset();
    EXPECT_TRUE(IsWindowEnabled(owner)) << "the editor comes back with the dialog gone";
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(SelectFtpDir, WalksIntoPubWwwAndBackAndChoosesTheFolderTheServerReports) {
    REQUIRE_SERVER();
    fs::create_directories(Root() / "pub" / "www");
    WriteFile(Root() / "pub" / "readme.txt", 1234);
    const std::regex date(R"(\d\d-\d\d-\d\d \d\d:\d\d)");

    TDriver d;
    d.steps = {
        [&](TFSelectFTPDir& f) {
            EXPECT_EQ(win::GetText(f.LCurrentFolder()), "/");
            EXPECT_FALSE(Has(Folders(f.LbFolders()), "..")) << "no way up from the root";
            EXPECT_FALSE(IsWindowEnabled(owner));
            DoubleClickFolder(f.LbFolders(), "pub");
            return true;
        },
        [&](TFSelectFTPDir& f) {
            EXPECT_EQ(win::GetText(f.LCurrentFolder()), "/pub");
            const auto folders = Folders(f.LbFolders());
            EXPECT_EQ(folders.at(0), "..");
            EXPECT_TRUE(Has(folders, "www"));
            EXPECT_FALSE(Has(folders, "readme.txt"));
            bool seen = false;
            for (const auto& row : Rows(f.SGFiles()))
                if (row[0] == "readme.txt") {
                    seen = true;
                    EXPECT_EQ(row[1], "1234");
                    EXPECT_TRUE(std::regex_match(row[2], date)) << row[2];
                }
            EXPECT_TRUE(seen);
            DoubleClickFolder(f.LbFolders(), "www");
            return true;
        },
        [&](TFSelectFTPDir& f) {
            EXPECT_EQ(win::GetText(f.LCurrentFolder()), "/pub/www");
            DoubleClickFolder(f.LbFolders(), "..");
            return true;
        },
        [&](TFSelectFTPDir& f) {
            EXPECT_EQ(win::GetText(f.LCurrentFolder()), "/pub");
            DoubleClickFolder(f.LbFolders(), "www");
            return true;
        },
        [&](TFSelectFTPDir& f) {
            EXPECT_EQ(win::GetText(f.LCurrentFolder()), "/pub/www");
            Click(f.SBSave());
            return true;
        },
    };
    EXPECT_EQ(d.Run(owner, Ftp("")), "/pub/www");
    EXPECT_TRUE(d.errors.empty()) << d.errors.front();
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(SelectFtpDir, EmptyFolderLeavesOneEmptyRowAndEveryWayOutKeepsTheOldFolder) {
    REQUIRE_SERVER();
    fs::create_directories(Root() / "dlg-empty");
    // Escape, the cancel button and closing the window; in active mode for the data connections.
    const std::vector<std::function<void(TFSelectFTPDir&)>> exits = {
        [](TFSelectFTPDir& f) { PressKey(f.LbFolders(), VK_ESCAPE); },
        [](TFSelectFTPDir& f) { Click(f.SBCancel()); },
        [](TFSelectFTPDir& f) { PostMessageW(f.Hwnd(), WM_CLOSE, 0, 0); },
    };
    for (size_t i = 0; i < exits.size(); ++i) {
        SCOPED_TRACE(i);
        TDriver d;
        d.steps = {[&](TFSelectFTPDir& f) {
            EXPECT_EQ(win::GetText(f.LCurrentFolder()), "/dlg-empty");
            EXPECT_EQ(Folders(f.LbFolders()), std::vector<std::string>{".."});
            EXPECT_EQ(Rows(f.SGFiles()), (std::vector<std::vector<std::string>>{{"", "", ""}}));
            exits[i](f);
            return true;
        }};
        EXPECT_EQ(d.Run(owner, Ftp("dlg-empty", false)), "dlg-empty") << "the old folder, as it was written";
        EXPECT_TRUE(d.errors.empty()) << d.errors.front();
    }
}

TEST_F(SelectFtpDir, CyrillicUtf8FolderShowsInTheAnsiCodePageAndGoesBackInUtf8) {
    REQUIRE_SERVER();
    const fs::path archive = Utf8Path(Root() / "dlg-utf8", "Архив");
    fs::create_directories(archive);
    WriteFile(Utf8Path(archive, "песня.txt"), 7);
    TFTPUse ftp = Ftp("/dlg-utf8");
    ftp.UTF8 = true;
    TDriver d;
    d.steps = {
        [&](TFSelectFTPDir& f) {
            EXPECT_EQ(Folders(f.LbFolders()), (std::vector<std::string>{"..", kArchive1251}));
            DoubleClickFolder(f.LbFolders(), kArchive1251); // sent back as UTF-8, or the server refuses
            return true;
        },
        [&](TFSelectFTPDir& f) {
            EXPECT_EQ(win::GetText(f.LCurrentFolder()), "/dlg-utf8/" + kArchive1251);
            EXPECT_EQ(Rows(f.SGFiles()).at(0).at(0), kSong1251);
            EXPECT_EQ(Rows(f.SGFiles()).at(0).at(1), "7");
            PressKey(f.SGFiles(), VK_RETURN); // Enter outside the folder list takes the folder
            return true;
        },
    };
    EXPECT_EQ(d.Run(owner, ftp), "/dlg-utf8/" + kArchive1251);
    EXPECT_TRUE(d.errors.empty()) << d.errors.front();
}

TEST_F(SelectFtpDir, LoginFailureShowsTheServerTextAndLeavesOnlyCancel) {
    REQUIRE_SERVER();
    TFTPUse ftp = Ftp("/www");
    ftp.Password = "wrong";
    TDriver d;
    d.steps = {[&](TFSelectFTPDir& f) {
                   EXPECT_EQ(win::GetText(f.LCurrentFolder()), "Current folder");
                   EXPECT_FALSE(IsWindowEnabled(f.SBSave()));
                   Click(f.SBSave());
                   PressKey(f.SGFiles(), VK_RETURN); // neither may take an empty folder for the work
                   return true;
               },
               [&](TFSelectFTPDir& f) {
                   EXPECT_EQ(f.ModalResult(), 0) << "still open";
                   Click(f.SBCancel());
                   return true;
               }};
    EXPECT_EQ(d.Run(owner, ftp), "/www");
    ASSERT_EQ(d.errors.size(), 1u);
    EXPECT_NE(d.errors[0].find("530"), std::string::npos) << d.errors[0];
}

TEST_F(SelectFtpDir, RefusedChangeOfFolderKeepsTheDisplayAndEnterOpensTheSelectedFolder) {
    REQUIRE_SERVER();
    fs::create_directories(Root() / "dlg-gone" / "gone");
    TDriver d;
    d.steps = {
        [&](TFSelectFTPDir& f) {
            fs::remove(Root() / "dlg-gone" / "gone"); // another user removes it behind the list
            DoubleClickFolder(f.LbFolders(), "gone");
            return true;
        },
        [&](TFSelectFTPDir& f) {
            EXPECT_EQ(d.errors.size(), 1u) << "the refusal is shown";
            EXPECT_EQ(win::GetText(f.LCurrentFolder()), "/dlg-gone");
            EXPECT_EQ(Folders(f.LbFolders()), (std::vector<std::string>{"..", "gone"}));
            SendMessageW(f.LbFolders(), LB_SETCURSEL, 0, 0); // ".."
            PressKey(f.LbFolders(), VK_RETURN);
            return true;
        },
        [&](TFSelectFTPDir& f) {
            if (win::GetText(f.LCurrentFolder()) != "/")
                return false; // the key is still on its way through the loop
            EXPECT_TRUE(Has(Folders(f.LbFolders()), "dlg-gone"));
            PressKey(f.LbFolders(), VK_ESCAPE);
            return true;
        },
    };
    EXPECT_EQ(d.Run(owner, Ftp("/dlg-gone")), "/dlg-gone");
    ASSERT_EQ(d.errors.size(), 1u);
    EXPECT_NE(d.errors[0].find("550"), std::string::npos) << d.errors[0];
}

// A server whose refusal runs to thousands of lines (no real server does it on demand).
TEST_F(SelectFtpDir, EndlessRefusalIsShownCutShort) {
    test::TFakeFtpServer fake([](test::TFakeSession& s) {
        s.Reply("220 fake ready");
        s.Command();
        std::string reply;
        for (int i = 0; i < 1500; ++i)
            reply += "530-Login refused, line " + std::to_string(i) + "\r\n";
        s.Send(reply + "530 end\r\n");
        s.Command(); // until the client goes
    });
    TFTPUse ftp = Ftp("/");
    ftp.Port = fake.Port();
    TDriver d;
    d.steps = {[](TFSelectFTPDir& f) {
        Click(f.SBCancel());
        return true;
    }};
    EXPECT_EQ(d.Run(owner, ftp), "/");
    fake.Join();
    ASSERT_EQ(d.errors.size(), 1u);
    EXPECT_EQ(d.errors[0].rfind("530 Login refused, line 0", 0), 0u) << d.errors[0].substr(0, 80);
    EXPECT_LE(d.errors[0].size(), 1003u);
    EXPECT_EQ(d.errors[0].substr(d.errors[0].size() - 3), "...");
}

// Pictures for the documentation at 100 % and, after a move to a 150 % monitor, laid out again.
TEST_F(SelectFtpDir, Screenshots) {
    REQUIRE_SERVER();
    fs::create_directories(Root() / "pub" / "www");
    fs::create_directories(Root() / "pub" / "archive");
    WriteFile(Root() / "pub" / "readme.txt", 1234);
    WriteFile(Root() / "pub" / "playlist.html", 48213);
    WriteFile(Root() / "pub" / "now-playing.xml", 912);
    bool shot100 = false, shot150 = false;
    int buttonHeight = 0;
    TDriver d;
    d.steps = {[&](TFSelectFTPDir& f) {
                   SendMessageW(f.LbFolders(), LB_SETCURSEL, 1, 0);
                   ListView_SetItemState(f.SGFiles(), 0, LVIS_SELECTED, LVIS_SELECTED);
                   shot100 = test::Shoot(f.Hwnd(), "ftpfolder-100");
                   test::ChangeDpi(f.Hwnd(), 144);
                   shot150 = test::Shoot(f.Hwnd(), "ftpfolder-150");
                   RECT r;
                   GetWindowRect(f.SBCancel(), &r);
                   buttonHeight = r.bottom - r.top;
                   return true;
               },
               [&](TFSelectFTPDir& f) {
                   Click(f.SBCancel());
                   return true;
               }};
    EXPECT_EQ(d.Run(owner, Ftp("/pub")), "/pub");
    EXPECT_TRUE(shot100);
    EXPECT_TRUE(shot150);
    EXPECT_EQ(buttonHeight, win::Scale(26, 144) - 2 * win::Scale(1, 144));  // the bar at 150 %, less its edges
}

} // namespace
} // namespace kw
