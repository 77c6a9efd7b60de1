// FTP over TLS in the settings file: the keys FTPTLS and FTPTLSCert stand in a section only
// while set, so a file from before them is written back byte for byte; switching TLS or FTP off
// takes them out again. Natively and under Wine against the real profile functions.
#include "ui/EditWork.h"
#include "works/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "tests/platform/TempFolder.h"
#include <gtest/gtest.h>

namespace {

using namespace kw;

const char* const OldFile = "[Settings]\r\nPID=7\r\nHide=1\r\nLanguage=English.lng\r\n"
                            "[File231206184512]\r\nName=Page\r\nFileIn=C:\\in.htm\r\nFileOut=C:\\out.htm\r\n"
                            "Update=60\r\nCodePage=1\r\nUseFTP=1\r\nFTPServer=127.0.0.1\r\nFTPPort=21\r\n"
                            "FTPPassive=1\r\nFTPUTF8=0\r\nFTPLogin=u\r\nFTPPass=21\r\nFTPPath=/\r\nFIPFile=out.htm\r\n";
const char* const Work = "File231206184512";

class SettingsFtps : public ::testing::Test {
protected:
    kwtest::TTempFolder dir;
    TSettings settings;

    void SetUp() override {
        fs::SetProgramPathForTesting(dir.Path("KWPAGE.exe"));
        dir.Write("KWPAGE.ini", OldFile);
        LoadSettings(settings);
        ASSERT_EQ(settings.Works.Count(), 1u);
    }
    void TearDown() override { fs::SetProgramPathForTesting(""); }

    std::string Key(const char* key) const { return profile::ReadString(settings.FileName, Work, key, "<none>"); }
    void Save(TWorkConfig c) {
        settings.Works.At(0)->SetConfig(std::move(c));
        ASSERT_TRUE(SaveWork(settings, 0));
    }
    TWorkConfig Reloaded() {
        TSettings again;
        LoadSettings(again);
        return again.Works.At(0)->Config();
    }
};

TEST_F(SettingsFtps, TodaysFileHasNoTlsAndIsWrittenBackByteForByte) {
    EXPECT_FALSE(settings.Works.At(0)->Config().FTP.Tls);
    ASSERT_TRUE(SaveWork(settings, 0));
    EXPECT_EQ(dir.Read("KWPAGE.ini"), OldFile);
}

TEST_F(SettingsFtps, TlsAndFingerprintRoundTripAndLeaveWhenSwitchedOff) {
    TWorkConfig c = settings.Works.At(0)->Config();
    c.FTP.Tls = true;
    c.FTP.TlsSha256 = "AB:CD:EF";
    Save(c);
    EXPECT_EQ(Key("FTPTLS"), "1");
    EXPECT_EQ(Key("FTPTLSCert"), "AB:CD:EF");
    TWorkConfig r = Reloaded();
    EXPECT_TRUE(r.FTP.Tls);
    EXPECT_EQ(r.FTP.TlsSha256, "AB:CD:EF");

    c.FTP.TlsSha256.clear();  // the system's check: no fingerprint key
    Save(c);
    EXPECT_EQ(Key("FTPTLS"), "1");
    EXPECT_EQ(Key("FTPTLSCert"), "<none>");

    c.FTP.TlsSha256 = "AB";
    Save(c);
    c.FTP.Tls = false;  // TLS off: both keys leave, the file is today's again
    Save(c);
    EXPECT_EQ(dir.Read("KWPAGE.ini"), OldFile);

    c.FTP.Tls = true;
    Save(c);
    c.FTP.Use = false;  // FTP off: the FTP keys and the TLS keys leave together
    Save(c);
    EXPECT_EQ(Key("FTPTLS"), "<none>");
    EXPECT_EQ(Key("FTPServer"), "<none>");
    EXPECT_FALSE(Reloaded().FTP.Tls);
}

// The editor's part: the fingerprint is checked when TLS is on and stored in one form.
TEST(EditWorkFtps, FingerprintIsCheckedAndStoredNormalized) {
    TEditWorkFields f;
    f.Target = tcFTP;
    f.FTPServer = "ftp.example";
    f.FTPUser = "u";
    f.FTPPass = "p";
    f.FTPTLS = true;
    EXPECT_EQ(CheckBrowseFields(f), "");  // empty: the system's check
    f.FTPTLSCert = "AB:CD";
    EXPECT_EQ(CheckBrowseFields(f), "BadFTPCert");
    std::string typed;
    for (int i = 0; i < 32; ++i)
        typed += (i ? ":" : "") + std::string("0F");
    f.FTPTLSCert = " " + typed + " ";
    EXPECT_EQ(CheckBrowseFields(f), "");
    const TWorkConfig c = ApplySetting(f, TWorkConfig{});
    EXPECT_TRUE(c.FTP.Tls);
    std::string hex;
    for (int i = 0; i < 32; ++i)
        hex += "0f";
    EXPECT_EQ(c.FTP.TlsSha256, hex);
    f.FTPTLS = false;  // TLS off: a stale fingerprint neither blocks saving nor is kept
    f.FTPTLSCert = "junk";
    EXPECT_EQ(CheckBrowseFields(f), "");
    EXPECT_EQ(ApplySetting(f, TWorkConfig{}).FTP.TlsSha256, "");
}

} // namespace
