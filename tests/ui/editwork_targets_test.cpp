// The work editor's choice of target: each target's fields go through the editor into the
// settings file and back unchanged, each target's own checks give their message, and a work
// keeps only the chosen target's keys.
#include "ui/EditWork.h"
#include "works/Settings.h"
#include "config/TargetChecks.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "render/ValueFormat.h"
#include "tests/platform/TempFolder.h"
#include <gtest/gtest.h>

namespace {

using namespace kw;

const std::string Cert = "A4:36:FA:89:96:99:7C:2C:C4:4E:07:5D:8F:E0:B6:16:1D:08:E1:86:9B:36:7D:C5:55:6F:6F:5D:49:8B:4C:F7";

class EditWorkTargets : public ::testing::Test {
  protected:
    kwtest::TTempFolder dir;
    TSettings settings;

    void SetUp() override {
        fs::SetProgramPathForTesting(dir.Path("KWPAGE.exe"));
        dir.Write("now.tpl", "x");
        LoadSettings(settings);
    }
    void TearDown() override { fs::SetProgramPathForTesting(""); }

    TEditWorkFields Valid(int target) const {
        TEditWorkFields f;
        f.Name = "Now";
        f.FileIn = dir.Path("now.tpl");
        f.FileOut = dir.Path("now.html");
        f.Target = target;
        return f;
    }
    std::string KeyOf(const TEditWorkFields& f) const {
        return CheckSttings(f, settings.Works, -1, [](const std::string& p) { return fs::FileExists(p); }).MessageKey;
    }
    // Saves the fields as the editor does (a new work), then reads the file again as the program's
    // next start would and gives what the editor would show for that work.
    TEditWorkFields SavedAndReloaded(const TEditWorkFields& f) {
        EXPECT_EQ(KeyOf(f), "");
        const int index = GetNewSection(settings.Works, TLocalStamp{}, ApplySetting(f, TWorkConfig{}));
        EXPECT_TRUE(SaveWork(settings, index));
        TSettings again;
        LoadSettings(again);
        return FillData(again.Works, index);
    }
    std::string Key(const char* key) const {
        return profile::ReadString(settings.FileName, settings.Works.At(0)->Section(), key, "<none>");
    }
};

TEST_F(EditWorkTargets, HttpFieldsRoundTripWithThePasswordScrambled) {
    TEditWorkFields f = Valid(tcHTTP);
    f.HTTPMethod = hmPOST;
    f.HTTPURL = " http://127.0.0.1:8000/admin/metadata?mount=/live&mode=updinfo&song=!KW!SongTitle ";
    f.HTTPUser = " admin ";
    f.HTTPPass = " hack me ";
    f.HTTPType = "application/json; charset=utf-8";
    f.HTTPCert = Cert;
    const TEditWorkFields r = SavedAndReloaded(f);
    EXPECT_EQ(r.Target, tcHTTP);
    EXPECT_EQ(r.HTTPMethod, hmPOST);
    EXPECT_EQ(r.HTTPURL, "http://127.0.0.1:8000/admin/metadata?mount=/live&mode=updinfo&song=!KW!SongTitle");
    EXPECT_EQ(r.HTTPUser, "admin");
    EXPECT_EQ(r.HTTPPass, " hack me ");  // a password is taken as typed
    EXPECT_EQ(r.HTTPType, "application/json; charset=utf-8");
    EXPECT_EQ(r.HTTPCert, Cert);
    EXPECT_EQ(Key("Target"), "HTTP");
    EXPECT_EQ(Key("HTTPMethod"), "POST");
    EXPECT_EQ(dir.Read("KWPAGE.ini").find("hack me"), std::string::npos);
    EXPECT_EQ(Key("UseFTP"), "0");
    EXPECT_EQ(Key("TextHost"), "<none>");
}

TEST_F(EditWorkTargets, TcpAndUdpFieldsRoundTrip) {
    for (const int target : {tcTCP, tcUDP}) {
        SCOPED_TRACE(target);
        TEditWorkFields f = Valid(target);
        f.Name += std::to_string(target);
        f.FileOut = dir.Path("rds" + std::to_string(target) + ".txt");
        f.TextHost = " 127.0.0.1 ";
        f.TextPort = " 7000 ";
        const TEditWorkFields r = SavedAndReloaded(f);
        EXPECT_EQ(r.Target, target);
        EXPECT_EQ(r.TextHost, "127.0.0.1");
        EXPECT_EQ(r.TextPort, "7000");
        EXPECT_EQ(r.HTTPURL, "");
    }
}

// The MQTT fields: defaults written as no key at all, set values back as typed (the password
// scrambled, the fingerprint in one form), and each check with its message.
TEST_F(EditWorkTargets, MqttFieldsRoundTripAndAreChecked) {
    TEditWorkFields f = Valid(tcMQTT);
    f.MQTTHost = " broker.example ";
    f.MQTTTopic = "radio/a/!KW!SongArtist";
    TEditWorkFields r = SavedAndReloaded(f);
    EXPECT_EQ(r.Target, tcMQTT);
    EXPECT_EQ(r.MQTTHost, "broker.example");
    EXPECT_EQ(r.MQTTPort, "");
    EXPECT_EQ(r.MQTTQoS, 1);
    EXPECT_TRUE(r.MQTTRetain);
    for (const char* absent : {"MQTTPort", "MQTTTLS", "MQTTCert", "MQTTClientId", "MQTTUser", "MQTTPass", "MQTTQoS",
                               "MQTTRetain", "MQTTStatusTopic", "MQTTPayload"})
        EXPECT_EQ(Key(absent), "<none>") << absent;

    f.Name = "Second", f.FileOut = dir.Path("second.json");
    f.MQTTPort = "8884", f.MQTTTLS = true, f.MQTTCert = std::string(32, 'A') + ":" + std::string(32, 'b');
    f.MQTTClientId = "studio-a", f.MQTTUser = "u", f.MQTTPass = "p w", f.MQTTQoS = 0, f.MQTTRetain = false;
    f.MQTTStatusTopic = "radio/a/presence";
    r = SavedAndReloaded(f);
    EXPECT_EQ(r.MQTTPort, "8884");
    EXPECT_TRUE(r.MQTTTLS);
    EXPECT_EQ(r.MQTTCert, std::string(32, 'a') + std::string(32, 'b'));
    EXPECT_EQ(r.MQTTPass, "p w");
    EXPECT_EQ(r.MQTTQoS, 0);
    EXPECT_FALSE(r.MQTTRetain);
    EXPECT_EQ(r.MQTTStatusTopic, "radio/a/presence");

    const struct {
        void (*Spoil)(TEditWorkFields&);
        const char* Key;
    } cases[] = {
        {[](TEditWorkFields& e) { e.MQTTHost = " "; }, "NoMQTTHost"},
        {[](TEditWorkFields& e) { e.MQTTPort = "65536"; }, "BadMQTTPort"},
        {[](TEditWorkFields& e) { e.MQTTTLS = true, e.MQTTCert = "AB:CD"; }, "BadMQTTCert"},
        {[](TEditWorkFields& e) { e.MQTTClientId = "studio a"; }, "BadMQTTClientId"},
        {[](TEditWorkFields& e) { e.MQTTTopic = ""; }, "BadMQTTTopic"},
        {[](TEditWorkFields& e) { e.MQTTTopic = "radio/+/now"; }, "BadMQTTTopic"},
        {[](TEditWorkFields& e) { e.MQTTTopic = "radio/#"; }, "BadMQTTTopic"},
        {[](TEditWorkFields& e) { e.MQTTStatusTopic = "radio/!kw!SongArtist"; }, "BadMQTTStatusTopic"},
        {[](TEditWorkFields& e) { e.MQTTStatusTopic = "radio/#"; }, "BadMQTTStatusTopic"},
        {[](TEditWorkFields& e) { e.MQTTCert = "AB:CD"; }, ""},  // a fingerprint without TLS blocks nothing
    };
    for (const auto& c : cases) {
        TEditWorkFields e = Valid(tcMQTT);
        e.Name = "Third", e.FileOut = dir.Path("third.json");  // the saved works' names are taken
        e.MQTTHost = "broker", e.MQTTTopic = "radio/now";
        c.Spoil(e);
        EXPECT_EQ(KeyOf(e), c.Key) << c.Key;
    }
}

// A work that publishes the now-playing document saves without a template and without an
// output file, and keeps its choice; the same fields with the template's payload do not save.
TEST_F(EditWorkTargets, NowPlayingPayloadNeedsNoTemplate) {
    TEditWorkFields f = Valid(tcMQTT);
    f.MQTTHost = "broker", f.MQTTTopic = "radio/a/now";
    f.FileIn = f.FileOut = "";
    EXPECT_EQ(KeyOf(f), "SetFileIn");
    f.MQTTNowPlaying = true;
    EXPECT_TRUE(SavedAndReloaded(f).MQTTNowPlaying);
    EXPECT_EQ(Key("MQTTPayload"), "NowPlaying");
    EXPECT_TRUE(PublishesNowPlaying(settings.Works.At(0)->Config()));
    // A second such work: two blank outputs are no clash; its template, unread, is none either.
    f.Name = "Second";
    EXPECT_EQ(KeyOf(f), "");
    // A template work whose output is a blank-named file still needs both names.
    TEditWorkFields page = Valid(tcMQTT);
    page.Name = "Page", page.MQTTHost = "broker", page.MQTTTopic = "radio/b/now", page.FileOut = " ";
    EXPECT_EQ(KeyOf(page), "SetFileOut");
    // Another target: the template is needed again and the key leaves the file.
    f.Target = tcFileOnly;
    EXPECT_EQ(KeyOf(f), "SetFileIn");
}

TEST_F(EditWorkTargets, FtpAndFileOnlyRoundTripAsBefore) {
    TEditWorkFields f = Valid(tcFTP);
    f.FTPServer = "127.0.0.1";
    f.FTPUser = "kw";
    f.FTPPass = "pw";
    EXPECT_EQ(SavedAndReloaded(f).Target, tcFTP);
    EXPECT_EQ(Key("UseFTP"), "1");
    EXPECT_EQ(Key("Target"), "<none>");  // a file today's program reads as it always did

    TEditWorkFields plain = Valid(tcFileOnly);
    plain.Name = "Plain";
    plain.FileOut = dir.Path("plain.html");
    plain.HTTPURL = "http://left.over/";  // typed, then another target chosen: not kept
    plain.TextHost = "left.over";
    const TEditWorkFields r = SavedAndReloaded(plain);
    EXPECT_EQ(r.Target, tcFileOnly);
    EXPECT_EQ(r.HTTPURL, "");
    EXPECT_EQ(r.TextHost, "");
}

// Choosing another target drops every key of the old one from the work's section.
TEST_F(EditWorkTargets, AnotherTargetLeavesNoKeysOfTheOldOne) {
    TEditWorkFields f = Valid(tcHTTP);
    f.HTTPURL = "https://example.org/now";
    f.HTTPUser = "u";
    f.HTTPPass = "p";
    SavedAndReloaded(f);
    TEditWorkFields edit = FillData(settings.Works, 0);
    edit.Target = tcUDP;
    edit.TextHost = "rds.local";
    edit.TextPort = "4001";
    ASSERT_EQ(CheckSttings(edit, settings.Works, 0, [](const std::string&) { return true; }).MessageKey, "");
    settings.Works.At(0)->SetConfig(ApplySetting(edit, settings.Works.At(0)->Config()));
    ASSERT_TRUE(SaveWork(settings, 0));
    for (const char* key : {"HTTPMethod", "HTTPURL", "HTTPLogin", "HTTPPass", "HTTPType", "HTTPCert"})
        EXPECT_EQ(Key(key), "<none>") << key;
    EXPECT_EQ(Key("Target"), "UDP");
    EXPECT_EQ(Key("TextPort"), "4001");
}

// "Serve live" goes through the editor's form and back: a save there keeps what the file says.
TEST_F(EditWorkTargets, ASaveInTheEditorKeepsServeLive) {
    SavedAndReloaded(Valid(tcFileOnly));
    TWorkConfig live = settings.Works.At(0)->Config();
    live.ServeLive = true;
    settings.Works.At(0)->SetConfig(live);
    const TEditWorkFields edit = FillData(settings.Works, 0);
    settings.Works.At(0)->SetConfig(ApplySetting(edit, settings.Works.At(0)->Config()));
    ASSERT_TRUE(SaveWork(settings, 0));
    EXPECT_EQ(Key("ServeLive"), "1");
}

TEST_F(EditWorkTargets, EachTargetsChecksGiveTheirMessage) {
    struct TCase {
        int Target;
        std::string Url, Cert, Host, Port, Key;
    };
    const TCase cases[] = {
        {tcHTTP, "", "", "", "", "NoHTTPURL"},
        {tcHTTP, "   ", "", "", "", "NoHTTPURL"},
        {tcHTTP, "127.0.0.1/now", "", "", "", "NoHTTPURL"},  // no scheme
        {tcHTTP, "ftp://127.0.0.1/now", "", "", "", "NoHTTPURL"},
        {tcHTTP, "http:///now", "", "", "", "NoHTTPURL"},  // no host
        {tcHTTP, "http://admin:pw@127.0.0.1/", "", "", "", "NoHTTPURL"},  // credentials belong in their fields
        {tcHTTP, "HTTPS://127.0.0.1?song=!KW!SongTitle", "", "", "", ""},
        {tcHTTP, "http://!KW!SongTitle/now", "", "", "", "NoHTTPURL"},  // a value would choose the host
        {tcHTTP, "http://radio.example:!kw!SongTitle/now", "", "", "", "NoHTTPURL"},
        {tcHTTP, "!KW!SongTitle://radio.example/now", "", "", "", "NoHTTPURL"},
        {tcHTTP, "http://h/", "AB:CD", "", "", "BadCertSHA256"},
        {tcHTTP, "http://h/", Cert + ":00", "", "", "BadCertSHA256"},
        {tcHTTP, "http://h/", Cert.substr(3) + ":zz", "", "", "BadCertSHA256"},
        {tcHTTP, "http://h/", " a436fa8996997c2cc44e075d8fe0b6161d08e1869b367dc5556f6f5d498b4cf7 ", "", "", ""},
        {tcTCP, "", "", "", "4001", "NoTextHost"},
        {tcUDP, "", "", " \t", "4001", "NoTextHost"},
        {tcTCP, "", "", "rds", "", "BadTextPort"},
        {tcTCP, "", "", "rds", "0", "BadTextPort"},
        {tcUDP, "", "", "rds", "65536", "BadTextPort"},
        {tcUDP, "", "", "rds", "99999999999", "BadTextPort"},
        {tcTCP, "", "", "rds", "-1", "BadTextPort"},
        {tcTCP, "", "", "rds", "40 01", "BadTextPort"},
        {tcUDP, "", "", "rds", " 65535 ", ""},
        {tcFileOnly, "nonsense", "nonsense", "", "nonsense", ""},  // fields of targets not chosen
    };
    for (const TCase& c : cases) {
        TEditWorkFields f = Valid(c.Target);
        f.HTTPURL = c.Url;
        f.HTTPCert = c.Cert;
        f.TextHost = c.Host;
        f.TextPort = c.Port;
        EXPECT_EQ(KeyOf(f), c.Key) << c.Target << " '" << c.Url << "' '" << c.Cert << "' '" << c.Port << "'";
    }
    // A header value with a line break or another control byte would start a header of its own.
    for (const char* type : {"text/plain\r\nX-A: 1", "text/\x01plain"}) {
        TEditWorkFields f = Valid(tcHTTP);
        f.HTTPURL = "http://h/";
        f.HTTPType = type;
        EXPECT_EQ(KeyOf(f), "BadHTTPType") << type;
    }
    // The general checks still come first.
    TEditWorkFields f = Valid(tcHTTP);
    f.Name = " ";
    EXPECT_EQ(KeyOf(f), "SetShape");
}

// The trigger's letters: exactly the letters the program writes for the element types, in
// either case; checked and kept only while letters are the trigger.
TEST_F(EditWorkTargets, TriggerLettersAreTheElementTypesLettersAndKeptOnlyForThatTrigger) {
    std::string every;
    for (int type = 0; type <= 16; ++type)
        every += ElementTypeLetter(static_cast<uint8_t>(type));
    TEditWorkFields f = Valid(tcFileOnly);
    f.Trigger = trLetters;
    for (const std::string& letters : {every, std::string(" ms ")}) {
        f.TriggerLetters = letters;
        EXPECT_EQ(KeyOf(f), "") << letters;
    }
    for (const char* letters : {"", "  ", "M S", "MX", "?", "M,S", "\xCC"}) {
        f.TriggerLetters = letters;
        EXPECT_EQ(KeyOf(f), "BadTriggerLetters") << letters;
    }
    f.TriggerLetters = " ms ";
    EXPECT_EQ(ApplySetting(f, TWorkConfig{}).Publish.Letters, "MS");
    f.Trigger = trSongs;  // the field is off: never checked, never stored
    f.TriggerLetters = "MX";
    EXPECT_EQ(KeyOf(f), "");
    EXPECT_EQ(ApplySetting(f, TWorkConfig{}).Publish.Letters, "");
}

TEST(TargetChecks, PortsAndFingerprints) {
    uint16_t port = 0;
    EXPECT_TRUE(ParsePort("1", port));
    EXPECT_EQ(port, 1);
    EXPECT_TRUE(ParsePort("065535", port) == false);  // six digits: no port is written so
    EXPECT_TRUE(ParsePort("08080", port));
    EXPECT_EQ(port, 8080);
    std::string f;
    EXPECT_TRUE(NormaliseFingerprint(Cert, f));
    EXPECT_EQ(f, "a436fa8996997c2cc44e075d8fe0b6161d08e1869b367dc5556f6f5d498b4cf7");
}

} // namespace
