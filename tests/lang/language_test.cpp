// TLanguage over real language files in a folder of its own: scan, choice, lookup, translation
// and the logic of the localised dialogs.
#include "LangFixture.h"
#include "lang/Language.h"
#include <gtest/gtest.h>

namespace kw::lang {
namespace {
using test::TProgramFolder;
using test::TStandInForm;

// Records what would be shown and presses the button it is told to.
class TRecordingView : public IMessageDialogView {
public:
    int ShowModal(const TMessageDialogModel& model) override {
        shown.push_back(model);
        for (const TDialogButton& b : model.ButtonList)
            if (b.Button == press)
                return b.Result;
        return model.ButtonList.front().Result;
    }
    void ShowStandardError(const std::string& text) override { errors.push_back(text); }

    TMsgDlgBtn press = mbOK;
    std::vector<TMessageDialogModel> shown;
    std::vector<std::string> errors;
};

class LanguageTest : public ::testing::Test {
protected:
    TProgramFolder dir;
    TRecordingView view;

    std::unique_ptr<TLanguage> Make() {
        auto language = std::make_unique<TLanguage>("Prog.");
        language->SetDialogView(&view);
        return language;
    }
    // One language file with the given Constants and Main lines.
    std::unique_ptr<TLanguage> WithFile(const std::vector<std::string>& constants, const std::vector<std::string>& main) {
        std::vector<std::string> lines = {"[Constants]"};
        lines.insert(lines.end(), constants.begin(), constants.end());
        lines.push_back("[Main]");
        lines.insert(lines.end(), main.begin(), main.end());
        dir.WriteLines("Prog.Test.lng", lines);
        auto language = Make();
        EXPECT_TRUE(language->SelectFromSettings("", "Settings", "Russian"));
        return language;
    }
};

TEST_F(LanguageTest, ScansSortsAndChoosesTheFirstFileWhenTheSettingMatchesNone) {
    dir.WriteLines("Prog.Russian.lng", {"[Constants]", "Language=Russkij"});
    dir.WriteLines("Prog.English.lng", {"[Main]", "X=1"});
    dir.WriteLines("Other.German.lng", {"[Constants]"});
    dir.WriteLines("Prog.lng", {"[Constants]"});
    auto language = Make();
    ASSERT_EQ(language->Languages().size(), 2u);
    EXPECT_EQ(language->Languages()[0].FileName, "English.lng");
    EXPECT_EQ(language->Languages()[0].DisplayName, "English");  // no "Language" key
    EXPECT_EQ(language->Languages()[1].DisplayName, "Russkij");
    std::vector<std::string> names = {"stale"};
    language->GetLanguageNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"English", "Russkij"}));

    EXPECT_EQ(language->CurrentFile(), "");
    EXPECT_TRUE(language->SelectFromSettings("", "Settings", "Russian"));  // a bare name matches no file
    EXPECT_EQ(language->CurrentFile(), dir.Path("Prog.English.lng"));
    for (const char* name : {"Russian", "russian.LNG", "RUSSKIJ"})
        EXPECT_EQ(language->IndexOfLanguage(name), 1) << name;
    EXPECT_EQ(language->IndexOfLanguage("German"), -1);
    EXPECT_EQ(language->LanguageFileName(1), "Russian.lng");
    EXPECT_EQ(language->LanguageFileName(2), "");
    EXPECT_FALSE(language->SelectLanguage(2));
    EXPECT_FALSE(language->SelectLanguage(-1));
    EXPECT_FALSE(language->LoadLanguageFile(""));
    EXPECT_EQ(language->CurrentFile(), dir.Path("Prog.English.lng"));
}

TEST_F(LanguageTest, TheStoredFileNameSelectsItsLanguage) {
    dir.WriteLines("Prog.Russian.lng", {"[Constants]", "Language=Russkij"});
    dir.WriteLines("Prog.English.lng", {"[Constants]"});
    dir.WriteLines("Prog.ini", {"[Settings]", "Language=russian.lng"});
    auto language = Make();
    EXPECT_TRUE(language->SelectFromSettings("", "Settings", "Russian"));
    EXPECT_EQ(language->CurrentFile(), dir.Path("Prog.Russian.lng"));
    // A settings file named without a folder lies beside the program.
    dir.WriteLines("other.ini", {"[S]", "Language=English.lng"});
    EXPECT_TRUE(language->SelectFromSettings("other.ini", "S", ""));
    EXPECT_EQ(language->CurrentFile(), dir.Path("Prog.English.lng"));
    // A bare language part gets the usual extension.
    EXPECT_TRUE(language->LoadLanguageFile("Russian"));
    EXPECT_EQ(language->ConstText("Language", ""), "Russkij");
}

