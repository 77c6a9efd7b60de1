// The program settings dialog under Wine: language list and switch, the PID's limits, the
// outcome of saving and of the close box, and start with Windows over the real (Wine) registry.
#include "dialogs/ChangePid_win32.h"
#include "config/EditWorkText.h"
#include "works/Settings.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "tests/ui/dialog_driver_win32_test.h"
#include "tests/ui/Screenshot_win32.h"
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

using namespace kw;
using kw::test::Click;
using kw::test::TDriver;
using kw::test::Type;
namespace test = kw::test;
using registry::TRootKey;

std::string U(const char* utf8) { return win::AnsiFromUtf8(utf8); }

struct ChangePidDialog : ::testing::Test {
    lang::test::TProgramFolder folder;
    TSettings settings;
    std::unique_ptr<lang::TLanguage> language;
    std::unique_ptr<TFChangePID> form;
    std::vector<std::pair<TRootKey, std::string>> planted;

    void SetUp() override {
        folder.WriteLines("Prog.English.lng", {"[Constants]", "Language=English", "[FChangePID]", "Caption=Set PID",
                                               "LSetPID=Program group", "CBTray=Hide to the tray"});
        folder.WriteLines("Prog.Russian.lng", {"[Constants]", "Language=" + U("Русский"), "[FChangePID]",
                                               "CBTray=" + U("В трей"), "Dialog.BadLivePort=live port"});
        settings.FileName = folder.Path("Prog.ini");
        settings.Language = "Russian";  // as stored before any save: matched by base name
        language = std::make_unique<lang::TLanguage>("Prog.");
        ASSERT_TRUE(language->SelectLanguage(1));
        ClearOurValues();
    }
    void TearDown() override {
        test::KeyboardWindow() = nullptr;
        form.reset();
        ClearOurValues();
        for (const auto& [root, name] : planted)
            (void)registry::DeleteValue(root, RunKeyPath, name);
    }
    // Every Run value of either key that starts this test's program.
    void ClearOurValues() {
        for (TRootKey root : {TRootKey::CurrentUser, TRootKey::LocalMachine}) {
            std::vector<registry::TRegValue> values;
            if (!registry::ReadValues(root, RunKeyPath, false, values))
                continue;
            for (const auto& v : values)
                if (v.IsText && AnsiUpperCase(v.Data).find("PROG.EXE") != std::string::npos)
                    (void)registry::DeleteValue(root, RunKeyPath, v.Name);
        }
    }
    void Plant(TRootKey root, const std::string& name, const std::string& data) {
        ASSERT_TRUE(registry::WriteString(root, RunKeyPath, name, data));
        planted.emplace_back(root, name);
    }
    std::vector<registry::TRegValue> UserValuesStartingUs() {
        std::vector<registry::TRegValue> values, ours;
        EXPECT_TRUE(registry::ReadValues(TRootKey::CurrentUser, RunKeyPath, false, values));
        for (const auto& v : values)
            if (v.IsText && AnsiUpperCase(v.Data) == AnsiUpperCase(fs::ProgramPath()))
                ours.push_back(v);
        return ours;
    }
    void Open(int pid = 7) {
        form = std::make_unique<TFChangePID>(settings, *language);
        ASSERT_TRUE(form->Create(nullptr, pid));
        ShowWindow(form->Hwnd(), SW_SHOW);
        win::PumpMessages();
        test::KeyboardWindow() = form->Hwnd();  // Tab, Enter and Escape as in its modal loop
    }
    HWND C(const char* name) const { return kw::test::Named(form->Components(), name); }
    std::string Text(const char* name) const { return win::GetText(C(name)); }
};

