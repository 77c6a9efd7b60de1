// The work's escaping in the settings file: a section without the key is a work without
// escaping, and the key is written only while a work escapes its values, so files written
// before escaping existed are written back exactly as they were. Runs natively and under Wine
// against the real profile functions.
#include "works/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "tests/platform/TempFolder.h"
#include <gtest/gtest.h>

namespace {

using namespace kw;

class SettingsEscaping : public ::testing::Test {
  protected:
    kwtest::TTempFolder dir;
    TSettings settings;

    void SetUp() override { fs::SetProgramPathForTesting(dir.Path("KWPAGE.exe")); }
    void TearDown() override { fs::SetProgramPathForTesting(""); }

    std::string File() const { return dir.Read("KWPAGE.ini"); }
    void SetEscaping(int index, uint8_t escaping) {
        TWorkConfig c = settings.Works.At(index)->Config();
        c.Escaping = escaping;
        settings.Works.At(index)->SetConfig(c);
    }
};

// Two works as the program wrote them before escaping existed, one with FTP, one without.
const char* const OldFile = "[Settings]\r\nPID=7\r\nHide=1\r\nLanguage=English.lng\r\n"
                            "[File231206184512]\r\nName=Page\r\nFileIn=C:\\in.htm\r\nFileOut=C:\\out.htm\r\n"
                            "Update=60\r\nCodePage=1\r\nUseFTP=1\r\nFTPServer=127.0.0.1\r\nFTPPort=21\r\n"
                            "FTPPassive=1\r\nFTPUTF8=0\r\nFTPLogin=u\r\nFTPPass=21\r\nFTPPath=/\r\nFIPFile=out.htm\r\n"
                            "[File231206184513]\r\nName=Json\r\nFileIn=C:\\in.json\r\nFileOut=C:\\out.json\r\n"
                            "Update=15\r\nCodePage=0\r\nUseFTP=0\r\n";

TEST_F(SettingsEscaping, AFileWithoutTheKeyLoadsAsNoneAndIsWrittenBackByteForByte) {
    dir.Write("KWPAGE.ini", OldFile);
    LoadSettings(settings);
    ASSERT_EQ(settings.Works.Count(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(settings.Works.At(i)->Config().Escaping, 0);
        ASSERT_TRUE(SaveWork(settings, i));
    }
    EXPECT_EQ(File(), OldFile);
}

// The live server's keys in [Settings] follow the same rule: a file without them is written
// back as it was, and each stands only while it differs from its default.
TEST_F(SettingsEscaping, LiveServerKeysStandOnlyWhileSetAndOldFilesAreWrittenBackByteForByte) {
    dir.Write("KWPAGE.ini", OldFile);
    LoadSettings(settings);
    EXPECT_FALSE(settings.Live.On);
    EXPECT_EQ(settings.Live.Port, DefaultLivePort);
    ASSERT_TRUE(SaveProgramSettings(settings));
    EXPECT_EQ(File(), OldFile);

    settings.Live = {true, 18000, true, "abcdefghABCDEFGH0123"};
    ASSERT_TRUE(SaveProgramSettings(settings));
    TSettings again;
    LoadSettings(again);
    EXPECT_TRUE(again.Live.On);
    EXPECT_EQ(again.Live.Port, 18000);
    EXPECT_TRUE(again.Live.OtherComputers);
    EXPECT_EQ(again.Live.AccessKey, "abcdefghABCDEFGH0123");
    again.Live = {};
    ASSERT_TRUE(SaveProgramSettings(again));
    EXPECT_EQ(File(), OldFile);

    // A key a URL cannot carry as it is, a port out of range: read as none and the default.
    ASSERT_TRUE(profile::WriteString(settings.FileName, "Settings", "LiveKey", "short&key=1"));
    ASSERT_TRUE(profile::WriteString(settings.FileName, "Settings", "LivePort", "70000"));
    LoadSettings(again);
    EXPECT_EQ(again.Live.AccessKey, "");
    EXPECT_EQ(again.Live.Port, DefaultLivePort);
}

TEST_F(SettingsEscaping, TheKeyIsWrittenOnlyWhileValuesAreEscaped) {
    dir.Write("KWPAGE.ini", OldFile);
    LoadSettings(settings);
    SetEscaping(1, 3);
    ASSERT_TRUE(SaveWork(settings, 1));
    EXPECT_EQ(profile::ReadString(settings.FileName, "File231206184513", "Escaping", "<none>"), "3");
    EXPECT_EQ(profile::ReadString(settings.FileName, "File231206184512", "Escaping", "<none>"), "<none>");

    TSettings again;
    LoadSettings(again);
    EXPECT_EQ(again.Works.At(0)->Config().Escaping, 0);
    EXPECT_EQ(again.Works.At(1)->Config().Escaping, 3);

    // Back to none: the key goes and the section is what it was.
    SetEscaping(1, 0);
    ASSERT_TRUE(SaveWork(settings, 1));
    EXPECT_EQ(File(), OldFile);
}

TEST_F(SettingsEscaping, AValueThisProgramDoesNotKnowIsKeptAndNotANumberIsNone) {
    dir.Write("KWPAGE.ini", "[File1]\r\nEscaping=9\r\n[File2]\r\nEscaping=html\r\n[File3]\r\nEscaping=0x2\r\n");
    LoadSettings(settings);
    ASSERT_EQ(settings.Works.Count(), 3u);
    // A later program's mode survives a save here; renders treat it as none.
    EXPECT_EQ(settings.Works.At(0)->Config().Escaping, 9);
    EXPECT_EQ(settings.Works.At(1)->Config().Escaping, 0);
    EXPECT_EQ(settings.Works.At(2)->Config().Escaping, 2);
    ASSERT_TRUE(SaveWork(settings, 0));
    EXPECT_EQ(profile::ReadString(settings.FileName, "File1", "Escaping", "<none>"), "9");
}

} // namespace
