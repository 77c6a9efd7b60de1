// TVersionInfo: the four numbers of a file version, and under Windows the test program's own
// version resource (041904E3, built from the project version).
#include "widgets/VersionInfo.h"
#include <gtest/gtest.h>

namespace kw {
namespace {

using N = std::array<int32_t, 4>;

TEST(VersionNumbers, ReadOneAfterAnother) {
    EXPECT_EQ(ReadVersionNumbers("1.1.2.0"), (N{1, 1, 2, 0}));
    EXPECT_EQ(ReadVersionNumbers("2, 5, 1, 7"), (N{2, 5, 1, 7}));
    EXPECT_EQ(ReadVersionNumbers(""), (N{0, 0, 0, 0}));
    EXPECT_EQ(ReadVersionNumbers("3.1"), (N{3, 1, 0, 0}));  // missing parts are 0
    EXPECT_EQ(ReadVersionNumbers("7"), (N{7, 0, 0, 0}));
    EXPECT_EQ(ReadVersionNumbers("1.2.3.4.5"), (N{1, 2, 3, 4}));
    EXPECT_EQ(ReadVersionNumbers("1..2"), (N{1, 0, 2, 0}));
    EXPECT_EQ(ReadVersionNumbers("v1.2"), (N{0, 1, 2, 0}));
    EXPECT_EQ(ReadVersionNumbers("99999999999.1"), (N{2147483647, 1, 0, 0}));
}

TEST(VersionInfo, ReadsTheProgramsOwnResource) {
    TVersionInfo info;
#ifdef _WIN32
    EXPECT_EQ(info.FileVersion(), "1.0.0.0");
    EXPECT_EQ(info.GetInfoString(TVersionType::vtProductName), "KWPAGE");
    EXPECT_EQ(info.GetInfoString(TVersionType::vtInternalName), "widgets_version_test");
    EXPECT_EQ(info.GetInfoString(TVersionType::vtOriginalFileName), "widgets_version_test.exe");
    EXPECT_EQ(info.GetInfoString(TVersionType::vtComments), "");
    EXPECT_EQ((N{info.Major(), info.Minor(), info.Release(), info.Build()}), (N{1, 0, 0, 0}));
#else
    // No version resources here: empty strings and zeros.
    EXPECT_EQ(info.FileVersion(), "");
    EXPECT_EQ(info.GetInfoString(TVersionType::vtCompanyName), "");
    EXPECT_EQ((N{info.Major(), info.Minor(), info.Release(), info.Build()}), (N{0, 0, 0, 0}));
#endif
}

// The numbers are always read anew from FileVersion, which a file without a resource leaves as
// it was: they stay those of the string kept (under Windows the program's own 1.0.0.0; natively
// there are no resources, so the string is empty and the numbers are 0 either way).
TEST(VersionInfo, AFileWithoutResourceKeepsTheStringsAndReadsTheNumbersFromTheKeptVersion) {
    TVersionInfo info;
    const std::string before = info.FileVersion();
#ifdef _WIN32
    ASSERT_EQ(before, "1.0.0.0");
#endif
    info.ReadVersionInfo(std::string(KW_SOURCE_DIR) + "/dist/KWPAGE.English.lng");
    EXPECT_EQ(info.FileVersion(), before);
    EXPECT_EQ((N{info.Major(), info.Minor(), info.Release(), info.Build()}), ReadVersionNumbers(before));
    info.ReadVersionInfo("no such file.exe");
    EXPECT_EQ(info.GetInfoString(TVersionType::vtFileVersion), before);
    EXPECT_STREQ(VersionKey(TVersionType::vtLegalTradeMark), "LegalTrademarks");
}

} // namespace
} // namespace kw
