// The work editor under Wine: the real window created in this process and driven by messages
// (typing, clicks, keys), its message dialogs answered by a timer; the settings file checked as
// the program would read it again.
#include "dialogs/EditWork_win32.h"
#include "config/EditWorkText.h"
#include "config/Password.h"
#include "works/Settings.h"
#include "platform/Profile.h"
#include "tests/ui/dialog_driver_win32_test.h"
#include "tests/ui/RealInput_win32.h"
#include "tests/ui/Screenshot_win32.h"
#include "tests/support/Works.h"
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

using namespace kw;
using kw::test::Click;
using kw::test::TDriver;
using kw::test::Type;

std::string U(const char* utf8) { return win::AnsiFromUtf8(utf8); }

using test::Work;

struct EditWorkDialog : ::testing::Test {
    lang::test::TProgramFolder folder;
    TSettings settings;
    std::unique_ptr<lang::TLanguage> language;
    lang::TMessageDialogWin32 view{nullptr};
    std::unique_ptr<TFEditWork> form;
    std::string tpl, other;

    void SetUp() override {
        folder.WriteLines("Prog.Test.lng",
                          {"[Constants]", "Language=Test", "Button.OK=OK", "Dialog.Error=Error", "[FEditWork]",
                           "LName=Title", "SBSelectDir.Hint=Folders on the server",
                           "Dialog.SetShape=shape", "Dialog.SetFileIn=file in", "Dialog.FileInNotEx=no template",
                           "Dialog.SetFileOut=file out", "Dialog.SetInOutErr=in is out", "Dialog.SetFTPServ=server",
                           "Dialog.SetFTPUser=user", "Dialog.SetFTPPass=password", "Dialog.DblShape=same name",
                           "Dialog.OtherOut=template of %s", "Dialog.DblOut=output of %s",
                           "Dialog.WorkLimit=full", "Dialog.SettingsNotWritten=not written: %s",
                           "Dialog.NoHTTPURL=url", "Dialog.BadCertSHA256=cert", "Dialog.NoTextHost=host",
                           "Dialog.BadTextPort=port", "Dialog.BadTriggerLetters=letters",
                           "Dialog.NoMQTTHost=broker", "Dialog.BadMQTTTopic=topic"});
        tpl = folder.Path("now.tpl");
        other = folder.Path("other.tpl");
        folder.Write("now.tpl", "!KW!SongArtist");
        folder.Write("other.tpl", "x");
        settings.FileName = folder.Path("Prog.ini");
        ASSERT_TRUE(settings.Works.Append(Work("File1", "Now", other, folder.Path("now.html"))));
        ASSERT_TRUE(SaveWork(settings, 0));
        language = std::make_unique<lang::TLanguage>("Prog.");
        ASSERT_TRUE(language->SelectLanguage(0));
        language->SetDialogView(&view);
    }
    void TearDown() override {
        kw::test::KeyboardWindow() = nullptr;
        form.reset();
    }

    void Open(int index) {
        form = std::make_unique<TFEditWork>(settings, *language);
        ASSERT_TRUE(form->Create(nullptr));
        form->FillData(index);
        ShowWindow(form->Hwnd(), SW_SHOW);
        win::PumpMessages();
        kw::test::KeyboardWindow() = form->Hwnd();  // Tab, Enter and Escape as in its modal loop
    }
    HWND C(const char* name) const { return kw::test::Named(form->Components(), name); }
    // Chooses a target in the editor's list with the keyboard, as a person does on a closed list.
    void ChooseTarget(int target) {
        SetFocus(C("CBTarget"));
        kw::test::PressKey(VK_HOME);
        for (int i = 0; i < target; ++i)
            kw::test::PressKey(VK_DOWN);
    }
    std::string Text(const char* name) const { return win::GetText(C(name)); }
    std::string Ini(const std::string& section, const std::string& key) const {
        return profile::ReadString(settings.FileName, section, key, "<none>");
    }
    // Fills the fields every check passes.
    void FillValid(const std::string& name, const std::string& out) {
        Type(C("EName"), name);
        Type(C("FEFileIn"), tpl);
        Type(C("FEFileOut"), out);
    }
};

