// Whole-file I/O and the file-system queries, natively and under Wine.
#include "TempFolder.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace kw::fs;

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(FileIo, WritingReplacesOrCreatesAndLeavesNoTemporaryFile) {
    kwtest::TTempFolder dir;
    std::string error;
    const std::string binary("a\0\r\n\xFF\xC0 z", 8);
    ASSERT_TRUE(WriteFileReplacing(dir.Path("page.htm"), binary, error)) << error;
    EXPECT_EQ(dir.Read("page.htm"), binary);
    ASSERT_TRUE(WriteFileReplacing(dir.Path("page.htm"), "short", error)) << error;
    EXPECT_EQ(dir.Read("page.htm"), "short");
    ASSERT_TRUE(WriteFileReplacing(dir.Path("empty.htm"), "", error)) << error;
    EXPECT_TRUE(FileExists(dir.Path("empty.htm")));
    EXPECT_EQ(Sorted(FindFiles(dir.Path(""), "*")), (std::vector<std::string>{"empty.htm", "page.htm"}));

    std::string back;
    ASSERT_TRUE(ReadWholeFile(dir.Path("page.htm"), back, error));
    EXPECT_EQ(back, "short");
    const std::string big(3 << 20, 'b');
    ASSERT_TRUE(WriteFileReplacing(dir.Path("big"), big, error));
    ASSERT_TRUE(ReadWholeFile(dir.Path("big"), back, error));
    EXPECT_EQ(back, big);
}

TEST(FileIo, FailuresAreReportedWithTheSystemsMessage) {
    kwtest::TTempFolder dir;
    std::string out = "stale", error;
    EXPECT_FALSE(ReadWholeFile(dir.Path("none.htm"), out, error));
    EXPECT_TRUE(out.empty());
    EXPECT_NE(error.find("none.htm"), std::string::npos);
    error.clear();
    EXPECT_FALSE(WriteFileReplacing(dir.Path("no/such/folder/page.htm"), "x", error));
    EXPECT_FALSE(error.empty());
    std::filesystem::create_directory(dir.Path("folder"));
    error.clear();
    EXPECT_FALSE(WriteFileReplacing(dir.Path("folder"), "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(DirectoryExists(dir.Path("folder")));
    EXPECT_FALSE(ReadWholeFile(dir.Path("folder"), out, error));
}

TEST(FileSystem, QueriesAndMasks) {
    kwtest::TTempFolder dir;
    dir.Write("KWPAGE.Russian.lng", "x");
    dir.Write("kwpage.english.LNG", "x");
    dir.Write("KWPAGE.ini", "x");
    std::filesystem::create_directory(dir.Path("KWPAGE.folder.lng"));
    EXPECT_TRUE(FileExists(dir.Path("KWPAGE.ini")));
    EXPECT_FALSE(FileExists(dir.Path("KWPAGE.folder.lng")));
    EXPECT_FALSE(FileExists(dir.Path("missing")));
    EXPECT_FALSE(DirectoryExists(dir.Path("KWPAGE.ini")));
    EXPECT_EQ(Sorted(FindFiles(dir.Path(""), "KWPAGE.*.lng")),
              (std::vector<std::string>{"KWPAGE.Russian.lng", "kwpage.english.LNG"}));
    EXPECT_EQ(FindFiles(dir.Path(""), "KWPAGE.?ni"), (std::vector<std::string>{"KWPAGE.ini"}));
    EXPECT_TRUE(FindFiles(dir.Path("missing"), "*").empty());
    EXPECT_FALSE(ProgramPath().empty());
}

} // namespace