TEST_F(LanguageTest, ASingleFileIsSelectedWhateverTheSettingSays) {
    dir.WriteLines("Prog.Only.lng", {"[Constants]", "Language=Only"});
    dir.WriteLines("Prog.ini", {"[Settings]", "Language=Missing.lng"});
    auto language = Make();
    EXPECT_TRUE(language->SelectFromSettings("", "Settings", "Russian"));
    EXPECT_EQ(language->CurrentFile(), dir.Path("Prog.Only.lng"));
}

TEST_F(LanguageTest, NoLanguageFileShowsOneErrorNamingTheMaskAndAsksToTerminate) {
    int terminations = 0;
    auto language = Make();
    language->SetTerminateRequest([&] { ++terminations; });
    EXPECT_FALSE(language->SelectFromSettings("", "Settings", "Russian"));
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0], "The language files don't exits!\r" + dir.Folder() + "Prog.*.lng");
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(view.shown.empty());
    TStandInForm form("Main");
    form.caption = "Built-in";
    std::unique_ptr<TSectionList> list;
    language->LoadAndTranslate(form, list);
    EXPECT_EQ(form.caption, "Built-in");
    EXPECT_EQ(list, nullptr);
}

TEST_F(LanguageTest, LocaleFromTheConstants) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"Locale=1033", 1033}, {"Locale=0", 1049}, {"Locale=", 1049}, {"Locale=abc", 1049},
        {"Other=1", 1049},     {"Locale=$409", 1033}, {"Locale=-5", 1049}, {"Locale= 1058 (uk)", 1058}};
    for (const auto& [line, expected] : cases) {
        auto language = WithFile({line}, {});
        EXPECT_EQ(language->StartupLocale(), expected) << line;
    }
}

TEST_F(LanguageTest, LookupsDecodeExpandAndFallBack) {
    auto language = WithFile({"Prog=Publisher", "Dialog.Error=Err"},
                             {"dialog.run=Started .Prog", "Dialog.Two=Line1\\nLine2", "Dialog.Empty=", "Title=T"});
    std::unique_ptr<TSectionList> main;
    language->LoadSection("Main", main);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(language->MessageText("Run", main.get()), "Started Publisher");  // key in lower case matches
    EXPECT_EQ(language->MessageText("Two", main.get()), "Line1\r\nLine2");
    EXPECT_EQ(language->MessageText("Empty", main.get()), "");
    EXPECT_EQ(language->MessageText("Missing", main.get()), "");
    EXPECT_EQ(language->MessageText("", main.get()), "");
    EXPECT_EQ(language->MessageText("Run", nullptr), "");
    EXPECT_EQ(language->Lookup("Missing", main.get(), "File.Prog\\t"), "FilePublisher\t");
    EXPECT_EQ(language->LookupProperty("Dialog", "Run", "", main.get()), "Started Publisher");
    EXPECT_EQ(language->ConstGroupText("Dialog", "Error", "x"), "Err");
    EXPECT_EQ(language->ConstText("Nope", "def"), "def");

    // An empty or missing list gives the default untouched.
    std::unique_ptr<TSectionList> none;
    language->LoadSection("NoSuchSection", none);
    EXPECT_EQ(language->Lookup("Title", none.get(), "a\\nb"), "a\\nb");
    EXPECT_EQ(language->Lookup("Title", nullptr, "a\\nb"), "a\\nb");

    // The current file removed: sections load empty.
    dir.Remove("Prog.Test.lng");
    language->LoadSection("Main", main);
    EXPECT_EQ(main->Count(), 0u);
    EXPECT_EQ(language->MessageText("Run", main.get()), "");

    TLanguage::FreeSection(main, false);
    EXPECT_NE(main, nullptr);
    TLanguage::FreeSection(main, true);
    EXPECT_EQ(main, nullptr);
    TLanguage::FreeSection(main, true);  // a null list is ignored
}

TEST_F(LanguageTest, ShippedSizeHostileFilesGiveDefaultsWithoutFailing) {
    dir.Write("Prog.Bin.lng", std::string("\0\x01[Main]\0=\xFF\xFE\r\n[Main]\r\n=\r\n;x=1\r\nnoequals\r\n", 40) +
                                  "Huge=" + std::string(200000, 'h') + "\r\n");
    auto language = Make();
    ASSERT_TRUE(language->SelectFromSettings("", "Settings", ""));
    std::unique_ptr<TSectionList> main;
    language->LoadSection("Main", main);
    EXPECT_EQ(language->MessageText("Run", main.get()), "");
    EXPECT_EQ(language->ConstInt("Locale"), 0);
    const std::string huge = language->Lookup("Huge", main.get(), "");
    EXPECT_TRUE(huge.empty() || huge == std::string(huge.size(), 'h'));
}

} // namespace
} // namespace kw::lang
