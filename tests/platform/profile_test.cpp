// Profile files: one contract, run against the system's profile functions under Wine and
// against the POSIX implementation natively.
#include "TempFolder.h"
#include "platform/Profile.h"
#include "platform/ProfileSection.h"
#include <gtest/gtest.h>

namespace {

using namespace kw::profile;
using Lines = std::vector<std::string>;

class Profile : public ::testing::Test {
  protected:
    kwtest::TTempFolder dir;
    std::string Ini(const std::string& bytes) { return dir.Write("t.ini", bytes); }
    std::string Get(const std::string& file, const std::string& s, const std::string& k) {
        return ReadString(file, s, k, "<def>");
    }
};

TEST_F(Profile, NamesMatchWithoutCaseAndBlanksAroundThemAreIgnored) {
    const auto f = Ini("[Settings]\r\n  PID  =  7  \r\n\tHide\t=\t1\t\r\n");
    EXPECT_EQ(Get(f, "settings", "pid"), "7");
    EXPECT_EQ(Get(f, "SETTINGS", "HIDE"), "1");
    EXPECT_EQ(Get(f, " Settings ", " PID "), "7");
    EXPECT_EQ(ReadSectionLines(f, "SeTtInGs"), (Lines{"PID=7", "Hide=1"}));
}

TEST_F(Profile, CyrillicNamesMatchByteForByte) {
    // "[РАБОТА]" and the key "Ключ" in Windows-1251.
    const auto f = Ini("[\xD0\xC0\xC1\xCE\xD2\xC0]\r\n\xCA\xEB\xFE\xF7=1\r\n");
    EXPECT_EQ(Get(f, "\xD0\xC0\xC1\xCE\xD2\xC0", "\xCA\xEB\xFE\xF7"), "1");
    EXPECT_EQ(ReadSectionNames(f), (Lines{"\xD0\xC0\xC1\xCE\xD2\xC0"}));
}

TEST_F(Profile, OnePairOfMatchingQuotesIsRemovedFromAValue) {
    const auto f = Ini("[A]\r\n"
                       "dq=\"quoted\"\r\nsq='single'\r\nopen=\"unbalanced\r\nmixed=\"x'\r\n"
                       "inner=\" spaced \"\r\nempty=\"\"\r\nthree=\"a\"b\"\r\nkey\"q\"=v\r\n");
    EXPECT_EQ(Get(f, "A", "dq"), "quoted");
    EXPECT_EQ(Get(f, "A", "sq"), "single");
    EXPECT_EQ(Get(f, "A", "open"), "\"unbalanced");
    EXPECT_EQ(Get(f, "A", "mixed"), "\"x'");
    EXPECT_EQ(Get(f, "A", "inner"), " spaced ");
    EXPECT_EQ(Get(f, "A", "empty"), "");
    EXPECT_EQ(Get(f, "A", "three"), "a\"b");
    EXPECT_EQ(Get(f, "A", "key\"q\""), "v");
    // The section's lines keep the quotes.
    EXPECT_EQ(ReadSectionLines(f, "A")[0], "dq=\"quoted\"");
}

TEST_F(Profile, TheFirstOfDuplicateSectionsAndKeysWins) {
    const auto f = Ini("[Sec]\r\nk=first\r\nK=second\r\n[x]\r\n[SEC]\r\nk=third\r\nonly=later\r\n");
    EXPECT_EQ(Get(f, "sec", "k"), "first");
    EXPECT_EQ(Get(f, "sec", "only"), "<def>"); // sections are not merged
    EXPECT_EQ(ReadSectionNames(f), (Lines{"Sec", "x", "SEC"}));
    EXPECT_EQ(ReadSectionLines(f, "SEC"), (Lines{"k=first", "K=second"}));
}

TEST_F(Profile, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Get(dir.Path("none.ini"), "A", "k"), "<def>");
    EXPECT_TRUE(ReadSectionNames(dir.Path("none.ini")).empty());
    EXPECT_TRUE(ReadSectionLines(dir.Path("none.ini"), "A").empty());
    const auto f = Ini("[A]\r\nk=1\r\nbare\r\n");
    EXPECT_EQ(Get(f, "B", "k"), "<def>");
    EXPECT_EQ(Get(f, "A", "x"), "<def>");
    EXPECT_EQ(Get(f, "A", "bare"), "<def>"); // a line without "=" has no value
    EXPECT_EQ(ReadString(f, "A", "x", ""), "");
}

