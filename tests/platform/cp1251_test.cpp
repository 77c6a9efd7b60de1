// The program's one Windows-1251 table: its UTF-8 forms against an independent converter, the
// way back with its replacement rule, and upper case, on which the host's state keys, the FTP
// names, the pages and the editor's comparisons all rely.
#include "platform/Cp1251.h"
#include <cstdio>
#include <gtest/gtest.h>

namespace {

using namespace kw;

std::string AllBytes() {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    return all;
}

TEST(Cp1251, EveryByteSurvivesTheWayToUtf8AndBack) {
    const std::string all = AllBytes();
    const std::string utf8 = Cp1251ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1251(utf8), all);
    std::string appended = "x";
    AppendCp1251AsUtf8(appended, all);
    EXPECT_EQ(appended, "x" + utf8);
    // the unassigned byte keeps its place as U+0098 rather than vanishing
    EXPECT_EQ(Cp1251ToUnicode(0x98), 0x0098);
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xC2\x98");
    EXPECT_EQ(Cp1251ToUnicode(0xC0), 0x0410);
    EXPECT_EQ(Cp1251ToUnicode(0xFF), 0x044F);
    EXPECT_EQ(Cp1251ToUnicode(0xB9), 0x2116);  // №
}

TEST(Cp1251, ForeignAndMalformedUtf8BecomeTheReplacement) {
    EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD" "b"), "a?b");         // a character the code page lacks
    EXPECT_EQ(Utf8ToCp1251("\xF0\x9F\x8E\xB5"), "?");            // four bytes, one character
    EXPECT_EQ(Utf8ToCp1251("\xC0\x80\xFF\xD0"), "????");         // overlong, invalid, cut short
    EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???");              // surrogate
    EXPECT_EQ(Utf8ToCp1251("\xF4\x90\x80\x80"), "????");         // beyond U+10FFFF
    EXPECT_EQ(Utf8ToCp1251("\xE2\x84"), "??");                   // cut short at the end
    EXPECT_EQ(Utf8ToCp1251("\xE4\xB8\xAD\xD0\x81", '_'), "_\xA8");
    EXPECT_EQ(Utf8ToCp1251(""), "");
}

TEST(Cp1251, UpperCaseTakesEveryLetterPairAndNothingElse) {
    EXPECT_EQ(UpperCase1251("\xB8\xA2\xB3\xBF\xE0\xFFz"), "\xA8\xA1\xB2\xAF\xC0\xDFZ");
    EXPECT_EQ(UpperCase1251("artist=\xEF\xF0\xE8\xE2\xE5\xF2"), "ARTIST=\xCF\xD0\xC8\xC2\xC5\xD2");
    EXPECT_EQ(UpperChar1251(0xB5), 0xB5);  // µ has no capital in the code page
    EXPECT_EQ(UpperChar1251(0x98), 0x98);
    std::string zero("a\0b", 3);
    EXPECT_EQ(UpperCase1251(zero), std::string("A\0B", 3));
    // a capital is its own upper case
    for (int b = 0; b < 256; ++b) {
        const uint8_t u = UpperChar1251(static_cast<uint8_t>(b));
        EXPECT_EQ(UpperChar1251(u), u) << "byte " << b;
    }
}

#ifndef _WIN32
std::string RunPython(const char* program) {
    std::string command = "/usr/bin/python3 -c \"";
    command += program;
    command += "\" 2>/dev/null";
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[1024];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    if (pclose(p) != 0)
        out.clear();
    return out;
}

// Python's codec is an independent converter; it leaves 0x98 unassigned.
TEST(Cp1251, MatchesPythonsCodec) {
    const std::string expected = RunPython(
        "import sys; sys.stdout.buffer.write(bytes(b for b in range(256) if b != 0x98).decode('cp1251').encode('utf-8'))");
    ASSERT_FALSE(expected.empty()) << "Debian's /usr/bin/python3 with its cp1251 codec must run here";
    std::string all = AllBytes();
    all.erase(0x98, 1);
    EXPECT_EQ(Cp1251ToUtf8(all), expected);

    const std::string upper = RunPython(
        "import sys\n"
        "for b in range(256):\n"
        "  try:\n"
        "    u=bytes([b]).decode('cp1251').upper().encode('cp1251')\n"
        "    sys.stdout.buffer.write(u if len(u)==1 else bytes([b]))\n"
        "  except Exception: sys.stdout.buffer.write(bytes([b]))");
    ASSERT_EQ(upper.size(), 256u);
    EXPECT_EQ(UpperCase1251(AllBytes()), upper);
}
#endif

} // namespace
