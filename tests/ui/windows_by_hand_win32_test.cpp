// The dialogs as a person meets them under Wine, by the pointer and the keys (SendInput): every
// drop-down closed each way a person closes one, with the next click landing where it was aimed;
// the work editor's target switched in every order and compared, pixel by pixel, with the
// target chosen directly; the captions measured at four scales in the shipped languages; the
// preview's page folder made afresh and gone with the preview.
#include "works/Settings.h"
#include "dialogs/ChangePid_win32.h"
#include "dialogs/EditWork_win32.h"
#include "dialogs/Preview_win32.h"
#include "dialogs/SelectFtpDir_win32.h"
#include "dialogs/TagList_win32.h"
#include "lang/BuiltinTexts.h"
#include "platform/FileSystem.h"
#include "ui/TagReference.h"
#include "tests/ui/dialog_driver_win32_test.h"
#include "tests/ui/CaptionFit_win32.h"
#include "tests/ui/RealInput_win32.h"
#include "tests/ui/Screenshot_win32.h"
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>

namespace {

using namespace kw;
using kw::test::TDriver;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const char* const Languages[] = {"Russian", "English", "Ukrainian"};

// A program folder with one shipped language file, the editor's settings and a template.
struct Dialogs : ::testing::Test {
    lang::test::TProgramFolder folder;
    TSettings settings;
    std::unique_ptr<lang::TLanguage> language;
    lang::TMessageDialogWin32 view{nullptr};
    std::unique_ptr<TFEditWork> form;

    void SetUp() override { UseLanguage("Russian"); }
    void TearDown() override {
        kw::test::KeyboardWindow() = nullptr;
        form.reset();
        OpenPreviewPageHook = nullptr;
    }
    void UseLanguage(const std::string& name) {
        form.reset();
        language.reset();
        for (const char* l : Languages)
            folder.Remove(std::string("Prog.") + l + ".lng");
        folder.Write("Prog." + name + ".lng", ReadFile(std::string(KW_SOURCE_DIR) + "/dist/KWPAGE." + name + ".lng"));
        settings.FileName = folder.Path("Prog.ini");
        language = std::make_unique<lang::TLanguage>("Prog.");
        ASSERT_TRUE(language->SelectLanguage(0));
        language->SetDialogView(&view);
    }
    void Open() {
        form = std::make_unique<TFEditWork>(settings, *language);
        ASSERT_TRUE(form->Create(nullptr));
        form->FillData(-1);
        ShowWindow(form->Hwnd(), SW_SHOW);
        win::PumpMessages();
        kw::test::KeyboardWindow() = form->Hwnd();
        kw::test::BringToFront(form->Hwnd());
    }
    HWND C(const char* name) const { return kw::test::Named(form->Components(), name); }

    // Opens the list by a click on the drop-down and picks `item` with a click on its line.
    static void ClickItem(HWND combo, int item) {
        kw::test::ClickOn(combo);
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetComboBoxInfo(combo, &info));
        ASSERT_TRUE(kw::test::WaitFor([&] { return IsWindowVisible(info.hwndList) != FALSE; }, 2000));
        RECT r{};
        SendMessageW(info.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&r));
        POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(info.hwndList, &at);
        kw::test::ClickAtPoint(at);
        kw::test::Settle(200);
    }
};

bool Dropped(HWND combo) { return SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != FALSE; }

enum class TClose { DownEnter, Enter, ClickItem, Escape, ClickOutside };
const char* Name(TClose c) {
    switch (c) {
    case TClose::DownEnter: return "Down+Enter";
    case TClose::Enter: return "Enter";
    case TClose::ClickItem: return "click on an item";
    case TClose::Escape: return "Escape";
    default: return "click outside";
    }
}

// Opens `combo`'s list by a click and closes it the way `how` says.
void OpenAndClose(HWND combo, TClose how, HWND outside) {
    kw::test::Settle(600);  // no double click with the click before
    kw::test::ClickOn(combo);
    ASSERT_TRUE(kw::test::WaitFor([&] { return Dropped(combo); }, 2000)) << "the click did not open the list";
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    const int now = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    switch (how) {
    case TClose::DownEnter:
        kw::test::PressKey(now + 1 < count ? VK_DOWN : VK_UP);
        kw::test::PressKey(VK_RETURN);
        break;
    case TClose::Enter: kw::test::PressKey(VK_RETURN); break;
    case TClose::Escape: kw::test::PressKey(VK_ESCAPE); break;
    case TClose::ClickItem: {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(combo, &info);
        RECT r{};
        SendMessageW(info.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(now + 1 < count ? now + 1 : 0),
                     reinterpret_cast<LPARAM>(&r));
        POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(info.hwndList, &at);
        kw::test::ClickAtPoint(at);
        break;
    }
    case TClose::ClickOutside: kw::test::ClickAtPoint(kw::test::CentreOf(outside)); break;
    }
    kw::test::Settle(250);
}