TEST_F(ChangePidDialog, OpensWithTheLanguagesThePidAndBuiltInCaptions) {
    Open(7);
    const auto& list = kw::test::NamedControl(form->Components(), "CBLanguage");
    ASSERT_EQ(list.ItemCount(), 2);
    EXPECT_EQ(list.Item(0), "English");
    EXPECT_EQ(list.Item(1), U("Русский"));
    EXPECT_EQ(list.ItemIndex(), 1);  // "Russian" found by its base name
    EXPECT_EQ(win::GetText(form->Hwnd()), "Set PID");  // keys the Russian file lacks: built-in English
    EXPECT_EQ(Text("LSetPID"), "Program group (PID)");
    EXPECT_EQ(Text("CBTray"), U("В трей"));
    EXPECT_EQ(Text("EPid"), "7");
    EXPECT_FALSE(GetWindowLongPtrW(form->Hwnd(), GWL_STYLE) & WS_THICKFRAME);
    // The PID stays within 1..32767 whatever is typed.
    for (const auto& [typed, value] : {std::pair{"0", 1}, {"32768", 32767}, {"99999", 32767}, {"250", 250}}) {
        Type(C("EPid"), typed);
        EXPECT_EQ(form->Pid(), value) << typed;
    }
    int low = 0, high = 0;
    SendMessageW(form->EPid().UpDown(), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 32767);
}

// Every control by the mouse and by the keyboard: Tab visits them all in order, the spin
// arrows and the arrow keys change the number, Space ticks a box, Enter saves.
TEST_F(ChangePidDialog, EveryControlWorksWithTheMouseAndTheKeyboard) {
    Open(7);
    test::BringToFront(form->Hwnd());
    SetFocus(C("CBLanguage"));
    std::vector<HWND> order;
    for (int i = 0; i < 6; ++i) {
        order.push_back(GetFocus());
        test::PressKey(VK_TAB);
    }
    // the live group's fields are greyed out while its server is off
    EXPECT_EQ(order, (std::vector<HWND>{C("CBLanguage"), C("EPid"), C("CBAutoStart"), C("CBTray"), C("CBLiveServer"),
                                        C("SBSave")}));
    EXPECT_EQ(GetFocus(), C("CBLanguage"));  // round again
    RECT arrows;
    GetWindowRect(form->EPid().UpDown(), &arrows);
    test::BringToFront(form->Hwnd());
    test::ClickAtPoint(POINT{(arrows.left + arrows.right) / 2, arrows.top + (arrows.bottom - arrows.top) / 4});
    test::Settle();
    EXPECT_EQ(form->Pid(), 8);
    SetFocus(C("EPid"));
    test::PressKey(VK_UP);
    test::PressKey(VK_UP);
    EXPECT_EQ(form->Pid(), 10);
    SetFocus(C("CBTray"));
    test::PressKey(VK_SPACE);
    EXPECT_TRUE(win::IsChecked(C("CBTray")));
    Click(C("CBTray"));
    EXPECT_FALSE(win::IsChecked(C("CBTray")));
    Click(C("CBAutoStart"));
    EXPECT_TRUE(win::IsChecked(C("CBAutoStart")));
    EXPECT_EQ(UserValuesStartingUs().size(), 1u);  // the click registered the program
    Click(C("CBAutoStart"));
    EXPECT_TRUE(UserValuesStartingUs().empty());
    SetFocus(C("CBTray"));
    test::PressKey(VK_RETURN);  // Enter anywhere saves: the dialog is one short row of choices
    EXPECT_EQ(form->ModalResult(), 1);
}

TEST_F(ChangePidDialog, EscapeClosesLikeTheCloseBox) {
    Open(7);
    test::BringToFront(form->Hwnd());
    SetFocus(C("EPid"));
    test::PressKey(VK_ESCAPE);
    EXPECT_EQ(form->ModalResult(), 2);
}

// Opens the drop-down with the mouse and waits until it is down: a key meant for the open list
// would otherwise reach the dialog, where Enter saves. A click that lands while the last list is
// still closing (a loaded machine) closes it instead, so the click is tried again.
void DropDown(HWND list) {
    auto down = [list] { return SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0) != 0; };
    for (int attempt = 0; attempt < 3 && !down(); ++attempt) {
        test::WaitFor([&] { return !down(); }, 2000);
        Click(list);
        test::WaitFor(down, 3000);
    }
    ASSERT_TRUE(down());
}

