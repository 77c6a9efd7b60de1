// The work editor's escaping choice, its preview and its tag reference under Wine, used as a
// person uses them: keys and clicks through SendInput, the preview and the tag list read back
// from their controls while they are open modally over the editor.
#include "dialogs/EditWork_win32.h"
#include "dialogs/Preview_win32.h"
#include "dialogs/TagList_win32.h"
#include "works/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "hostlink/BroadcastState.h"
#include "render/PageText.h"
#include "render/RenderWork.h"
#include "tests/ui/dialog_driver_win32_test.h"
#include "tests/ui/RealInput_win32.h"
#include "tests/ui/Screenshot_win32.h"
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

using namespace kw;
using kw::test::Click;
using kw::test::TDriver;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Utf8(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), n, nullptr, nullptr);
    return out;
}

// A list view cell as the screen shows it, in UTF-8.
std::string CellText(HWND lv, int item, int col) {
    wchar_t text[1024] = {};
    LVITEMW it{};
    it.iSubItem = col;
    it.pszText = text;
    it.cchTextMax = 1023;
    SendMessageW(lv, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
    return Utf8(text);
}

std::vector<std::string> Column(HWND lv, int col) {
    std::vector<std::string> out;
    for (int i = 0; i < ListView_GetItemCount(lv); ++i)
        out.push_back(CellText(lv, i, col));
    return out;
}

std::vector<std::string> ListBoxLines(HWND lb) {
    std::vector<std::string> out;
    for (int i = 0; i < static_cast<int>(SendMessageW(lb, LB_GETCOUNT, 0, 0)); ++i) {
        wchar_t text[1024] = {};
        if (SendMessageW(lb, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) < 1023)
            SendMessageW(lb, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        out.push_back(Utf8(text));
    }
    return out;
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr))
        return "<no clipboard>";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        text = Utf8(static_cast<const wchar_t*>(GlobalLock(h)));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

std::string g_openedPath, g_openedPage;
bool OpenStandIn(const std::string& path) {
    g_openedPath = path;
    g_openedPage = ReadFile(path);
    return true;
}

struct EditWorkPreview : ::testing::Test {
    lang::test::TProgramFolder folder;
    TSettings settings;
    std::unique_ptr<lang::TLanguage> language;
    lang::TMessageDialogWin32 view{nullptr};
    std::unique_ptr<TFEditWork> form;
    TPageState page;
    std::string tpl;

    void SetUp() override {
        // the English file the program ships: the texts a user reads
        folder.Write("Prog.English.lng", ReadFile(std::string(KW_SOURCE_DIR) + "/dist/KWPAGE.English.lng"));
        tpl = folder.Path("now.tpl");
        folder.Write("now.tpl", "<p>!KW!SongArtist</p>\n<i>!KW!SongTitle</i> !KW!Nope\n");
        settings.FileName = folder.Path("Prog.ini");
        TWorkConfig c;
        c.Section = "File1";
        c.Name = "Now";
        c.FileIn = tpl;
        c.FileOut = folder.Path("now.html");
        c.Escaping = 3;  // JSON, as saved before
        ASSERT_TRUE(settings.Works.Append(std::make_shared<TWorkData>(c)));
        ASSERT_TRUE(SaveWork(settings, 0));
        language = std::make_unique<lang::TLanguage>("Prog.");
        ASSERT_TRUE(language->SelectLanguage(0));
        language->SetDialogView(&view);
        TBroadcastState s;
        s.Song.Artist = "AC/DC & \xCF\xF0\xE8\xE2\xE5\xF2";  // "AC/DC & Привет" in Windows-1251
        s.Song.Title = "<Title>";
        page.Broadcast = std::make_shared<const TBroadcastState>(s);
        page.LinkState = 2;
        OpenPreviewPageHook = &OpenStandIn;
    }
    void TearDown() override {
        kw::test::KeyboardWindow() = nullptr;
        form.reset();
        OpenPreviewPageHook = nullptr;
    }
    void Open(int index) {
        form = std::make_unique<TFEditWork>(settings, *language);
        ASSERT_TRUE(form->Create(nullptr));
        form->FillData(index);
        form->SetPageSource([this](int64_t) { return page; });
        ShowWindow(form->Hwnd(), SW_SHOW);
        win::PumpMessages();
        kw::test::KeyboardWindow() = form->Hwnd();
        kw::test::BringToFront(form->Hwnd());
    }
    HWND C(const char* name) const { return kw::test::Named(form->Components(), name); }
    int Selected(const char* combo) const { return static_cast<int>(SendMessageW(C(combo), CB_GETCURSEL, 0, 0)); }
    // Picks a combo box's item with the keyboard, as a user tabbing through the form does.
    void Choose(const char* combo, int index) {
        SetFocus(C(combo));
        kw::test::PressKey(VK_HOME);
        for (int i = 0; i < index; ++i)
            kw::test::PressKey(VK_DOWN);
        ASSERT_EQ(Selected(combo), index) << combo;
    }
    // What the render writes for this state and these settings, line by line.
    std::vector<std::string> RenderedLines(uint8_t codePage, uint8_t escaping, std::string* bytes = nullptr) {
        TWorkList works;
        TBroadcastStore store;
        store.Publish(page.Broadcast);
        std::atomic<uint8_t> link{page.LinkState};
        TRenderContext context(works, store, link, [](const std::string& k) { return k; });
        TWorkConfig c;
        c.FileIn = tpl;
        c.FileOut = folder.Path("rendered.html");
        c.CodePage = codePage;
        c.Escaping = escaping;
        TWorkData work(c);
        std::unique_ptr<TTemplateLines> lines;
        RenderWork(context, work, 0, lines);
        const std::string written = ReadFile(c.FileOut);
        if (bytes)
            *bytes = written;
        return PageLines(written, codePage);
    }
    // Runs `steps` while the window the editor's button `id` opens is up; the last step closes it.
    template <typename Form>
    void WithOpened(const wchar_t* className, int button, const std::vector<std::function<void(HWND)>>& steps) {
        TDriver driver;
        HWND opened = nullptr;
        driver.Steps.push_back([&] {
            opened = FindWindowW(className, nullptr);
            if (!opened || !IsWindowVisible(opened))
                --driver.NextStep;  // not yet: the next tick looks again
        });
        for (const auto& step : steps)
            driver.Steps.push_back([&opened, step] { step(opened); });
        Click(kw::test::Descendant(form->Hwnd(), button));
        EXPECT_NE(opened, nullptr);
        EXPECT_LT(driver.Ticks, 400);
        EXPECT_FALSE(IsWindow(opened)) << "the window was not closed";
        EXPECT_TRUE(driver.Messages.empty()) << driver.Messages.front();
    }
};

TEST_F(EditWorkPreview, EscapingShowsTheWorksModeIsSavedAndNoneDropsTheKey) {
    Open(0);
    EXPECT_EQ(kw::test::NamedControl(form->Components(), "LEscaping").Caption(), "Escaping");
    auto& combo = kw::test::NamedControl(form->Components(), "CBEscaping");
    EXPECT_EQ(combo.ItemCount(), 5);
    EXPECT_EQ(combo.Item(0), "none");  // the language's word
    EXPECT_EQ(combo.Item(4), "URL");
    EXPECT_EQ(Selected("CBEscaping"), 3);
    EXPECT_EQ(kw::test::NamedControl(form->Components(), "SBPreview").Caption(), "Preview");

    Choose("CBEscaping", 1);
    Click(C("SBSave"));
    ASSERT_EQ(form->ModalResult(), 1);
    EXPECT_EQ(settings.Works.At(0)->Config().Escaping, 1);
    EXPECT_EQ(profile::ReadString(settings.FileName, "File1", "Escaping", "<none>"), "1");

    Open(0);
    EXPECT_EQ(Selected("CBEscaping"), 1);
    Choose("CBEscaping", 0);
    Click(C("SBSave"));
    EXPECT_EQ(settings.Works.At(0)->Config().Escaping, 0);
    EXPECT_EQ(profile::ReadString(settings.FileName, "File1", "Escaping", "<none>"), "<none>");
}

// The preview takes the form's unsaved code page and escaping, shows what the render writes
// for the same state, says where an unknown tag stands, writes nothing and saves nothing.
TEST_F(EditWorkPreview, PreviewShowsWhatTheRenderWritesWithTheUnsavedSettings) {
    Open(0);
    Choose("CBCodePage", 1);  // UTF-8
    Choose("CBEscaping", 1);  // HTML
    std::vector<std::string> shown, problems;
    bool browserEnabled = false;
    WithOpened<TFPreview>(L"TFPreview", TFEditWork::IDC_SBPREVIEW,
                          {[&](HWND p) {
                               shown = Column(kw::test::Descendant(p, TFPreview::IDC_LVPAGE), 1);
                               problems = ListBoxLines(kw::test::Descendant(p, TFPreview::IDC_LBPROBLEMS));
                               browserEnabled = IsWindowEnabled(kw::test::Descendant(p, TFPreview::IDC_SBOPENBROWSER));
                               EXPECT_TRUE(kw::test::Shoot(p, "preview-100"));
                               kw::test::ChangeDpi(p, 144);
                               EXPECT_TRUE(kw::test::Shoot(p, "preview-150"));
                           },
                           [&](HWND p) { kw::test::QueueClick(kw::test::Descendant(p, TFPreview::IDC_SBCLOSE)); }});
    const std::vector<std::string> rendered = RenderedLines(1, 1);
    EXPECT_EQ(shown, rendered);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], "<p>AC/DC &amp; Привет</p>");
    EXPECT_EQ(shown[1], "<i>&lt;Title&gt;</i> !KW!Nope");
    EXPECT_EQ(problems, std::vector<std::string>{"Line 2, column 22: unknown tag !KW!Nope"});
    EXPECT_TRUE(browserEnabled);
    EXPECT_FALSE(fs::FileExists(folder.Path("now.html")));  // the work's output is never written
    EXPECT_EQ(settings.Works.At(0)->Config().CodePage, 0);   // nor the settings saved
    EXPECT_EQ(settings.Works.At(0)->Config().Escaping, 3);

    // The same form after Escape on the preview: other settings, another page.
    Choose("CBCodePage", 2);  // KOI8-R
    Choose("CBEscaping", 0);
    WithOpened<TFPreview>(L"TFPreview", TFEditWork::IDC_SBPREVIEW,
                          {[&](HWND p) { shown = Column(kw::test::Descendant(p, TFPreview::IDC_LVPAGE), 1); },
                           [&](HWND) { kw::test::QueueKey(VK_ESCAPE); }});
    EXPECT_EQ(shown, RenderedLines(2, 0));
    EXPECT_EQ(shown.at(1), "<i><Title></i> !KW!Nope");

    // A delay typed in the form: the preview shows the song on air that long ago.
    int64_t clockMs = 0;
    TBroadcastStore store([&] { return clockMs; });
    store.KeepFor(60000);
    for (const auto& [at, title] : {std::pair{1000, "Earlier"}, std::pair{15000, "Latest"}}) {
        clockMs = at;
        TBroadcastState s;
        s.Song.Title = title;
        store.Publish(std::make_shared<const TBroadcastState>(s));
    }
    clockMs = 20000;
    form.reset();
    Open(0);
    form->SetPageSource([&](int64_t delayMs) {
        TPageState p;
        p.Broadcast = store.Delayed(delayMs);
        p.LinkState = page.LinkState;
        return p;
    });
    for (const auto& [delay, title] : {std::pair{"10", "Earlier"}, std::pair{"0", "Latest"}}) {
        kw::test::Type(C("EDelay"), delay);
        ASSERT_EQ(win::GetText(C("EDelay")), delay);
        kw::test::Settle(GetDoubleClickTime() + 50);  // the next click on Preview is not a double click
        WithOpened<TFPreview>(L"TFPreview", TFEditWork::IDC_SBPREVIEW,
                              {[&](HWND p) { shown = Column(kw::test::Descendant(p, TFPreview::IDC_LVPAGE), 1); },
                               [&](HWND) { kw::test::QueueKey(VK_ESCAPE); }});
        EXPECT_EQ(shown.at(1), std::string("<i>") + title + "</i> !KW!Nope") << delay;
    }
}