// Each drop-down of the editor, closed each way; the next click, on a field or on another
// drop-down, lands there. The editor's target list re-lays the form out: Down+Enter on it, then
// a click on the escaping list opened the target list again and the next Escape closed the
// whole editor.
TEST_F(Dialogs, EveryDropDownOfTheEditorClosesAndTheNextClickLandsWhereAimed) {
    Open();
    struct TList {
        const char* Name;
        int Target;  // the target whose group holds it
    };
    const TList lists[] = {{"CBTarget", tcFileOnly}, {"CBCodePage", tcFileOnly}, {"CBEscaping", tcFileOnly},
                           {"CBHTTPMethod", tcHTTP}};
    for (const TList& l : lists)
        for (TClose how : {TClose::DownEnter, TClose::Enter, TClose::ClickItem, TClose::Escape, TClose::ClickOutside}) {
            SCOPED_TRACE(std::string(l.Name) + ", " + Name(how));
            if (form->TargetIndex() != l.Target && std::string(l.Name) != "CBTarget")
                ClickItem(C("CBTarget"), l.Target);
            HWND combo = C(l.Name);
            OpenAndClose(combo, how, C("LName"));
            EXPECT_FALSE(Dropped(combo));
            // the next click on a field takes the focus there
            kw::test::ClickAtPoint(kw::test::CentreOf(C("EName")));
            kw::test::Settle(150);
            EXPECT_EQ(GetFocus(), C("EName"));
            EXPECT_FALSE(Dropped(combo));
            // and a click on another drop-down opens that one, whose Escape closes only its list
            HWND other = combo == C("CBEscaping") ? C("CBCodePage") : C("CBEscaping");
            kw::test::ClickAtPoint(kw::test::CentreOf(other));
            EXPECT_TRUE(kw::test::WaitFor([&] { return Dropped(other); }, 1500)) << "the click missed the list aimed at";
            EXPECT_FALSE(Dropped(combo));
            kw::test::PressKey(VK_ESCAPE);
            kw::test::Settle(150);
            EXPECT_FALSE(Dropped(other));
            EXPECT_EQ(form->ModalResult(), 0) << "Escape closed the editor";
            ASSERT_TRUE(IsWindowVisible(form->Hwnd()));
        }
}

// The settings dialog's language list: choosing a language by Down+Enter switches it once the
// list has closed, and the next click lands on the PID field.
TEST_F(Dialogs, TheLanguageListSwitchesOnceClosedAndTheNextClickLands) {
    folder.Write("Prog.English.lng", ReadFile(std::string(KW_SOURCE_DIR) + "/dist/KWPAGE.English.lng"));
    language = std::make_unique<lang::TLanguage>("Prog.");
    ASSERT_TRUE(language->SelectLanguage(0));
    language->SetDialogView(&view);
    TFChangePID pid(settings, *language);
    ASSERT_TRUE(pid.Create(nullptr, 7));
    ShowWindow(pid.Hwnd(), SW_SHOW);
    kw::test::KeyboardWindow() = pid.Hwnd();
    HWND list = kw::test::Named(pid.Components(), "CBLanguage");
    HWND field = kw::test::Named(pid.Components(), "EPid");
    for (TClose how : {TClose::DownEnter, TClose::Enter, TClose::ClickItem, TClose::Escape, TClose::ClickOutside}) {
        SCOPED_TRACE(Name(how));
        OpenAndClose(list, how, kw::test::Named(pid.Components(), "LSetPID"));
        EXPECT_FALSE(Dropped(list));
        const int now = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
        // the list holds English, then Russian: the dialog speaks the one chosen
        const std::string expected = now == 0 ? "Program group (PID)" : win::AnsiFromUtf8("Укажите группу программ (PID)");
        EXPECT_EQ(win::GetText(kw::test::Named(pid.Components(), "LSetPID")), expected);
        EXPECT_EQ(fs::ExtractFileName(language->CurrentFile()), now == 0 ? "Prog.English.lng" : "Prog.Russian.lng");
        kw::test::ClickAtPoint(kw::test::CentreOf(field));
        kw::test::Settle(150);
        EXPECT_EQ(GetFocus(), field);
        EXPECT_FALSE(Dropped(list));
        EXPECT_EQ(pid.ModalResult(), 0);
    }
}