TEST_F(ChangePidDialog, ChoosingALanguageSwitchesAndRetranslatesAtOnce) {
    Open();
    HWND list = C("CBLanguage");
    ASSERT_NO_FATAL_FAILURE(DropDown(list));  // the keyboard picks the first language
    test::PressKey(VK_HOME);
    test::PressKey(VK_RETURN);
    test::Settle();
    EXPECT_EQ(fs::ExtractFileName(language->CurrentFile()), "Prog.English.lng");
    EXPECT_EQ(win::GetText(form->Hwnd()), "Set PID");
    EXPECT_EQ(Text("LSetPID"), "Program group");
    EXPECT_EQ(Text("CBTray"), "Hide to the tray");
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
    // and back: what the Russian file lacks is the built-in text, not the English file's
    ASSERT_NO_FATAL_FAILURE(DropDown(list));
    test::PressKey(VK_END);
    test::PressKey(VK_RETURN);
    test::Settle();
    EXPECT_EQ(Text("LSetPID"), "Program group (PID)");
    EXPECT_EQ(Text("CBTray"), U("В трей"));
    ASSERT_NO_FATAL_FAILURE(DropDown(list));
    test::PressKey(VK_HOME);
    test::PressKey(VK_RETURN);
    test::Settle();
    EXPECT_EQ(Text("LSetPID"), "Program group");
    EXPECT_EQ(settings.Language, "Russian");  // stored only on saving
    Click(C("CBTray"));
    Click(C("SBSave"));
    EXPECT_EQ(form->ModalResult(), 1);
    EXPECT_EQ(settings.Language, "English.lng");
    EXPECT_TRUE(settings.Hide);
}

TEST_F(ChangePidDialog, SaveAndTheCloseBoxThroughEditProgramSettings) {
    auto dialog = [] { return FindWindowW(L"TFChangePID", nullptr); };
    {
        TDriver driver;
        driver.Steps = {[&] { Type(GetDlgItem(dialog(), TFChangePID::IDC_EPID), "42"); },
                        [&] { Click(GetDlgItem(dialog(), TFChangePID::IDC_CBTRAY)); },
                        [&] { PostMessageW(dialog(), WM_CLOSE, 0, 0); }};
        EXPECT_EQ(EditProgramSettings(nullptr, settings, *language, 7), 42);  // the close box takes the number
    }
    EXPECT_FALSE(settings.Hide);  // ...but not the other values
    EXPECT_EQ(settings.Language, "Russian");
    {
        TDriver driver;
        driver.Steps = {[&] { Type(GetDlgItem(dialog(), TFChangePID::IDC_EPID), "43"); },
                        [&] { Click(GetDlgItem(dialog(), TFChangePID::IDC_CBTRAY)); },
                        [&] { kw::test::QueueKey(VK_RETURN); }};
        settings.PID = 7;
        EXPECT_TRUE(SBPidClick(nullptr, settings, *language));
    }
    EXPECT_EQ(settings.PID, 43);
    EXPECT_TRUE(settings.Hide);
    EXPECT_EQ(settings.Language, "Russian.lng");
    EXPECT_EQ(profile::ReadString(settings.FileName, "Settings", "PID", ""), "43");
    EXPECT_EQ(profile::ReadString(settings.FileName, "Settings", "Language", ""), "Russian.lng");
    EXPECT_EQ(FindWindowW(L"TFChangePID", nullptr), nullptr);
}

