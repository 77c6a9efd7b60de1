// Pages read back as their code page gives them, checked against iconv (an independent
// converter, so native only).
#include "render/CodePages.h"
#include "render/PageText.h"
#include "tests/platform/TempFolder.h"
#include <cstdio>
#include <gtest/gtest.h>

namespace kw {
namespace {

// `bytes` converted by iconv, an independent converter.
std::string Iconv(const char* from, const std::string& bytes, const kwtest::TTempFolder& dir) {
    const std::string in = dir.Write("iconv.in", bytes);
    const std::string command = std::string("iconv -f ") + from + " -t UTF-8 " + in;
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

TEST(PageText, SingleBytePagesReadAsIconvReadsThem) {
    kwtest::TTempFolder dir;
    std::string all;
    for (int b = 0x20; b < 0x100; ++b)
        if (b != 0x7F)
            all += static_cast<char>(b);
    EXPECT_EQ(PageTextToUtf8(all, cpKOI8R), Iconv("KOI8-R", all, dir));
    EXPECT_EQ(PageTextToUtf8(all, cpKOI8U), Iconv("KOI8-U", all, dir));
    EXPECT_EQ(PageTextToUtf8(all, cpCP866), Iconv("CP866", all, dir));
    std::string no98 = all;
    no98.erase(no98.find('\x98'), 1);  // unassigned in Windows-1251: iconv refuses it
    EXPECT_EQ(PageTextToUtf8(no98, cpWindows1251), Iconv("CP1251", no98, dir));
    EXPECT_EQ(PageTextToUtf8(no98, 9), Iconv("CP1251", no98, dir));  // an unknown page is Windows-1251
}

TEST(PageText, MalformedUtf8ReadsAsReplacementCharacters) {
    EXPECT_EQ(PageTextToUtf8("a\xD0\x9F\xE2\x80\xA2", cpUTF8), "a\xD0\x9F\xE2\x80\xA2");
    EXPECT_EQ(PageTextToUtf8("a\xFF" "b\xC0\x80" "c\xED\xA0\x80" "d\xD0", cpUTF8),
              "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "d\xEF\xBF\xBD");
    EXPECT_EQ(Utf8Length("a\xD0\x9F\xE2\x80\xA2"), 3u);
}

} // namespace
} // namespace kw