TEST_F(EditWorkDialog, OpensWithTheDefaultsOfANewWorkTranslatedAndCentred) {
    Open(-1);
    EXPECT_EQ(win::GetText(form->Hwnd()), "Template settings");  // no Caption key: built-in English
    EXPECT_EQ(Text("LName"), "Title");
    EXPECT_EQ(Text("LShape"), "Template file");
    EXPECT_EQ(Text("ESecs"), "60");
    EXPECT_EQ(Text("EFTPPort"), "21");
    EXPECT_EQ(Text("EFTPPath"), "/");
    EXPECT_EQ(SendMessageW(C("CBCodePage"), CB_GETCOUNT, 0, 0), 6);  // the last, Latin letters, a word of the language
    EXPECT_EQ(SendMessageW(C("CBCodePage"), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(kw::test::NamedControl(form->Components(), "CBCodePage").Item(4), "CP866 (DOS)");
    EXPECT_FALSE(IsWindowVisible(C("GBFTP")));
    EXPECT_FALSE(IsWindowVisible(C("EFTPServer")));
    EXPECT_TRUE(kw::test::NamedControl(form->Components(), "SBSelectDir").ShowHint());
    EXPECT_EQ(SendMessageW(C("EFTPPass"), EM_GETPASSWORDCHAR, 0, 0), '*');
    const LONG_PTR style = GetWindowLongPtrW(form->Hwnd(), GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    RECT r;
    GetWindowRect(form->Hwnd(), &r);
    MONITORINFO m{};
    m.cbSize = sizeof m;
    GetMonitorInfoW(MonitorFromWindow(form->Hwnd(), MONITOR_DEFAULTTOPRIMARY), &m);
    EXPECT_NEAR((r.left + r.right) / 2, (m.rcWork.left + m.rcWork.right) / 2, 2);
    EXPECT_NEAR((r.top + r.bottom) / 2, (m.rcWork.top + m.rcWork.bottom) / 2, 2);

    // The FTP group shows only while FTP is chosen; the form grows and shrinks with it.
    ChooseTarget(tcFTP);
    EXPECT_TRUE(IsWindowVisible(C("GBFTP")));
    EXPECT_TRUE(IsWindowVisible(C("EFTPFileName")));
    RECT big;
    GetWindowRect(form->Hwnd(), &big);
    EXPECT_GT(big.bottom - big.top, r.bottom - r.top);
    ChooseTarget(tcFileOnly);
    EXPECT_FALSE(IsWindowVisible(C("EFTPServer")));
}

TEST_F(EditWorkDialog, SpinFieldsKeepTheirLimits) {
    Open(-1);
    int low = 0, high = 0;
    SendMessageW(form->ESecs().UpDown(), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(low, 15);
    EXPECT_EQ(high, 900);
    const std::pair<const char*, int> secs[] = {{"5", 15}, {"901", 900}, {"120", 120}, {"", 15}};
    for (const auto& [typed, value] : secs) {
        Type(C("ESecs"), typed);
        EXPECT_EQ(form->Fields().Secs, value) << typed;
    }
    Type(C("EFTPPort"), "0");
    EXPECT_EQ(form->Fields().FTPPort, 1);
    Type(C("EFTPPort"), "70000");
    EXPECT_EQ(form->Fields().FTPPort, 65535);
    SetFocus(C("EName"));  // leaving the field shows the number that counts
    EXPECT_EQ(Text("EFTPPort"), "65535");
}

TEST_F(EditWorkDialog, EveryFailedCheckShowsItsMessageAndKeepsTheInput) {
    Open(-1);
    TDriver driver;
    struct TCase {
        std::function<void()> Enter;
        const char* Message;
    };
    const TCase cases[] = {
        {[&] { Type(C("EName"), "   "); }, "shape"},
        {[&] { Type(C("EName"), " Song "); }, "file in"},
        {[&] { Type(C("FEFileIn"), folder.Path("missing.tpl")); }, "no template"},
        {[&] { Type(C("FEFileIn"), tpl); }, "file out"},
        {[&] { Type(C("FEFileOut"), tpl); }, "in is out"},
        {[&] { Type(C("FEFileOut"), AnsiUpperCase(other)); }, "template of Now"},
        {[&] { Type(C("FEFileOut"), folder.Path("NOW.HTML")); }, "output of Now"},
        {[&] { Type(C("EName"), "Now"), Type(C("FEFileOut"), folder.Path("song.html")); }, "same name"},
        {[&] { Type(C("EName"), "NOW"), ChooseTarget(tcFTP); }, "server"},  // names differing in case are allowed
        {[&] { Type(C("EFTPServer"), "127.0.0.1"); }, "user"},
        {[&] { Type(C("EFTPUser"), "kw"); Type(C("EFTPPass"), "  "); }, "password"},
    };
    for (const TCase& c : cases) {
        c.Enter();
        driver.Messages.clear();
        Click(C("SBSave"));
        ASSERT_EQ(driver.Messages.size(), 1u) << c.Message;
        EXPECT_EQ(driver.Messages[0], c.Message);
        EXPECT_EQ(form->ModalResult(), 0);  // the dialog stays open
    }
    EXPECT_EQ(Text("EFTPPass"), "  ");
    EXPECT_EQ(Text("EName"), "NOW");
    EXPECT_EQ(settings.Works.Count(), 1u);  // nothing reached the list
}

// Two new works saved one after the other get sections of their own: "File" and the time, and
// a counter behind it when both fall in one second (the counter's rule is tested with a set
// clock in editwork_test; here the real clock decides which of the two forms the second takes).
TEST_F(EditWorkDialog, NewWorksAreSavedUnderSectionsOfTheirOwn) {
    TSettings fresh;
    fresh.FileName = folder.Path("Fresh.ini");
    for (const char* name : {"A", "B"}) {
        form = std::make_unique<TFEditWork>(fresh, *language);
        ASSERT_TRUE(form->Create(nullptr));
        form->FillData(-1);
        FillValid(name, folder.Path(std::string(name) + ".html"));
        Click(C("SBSave"));
        EXPECT_EQ(form->ModalResult(), 1);
        EXPECT_EQ(form->EditIndex(), static_cast<int>(fresh.Works.Count()) - 1);
    }
    ASSERT_EQ(fresh.Works.Count(), 2u);
    const std::string first = fresh.Works.At(0)->Section(), second = fresh.Works.At(1)->Section();
    ASSERT_EQ(first.size(), 16u);  // "File" + YYMMDDHHNNSS
    EXPECT_EQ(first.substr(0, 4), "File");
    EXPECT_EQ(profile::ReadString(fresh.FileName, first, "Name", ""), "A");
    EXPECT_EQ(profile::ReadString(fresh.FileName, second, "Name", ""), "B");
    EXPECT_EQ(fresh.Works.At(1)->NextUpdate.load(), 0);
    if (second.substr(0, 16) == first)
        EXPECT_EQ(second, first + "1");  // the same second: the counter
    else
        EXPECT_TRUE(second.size() == 16u && second > first) << second << " after " << first;
}

// Every control by the mouse and the keyboard: Tab visits all twenty in the form's order, the
// spin arrows and arrow keys change the numbers, boxes tick, the list takes the keyboard, each
// "..." opens the system's file dialog (Escape closes it), Cancel closes the form.
TEST_F(EditWorkDialog, EveryControlWorksWithTheMouseAndTheKeyboard) {
    Open(-1);
    kw::test::BringToFront(form->Hwnd());
    ChooseTarget(tcFTP);
    ASSERT_TRUE(IsWindowVisible(C("EFTPServer")));
    HWND browseIn = GetDlgItem(form->Hwnd(), TFEditWork::IDC_FEFILEIN_BROWSE);
    HWND browseOut = GetDlgItem(form->Hwnd(), TFEditWork::IDC_FEFILEOUT_BROWSE);
    const std::vector<HWND> expected = {
        C("EName"), C("FEFileIn"), browseIn, C("FEFileOut"), browseOut, C("ESecs"), C("CBTarget"),
        C("EFTPServer"), C("EFTPPort"), C("CBFTPPassive"), C("CBFTPUTF8"), C("CBFTPTLS"), C("EFTPUser"),
        C("EFTPPass"), C("CBShowPass"), C("EFTPPath"), C("SBSelectDir"), C("EFTPFileName"), C("EFTPCert"),
        C("CBCodePage"), C("CBEscaping"), C("CBTrigger"), C("CBTriggerBlock"), C("EDelay"), C("CBOnlyChanged"),
        C("CBServeLive"), C("ELiveAddress"),  // Copy is greyed out: a new work has no address yet
        C("SBPreview"), C("SBTags"), C("SBSave"), C("SBCancel")};
    SetFocus(C("EName"));
    std::vector<HWND> order;
    for (size_t i = 0; i < expected.size(); ++i) {
        order.push_back(GetFocus());
        kw::test::PressKey(VK_TAB);
    }
    EXPECT_EQ(order, expected);
    EXPECT_EQ(GetFocus(), C("EName"));  // round again
    kw::test::PressKey(VK_TAB, true);
    EXPECT_EQ(GetFocus(), C("SBCancel"));  // Shift+Tab goes back

    RECT arrows;
    GetWindowRect(form->ESecs().UpDown(), &arrows);
    kw::test::ClickAtPoint(POINT{(arrows.left + arrows.right) / 2, arrows.top + (arrows.bottom - arrows.top) / 4});
    kw::test::Settle();
    EXPECT_EQ(form->ESecs().Value(), DefaultUpdateSecs + 1);
    SetFocus(C("EFTPPort"));
    kw::test::PressKey(VK_DOWN);
    EXPECT_EQ(form->EFTPPort().Value(), DefaultFtpPort - 1);
    for (const char* box : {"CBFTPPassive", "CBFTPUTF8", "CBShowPass"}) {
        const bool before = win::IsChecked(C(box));
        Click(C(box));
        EXPECT_NE(win::IsChecked(C(box)), before) << box;
    }
    SetFocus(C("CBCodePage"));
    kw::test::PressKey(VK_DOWN);
    EXPECT_EQ(SendMessageW(C("CBCodePage"), CB_GETCURSEL, 0, 0), 1);

    for (HWND browse : {browseIn, browseOut}) {
        TDriver driver;
        driver.AnswerMessages = false;
        bool opened = false;
        // waits, a tick at a time, for the file dialog; then Escape closes it
        driver.Steps = {[&] {
            if (!TDriver::FindMessageDialog()) {
                --driver.NextStep;
                return;
            }
            opened = true;
            kw::test::QueueKey(VK_ESCAPE);
        }};
        Click(browse);
        EXPECT_TRUE(opened) << GetDlgCtrlID(browse);
        EXPECT_LT(driver.Ticks, 400);
    }
    EXPECT_EQ(Text("FEFileIn"), "");  // cancelled: nothing taken
    EXPECT_EQ(form->ModalResult(), 0);
    Click(C("SBCancel"));
    EXPECT_EQ(form->ModalResult(), -1);
}

// The texts of the two failures come from the language file: the 128-work limit, and a
// settings file that cannot take the work (the work is kept and runs, the form closes).
TEST_F(EditWorkDialog, TheWorkLimitAndAnUnwritableSettingsFileAreToldInTheUsersLanguage) {
    for (int i = 1; i < 128; ++i)
        ASSERT_TRUE(settings.Works.Append(Work("File" + std::to_string(i + 1), "W" + std::to_string(i), tpl,
                                               folder.Path("w" + std::to_string(i) + ".html"))));
    TDriver driver;
    Open(-1);
    FillValid("One too many", folder.Path("many.html"));
    Click(C("SBSave"));
    ASSERT_EQ(driver.Messages.size(), 1u);
    EXPECT_EQ(driver.Messages[0], "full");
    EXPECT_EQ(form->ModalResult(), 0);
    EXPECT_EQ(settings.Works.Count(), 128u);

    while (settings.Works.Count() > 1)
        ASSERT_TRUE(settings.Works.RemoveAt(1));
    settings.FileName = folder.Path("missing\\Prog.ini");
    driver.Messages.clear();
    Click(C("SBSave"));
    ASSERT_EQ(driver.Messages.size(), 1u);
    EXPECT_EQ(driver.Messages[0], "not written: " + settings.FileName);
    EXPECT_EQ(form->ModalResult(), 1);
    EXPECT_EQ(settings.Works.Count(), 2u);
}

TEST_F(EditWorkDialog, EditingKeepsItsOwnNameAndOutputAndFtpOffRemovesTheFtpKeys) {
    TWorkConfig c = settings.Works.At(0)->Config();
    c.FTP.Use = true;
    c.FTP.Server = "127.0.0.1";
    c.FTP.Login = "kw";
    c.FTP.Password = "secret";
    c.FTP.RemoteName = "now.html";
    settings.Works.At(0)->SetConfig(c);
    ASSERT_TRUE(SaveWork(settings, 0));
    ASSERT_EQ(Ini("File1", "FTPServer"), "127.0.0.1");

    Open(0);
    EXPECT_TRUE(IsWindowVisible(C("GBFTP")));
    EXPECT_EQ(Text("EFTPPass"), "secret");
    Type(C("FEFileIn"), tpl);
    ChooseTarget(tcFileOnly);
    Click(C("SBSave"));
    ASSERT_EQ(form->ModalResult(), 1);
    const TWorkConfig saved = settings.Works.At(0)->Config();
    EXPECT_EQ(saved.Name, "Now");
    EXPECT_FALSE(saved.FTP.Use);
    EXPECT_EQ(saved.FTP.Server, "");
    EXPECT_EQ(saved.FTP.Password, "");
    EXPECT_EQ(saved.FTP.Port, 21);
    for (const char* key : {"FTPServer", "FTPPort", "FTPLogin", "FTPPass", "FTPPath"})
        EXPECT_EQ(Ini("File1", key), "<none>") << key;
    EXPECT_EQ(Ini("File1", "FileIn"), tpl);
}

TEST_F(EditWorkDialog, FtpOnWithoutRemoteNameUploadsUnderTheOutputFilesName) {
    Open(-1);
    FillValid(U("Эфир \"сейчас\""), folder.Path("site now.html"));
    ChooseTarget(tcFTP);
    Type(C("EFTPServer"), " 127.0.0.1 ");
    Type(C("EFTPUser"), " kw ");
    Type(C("EFTPPass"), " p w ");
    Type(C("EFTPPath"), "");
    Click(C("CBFTPPassive"));
    Click(C("SBSave"));
    ASSERT_EQ(form->ModalResult(), 1);
    const TWorkConfig w = settings.Works.At(1)->Config();
    EXPECT_EQ(w.FTP.RemoteName, "site now.html");
    EXPECT_EQ(w.FTP.Folder, "/");
    EXPECT_EQ(w.FTP.Server, "127.0.0.1");  // trimmed, as every FTP connection takes it
    EXPECT_EQ(w.FTP.Login, "kw");
    EXPECT_EQ(w.FTP.Password, " p w ");
    EXPECT_TRUE(w.FTP.Passive);

    // What was saved reads back the same: Cyrillic, quotes and blanks.
    TSettings again;
    again.FileName = settings.FileName;
    LoadSettings(again);
    ASSERT_EQ(again.Works.Count(), 2u);
    bool found = false;
    for (const auto& work : again.Works.Snapshot())
        if (work->Section() == w.Section) {
            const TWorkConfig r = work->Config();
            found = true;
            EXPECT_EQ(r.Name, w.Name);
            EXPECT_EQ(r.FileOut, w.FileOut);
            EXPECT_EQ(r.FTP.Password, w.FTP.Password);
            EXPECT_EQ(r.FTP.RemoteName, "site now.html");
        }
    EXPECT_TRUE(found);
}

TEST_F(EditWorkDialog, FileNamesWithBlanksShowInQuotesAndAreTakenWithout) {
    const std::string spaced = folder.Path("my page.html");
    TWorkConfig c = settings.Works.At(0)->Config();
    c.FileOut = spaced;
    settings.Works.At(0)->SetConfig(c);
    Open(0);
    EXPECT_EQ(Text("FEFileOut"), "\"" + spaced + "\"");
    EXPECT_EQ(form->Fields().FileOut, spaced);
    EXPECT_EQ(Text("FEFileIn"), other);
}

TEST_F(EditWorkDialog, ShowPasswordSwitchesTheMask) {
    Open(-1);
    ChooseTarget(tcFTP);
    Type(C("EFTPPass"), "abc");
    Click(C("CBShowPass"));
    EXPECT_EQ(SendMessageW(C("EFTPPass"), EM_GETPASSWORDCHAR, 0, 0), 0);
    Click(C("CBShowPass"));
    EXPECT_EQ(SendMessageW(C("EFTPPass"), EM_GETPASSWORDCHAR, 0, 0), '*');
    EXPECT_EQ(form->Fields().FTPPass, "abc");
}

std::string g_server, g_login, g_folder;
std::string FakeBrowser(HWND, const TFTPUse& ftp, const lang::TLanguage*) {
    g_server = ftp.Server, g_login = ftp.Login, g_folder = ftp.Folder;
    return "/pub/www";
}

TEST_F(EditWorkDialog, TheFolderButtonChecksTheLoginFirstThenTakesTheBrowsersFolder) {
    Open(-1);
    TDriver driver;
    ChooseTarget(tcFTP);
    Click(C("SBSelectDir"));  // the login's checks come first
    ASSERT_EQ(driver.Messages.size(), 1u);
    EXPECT_EQ(driver.Messages[0], "server");
    Type(C("EFTPServer"), " host ");
    Type(C("EFTPUser"), " kw ");
    Type(C("EFTPPass"), "pw");
    Type(C("EFTPPath"), "/pub");
    const TSelectFtpFolderFn saved = SelectFtpFolderHook;
    SelectFtpFolderHook = &FakeBrowser;
    Click(C("SBSelectDir"));
    SelectFtpFolderHook = saved;
    EXPECT_EQ(driver.Messages.size(), 1u);
    EXPECT_EQ(g_server, "host");
    EXPECT_EQ(g_login, "kw");
    EXPECT_EQ(g_folder, "/pub");
    EXPECT_EQ(Text("EFTPPath"), "/pub/www");
}

// EditWork itself: modal over an owner, Enter saves, Escape cancels, the close box refreshes.
// Enter in a field moves on to the next one (saving a half-filled form on Enter surprises);
// Ctrl+Enter or Enter on Save saves; Escape cancels; keys and clicks arrive as real input.
TEST_F(EditWorkDialog, EditWorkRunsModallyWithEnterEscapeAndTheCloseBox) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr);
    auto editor = [] { return FindWindowW(L"TFEditWork", nullptr); };
    auto item = [&](int id) { return GetDlgItem(editor(), id); };
    bool ownerDisabled = false;
    int afterEnter = 0;
    {
        TDriver driver;
        driver.Steps = {[&] { ownerDisabled = !IsWindowEnabled(owner); },
                        [&] { Type(item(TFEditWork::IDC_ENAME), "Song"); },
                        [&] { kw::test::QueueKey(VK_RETURN); },
                        [&] { afterEnter = GetDlgCtrlID(GetFocus()); },
                        [&] { Type(item(TFEditWork::IDC_FEFILEIN), tpl); },
                        [&] { Type(item(TFEditWork::IDC_FEFILEOUT), folder.Path("song.html")); },
                        [&] { kw::test::QueueKey(VK_RETURN, VK_CONTROL); }};
        EXPECT_TRUE(EditWork(owner, settings, *language, -1));
        EXPECT_TRUE(driver.Messages.empty());
        EXPECT_LT(driver.Ticks, 400);
    }
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(afterEnter, TFEditWork::IDC_FEFILEIN);  // Enter moved on, saved nothing
    ASSERT_EQ(settings.Works.Count(), 2u);
    EXPECT_EQ(settings.Works.At(1)->Name(), "Song");
    {
        TDriver driver;
        driver.Steps = {[&] { Type(item(TFEditWork::IDC_ENAME), "Changed"); },
                        [&] { kw::test::QueueKey(VK_ESCAPE); }};
        EXPECT_FALSE(EditWork(owner, settings, *language, 1));
        EXPECT_LT(driver.Ticks, 400);
    }
    EXPECT_EQ(settings.Works.At(1)->Name(), "Song");
    {
        TDriver driver;  // Tab onto Save, then Enter presses it
        driver.Steps = {[&] { Type(item(TFEditWork::IDC_ENAME), "Tabbed"); },
                        [&] { SetFocus(kw::test::Descendant(editor(), TFEditWork::IDC_SBTAGS)); },
                        [&] { kw::test::QueueKey(VK_TAB); },
                        [&] { kw::test::QueueKey(VK_RETURN); }};
        EXPECT_TRUE(EditWork(owner, settings, *language, 1));
        EXPECT_LT(driver.Ticks, 400);
    }
    EXPECT_EQ(settings.Works.At(1)->Name(), "Tabbed");
    bool disabledAfterMessage = false;
    {
        TDriver driver;  // a message box over the editor leaves the owner disabled
        driver.Steps = {[&] { Type(item(TFEditWork::IDC_ENAME), " "); },
                        [&] { Click(kw::test::Descendant(editor(), TFEditWork::IDC_SBSAVE)); },
                        [&] { disabledAfterMessage = !IsWindowEnabled(owner); },
                        [&] { kw::test::QueueKey(VK_ESCAPE); }};
        EXPECT_FALSE(EditWork(owner, settings, *language, 1));
        EXPECT_EQ(driver.Messages, std::vector<std::string>{"shape"});
    }
    EXPECT_TRUE(disabledAfterMessage);
    EXPECT_TRUE(IsWindowEnabled(owner));
    {
        TDriver driver;
        driver.Steps = {[&] { PostMessageW(editor(), WM_CLOSE, 0, 0); }};
        EXPECT_TRUE(EditWork(owner, settings, *language, 0));  // the platform's cancel result
    }
    EXPECT_EQ(settings.Works.Count(), 2u);
    EXPECT_EQ(FindWindowW(L"TFEditWork", nullptr), nullptr);
    DestroyWindow(owner);
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr))
        return "<no clipboard>";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        text = win::Ansi(static_cast<const wchar_t*>(GlobalLock(h)));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

// "Serve live" by the mouse, saved and shown again; Copy puts the work's live address on the
// clipboard; while the server is off the field says where to switch it on and Copy is greyed out.
TEST_F(EditWorkDialog, ServeLiveIsSavedAndCopyPutsTheLiveAddressOnTheClipboard) {
    Open(0);
    EXPECT_FALSE(IsWindowEnabled(C("SBCopyLive")));
    EXPECT_EQ(Text("ELiveAddress"), "The live server is off (program settings)");
    form.reset();
    settings.Live.On = true;
    settings.Live.Port = 8802;
    Open(0);
    const std::string address = "http://127.0.0.1:8802/works/File1";
    EXPECT_EQ(Text("ELiveAddress"), address);
    EXPECT_FALSE(win::IsChecked(C("CBServeLive")));
    Click(C("CBServeLive"));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    Click(C("SBCopyLive"));
    EXPECT_EQ(ClipboardText(), address);
    Click(C("SBSave"));
    ASSERT_EQ(form->ModalResult(), 1);
    EXPECT_EQ(Ini("File1", "ServeLive"), "1");
    EXPECT_TRUE(settings.Works.At(0)->Config().ServeLive);
    form.reset();
    settings.Works.At(0)->SetConfig(ReadWork(settings.FileName, "File1"));  // as the next start reads it
    Open(0);
    EXPECT_TRUE(win::IsChecked(C("CBServeLive")));
    Click(C("CBServeLive"));
    Click(C("SBSave"));
    ASSERT_EQ(form->ModalResult(), 1);
    EXPECT_EQ(Ini("File1", "ServeLive"), "<none>");  // off is the behaviour of a file without the key
}

// The picture for the documentation: KW_SCREENSHOT_EDITWORK names the .bmp to write.
TEST_F(EditWorkDialog, Screenshot) {
    lang::test::TProgramFolder shipped;  // the Russian file the program ships
    std::ifstream in(std::string(KW_SOURCE_DIR) + "/dist/KWPAGE.Russian.lng", std::ios::binary);
    shipped.Write("Prog.Russian.lng", std::string(std::istreambuf_iterator<char>(in), {}));
    language = std::make_unique<lang::TLanguage>("Prog.");
    ASSERT_TRUE(language->SelectLanguage(0));
    language->SetDialogView(&view);
    TWorkConfig c = settings.Works.At(0)->Config();
    c.Name = U("Сейчас в эфире");
    c.FileIn = "C:\\KWPAGE\\templates\\now.htm";
    c.FileOut = "C:\\Site\\now playing.html";
    c.Update = 30;
    c.CodePage = 1;
    c.FTP = TFTPUse{true, "ftp.radio.example", 21, true, false, "radio", "secret", "/www", "now.html", true,
                    "0a851b860070807993dbab1cfe0996a0e18581d06ecfa228aec4d0f6f0f48076"};
    c.Publish = TPublishRules{trLetters, "MS", false, 20, true, 10};
    c.ServeLive = true;
    c.Section = "File261207180001";
    settings.Works.At(0)->SetConfig(c);
    settings.Live.On = true;
    // English and Ukrainian at 100 % and 150 % first, then Russian under the names the guides show
    auto shippedFile = [](const std::string& name) {
        std::ifstream file(std::string(KW_SOURCE_DIR) + "/dist/KWPAGE." + name + ".lng", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    for (const char* other : {"English", "Ukrainian"}) {
        SCOPED_TRACE(other);
        lang::test::TProgramFolder alone;  // the program's folder with this language alone
        alone.Write(std::string("Prog.") + other + ".lng", shippedFile(other));
        language = std::make_unique<lang::TLanguage>("Prog.");
        ASSERT_TRUE(language->SelectLanguage(0));
        language->SetDialogView(&view);
        Open(0);
        const std::string base = std::string("editwork-") + (other[0] == 'E' ? "en" : "uk");
        ASSERT_TRUE(kw::test::Shoot(form->Hwnd(), base + "-100"));
        kw::test::ChangeDpi(form->Hwnd(), 144);
        ASSERT_TRUE(kw::test::Shoot(form->Hwnd(), base + "-150"));
        form.reset();
    }
    lang::test::TProgramFolder russian;
    russian.Write("Prog.Russian.lng", shippedFile("Russian"));
    language = std::make_unique<lang::TLanguage>("Prog.");
    ASSERT_TRUE(language->SelectLanguage(0));
    language->SetDialogView(&view);
    Open(0);
    ASSERT_TRUE(kw::test::Shoot(form->Hwnd(), "editwork-100"));
    kw::test::ChangeDpi(form->Hwnd(), 144);
    RECT client;
    GetClientRect(form->Hwnd(), &client);
    EXPECT_GT(client.right, 620 * 144 / 96 - 8);  // laid out again at 150 %
    ASSERT_TRUE(kw::test::Shoot(form->Hwnd(), "editwork-150"));
    // whole on a 1024 x 768 screen at 150 % with every target's group, each chosen as a person does
    kw::test::BringToFront(form->Hwnd());
    for (int target = 0; target < TargetChoiceCount; ++target) {
        SCOPED_TRACE(target);
        ChooseTarget(target);
        ASSERT_EQ(form->TargetIndex(), target);
        RECT outer150;
        GetWindowRect(form->Hwnd(), &outer150);
        EXPECT_LE(outer150.right - outer150.left, 1024);
        EXPECT_LE(outer150.bottom - outer150.top, 768);
    }
    ChooseTarget(tcFTP);  // the work's own target again
    // 125 % and 200 %: laid out for the scale, whole on a 1280 x 1024 screen
    ASSERT_GE(GetSystemMetrics(SM_CYSCREEN), 1024) << "the Windows tests run on a 1280 x 1024 screen";
    for (const auto& [dpi, from] : {std::pair{120, 144}, std::pair{192, 120}}) {
        SCOPED_TRACE(dpi);
        kw::test::ChangeDpi(form->Hwnd(), dpi, from);
        GetClientRect(form->Hwnd(), &client);
        EXPECT_EQ(client.right, win::Scale(620, dpi));
        RECT outer, save;
        GetWindowRect(form->Hwnd(), &outer);
        GetWindowRect(C("SBSave"), &save);
        EXPECT_GE(outer.top, 0);
        EXPECT_LE(outer.bottom, GetSystemMetrics(SM_CYSCREEN));
        EXPECT_GE(outer.left, 0);
        EXPECT_LE(outer.right, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_LE(save.bottom, outer.bottom);
        EXPECT_EQ(save.bottom - save.top, win::Scale(26, dpi) - 2 * win::Scale(1, dpi));
    }
    TDriver driver;  // Save still takes the click: the made-up template file is missing
    Click(C("SBSave"));
    EXPECT_EQ(driver.Messages, std::vector<std::string>{U("Файл шаблона не найден")});
}

// The target list by the mouse: a click opens it, the arrow keys walk it, Enter takes the item.
// The chosen target's group shows, the others hide; what was typed reaches the settings file.
TEST_F(EditWorkDialog, HttpIsChosenWithTheMouseFilledAndSaved) {
    Open(-1);
    kw::test::BringToFront(form->Hwnd());
    FillValid("Icecast", folder.Path("title.txt"));
    Click(C("CBTarget"));  // opens the list; then a click on its third line
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(C("CBTarget"), &info));
    ASSERT_TRUE(kw::test::WaitFor([&] { return IsWindowVisible(info.hwndList) != FALSE; }, 2000));
    RECT item{};
    SendMessageW(info.hwndList, LB_GETITEMRECT, tcHTTP, reinterpret_cast<LPARAM>(&item));
    POINT at{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(info.hwndList, &at);
    kw::test::ClickAtPoint(at);
    kw::test::Settle();
    EXPECT_EQ(SendMessageW(C("CBTarget"), CB_GETDROPPEDSTATE, 0, 0), FALSE);  // the click closed the list
    ASSERT_EQ(form->TargetIndex(), tcHTTP);
    EXPECT_TRUE(IsWindowVisible(C("GBHTTP")));
    EXPECT_TRUE(IsWindowVisible(C("EHTTPCert")));
    EXPECT_FALSE(IsWindowVisible(C("GBFTP")));
    EXPECT_FALSE(IsWindowVisible(C("ETextHost")));
    EXPECT_EQ(SendMessageW(C("EHTTPPass"), EM_GETPASSWORDCHAR, 0, 0), '*');
    SetFocus(C("CBHTTPMethod"));
    kw::test::PressKey(VK_DOWN);  // GET, then POST
    const std::string url = "http://127.0.0.1:8000/admin/metadata?mount=/live&mode=updinfo&song=!KW!SongTitle";
    Type(C("EHTTPURL"), url);
    Type(C("EHTTPUser"), "admin");
    Type(C("EHTTPPass"), "hack me");
    Type(C("EHTTPType"), "text/plain; charset=utf-8");
    Type(C("EHTTPCert"), std::string(64, 'a'));
    TDriver driver;
    Click(C("SBSave"));
    EXPECT_EQ(driver.Messages, std::vector<std::string>{});
    ASSERT_EQ(form->ModalResult(), 1);
    const std::string section = settings.Works.At(1)->Section();
    EXPECT_EQ(Ini(section, "Target"), "HTTP");
    EXPECT_EQ(Ini(section, "HTTPMethod"), "POST");
    EXPECT_EQ(Ini(section, "HTTPURL"), url);
    EXPECT_EQ(Ini(section, "HTTPLogin"), "admin");
    EXPECT_EQ(Ini(section, "HTTPPass"), ScramblePassword("hack me"));  // never plain in the file
    EXPECT_EQ(Ini(section, "HTTPType"), "text/plain; charset=utf-8");
    EXPECT_EQ(Ini(section, "HTTPCert"), std::string(64, 'a'));
    EXPECT_EQ(Ini(section, "UseFTP"), "0");
    EXPECT_EQ(Ini(section, "TextHost"), "<none>");
}

TEST_F(EditWorkDialog, TcpAndUdpAreChosenWithTheKeyboardFilledAndSaved) {
    for (const auto& [target, name] : {std::pair{int(tcTCP), "TCP"}, std::pair{int(tcUDP), "UDP"}}) {
        SCOPED_TRACE(name);
        Open(-1);
        kw::test::BringToFront(form->Hwnd());
        FillValid(std::string("RDS ") + name, folder.Path(std::string("rds-") + name + ".txt"));
        ChooseTarget(target);
        EXPECT_TRUE(IsWindowVisible(C("GBText")));
        EXPECT_FALSE(IsWindowVisible(C("GBHTTP")));
        Type(C("ETextHost"), " 127.0.0.1 ");
        Type(C("ETextPort"), "7001");
        Click(C("SBSave"));
        ASSERT_EQ(form->ModalResult(), 1);
        const std::string section = settings.Works.At(settings.Works.Count() - 1)->Section();
        EXPECT_EQ(Ini(section, "Target"), name);
        EXPECT_EQ(Ini(section, "TextHost"), "127.0.0.1");
        EXPECT_EQ(Ini(section, "TextPort"), "7001");
        EXPECT_EQ(Ini(section, "HTTPURL"), "<none>");
    }
}

// A faulty value of a target gives its message and puts the focus on its field.
TEST_F(EditWorkDialog, FaultyUrlCertificateHostAndPortAreToldAndFocused) {
    Open(-1);
    kw::test::BringToFront(form->Hwnd());
    FillValid("Faults", folder.Path("faults.html"));
    TDriver driver;
    struct TCase {
        std::function<void()> Enter;
        const char* Message;
        const char* Field;
    };
    const TCase cases[] = {
        {[&] { ChooseTarget(tcHTTP); }, "url", "EHTTPURL"},
        {[&] { Type(C("EHTTPURL"), "127.0.0.1/admin"); }, "url", "EHTTPURL"},
        {[&] { Type(C("EHTTPURL"), "https://user:pw@127.0.0.1/"); }, "url", "EHTTPURL"},
        {[&] { Type(C("EHTTPURL"), "https://127.0.0.1/"), Type(C("EHTTPCert"), "AB:CD"); }, "cert", "EHTTPCert"},
        {[&] { ChooseTarget(tcTCP); }, "host", "ETextHost"},
        {[&] { Type(C("ETextHost"), "rds"); }, "port", "ETextPort"},
        {[&] { Type(C("ETextPort"), "0"); }, "port", "ETextPort"},
        {[&] { ChooseTarget(tcUDP), Type(C("ETextPort"), "65536"); }, "port", "ETextPort"},
        {[&] { Type(C("ETextPort"), "x1"); }, "port", "ETextPort"},
        {[&] { ChooseTarget(tcMQTT); }, "broker", "EMQTTHost"},
        {[&] { Type(C("EMQTTHost"), "127.0.0.1"), Type(C("EMQTTTopic"), "radio/#"); }, "topic", "EMQTTTopic"},
    };
    for (const TCase& c : cases) {
        c.Enter();
        driver.Messages.clear();
        Click(C("SBSave"));
        ASSERT_EQ(driver.Messages.size(), 1u) << c.Message;
        EXPECT_EQ(driver.Messages[0], c.Message);
        kw::test::Settle(100);
        EXPECT_EQ(GetFocus(), C(c.Field)) << c.Message;
        EXPECT_EQ(form->ModalResult(), 0);
    }
    EXPECT_EQ(settings.Works.Count(), 1u);

    // Without template and output the MQTT work saves only once the now-playing document,
    // ticked by the mouse, is its message.
    Type(C("EMQTTTopic"), "radio/now"), Type(C("FEFileIn"), ""), Type(C("FEFileOut"), "");
    driver.Messages.clear();
    Click(C("SBSave"));
    ASSERT_EQ(driver.Messages.size(), 1u);
    EXPECT_EQ(driver.Messages[0], "file in");
    Click(C("CBMQTTNowPlaying"));
    driver.Messages.clear();
    Click(C("SBSave"));
    EXPECT_TRUE(driver.Messages.empty()) << driver.Messages[0];
    EXPECT_EQ(form->ModalResult(), 1);
    ASSERT_EQ(settings.Works.Count(), 2u);
    EXPECT_EQ(Ini(settings.Works.At(1)->Section(), "MQTTPayload"), "NowPlaying");
}

// The publishing group by real input: the trigger's list by the keyboard, the check boxes by the
// mouse, the numbers typed. Letters that name no element type are refused with the focus on
// them; what is saved reaches the settings file, and the work read back from it opens with it.
TEST_F(EditWorkDialog, PublishingOptionsAreSetByRealInputSavedAndReadBack) {
    Open(-1);
    kw::test::BringToFront(form->Hwnd());
    FillValid("Icecast title", folder.Path("title.txt"));
    EXPECT_FALSE(IsWindowEnabled(C("ETriggerLetters")));
    EXPECT_FALSE(IsWindowEnabled(C("ERefreshMinutes")));
    EXPECT_EQ(SendMessageW(C("CBTriggerBlock"), BM_GETCHECK, 0, 0), BST_CHECKED);
    for (const char* hinted : {"CBTrigger", "ETriggerLetters", "CBTriggerBlock", "EDelay", "CBOnlyChanged",
                               "ERefreshMinutes"})  // the built-in English hints: the test file has none
        EXPECT_FALSE(kw::test::NamedControl(form->Components(), hinted).Hint().empty()) << hinted;
    SetFocus(C("CBTrigger"));
    kw::test::PressKey(VK_HOME);
    kw::test::PressKey(VK_DOWN);
    kw::test::PressKey(VK_DOWN);  // every element, songs only, letters
    kw::test::Settle();
    ASSERT_TRUE(IsWindowEnabled(C("ETriggerLetters")));
    TDriver driver;
    for (const char* bad : {"", "MX", "M S"}) {
        SCOPED_TRACE(bad);
        Type(C("ETriggerLetters"), bad);
        driver.Messages.clear();
        Click(C("SBSave"));
        EXPECT_EQ(driver.Messages, std::vector<std::string>{"letters"});
        kw::test::Settle(100);
        EXPECT_EQ(GetFocus(), C("ETriggerLetters"));
        EXPECT_EQ(form->ModalResult(), 0);
    }
    Type(C("ETriggerLetters"), " MS ");
    Click(C("CBTriggerBlock"));
    Type(C("EDelay"), "20");
    Click(C("CBOnlyChanged"));
    EXPECT_TRUE(IsWindowEnabled(C("ERefreshMinutes")));
    Type(C("ERefreshMinutes"), "10");
    driver.Messages.clear();
    Click(C("SBSave"));
    EXPECT_EQ(driver.Messages, std::vector<std::string>{});
    ASSERT_EQ(form->ModalResult(), 1);
    const std::string section = settings.Works.At(1)->Section();
    EXPECT_EQ(Ini(section, "Trigger"), "Letters");
    EXPECT_EQ(Ini(section, "TriggerLetters"), "MS");
    EXPECT_EQ(Ini(section, "TriggerBlock"), "0");
    EXPECT_EQ(Ini(section, "Delay"), "20");
    EXPECT_EQ(Ini(section, "OnlyChanged"), "1");
    EXPECT_EQ(Ini(section, "RefreshMinutes"), "10");

    TSettings again;  // as the program reads the file at its next start
    LoadSettings(again);
    ASSERT_EQ(again.Works.Count(), 2u);
    settings.Works.At(1)->SetConfig(again.Works.At(1)->Config());
    form.reset();
    Open(1);
    kw::test::BringToFront(form->Hwnd());
    EXPECT_EQ(SendMessageW(C("CBTrigger"), CB_GETCURSEL, 0, 0), trLetters);
    EXPECT_EQ(Text("ETriggerLetters"), "MS");
    EXPECT_TRUE(IsWindowEnabled(C("ETriggerLetters")));
    EXPECT_EQ(SendMessageW(C("CBTriggerBlock"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(form->EDelay().Value(), 20);
    EXPECT_EQ(SendMessageW(C("CBOnlyChanged"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(form->ERefreshMinutes().Value(), 10);
    EXPECT_TRUE(IsWindowEnabled(C("ERefreshMinutes")));

    // back to the behaviour of a file without the keys: the keys go, the letters with them
    SetFocus(C("CBTrigger"));
    kw::test::PressKey(VK_HOME);
    kw::test::Settle();
    EXPECT_FALSE(IsWindowEnabled(C("ETriggerLetters")));
    Click(C("CBTriggerBlock"));
    Type(C("EDelay"), "0");
    Type(C("ERefreshMinutes"), "");  // empty: never
    Click(C("CBOnlyChanged"));
    EXPECT_FALSE(IsWindowEnabled(C("ERefreshMinutes")));
    Click(C("SBSave"));
    ASSERT_EQ(form->ModalResult(), 1);
    for (const char* key : {"Trigger", "TriggerLetters", "TriggerBlock", "Delay", "OnlyChanged", "RefreshMinutes"})
        EXPECT_EQ(Ini(section, key), "<none>") << key;
}

// A saved HTTP work opens with its target and values; Tab walks the HTTP group in order.
TEST_F(EditWorkDialog, AnHttpWorkOpensWithItsValuesAndTabWalksItsGroup) {
    TWorkConfig c = settings.Works.At(0)->Config();
    SetTargetChoice(c, tcHTTP);
    c.HTTP.Method = hmPUT;
    c.HTTP.URL = "https://127.0.0.1/now";
    c.HTTP.Login = "u";
    c.HTTP.Password = "p";
    settings.Works.At(0)->SetConfig(c);
    Open(0);
    kw::test::BringToFront(form->Hwnd());
    EXPECT_EQ(form->TargetIndex(), tcHTTP);
    EXPECT_EQ(SendMessageW(C("CBHTTPMethod"), CB_GETCURSEL, 0, 0), hmPUT);
    EXPECT_EQ(Text("EHTTPURL"), "https://127.0.0.1/now");
    EXPECT_EQ(Text("EHTTPPass"), "p");
    SetFocus(C("CBTarget"));
    std::vector<HWND> order;
    for (int i = 0; i < 8; ++i) {
        order.push_back(GetFocus());
        kw::test::PressKey(VK_TAB);
    }
    const std::vector<HWND> expected = {C("CBTarget"),  C("CBHTTPMethod"), C("EHTTPURL"),  C("EHTTPUser"),
                                        C("EHTTPPass"), C("EHTTPType"),    C("EHTTPCert"), C("CBCodePage")};
    EXPECT_EQ(order, expected);
}

// Pictures of the editor with each target at 100 % and 150 % for the documentation.
TEST_F(EditWorkDialog, ScreenshotsOfEachTarget) {
    lang::test::TProgramFolder shipped;
    std::ifstream in(std::string(KW_SOURCE_DIR) + "/dist/KWPAGE.Russian.lng", std::ios::binary);
    shipped.Write("Prog.Russian.lng", std::string(std::istreambuf_iterator<char>(in), {}));
    language = std::make_unique<lang::TLanguage>("Prog.");
    ASSERT_TRUE(language->SelectLanguage(0));
    language->SetDialogView(&view);
    for (const auto& [target, name] : {std::pair{int(tcFileOnly), "file"}, std::pair{int(tcHTTP), "http"},
                                       std::pair{int(tcTCP), "tcp"}, std::pair{int(tcUDP), "udp"},
                                       std::pair{int(tcMQTT), "mqtt"}}) {
        TWorkConfig c = settings.Works.At(0)->Config();
        c.Name = U("Сейчас в эфире");
        c.FileIn = "C:\\KWPAGE\\templates\\icecast.txt";
        c.FileOut = "C:\\KWPAGE\\out\\title.txt";
        c.CodePage = 1;
        c.Escaping = 4;
        SetTargetChoice(c, static_cast<TTargetChoice>(target));
        c.HTTP.URL = "http://127.0.0.1:8000/admin/metadata?mount=/live&mode=updinfo&charset=UTF-8&song=!KW!SongTitle";
        c.HTTP.Login = "admin";
        c.HTTP.Password = "hackme";
        c.Text.Host = "192.168.1.50";
        c.Text.Port = 7001;
        c.MQTT.Host = "broker.example";
        c.MQTT.User = "studio1";
        c.MQTT.Password = "hackme";
        c.MQTT.Topic = "radio/studio1/nowplaying";
        c.MQTT.Payload = mpNowPlaying;
        settings.Works.At(0)->SetConfig(c);
        Open(0);
        const std::string base = std::string("editwork-") + name;
        ASSERT_TRUE(kw::test::Shoot(form->Hwnd(), base + "-100"));
        kw::test::ChangeDpi(form->Hwnd(), 144);
        ASSERT_TRUE(kw::test::Shoot(form->Hwnd(), base + "-150"));
        RECT outer, save;
        GetWindowRect(form->Hwnd(), &outer);
        GetWindowRect(C("SBSave"), &save);
        EXPECT_LE(save.bottom, outer.bottom);
        EXPECT_LE(outer.bottom, GetSystemMetrics(SM_CYSCREEN));
        form.reset();
    }
}

} // namespace