// The live pages' group by the mouse and the keys: greyed out while off, a port the server
// cannot use refused with the focus on it, a key made when other computers are let in and
// another by "New key"; saved into [Settings] and shown again by a dialog over the file.
TEST_F(ChangePidDialog, LivePagesAreSetCheckedSavedAndReadBack) {
    lang::TMessageDialogWin32 view{nullptr};
    language->SetDialogView(&view);
    auto dialog = [] { return FindWindowW(L"TFChangePID", nullptr); };
    auto item = [&](int id) { return test::Descendant(dialog(), id); };
    bool greyedWhileOff = false, keyGreyedWhileLocal = false, portFocused = false;
    std::string firstKey, newKey;
    {
        TDriver driver;
        driver.Steps = {
            [&] {
                greyedWhileOff = !IsWindowEnabled(item(TFChangePID::IDC_ELIVEPORT)) &&
                                 !IsWindowEnabled(item(TFChangePID::IDC_CBLIVEOTHER)) &&
                                 !IsWindowEnabled(item(TFChangePID::IDC_SBNEWKEY));
                Click(item(TFChangePID::IDC_CBLIVESERVER));
            },
            [&] {
                keyGreyedWhileLocal = IsWindowEnabled(item(TFChangePID::IDC_ELIVEPORT)) &&
                                      !IsWindowEnabled(item(TFChangePID::IDC_SBNEWKEY));
                Type(item(TFChangePID::IDC_ELIVEPORT), "70000");
            },
            [&] { Click(item(TFChangePID::IDC_SBSAVE)); },  // refused: the message is answered
            [&] {},
            [&] { portFocused = GetFocus() == item(TFChangePID::IDC_ELIVEPORT); },
            [&] { Type(item(TFChangePID::IDC_ELIVEPORT), "8801"); },
            [&] { Click(item(TFChangePID::IDC_CBLIVEOTHER)); },
            [&] {
                firstKey = win::GetText(item(TFChangePID::IDC_ELIVEKEY));
                Click(item(TFChangePID::IDC_SBNEWKEY));
            },
            [&] {
                newKey = win::GetText(item(TFChangePID::IDC_ELIVEKEY));
                Click(item(TFChangePID::IDC_SBSAVE));
            }};
        EXPECT_TRUE(SBPidClick(nullptr, settings, *language));
        EXPECT_EQ(driver.Messages, std::vector<std::string>{"live port"});
    }
    EXPECT_TRUE(greyedWhileOff);
    EXPECT_TRUE(keyGreyedWhileLocal);
    EXPECT_TRUE(portFocused);
    EXPECT_TRUE(UsableAccessKey(firstKey)) << firstKey;
    EXPECT_TRUE(UsableAccessKey(newKey)) << newKey;
    EXPECT_NE(newKey, firstKey);
    EXPECT_EQ(settings.Live.AccessKey, newKey);
    for (const auto& [key, value] : {std::pair<const char*, std::string>{"LiveServer", "1"}, {"LivePort", "8801"},
                                     {"LiveOtherComputers", "1"}, {"LiveKey", newKey}})
        EXPECT_EQ(profile::ReadString(settings.FileName, "Settings", key, "<none>"), value) << key;

    TSettings reread;
    static_cast<TProgramSettings&>(reread) = ReadProgramSettings(settings.FileName);
    reread.FileName = settings.FileName;
    form = std::make_unique<TFChangePID>(reread, *language);
    ASSERT_TRUE(form->Create(nullptr, 7));
    ShowWindow(form->Hwnd(), SW_SHOW);
    win::PumpMessages();
    test::KeyboardWindow() = form->Hwnd();
    EXPECT_TRUE(win::IsChecked(C("CBLiveServer")));
    EXPECT_TRUE(win::IsChecked(C("CBLiveOther")));
    EXPECT_EQ(Text("ELivePort"), "8801");
    EXPECT_EQ(Text("ELiveKey"), newKey);
    EXPECT_TRUE(IsWindowEnabled(C("SBNewKey")));
    // switched off again: the keys go from the file, the key itself stays for the next time
    Click(C("CBLiveServer"));
    EXPECT_FALSE(IsWindowEnabled(C("ELivePort")));
    Click(C("CBLiveOther"));  // greyed out: the click changes nothing
    EXPECT_TRUE(win::IsChecked(C("CBLiveOther")));
    Click(C("SBSave"));
    ASSERT_EQ(form->ModalResult(), 1);
    ASSERT_TRUE(SaveProgramSettings(reread));
    EXPECT_EQ(profile::ReadString(settings.FileName, "Settings", "LiveServer", "<none>"), "<none>");
    EXPECT_EQ(profile::ReadString(settings.FileName, "Settings", "LivePort", "<none>"), "8801");
}

TEST_F(ChangePidDialog, AnEmptyLanguageListLeavesTheLanguageAlone) {
    lang::test::TProgramFolder empty;  // no language file beside this program
    lang::TLanguage none("Prog.");
    TFChangePID dlg(settings, none);
    ASSERT_TRUE(dlg.Create(nullptr, 3));
    ShowWindow(dlg.Hwnd(), SW_SHOW);
    Click(kw::test::Named(dlg.Components(), "SBSave"));
    EXPECT_EQ(dlg.ModalResult(), 1);
    EXPECT_EQ(settings.Language, "Russian");
}