TEST_F(EditWorkPreview, OpenInBrowserWritesTheRenderedPageToATemporaryFile) {
    Open(0);
    g_openedPath.clear();
    WithOpened<TFPreview>(L"TFPreview", TFEditWork::IDC_SBPREVIEW,
                          {[&](HWND p) { kw::test::QueueClick(kw::test::Descendant(p, TFPreview::IDC_SBOPENBROWSER)); },
                           [&](HWND p) { kw::test::QueueClick(kw::test::Descendant(p, TFPreview::IDC_SBCLOSE)); }});
    std::string rendered;
    RenderedLines(0, 3, &rendered);
    ASSERT_FALSE(g_openedPath.empty());
    EXPECT_EQ(g_openedPage, rendered);
    EXPECT_EQ(fs::ExtractFileExt(g_openedPath), ".html");
    EXPECT_EQ(g_openedPath.find(folder.Path("")), std::string::npos);  // a temporary file, not the work's
    EXPECT_FALSE(fs::FileExists(folder.Path("now.html")));
}

TEST_F(EditWorkPreview, PreviewOfAMissingTemplateSaysSoAndOffersNoBrowser) {
    Open(0);
    kw::test::Type(C("FEFileIn"), folder.Path("gone.tpl"));
    std::vector<std::string> shown, problems;
    bool browserEnabled = true;
    page.LinkState = 0;
    WithOpened<TFPreview>(L"TFPreview", TFEditWork::IDC_SBPREVIEW,
                          {[&](HWND p) {
                               shown = Column(kw::test::Descendant(p, TFPreview::IDC_LVPAGE), 1);
                               problems = ListBoxLines(kw::test::Descendant(p, TFPreview::IDC_LBPROBLEMS));
                               browserEnabled = IsWindowEnabled(kw::test::Descendant(p, TFPreview::IDC_SBOPENBROWSER));
                           },
                           [&](HWND p) { kw::test::QueueClick(kw::test::Descendant(p, TFPreview::IDC_SBCLOSE)); }});
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(problems, std::vector<std::string>{"Template file not found"});
    EXPECT_FALSE(browserEnabled);

    // A readable template while the host has sent nothing: the note says why the values are empty.
    kw::test::Type(C("FEFileIn"), tpl);
    WithOpened<TFPreview>(L"TFPreview", TFEditWork::IDC_SBPREVIEW,
                          {[&](HWND p) { problems = ListBoxLines(kw::test::Descendant(p, TFPreview::IDC_LBPROBLEMS)); },
                           [&](HWND p) { kw::test::QueueClick(kw::test::Descendant(p, TFPreview::IDC_SBCLOSE)); }});
    EXPECT_EQ(problems, (std::vector<std::string>{"Line 2, column 22: unknown tag !KW!Nope",
                                                  "The host has sent no data yet: live tags are empty"}));
}