// The client area of the form as the screen shows it, without asking for a repaint.
std::vector<uint32_t> FormPixels(HWND form) {
    RECT r;
    GetClientRect(form, &r);
    MapWindowPoints(form, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return kw::test::ScreenPixels(r);
}

size_t Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size())
        return std::max(a.size(), b.size());
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i] ? 1 : 0;
    return n;
}

// Every switch from one target to another (all twenty ordered pairs, File only -> HTTP(S) -> FTP
// among them), by the mouse, leaves the form exactly as choosing the target directly does.
TEST_F(Dialogs, TargetSwitchesInEveryOrderLeaveNoGhosts) {
    for (int dpi : {96, 144}) {
        SCOPED_TRACE(dpi);
        std::map<int, std::vector<uint32_t>> direct;
        auto shot = [&]() {
            SetCursorPos(0, 0);  // no hover edge, no hint
            kw::test::Settle(250);
            return FormPixels(form->Hwnd());
        };
        for (int t = 0; t < TargetChoiceCount; ++t) {
            Open();
            if (dpi != 96)
                kw::test::ChangeDpi(form->Hwnd(), dpi);
            kw::test::BringToFront(form->Hwnd());
            ClickItem(C("CBTarget"), t);
            ASSERT_EQ(form->TargetIndex(), t);
            direct[t] = shot();
        }
        Open();
        if (dpi != 96)
            kw::test::ChangeDpi(form->Hwnd(), dpi);
        kw::test::BringToFront(form->Hwnd());
        // an Euler circuit of the complete graph on the five targets: every ordered pair once
        const int order[] = {0, 2, 1, 0, 3, 1, 2, 0, 4, 1, 3, 2, 4, 3, 0, 1, 4, 2, 3, 4, 0};
        int ghosts = 0;
        for (size_t i = 1; i < std::size(order); ++i) {
            ClickItem(C("CBTarget"), order[i]);
            ASSERT_EQ(form->TargetIndex(), order[i]);
            const size_t diff = Differing(shot(), direct[order[i]]);
            if (diff) {
                ++ghosts;
                char name[64];
                std::snprintf(name, sizeof name, "ghost-%d-from-%d-to-%d", dpi, order[i - 1], order[i]);
                kw::test::SaveWindowPng(form->Hwnd(), kw::test::ScreenshotDir() + "/" + name + ".png");
            }
            EXPECT_EQ(diff, 0u) << "from " << order[i - 1] << " to " << order[i];
        }
        std::printf("target switches at %d dpi: %zu, differing from the direct choice: %d\n", dpi,
                    std::size(order) - 1, ghosts);
        ASSERT_TRUE(kw::test::Shoot(form->Hwnd(), "editor-after-switches-" + std::to_string(dpi)));
    }
}

// A text a person would find missing or in another language: a caption, hint or list item
// the built-in English has a key for that shows empty, that shows a Cyrillic letter in the
// English program, or whose key the chosen file lacks (the built-in English shows instead).
std::vector<std::string> TextFaults(win::TFormComponents& form, const lang::TLanguage& language, bool english) {
    std::unique_ptr<lang::TSectionList> list;
    language.LoadSection(form.Name(), list);
    const auto file = list->Snapshot();
    std::vector<std::string> faults;
    auto check = [&](const std::string& key, const std::string& shown) {
        const bool cyrillic = std::any_of(shown.begin(), shown.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0xC0;
        });
        // a text without a built-in key is the control's own (a number, "..."): only its letters count
        const bool language = !lang::BuiltinText(form.Name(), key).empty();
        if ((english && cyrillic) || (language && (shown.empty() || !file->Find(key))))
            faults.push_back(form.Name() + "." + key + ": \"" + shown + "\"");
    };
    check("Caption", form.Caption());
    for (int i = 0; i < form.ComponentCount(); ++i) {
        win::TControl& c = form.Control(i);
        check(c.Name(), c.Caption());
        check(c.Name() + ".Hint", c.Hint());
        for (int item = 0; item < c.ItemCount(); ++item)
            check(c.Name() + "." + std::to_string(item + 1), c.Item(item));
    }
    return faults;
}

