// Section lists, escapes, references and the integer reading of language values.
#include "lang/SectionList.h"
#include "lang/TextExpansion.h"
#include <gtest/gtest.h>

namespace kw::lang {
namespace {

std::shared_ptr<const TSectionData> Section(const std::vector<std::string>& lines) {
    return TSectionData::FromLines(lines);
}

std::string Expand(const std::vector<std::string>& constants, const std::string& text) {
    return TReferenceExpander(*Section(constants)).Expand(text);
}

TEST(SectionList, SkipsCommentsAndLinesWithoutKeyAndFindsKeysInAnyCase) {
    auto s = Section({"", ";Comment=x", "=first", "no equals", "b.Hint=B hint", "a=A = with equals",
                      "Caption=", "zeta=last"});
    ASSERT_EQ(s->Count(), 4u);
    EXPECT_EQ(s->Entry(0).Key, "A");  // keys upper-cased and sorted
    EXPECT_EQ(*s->Find("A"), "A = with equals");
    EXPECT_EQ(*s->Find("B.HINT"), "B hint");
    EXPECT_EQ(*s->Find("b.hint"), "B hint");
    ASSERT_NE(s->Find("caption"), nullptr);
    EXPECT_EQ(*s->Find("caption"), "");
    EXPECT_EQ(s->Find("0below"), nullptr);  // below the first entry
    EXPECT_EQ(s->Find("zz"), nullptr);      // above the last
    EXPECT_EQ(s->Find("b"), nullptr);       // a prefix is not a match
    EXPECT_EQ(Section({})->IndexOf("A"), -1);
}

TEST(SectionList, FirstOfDuplicateKeysWinsAndNonAsciiBytesCompareByCode) {
    auto s = Section({"Key=first", "KEY=second", "\xC0\xE1=cyr", "\xE0\xE1=lower"});
    EXPECT_EQ(*s->Find("key"), "first");
    EXPECT_EQ(*s->Find("\xC0\xE1"), "cyr");    // Cyrillic letters are not folded
    EXPECT_EQ(*s->Find("\xE0\xE1"), "lower");
    EXPECT_EQ(CompareTextAscii("abc", "ABD"), -1);
    EXPECT_EQ(CompareTextAscii("AB", "ab"), 0);
    EXPECT_EQ(CompareTextAscii("ab", "a"), 1);
}

TEST(SectionList, BinarySearchFindsEveryKeyOfALargeList) {
    std::vector<std::string> lines;
    for (int i = 0; i < 1000; ++i)
        lines.push_back(std::string("Key") + std::to_string(i * 7919 % 1000) + std::string("=v") + std::to_string(i * 7919 % 1000));
    auto s = Section(lines);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(*s->Find(std::string("key") + std::to_string(i)), std::string("v") + std::to_string(i));
    EXPECT_EQ(s->Find("key1000"), nullptr);
}

TEST(Escapes, EachSequenceGivesItsCharactersAndOthersStay) {
    EXPECT_EQ(DecodeEscapes("Line1\\nLine2"), "Line1\r\nLine2");
    EXPECT_EQ(DecodeEscapes("a\\rb"), "a\n\rb");  // line feed first
    EXPECT_EQ(DecodeEscapes("\\a\\b\\t\\v\\f"), "\a\b\t\v\f");
    EXPECT_EQ(DecodeEscapes("x\\0y"), std::string("x\0y", 3));
    EXPECT_EQ(DecodeEscapes("\\N \\x \\\\ end\\"), "\\N \\x \\\\ end\\");  // case-sensitive, no "\\" escape
    EXPECT_EQ(DecodeEscapes("\\\\n"), "\\\r\n");
}

TEST(References, ResolveAgainstConstantsAndStayWhenMissing) {
    const std::vector<std::string> c = {"Prog=Publisher", "b.c=BC", "Empty=", "14=fourteen"};
    EXPECT_EQ(Expand(c, "Start .Prog now"), "Start Publisher now");
    EXPECT_EQ(Expand(c, "Start .Prog."), "Start .Prog.");  // looks for "PROG."
    EXPECT_EQ(Expand(c, "Pi 3.14"), "Pi 3fourteen");
    EXPECT_EQ(Expand({"Prog=P"}, "Pi 3.14"), "Pi 3.14");
    EXPECT_EQ(Expand(c, "Ends in a dot."), "Ends in a dot.");
    EXPECT_EQ(Expand(c, "a.b.c"), "aBC");
    EXPECT_EQ(Expand(c, "x .Empty y .Missing"), "x .Empty y .Missing");
    EXPECT_EQ(Expand(c, ". .. ...x"), ". .. ...x");
    EXPECT_EQ(Expand(c, "(.prog)"), "(Publisher)");  // names ignore case
}

TEST(References, ConstantsAreDecodedAndExpandedInTurn) {
    const std::vector<std::string> c = {"Name=KW\\tPAGE", "Full=.Name .Ver", "Ver=1.0"};
    EXPECT_EQ(Expand(c, "[.Full]"), "[KW\tPAGE 1.0]");
}

TEST(References, SelfReferenceStopsAtTheDepthBoundAndKeepsTheRemainingReference) {
    const std::string out = Expand({"Loop=x.Loop"}, ".Loop");
    EXPECT_EQ(out, std::string(kMaxReferenceDepth, 'x') + ".Loop");
    const std::string cycle = Expand({"A=a.B", "B=b.A"}, ".A");
    EXPECT_EQ(cycle.substr(cycle.size() - 2), ".A");
}

TEST(References, FanOutCannotGrowATextWithoutBound) {
    // N0 refers ten times to N1, N1 ten times to N2, ...: 10^12 copies without a bound.
    std::vector<std::string> c;
    for (int level = 0; level < 12; ++level) {
        std::string v;
        for (int i = 0; i < 10; ++i)
            v += std::string(".N") + std::to_string(level + 1) + " ";
        c.push_back(std::string("N") + std::to_string(level) + "=" + v);
    }
    c.push_back("N12=leaf");
    const std::string out = Expand(c, ".N0");
    EXPECT_LE(out.size(), kMaxExpandedLength);
    EXPECT_NE(out.find("leaf"), std::string::npos);
}

TEST(IntegerReading, DecimalHexPartialAndGarbage) {
    EXPECT_EQ(ReadIntegerPrefix("1033"), 1033);
    EXPECT_EQ(ReadIntegerPrefix("  -12"), -12);
    EXPECT_EQ(ReadIntegerPrefix("+7"), 7);
    EXPECT_EQ(ReadIntegerPrefix("$409"), 1033);
    EXPECT_EQ(ReadIntegerPrefix("0x419"), 1049);
    EXPECT_EQ(ReadIntegerPrefix("0X1f"), 31);
    EXPECT_EQ(ReadIntegerPrefix("12abc"), 12);
    EXPECT_EQ(ReadIntegerPrefix("abc"), 0);
    EXPECT_EQ(ReadIntegerPrefix(""), 0);
    EXPECT_EQ(ReadIntegerPrefix("$"), 0);
    EXPECT_EQ(ReadIntegerPrefix("99999999999999999999"), 2147483647);
    EXPECT_EQ(ReadIntegerPrefix("-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(ReadIntegerPrefix("$FFFFFFFF"), -1);
    size_t stop = 0;
    ReadIntegerPrefix(" 42,5", &stop);
    EXPECT_EQ(stop, 3u);
}

} // namespace
} // namespace kw::lang