TEST_F(Profile, SectionLinesSkipCommentsAndBlankLinesButKeepLinesWithoutEquals) {
    const auto f =
        Ini("[A]\r\n; comment\r\n  ;indented=1\r\n\r\n k = v \r\nnoequals\r\na=b=c\r\n#hash=1\r\n");
    EXPECT_EQ(ReadSectionLines(f, "A"), (Lines{"k=v", "noequals", "a=b=c", "#hash=1"}));
    EXPECT_EQ(Get(f, "A", "a"), "b=c");
}

// A settings load reads each section once and looks its keys up in the lines: every key must
// read as the system's own lookup reads it.
TEST_F(Profile, ASectionReadOnceAnswersEachKeyAsReadStringDoes) {
    const auto f = Ini("[A]\r\n  k = v \r\ndq=\"quoted\"\r\nopen=\"unbalanced\r\nempty=\r\nbare\r\nbare=later\r\n"
                       "Dup=first\r\ndup=second\r\n; c=1\r\na=b=c\r\ninner=\" sp \"\r\n[B]\r\nk=other\r\n");
    const TProfileSection keys = TProfileSection::Read(f, "a");
    for (const char* key : {"k", "K", " k ", "dq", "open", "empty", "bare", "dup", "DUP", "a", "inner", "none"})
        EXPECT_EQ(keys.Value(key, "<def>"), Get(f, "A", key)) << key;
    EXPECT_EQ(TProfileSection::Read(f, "none").Value("k", "<def>"), "<def>");
}

TEST_F(Profile, LineEndsHeadersAndTruncatedFiles) {
    const auto f = Ini("lead=0\n[A]\nk1=lf\rk2=cr\r\n  [B] trailing text\nk=b\n[Unclosed\nu=1\n[C]\nlast=x");
    EXPECT_EQ(Get(f, "A", "k1"), "lf");
    EXPECT_EQ(Get(f, "A", "k2"), "cr");
    EXPECT_EQ(Get(f, "B", "k"), "b");
    EXPECT_EQ(Get(f, "B", "u"), "1"); // "[Unclosed" is an ordinary line of B
    EXPECT_EQ(Get(f, "C", "last"), "x");
    EXPECT_EQ(Get(f, "", "lead"), "0"); // lines before the first section
    EXPECT_EQ(ReadSectionNames(f), (Lines{"A", "B", "C"}));
    EXPECT_EQ(ReadSectionNames(Ini("[A]\r\nk=1\r\n[Trunc")), (Lines{"A"}));
}

TEST_F(Profile, BinaryAndHugeContentIsReadWithoutHarm) {
    std::string binary = "[A]\r\nk=c";
    binary += std::string("\0hidden\r\nk2=after\r\n", 19);
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 7919) & 0xFF);
    const auto f = Ini(binary);
    EXPECT_EQ(Get(f, "A", "k"), "c"); // a NUL ends the line's content
    EXPECT_EQ(Get(f, "A", "k2"), "after");

    const std::string huge(1 << 20, 'x');
    const auto g = dir.Write("huge.ini", "[A]\r\nk=" + huge + "\r\nk2=\xC0\xFF\r\n");
    EXPECT_EQ(Get(g, "A", "k"), huge);
    EXPECT_EQ(Get(g, "A", "k2"), "\xC0\xFF");
}