// Every caption of the editor (each target's group), the settings dialog, the tag list, the
// preview and the FTP folder browser shows whole at 100, 125, 150 and 200 % in each shipped language, and none is missing
// or left in another language.
TEST_F(Dialogs, EveryCaptionShowsWholeAtEveryScaleInEveryLanguage) {
    int total = 0;
    for (const char* lang : Languages) {
        UseLanguage(lang);
        for (int dpi : {96, 120, 144, 192}) {
            std::vector<kw::test::TCutCaption> cut;
            Open();
            std::vector<std::string> faults;
            auto texts = [&](win::TFormComponents& f) {
                for (const std::string& t : TextFaults(f, *language, std::string(lang) == "English"))
                    faults.push_back(t);
            };
            if (dpi == 96)
                texts(form->Components());
            kw::test::ChangeDpi(form->Hwnd(), dpi);
            for (int t = 0; t < TargetChoiceCount; ++t) {
                SendMessageW(C("CBTarget"), CB_SETCURSEL, static_cast<WPARAM>(t), 0);
                form->CBTargetChange();
                for (const auto& c : kw::test::CutCaptions(form->Hwnd(), dpi))
                    if (std::find_if(cut.begin(), cut.end(), [&](const auto& k) { return k.Text == c.Text; }) ==
                        cut.end())
                        cut.push_back(c);
            }
            if (dpi == 96 || dpi == 144)  // the last target's group: MQTT
                kw::test::Shoot(form->Hwnd(), std::string("editor-") + lang + (dpi == 96 ? "-100" : "-150"));
            form.reset();
            TFChangePID pid(settings, *language);
            ASSERT_TRUE(pid.Create(nullptr, 7));
            ShowWindow(pid.Hwnd(), SW_SHOW);
            if (dpi == 96)
                texts(pid.Components());
            kw::test::ChangeDpi(pid.Hwnd(), dpi);
            kw::test::Settle(50);
            for (const auto& c : kw::test::CutCaptions(pid.Hwnd(), dpi))
                cut.push_back(c);
            TFTagList tags(*language, TagReference(TPageState{}, 0, 0));
            ASSERT_TRUE(tags.Create(nullptr));
            ShowWindow(tags.Hwnd(), SW_SHOW);
            if (dpi == 96)
                texts(tags.Components());
            kw::test::ChangeDpi(tags.Hwnd(), dpi);
            kw::test::Settle(50);
            for (const auto& c : kw::test::CutCaptions(tags.Hwnd(), dpi))
                cut.push_back(c);
            if (dpi == 144)
                kw::test::Shoot(tags.Hwnd(), std::string("taglist-") + lang + "-150");
            TFPreview preview(*language, TPreview{});
            ASSERT_TRUE(preview.Create(nullptr));
            ShowWindow(preview.Hwnd(), SW_SHOW);
            if (dpi == 96)
                texts(preview.Components());
            kw::test::ChangeDpi(preview.Hwnd(), dpi);
            kw::test::Settle(50);
            for (const auto& c : kw::test::CutCaptions(preview.Hwnd(), dpi))
                cut.push_back(c);
            TFSelectFTPDir ftpFolder(language.get());  // before it asks the server anything
            ASSERT_TRUE(ftpFolder.Create(nullptr));
            if (dpi == 96)
                texts(ftpFolder.Components());
            kw::test::ChangeDpi(ftpFolder.Hwnd(), dpi);
            kw::test::Settle(50);
            for (const auto& c : kw::test::CutCaptions(ftpFolder.Hwnd(), dpi))
                cut.push_back(c);
            std::printf("captions cut: %-9s %3d dpi: %zu\n", lang, dpi, cut.size());
            for (const std::string& f : faults)
                ADD_FAILURE() << lang << ": missing or in another language: " << f;
            total += static_cast<int>(faults.size());
            for (const auto& c : cut)
                ADD_FAILURE() << lang << " at " << dpi << " dpi: \"" << c.Text << "\" needs " << c.Need << ", has "
                              << c.Room;
            total += static_cast<int>(cut.size());
        }
    }
    EXPECT_EQ(total, 0);
}

std::vector<std::string> g_opened;
bool OpenStandIn(const std::string& path) {
    g_opened.push_back(path);
    return true;
}

