// The language files shipped in dist/: every key the program asks for, Windows-1251 text with
// CR LF line ends, and message texts that format with the arguments the program passes.
#include "LangFixture.h"
#include "lang/BuiltinTexts.h"
#include "lang/Format.h"
#include "lang/Language.h"
#include "lang/RequiredKeys.h"
#include "platform/Cp1251.h"
#include "platform/Profile.h"
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>

namespace kw::lang {
namespace {

const char* const kShipped[] = {"KWPAGE.Russian.lng", "KWPAGE.English.lng", "KWPAGE.Ukrainian.lng"};

std::string DistPath(const std::string& name) { return std::string(KW_SOURCE_DIR) + "/dist/" + name; }

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ShippedFile : public ::testing::TestWithParam<const char*> {};

// A shipped file beside a program, which a language then finds.
struct TShippedFolder {
    explicit TShippedFolder(const char* file) { dir.Write(std::string("Prog.") + (file + 7), ReadBytes(DistPath(file))); }
    test::TProgramFolder dir;
};

// The shipped file as the program loads it, with one section's texts at hand.
struct TShippedLanguage : TShippedFolder {
    TShippedLanguage(const char* file, const std::string& section) : TShippedFolder(file), language("Prog.") {
        Selected = language.SelectFromSettings("", "Settings", "");
        language.LoadSection(section, list);
    }
    // The message's text formatted with `args`; a text missing or not taking them fails the test.
    std::string Formatted(const std::string& name, const TFormatArgs& args) {
        const std::string format = language.MessageText(name, list.get());
        EXPECT_FALSE(format.empty()) << name;
        std::string text;
        EXPECT_NO_THROW(text = Format(format, args)) << name << ": " << format;
        return text;
    }
    TLanguage language;
    std::unique_ptr<TSectionList> list;
    bool Selected = false;
};

TEST_P(ShippedFile, HasEveryKeyTheProgramAsksFor) {
    const std::string path = DistPath(GetParam());
    std::map<std::string, std::shared_ptr<const TSectionData>> sections;
    for (const TRequiredKey& k : RequiredKeys()) {
        auto& s = sections[k.Section];
        if (!s)
            s = TSectionData::FromLines(profile::ReadSectionLines(path, k.Section));
        EXPECT_NE(s->Find(k.Key), nullptr) << GetParam() << ": [" << k.Section << "] " << k.Key;
    }
}

// A key of the built-in English that a language file lacks shows in English in that language's
// windows: every shipped file holds every key of every built-in section.
TEST_P(ShippedFile, HoldsEveryKeyOfTheBuiltInEnglish) {
    const std::string path = DistPath(GetParam());
    const auto names = BuiltinSectionNames();
    EXPECT_GE(names.size(), 7u);
    for (const std::string& section : names) {
        const auto shipped = TSectionData::FromLines(profile::ReadSectionLines(path, section));
        const TSectionData& builtin = BuiltinSection(section);
        for (size_t i = 0; i < builtin.Count(); ++i) {
            const TTextEntry& e = builtin.Entry(i);
            EXPECT_NE(shipped->Find(e.Key), nullptr) << GetParam() << ": [" << section << "] " << e.Key;
            // compiled in from the UTF-8 source and shown as the system's code page: ASCII only
            EXPECT_TRUE(std::all_of(e.Value.begin(), e.Value.end(), [](char c) { return c > 0; })) << e.Key;
        }
    }
}

// The shipped file is made from its UTF-8 source (scripts/lang-dist.sh): a key added to one and
// not the other is a text that the next regeneration loses, or one that never ships.
TEST_P(ShippedFile, IsItsUtf8SourceRecoded) {
    std::string shipped = Cp1251ToUtf8(ReadBytes(DistPath(GetParam())));
    std::string source = ReadBytes(std::string(KW_SOURCE_DIR) + "/lang/texts/" + GetParam() + ".txt");
    ASSERT_FALSE(source.empty());
    for (std::string* text : {&shipped, &source})
        std::erase(*text, '\r');
    EXPECT_EQ(shipped, source) << GetParam() << ": run scripts/lang-dist.sh after editing lang/texts";
}

TEST_P(ShippedFile, IsWindows1251WithCrLfLineEnds) {
    const std::string bytes = ReadBytes(DistPath(GetParam()));
    ASSERT_FALSE(bytes.empty());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at byte " << i;
        }
        if (c == '\r') {
            ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "bare CR at byte " << i;
        }
        ASSERT_NE(c, 0x98) << "byte 0x98 has no character in Windows-1251";
        // A Cyrillic letter in UTF-8 starts with D0 or D1 and continues with 80..BF; in
        // Windows-1251 text those pairs would be a capital letter followed by a sign.
        if ((c == 0xD0 || c == 0xD1) && i + 1 < bytes.size()) {
            const auto next = static_cast<unsigned char>(bytes[i + 1]);
            ASSERT_FALSE(next >= 0x80 && next <= 0xBF) << "UTF-8 text at byte " << i;
        }
    }
    ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

// Loads the shipped file as a language beside a fake program and shows every dialog message.
class TCaptureView : public IMessageDialogView {
public:
    int ShowModal(const TMessageDialogModel& model) override {
        last = model;
        return model.ButtonList.front().Result;
    }
    void ShowStandardError(const std::string&) override {}
    TMessageDialogModel last;
};

TEST_P(ShippedFile, DialogMessagesFormatWithTheProgramsArgumentsAndButtonsHaveCaptions) {
    test::TProgramFolder dir;
    dir.Write(std::string("Prog.") + (GetParam() + 7), ReadBytes(DistPath(GetParam())));
    TLanguage language("Prog.");
    TCaptureView view;
    language.SetDialogView(&view);
    ASSERT_TRUE(language.SelectFromSettings("", "Settings", ""));
    EXPECT_GE(language.ConstInt("Locale"), 1);
    for (const TDialogMessage& m : DialogMessages()) {
        std::unique_ptr<TSectionList> list;
        language.LoadSection(m.Section, list);
        TFormatArgs args(static_cast<size_t>(m.StringArgs), TFormatArg("Other work"));
        language.ShowDialogFmt(m.Name, TMsgDlgType::Error, args, list.get(), mbOKOnly);
        EXPECT_EQ(view.last.Text.find("Error in language file"), std::string::npos) << m.Name << ": " << view.last.Text;
        if (m.StringArgs > 0) {
            EXPECT_NE(view.last.Text.find("Other work"), std::string::npos) << m.Name;
        }
        EXPECT_FALSE(view.last.Caption.empty());
    }
    const TMessageDialogModel all = language.LocalisedDialog("t", TMsgDlgType::Confirmation, 0x3EF);  // not Abort
    for (const TDialogButton& b : all.ButtonList)
        EXPECT_FALSE(b.Caption.empty()) << StockCaption(b.Button);
}

// The preview's problem lines take the line, the column and the marker: a file whose text asks
// for other arguments would show the format error instead of the problem.
TEST_P(ShippedFile, PreviewProblemsFormatWithLineColumnAndMarker) {
    TShippedLanguage shipped(GetParam(), "FPreview");
    ASSERT_TRUE(shipped.Selected);
    for (const TPreviewMessage& m : PreviewMessages()) {
        const std::string text = shipped.Formatted(m.Name, {12, 34, "!KW!Marker"});
        EXPECT_NE(text.find("12"), std::string::npos) << text;
        EXPECT_NE(text.find("34"), std::string::npos) << text;
        EXPECT_NE(text.find("!KW!Marker"), std::string::npos) << text;
    }
}

// The log lines and the deliveries' failures take string arguments only (numbers come as text):
// a "%d" would lose the line, and a text that leaves out an argument loses what it says.
TEST_P(ShippedFile, LogLinesFormatWithTheProgramsArguments) {
    TShippedLanguage shipped(GetParam(), "Main");
    ASSERT_TRUE(shipped.Selected);
    for (const TLogMessage& m : LogMessages()) {
        TFormatArgs args;
        for (int i = 1; i <= m.StringArgs; ++i)
            args.emplace_back("File" + std::to_string(i));
        const std::string text = shipped.Formatted(m.Name, args);
        EXPECT_FALSE(text.empty()) << m.Name;
        for (int i = 1; i <= m.StringArgs; ++i)
            EXPECT_NE(text.find("File" + std::to_string(i)), std::string::npos) << m.Name << ": " << text;
    }
}

TEST_P(ShippedFile, LanguageNameAndLocale) {
    const std::string path = DistPath(GetParam());
    const std::string locale = profile::ReadString(path, "Constants", "Locale", "");
    const std::set<std::string> expected = {"1049", "1033", "1058"};
    EXPECT_TRUE(expected.count(locale)) << locale;
    EXPECT_FALSE(profile::ReadString(path, "Constants", "Language", "").empty());
}

INSTANTIATE_TEST_SUITE_P(Dist, ShippedFile, ::testing::ValuesIn(kShipped));

TEST(ShippedFiles, LocalesMatchTheirLanguages) {
    EXPECT_EQ(profile::ReadString(DistPath("KWPAGE.Russian.lng"), "Constants", "Locale", ""), "1049");
    EXPECT_EQ(profile::ReadString(DistPath("KWPAGE.English.lng"), "Constants", "Locale", ""), "1033");
    EXPECT_EQ(profile::ReadString(DistPath("KWPAGE.Ukrainian.lng"), "Constants", "Locale", ""), "1058");
}

} // namespace
} // namespace kw::lang
