// The delivery targets in the settings file: a file written before they existed loads as
// "file only" or FTP and is written back byte for byte; each target's keys stand in the section
// only while the work uses it; the HTTP password is never plain in the file. Runs natively and
// under Wine against the real profile functions.
#include "config/Password.h"
#include "works/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "tests/platform/TempFolder.h"
#include <gtest/gtest.h>

namespace {

using namespace kw;

// Two works as today's program writes them, one with FTP, one without.
const char* const OldFile = "[Settings]\r\nPID=7\r\nHide=1\r\nLanguage=English.lng\r\n"
                            "[File231206184512]\r\nName=Page\r\nFileIn=C:\\in.htm\r\nFileOut=C:\\out.htm\r\n"
                            "Update=60\r\nCodePage=1\r\nUseFTP=1\r\nFTPServer=127.0.0.1\r\nFTPPort=21\r\n"
                            "FTPPassive=1\r\nFTPUTF8=0\r\nFTPLogin=u\r\nFTPPass=21\r\nFTPPath=/\r\nFIPFile=out.htm\r\n"
                            "[File231206184513]\r\nName=Json\r\nFileIn=C:\\in.json\r\nFileOut=C:\\out.json\r\n"
                            "Update=15\r\nCodePage=0\r\nUseFTP=0\r\n";
const char* const FtpWork = "File231206184512";
const char* const PlainWork = "File231206184513";

class SettingsTargets : public ::testing::Test {
  protected:
    kwtest::TTempFolder dir;
    TSettings settings;

    void SetUp() override {
        fs::SetProgramPathForTesting(dir.Path("KWPAGE.exe"));
        dir.Write("KWPAGE.ini", OldFile);
        LoadSettings(settings);
        ASSERT_EQ(settings.Works.Count(), 2u);
    }
    void TearDown() override { fs::SetProgramPathForTesting(""); }

    std::string File() const { return dir.Read("KWPAGE.ini"); }
    std::string Key(const char* section, const char* key) const {
        return profile::ReadString(settings.FileName, section, key, "<none>");
    }
    void Save(int index, TWorkConfig c) {
        settings.Works.At(index)->SetConfig(std::move(c));
        ASSERT_TRUE(SaveWork(settings, index));
    }
    TWorkConfig Reloaded(int index) {
        TSettings again;
        LoadSettings(again);
        return again.Works.At(index)->Config();
    }
};

TEST_F(SettingsTargets, TodaysFileLoadsAsFileOnlyOrFtpAndIsWrittenBackByteForByte) {
    EXPECT_EQ(TargetChoiceOf(settings.Works.At(0)->Config()), tcFTP);
    EXPECT_EQ(TargetChoiceOf(settings.Works.At(1)->Config()), tcFileOnly);
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(SaveWork(settings, i));
    EXPECT_EQ(File(), OldFile);
}

TEST_F(SettingsTargets, HttpTargetRoundTripsWithItsPasswordScrambled) {
    TWorkConfig c = settings.Works.At(1)->Config();
    SetTargetChoice(c, tcHTTP);
    c.HTTP.Method = hmPUT;
    c.HTTP.URL = "https://127.0.0.1:8443/admin/metadata?mount=/live&song=!SONG!";
    c.HTTP.Login = "source";
    c.HTTP.Password = "hackme";
    c.HTTP.ContentType = "application/json; charset=utf-8";
    c.HTTP.CertSHA256 = "AB:CD";
    Save(1, c);
    EXPECT_EQ(Key(PlainWork, "Target"), "HTTP");
    EXPECT_EQ(Key(PlainWork, "HTTPMethod"), "PUT");
    EXPECT_EQ(Key(PlainWork, "HTTPPass"), ScramblePassword("hackme"));
    EXPECT_EQ(File().find("hackme"), std::string::npos);
    EXPECT_EQ(Key(PlainWork, "TextHost"), "<none>");

    const TWorkConfig r = Reloaded(1);
    EXPECT_EQ(TargetChoiceOf(r), tcHTTP);
    EXPECT_EQ(r.HTTP.Method, hmPUT);
    EXPECT_EQ(r.HTTP.URL, c.HTTP.URL);
    EXPECT_EQ(r.HTTP.Login, "source");
    EXPECT_EQ(r.HTTP.Password, "hackme");
    EXPECT_EQ(r.HTTP.ContentType, c.HTTP.ContentType);
    EXPECT_EQ(r.HTTP.CertSHA256, "AB:CD");

    // Back to the file only: every key of the target goes and the section is what it was.
    SetTargetChoice(c, tcFileOnly);
    Save(1, c);
    EXPECT_EQ(File(), OldFile);
}

TEST_F(SettingsTargets, TextTargetsRoundTripAndChoosingOneEndsFtp) {
    TWorkConfig c = settings.Works.At(0)->Config();
    SetTargetChoice(c, tcUDP);
    c.Text.Host = "rds.local";
    c.Text.Port = 7001;
    Save(0, c);
    EXPECT_EQ(Key(FtpWork, "UseFTP"), "0");
    EXPECT_EQ(Key(FtpWork, "FTPServer"), "<none>");
    EXPECT_EQ(Key(FtpWork, "HTTPURL"), "<none>");
    TWorkConfig r = Reloaded(0);
    EXPECT_EQ(TargetChoiceOf(r), tcUDP);
    EXPECT_FALSE(r.FTP.Use);
    EXPECT_EQ(r.Text.Host, "rds.local");
    EXPECT_EQ(r.Text.Port, 7001);

    SetTargetChoice(c, tcTCP);
    Save(0, c);
    EXPECT_EQ(Key(FtpWork, "Target"), "TCP");
    EXPECT_EQ(TargetChoiceOf(Reloaded(0)), tcTCP);
}

TEST_F(SettingsTargets, UnknownValuesTakeTheDefaults) {
    dir.Write("KWPAGE.ini", "[File1]\r\nTarget=SMTP\r\nHTTPMethod=DELETE\r\nTextPort=70000\r\n"
                            "[File2]\r\nTarget=http\r\nHTTPMethod=post\r\n");
    LoadSettings(settings);
    ASSERT_EQ(settings.Works.Count(), 2u);
    const TWorkConfig a = settings.Works.At(0)->Config();
    EXPECT_EQ(TargetChoiceOf(a), tcFileOnly);
    EXPECT_EQ(a.HTTP.Method, hmGET);
    EXPECT_EQ(a.Text.Port, 0);
    const TWorkConfig b = settings.Works.At(1)->Config();
    EXPECT_EQ(TargetChoiceOf(b), tcHTTP);
    EXPECT_EQ(b.HTTP.Method, hmPOST);
}

} // namespace