// The preview's page goes into a folder of a name nobody can guess, made for it, and the folder
// is gone as soon as the preview closes, not only at the program's end.
TEST_F(Dialogs, ThePreviewFolderIsFreshAndGoesWithThePreview) {
    folder.Write("now.tpl", "<html><p>!KW!SongArtist</p></html>\n");
    OpenPreviewPageHook = &OpenStandIn;
    g_opened.clear();
    Open();
    kw::test::Type(C("FEFileIn"), folder.Path("now.tpl"));
    kw::test::Type(C("FEFileOut"), folder.Path("now.html"));
    std::vector<std::string> folders;
    for (int round = 0; round < 2; ++round) {
        TDriver driver;
        HWND preview = nullptr;
        bool existed = false;
        driver.Steps.push_back([&] {
            preview = FindWindowW(TFPreview::ClassName(), nullptr);
            if (!preview || !IsWindowVisible(preview))
                --driver.NextStep;
        });
        driver.Steps.push_back([&] { kw::test::QueueClick(kw::test::Descendant(preview, TFPreview::IDC_SBOPENBROWSER)); });
        driver.Steps.push_back([&] {
            if (g_opened.size() <= static_cast<size_t>(round)) {
                --driver.NextStep;
                return;
            }
            existed = fs::FileExists(g_opened.back());
            kw::test::QueueKey(VK_ESCAPE);
        });
        kw::test::ClickOn(kw::test::Descendant(form->Hwnd(), TFEditWork::IDC_SBPREVIEW));
        ASSERT_TRUE(kw::test::WaitFor([&] { return driver.NextStep == driver.Steps.size() && !IsWindow(preview); },
                                      8000));
        ASSERT_EQ(g_opened.size(), static_cast<size_t>(round + 1));
        EXPECT_TRUE(existed) << "the page was not written before the browser was asked to open it";
        const std::string page = g_opened.back();
        const std::string dir = fs::ExtractFilePath(page);
        const std::string name = fs::ExtractFileName(dir.substr(0, dir.size() - 1));
        EXPECT_EQ(name.rfind("KWPAGE-preview-", 0), 0u) << name;
        EXPECT_EQ(name.size(), std::string("KWPAGE-preview-").size() + 32) << name;
        EXPECT_EQ(name.find_first_not_of("0123456789abcdef", 15), std::string::npos) << name;
        EXPECT_FALSE(fs::FileExists(page)) << "the page outlived the preview";
        EXPECT_FALSE(fs::DirectoryExists(dir)) << "the folder outlived the preview";
        folders.push_back(dir);
    }
    EXPECT_NE(folders[0], folders[1]);
}

// The preview's page and the tag reference's list show where the focus is when it reaches
// them: their first line carries the focus mark (the preview's is not selected by it).
TEST_F(Dialogs, ThePreviewAndTheTagListShowWhereTheFocusIs) {
    folder.Write("now.tpl", "<html><p>!KW!SongArtist</p></html>\n");
    Open();
    kw::test::Type(C("FEFileIn"), folder.Path("now.tpl"));
    kw::test::Type(C("FEFileOut"), folder.Path("now.html"));
    struct TCase {
        const wchar_t* Class;
        int Button, List;
        int Tabs;  // from the control the form opens with to the list
    };
    for (const TCase& c : {TCase{TFPreview::ClassName(), TFEditWork::IDC_SBPREVIEW, TFPreview::IDC_LVPAGE, 0},
                           TCase{TFTagList::ClassName(), TFEditWork::IDC_SBTAGS, TFTagList::IDC_LVTAGS, 1}}) {
        TDriver driver;
        HWND opened = nullptr, list = nullptr;
        int focused = -2, selected = -2;
        bool hasFocus = false;
        driver.Steps.push_back([&] {
            opened = FindWindowW(c.Class, nullptr);
            if (!opened || !IsWindowVisible(opened)) {
                --driver.NextStep;
                return;
            }
            list = kw::test::Descendant(opened, c.List);
            for (int i = 0; i < c.Tabs; ++i)
                kw::test::QueueKey(VK_TAB);
        });
        driver.Steps.push_back([&] {
            hasFocus = GetFocus() == list;
            focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
            selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
            kw::test::QueueKey(VK_ESCAPE);
        });
        kw::test::ClickOn(kw::test::Descendant(form->Hwnd(), c.Button));
        ASSERT_TRUE(kw::test::WaitFor([&] { return driver.NextStep == driver.Steps.size() && !IsWindow(opened); },
                                      8000));
        EXPECT_TRUE(hasFocus);
        EXPECT_EQ(focused, 0) << "no focus mark in the list";
        if (c.List == TFPreview::IDC_LVPAGE) {
            EXPECT_EQ(selected, -1);  // the tag list's search selects its first match, for Enter
        }
    }
}

} // namespace