// The tag list: the values as the form's escaping gives them, a search that filters as one
// types, and the selected tag copied to the clipboard by the button and by a double click.
TEST_F(EditWorkPreview, TagListFiltersAsOneTypesAndCopiesTheSelectedTag) {
    Open(0);
    Choose("CBEscaping", 1);  // HTML
    int all = 0, none = -1;
    std::vector<std::string> tags, values;
    std::string title, copied, copiedByDoubleClick, secondTag;
    auto list = [](HWND t) { return kw::test::Descendant(t, TFTagList::IDC_LVTAGS); };
    WithOpened<TFTagList>(
        L"TFTagList", TFEditWork::IDC_SBTAGS,
        {[&](HWND t) {
             all = ListView_GetItemCount(list(t));
             wchar_t text[64] = {};
             LVCOLUMNW c{};
             c.mask = LVCF_TEXT;
             c.pszText = text;
             c.cchTextMax = 63;
             SendMessageW(list(t), LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&c));
             title = Utf8(text);
             kw::test::QueueClick(kw::test::Descendant(t, TFTagList::IDC_ESEARCH));
             kw::test::QueueText(L"ARTIST");
         },
         [&](HWND t) {
             tags = Column(list(t), 0);
             values = Column(list(t), 1);
             EXPECT_TRUE(kw::test::Shoot(t, "taglist-100"));
         },
         [&](HWND t) { kw::test::QueueClick(kw::test::Descendant(t, TFTagList::IDC_SBCOPY)); },
         [&](HWND t) {
             copied = ClipboardText();
             RECT r{};
             r.left = LVIR_LABEL;
             SendMessageW(list(t), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
             MapWindowPoints(list(t), nullptr, reinterpret_cast<POINT*>(&r), 2);
             const POINT at{r.left + 20, (r.top + r.bottom) / 2};
             secondTag = CellText(list(t), 1, 0);
             kw::test::SendMouse(MOUSEEVENTF_MOVE, at);
             for (int i = 0; i < 2; ++i) {
                 kw::test::SendMouse(MOUSEEVENTF_LEFTDOWN, at);
                 kw::test::SendMouse(MOUSEEVENTF_LEFTUP, at);
             }
         },
         [&](HWND t) {
             copiedByDoubleClick = ClipboardText();
             SetFocus(kw::test::Descendant(t, TFTagList::IDC_ESEARCH));
             kw::test::QueueKey(VK_END);
             kw::test::QueueText(L"zz");
         },
         [&](HWND t) {
             none = ListView_GetItemCount(list(t));
             SetWindowTextW(kw::test::Descendant(t, TFTagList::IDC_ESEARCH), L"");  // every tag for the picture
             kw::test::ChangeDpi(t, 144);
             EXPECT_TRUE(kw::test::Shoot(t, "taglist-150"));
             kw::test::QueueKey(VK_ESCAPE);
         }});
    EXPECT_GT(all, 40);
    EXPECT_EQ(title, "Value");
    ASSERT_GE(tags.size(), 2u);
    EXPECT_LT(static_cast<int>(tags.size()), all);
    for (const std::string& tag : tags)
        EXPECT_NE(tag.find("Artist"), std::string::npos) << tag;
    EXPECT_EQ(tags[0], "!KW!SongArtist");
    EXPECT_EQ(values[0], "AC/DC &amp; Привет");  // as the chosen escaping inserts it
    EXPECT_EQ(copied, tags[0]);                 // the first row is selected from the start
    EXPECT_EQ(copiedByDoubleClick, secondTag);
    EXPECT_EQ(none, 0);
}

} // namespace