TEST_F(Profile, WritingReplacesInPlaceAppendsOrCreates) {
    const auto f = Ini("; settings\r\n[A]\r\nk=1\r\nother=2\r\n\r\n[B]\r\nz=9\r\n");
    ASSERT_TRUE(WriteString(f, "a", "K", "new"));
    ASSERT_TRUE(WriteString(f, "A", "added", "3"));
    ASSERT_TRUE(WriteString(f, "C", "c", "4"));
    EXPECT_EQ(Get(f, "A", "k"), "new");
    EXPECT_EQ(Get(f, "A", "added"), "3");
    EXPECT_EQ(Get(f, "C", "c"), "4");
    EXPECT_EQ(ReadSectionLines(f, "A"), (Lines{"k=new", "other=2", "added=3"}));
    EXPECT_EQ(ReadSectionNames(f), (Lines{"A", "B", "C"}));
    const std::string text = dir.Read("t.ini");
    EXPECT_NE(text.find("; settings"), std::string::npos); // untouched lines stay
    EXPECT_NE(text.find("k=new\r\n"), std::string::npos);
    EXPECT_NE(text.find("[C]\r\nc=4\r\n"), std::string::npos);

    const auto created = dir.Path("new.ini");
    ASSERT_TRUE(WriteString(created, "S", "k", "v"));
    EXPECT_EQ(Get(created, "S", "k"), "v");
    const auto unterminated = dir.Write("u.ini", "[S]\r\na=1");
    ASSERT_TRUE(WriteString(unterminated, "S", "b", "2"));
    EXPECT_EQ(Get(unterminated, "S", "a"), "1");
    EXPECT_EQ(Get(unterminated, "S", "b"), "2");
}

TEST_F(Profile, DeletingAKeyOrErasingASectionTakesTheFirstOnly) {
    const auto f = Ini("[A]\r\nk=1\r\nK=2\r\n[a]\r\nk=3\r\n[B]\r\nz=1\r\n");
    ASSERT_TRUE(DeleteKey(f, "A", "k"));
    EXPECT_EQ(Get(f, "A", "k"), "2");
    ASSERT_TRUE(EraseSection(f, "a"));
    EXPECT_EQ(ReadSectionNames(f), (Lines{"a", "B"}));
    EXPECT_EQ(Get(f, "A", "k"), "3");
    EXPECT_EQ(Get(f, "B", "z"), "1");
    EXPECT_TRUE(DeleteKey(f, "B", "missing"));
    EXPECT_TRUE(DeleteKey(f, "Missing", "k"));
    EXPECT_TRUE(EraseSection(f, "Missing"));
    EXPECT_EQ(Get(f, "B", "z"), "1");

    const auto none = dir.Path("none.ini");
    EXPECT_TRUE(DeleteKey(none, "A", "k"));
    EXPECT_TRUE(EraseSection(none, "A"));
    EXPECT_FALSE(std::filesystem::exists(none)); // nothing to delete creates nothing
}

TEST_F(Profile, AWriteThatCannotHappenFailsAndChangesNothing) {
    EXPECT_FALSE(WriteString(dir.Path("missing/folder/t.ini"), "A", "k", "v"));
    std::filesystem::create_directory(dir.Path("folder.ini"));
    EXPECT_FALSE(WriteString(dir.Path("folder.ini"), "A", "k", "v"));

    // A line break would add lines (keys) to the file: refused.
    const auto f = Ini("[A]\r\nk=1\r\n");
    EXPECT_FALSE(WriteString(f, "A", "k", "x\r\nbad=2"));
    EXPECT_FALSE(WriteString(f, "A", "k=", "x"));
    EXPECT_FALSE(WriteString(f, "A]", "k", "x"));
    EXPECT_FALSE(WriteString(f, "A", "", "x"));
    EXPECT_EQ(dir.Read("t.ini"), "[A]\r\nk=1\r\n");
}

} // namespace
