// Whole-file I/O and the file-system queries, natively and under Wine.
#include "TempFolder.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
    TReadFailure failure{};
    EXPECT_FALSE(ReadWholeFile(dir.Path("folder"), out, error, failure));
    EXPECT_EQ(failure, TReadFailure::Open);
    EXPECT_FALSE(ReadWholeFile(dir.Path("none.htm"), out, error, failure));
    EXPECT_EQ(failure, TReadFailure::Open);
    dir.Write("there", "bytes");
    EXPECT_TRUE(ReadWholeFile(dir.Path("there"), out, error, failure));
    EXPECT_EQ(failure, TReadFailure::None);
    EXPECT_EQ(out, "bytes");
}

#ifndef _WIN32
// Targets that are not plain files are written in place and keep being what they are; one
// that cannot take the bytes reports the system's message. Nothing waits for a pipe without
// a reader, and no temporary is left anywhere.
TEST(FileIo, DevicesAndPipesAreWrittenInPlace) {
    kwtest::TTempFolder dir;
    std::string error;
    EXPECT_TRUE(WriteFileReplacing("/dev/null", "page", error)) << error;
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_FALSE(WriteFileReplacing("/dev/full", "page", error));
    EXPECT_EQ(error, "/dev/full: " + std::string(std::strerror(ENOSPC)));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    for (const auto& e : std::filesystem::directory_iterator("/dev"))
        EXPECT_EQ(e.path().filename().string().find(".~"), std::string::npos) << e.path();

    const std::string fifo = dir.Path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    error.clear();
    EXPECT_FALSE(WriteFileReplacing(fifo, "page", error));  // no reader: fails at once
    EXPECT_EQ(error, fifo + ": " + std::strerror(ENXIO));
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(WriteFileReplacing(fifo, "page", error)) << error;
    char got[8] = {};
    EXPECT_EQ(read(reader, got, sizeof got), 4);
    EXPECT_EQ(std::string(got), "page");
    // The reader goes away: the write fails instead of the signal ending the program.
    close(reader);
    const int reader2 = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader2, 0);
    std::thread closer([reader2] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        close(reader2);
    });
    EXPECT_FALSE(WriteFileReplacing(fifo, std::string(1 << 20, 'x'), error));  // more than a pipe holds
    closer.join();
    EXPECT_EQ(error, fifo + ": " + std::strerror(EPIPE));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(FindFiles(dir.Path(""), "*"), std::vector<std::string>{});
}

TEST(FileIo, ReadFailureIsToldFromOpenFailure) {
    std::string out = "stale", error;
    TReadFailure failure{};
    // Opens, then fails: the first page of this process's memory is never mapped.
    EXPECT_FALSE(ReadWholeFile("/proc/self/mem", out, error, failure));
    EXPECT_EQ(failure, TReadFailure::Read);
    EXPECT_EQ(error, "/proc/self/mem: " + std::string(std::strerror(EIO)));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(ReadWholeFile("/dev/zero", out, error, failure));  // would never end
    EXPECT_EQ(failure, TReadFailure::Open);
    // Files the size query calls empty are still read to their end.
    EXPECT_TRUE(ReadWholeFile("/proc/self/status", out, error, failure));
    EXPECT_NE(out.find("Name:"), std::string::npos);
}
#endif

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

// A folder made afresh: a name in use (a folder, a file, a link to elsewhere) is refused and
// left as it was; a made folder empties and goes.
TEST(FileSystem, NewFolderIsNeverTakenOver) {
    kwtest::TTempFolder dir;
    std::string error;
    ASSERT_TRUE(CreateNewFolder(dir.Path("fresh"), error)) << error;
    EXPECT_TRUE(DirectoryExists(dir.Path("fresh")));
    EXPECT_FALSE(CreateNewFolder(dir.Path("fresh"), error));
    EXPECT_NE(error.find("fresh"), std::string::npos);
    dir.Write("taken", "x");
    EXPECT_FALSE(CreateNewFolder(dir.Path("taken"), error));
    EXPECT_TRUE(FileExists(dir.Path("taken")));
#ifndef _WIN32
    // a link planted under the name, pointing at a folder of the attacker's: refused too
    ASSERT_EQ(symlink(dir.Path("fresh").c_str(), dir.Path("planted").c_str()), 0);
    EXPECT_FALSE(CreateNewFolder(dir.Path("planted"), error));
    struct stat st {};
    ASSERT_EQ(stat(dir.Path("fresh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
#endif
    dir.Write("fresh/page.html", "x");
    EXPECT_FALSE(RemoveEmptyFolder(dir.Path("fresh")));  // not empty
    EXPECT_TRUE(RemoveFileAt(dir.Path("fresh/page.html")));
    EXPECT_FALSE(RemoveFileAt(dir.Path("fresh/page.html")));
    EXPECT_TRUE(RemoveEmptyFolder(dir.Path("fresh")));
    EXPECT_FALSE(DirectoryExists(dir.Path("fresh")));
}

} // namespace