TEST_F(ChangePidDialog, RunValueInAnotherCaseCountsButAQuotedOneDoesNot) {
    std::string lower = fs::ProgramPath();
    CharLowerBuffA(lower.data(), static_cast<DWORD>(lower.size()));
    ASSERT_NE(lower, fs::ProgramPath());
    Plant(TRootKey::CurrentUser, "Other name", lower);
    Open();
    EXPECT_TRUE(win::IsChecked(C("CBAutoStart")));
    EXPECT_EQ(UserValuesStartingUs().size(), 1u);  // nothing added: one exists
    form.reset();

    ClearOurValues();
    Plant(TRootKey::CurrentUser, "Quoted", "\"" + fs::ProgramPath() + "\" /min");
    Open();
    EXPECT_FALSE(win::IsChecked(C("CBAutoStart")));
    Click(C("CBAutoStart"));  // at once, without saving
    const auto ours = UserValuesStartingUs();
    ASSERT_EQ(ours.size(), 1u);
    EXPECT_EQ(ours[0].Name, "PROG");
    EXPECT_EQ(ours[0].Data, fs::ProgramPath());
}

TEST_F(ChangePidDialog, UntickingRemovesEveryUserValueButTheMachineWideOneReturns) {
    Plant(TRootKey::CurrentUser, "A", fs::ProgramPath());
    Plant(TRootKey::CurrentUser, "B", AnsiUpperCase(fs::ProgramPath()));
    Plant(TRootKey::LocalMachine, "KwMachine", fs::ProgramPath());
    Open();
    EXPECT_TRUE(win::IsChecked(C("CBAutoStart")));
    Click(C("CBAutoStart"));
    EXPECT_TRUE(UserValuesStartingUs().empty());
    std::vector<registry::TRegValue> machine;
    ASSERT_TRUE(registry::ReadValues(TRootKey::LocalMachine, RunKeyPath, false, machine));
    EXPECT_TRUE(std::any_of(machine.begin(), machine.end(), [](const auto& v) { return v.Name == "KwMachine"; }));
    form.reset();

    Open();  // the machine-wide value still registers the program: ticked, and a user value again
    EXPECT_TRUE(win::IsChecked(C("CBAutoStart")));
    EXPECT_EQ(UserValuesStartingUs().size(), 1u);
}

// The picture for the documentation: KW_SCREENSHOT_CHANGEPID names the .bmp to write.
TEST_F(ChangePidDialog, Screenshot) {
    lang::test::TProgramFolder shipped;  // the program's own language files
    for (const char* name : {"English", "Russian", "Ukrainian"}) {
        std::ifstream in(std::string(KW_SOURCE_DIR) + "/dist/KWPAGE." + name + ".lng", std::ios::binary);
        shipped.Write(std::string("Prog.") + name + ".lng", std::string(std::istreambuf_iterator<char>(in), {}));
    }
    settings.Hide = true;
    settings.Live = TLiveSettings{true, 8719, true, "Zq4mT8wLr2VbN6yHc3XkPs9D"};
    // Russian, the stations' language, under the names the guides show; then English and Ukrainian
    for (const auto& [file, suffix] : {std::pair{"Russian.lng", ""}, {"English.lng", "-en"}, {"Ukrainian.lng", "-uk"}}) {
        SCOPED_TRACE(file);
        language = std::make_unique<lang::TLanguage>("Prog.");
        settings.Language = file;
        ASSERT_TRUE(language->SelectLanguage(language->IndexOfLanguage(file)));
        Open(1);
        const std::string base = std::string("changepid") + suffix;
        ASSERT_TRUE(kw::test::Shoot(form->Hwnd(), base + "-100"));
        kw::test::ChangeDpi(form->Hwnd(), 144);
        RECT client;
        GetClientRect(form->Hwnd(), &client);
        EXPECT_GT(client.right, 300 * 144 / 96 - 8);  // laid out again at 150 %
        ASSERT_TRUE(kw::test::Shoot(form->Hwnd(), base + "-150"));
        form.reset();
    }
}

} // namespace
