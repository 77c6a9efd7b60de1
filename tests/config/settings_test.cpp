// The settings file: defaults, clamps, the work-section rule, round trips, deletion, the
// 129th work and writes that fail. Runs natively and under Wine against the real profile
// functions.
#include "config/EditWorkText.h"
#include "config/IniValues.h"
#include "config/Password.h"
#include "works/Settings.h"
#include "config/WorkFields.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "tests/platform/TempFolder.h"
#include <gtest/gtest.h>
#include <set>

namespace {

using namespace kw;

class SettingsFile : public ::testing::Test {
  protected:
    kwtest::TTempFolder dir;
    TSettings settings;

    void SetUp() override { fs::SetProgramPathForTesting(dir.Path("KWPAGE.exe")); }
    void TearDown() override { fs::SetProgramPathForTesting(""); }

    std::string Ini(const std::string& text) { return dir.Write("KWPAGE.ini", text); }
    TWorkConfig Work(int index) const {
        const TWorkPtr w = settings.Works.At(index);
        EXPECT_TRUE(w) << "no work " << index;
        return w ? w->Config() : TWorkConfig{};
    }
    std::string Stored(const std::string& section, const std::string& key) {
        return profile::ReadString(dir.Path("KWPAGE.ini"), section, key, "<none>");
    }
};

TEST_F(SettingsFile, AMissingEmptyOrBinaryFileGivesTheDefaults) {
    for (const std::string& content :
         {std::string("<missing>"), std::string(), std::string("\0\xFF[\x01=\r\n[Fi", 10)}) {
        if (content != "<missing>")
            Ini(content);
        const TLoadSummary summary = LoadSettings(settings);
        EXPECT_EQ(settings.FileName, dir.Path("KWPAGE.ini"));
        EXPECT_EQ(settings.PID, 1);
        EXPECT_FALSE(settings.Hide);
        EXPECT_EQ(settings.Language, "Russian");
        EXPECT_EQ(settings.Works.Count(), 0u);
        EXPECT_TRUE(summary.SkippedWorks.empty());
    }
}

TEST_F(SettingsFile, OnlySectionsBeginningWithFileAreWorksInFileOrder) {
    Ini("[Settings]\r\nPID=5\r\nHide=1\r\nLanguage=English.lng\r\n"
        "[File2]\r\nName=Second\r\n[file3]\r\n[FILE4]\r\n[FileABC]\r\n[Other]\r\n[File1]\r\nName=First\r\n"
        "[Fil]\r\n");
    LoadSettings(settings);
    EXPECT_EQ(settings.PID, 5);
    EXPECT_TRUE(settings.Hide);
    EXPECT_EQ(settings.Language, "English.lng");
    ASSERT_EQ(settings.Works.Count(), 3u);
    EXPECT_EQ(Work(0).Name, "Second");
    EXPECT_EQ(Work(1).Section, "FileABC");
    EXPECT_EQ(Work(1).Name, "FileABC"); // no Name key: the section name
    EXPECT_EQ(Work(2).Name, "First");
}

TEST_F(SettingsFile, WorkDefaultsAndClamps) {
    Ini("[File1]\r\n[File2]\r\nUpdate=5\r\nCodePage=0x3\r\n[File3]\r\nUpdate=1000\r\nFTPPort=2121\r\n"
        "[File4]\r\nUpdate=-7\r\n");
    LoadSettings(settings);
    const TWorkConfig a = Work(0);
    EXPECT_EQ(a.FileIn, "");
    EXPECT_EQ(a.FileOut, "");
    EXPECT_EQ(a.Update, 60);
    EXPECT_EQ(a.CodePage, 0);
    EXPECT_FALSE(a.FTP.Use);
    EXPECT_EQ(a.FTP.Port, 21);
    EXPECT_EQ(a.FTP.Folder, "/");
    EXPECT_EQ(a.FTP.Password, "");
    EXPECT_EQ(Work(1).Update, 15);
    EXPECT_EQ(Work(1).CodePage, 3);
    EXPECT_EQ(Work(2).Update, 1000); // no upper clamp
    EXPECT_EQ(Work(2).FTP.Port, 2121);
    EXPECT_EQ(Work(3).Update, 15);
}

TEST_F(SettingsFile, ValuesOutOfRangeOrNotNumbersTakeTheDefaultAndLoadingGoesOn) {
    Ini("[Settings]\r\nPID=40000\r\nHide=yes\r\n"
        "[File1]\r\nUpdate=70000\r\nCodePage=256\r\nFTPPort=65536\r\nUseFTP=2\r\nFTPPassive=x\r\nName=Still "
        "read\r\n"
        "[File2]\r\nUpdate=12abc\r\nCodePage=-1\r\nFTPPort=99999999999999\r\n"
        "[File3]\r\nUpdate=0x20\r\nFTPPort=0xFFFF\r\n");
    LoadSettings(settings);
    EXPECT_EQ(settings.PID, 1);
    EXPECT_FALSE(settings.Hide);
    ASSERT_EQ(settings.Works.Count(), 3u);
    EXPECT_EQ(Work(0).Update, 60);
    EXPECT_EQ(Work(0).CodePage, 0);
    EXPECT_EQ(Work(0).FTP.Port, 21);
    EXPECT_TRUE(Work(0).FTP.Use); // any integer other than 0
    EXPECT_FALSE(Work(0).FTP.Passive);
    EXPECT_EQ(Work(0).Name, "Still read");
    EXPECT_EQ(Work(1).Update, 60);
    EXPECT_EQ(Work(1).CodePage, 0);
    EXPECT_EQ(Work(1).FTP.Port, 21);
    EXPECT_EQ(Work(2).Update, 32);
    EXPECT_EQ(Work(2).FTP.Port, 65535);
}

TEST_F(SettingsFile, TextsAreCutTo255ButTheServerIsNot) {
    const std::string longText(5000, 'n');
    Ini("[File1]\r\nName=" + longText + "\r\nFTPServer=" + longText + "\r\nFTPPath=" + longText + "\r\n");
    LoadSettings(settings);
    EXPECT_EQ(Work(0).Name, std::string(255, 'n'));
    EXPECT_EQ(Work(0).FTP.Folder, std::string(255, 'n'));
    EXPECT_EQ(Work(0).FTP.Server, longText);
}

TEST_F(SettingsFile, RepeatedWorkSectionsGiveOneWork) {
    Ini("[File1]\r\nName=A\r\n[File2]\r\nName=B\r\n[File1]\r\nName=C\r\n");
    LoadSettings(settings);
    ASSERT_EQ(settings.Works.Count(), 2u);
    EXPECT_EQ(Work(0).Name, "A");
    EXPECT_EQ(Work(1).Name, "B");
}

TEST_F(SettingsFile, FirstRendersAreSpreadOverTenSeconds) {
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "[File" + std::to_string(i) + "]\r\n";
    Ini(text);
    const int64_t before = GetTicks64();
    LoadSettings(settings);
    const int64_t after = GetTicks64();
    std::set<int64_t> seconds;
    for (const TWorkPtr& w : settings.Works.Snapshot()) {
        const int64_t spread = w->NextUpdate.load() - before;
        EXPECT_GE(spread, 0);
        EXPECT_LE(spread, after - before + 9000);
        seconds.insert(spread / 1000);
    }
    EXPECT_GT(seconds.size(), 1u); // drawn anew for each work
}

TEST_F(SettingsFile, TheWorkAfterThe128thIsNotLoadedAndIsReported) {
    std::string text;
    for (int i = 0; i < 130; ++i)
        text += "[File" + std::to_string(1000 + i) + "]\r\n";
    Ini(text);
    const TLoadSummary summary = LoadSettings(settings);
    EXPECT_EQ(settings.Works.Count(), MaxWorks);
    EXPECT_EQ(summary.SkippedWorks, (std::vector<std::string>{"File1128", "File1129"}));
    EXPECT_FALSE(settings.Works.Append(std::make_shared<TWorkData>()));
    EXPECT_EQ(Stored("File1129", "Name"), "<none>"); // its section is left alone
    EXPECT_EQ(profile::ReadSectionNames(settings.FileName).size(), 130u);
}

TEST_F(SettingsFile, SavedProgramSettingsAndWorksLoadBackUnchanged) {
    LoadSettings(settings);
    settings.PID = 32767;
    settings.Hide = true;
    settings.Language = "English.lng";
    ASSERT_TRUE(SaveProgramSettings(settings));

    TWorkConfig c;
    c.Section = "File231206184512";
    c.Name = "Main page \xCF\xF0\xE8\xE2\xE5\xF2"; // Windows-1251 text is stored unchanged
    c.FileIn = "C:\\KW\\in.htm";
    c.FileOut = "C:\\KW\\out.htm";
    c.Update = 900;
    c.CodePage = 4;
    c.FTP = {true, "127.0.0.1", 2121, true, true, "user", "p\xE0ss QVXZ", "/www", "index.htm", false, ""};
    ASSERT_TRUE(settings.Works.Append(std::make_shared<TWorkData>(c)));
    ASSERT_TRUE(SaveWork(settings, 0));
    EXPECT_EQ(Stored(c.Section, "FTPPass"), ScramblePassword(c.FTP.Password)); // never plain

    TSettings again;
    LoadSettings(again);
    EXPECT_EQ(again.PID, 32767);
    EXPECT_TRUE(again.Hide);
    EXPECT_EQ(again.Language, "English.lng");
    ASSERT_EQ(again.Works.Count(), 1u);
    const TWorkConfig r = again.Works.At(0)->Config();
    EXPECT_EQ(r.Section, c.Section);
    EXPECT_EQ(r.Name, c.Name);
    EXPECT_EQ(r.FileIn, c.FileIn);
    EXPECT_EQ(r.FileOut, c.FileOut);
    EXPECT_EQ(r.Update, c.Update);
    EXPECT_EQ(r.CodePage, c.CodePage);
    EXPECT_EQ(r.FTP.Use, c.FTP.Use);
    EXPECT_EQ(r.FTP.Server, c.FTP.Server);
    EXPECT_EQ(r.FTP.Port, c.FTP.Port);
    EXPECT_EQ(r.FTP.Passive, c.FTP.Passive);
    EXPECT_EQ(r.FTP.UTF8, c.FTP.UTF8);
    EXPECT_EQ(r.FTP.Login, c.FTP.Login);
    EXPECT_EQ(r.FTP.Password, c.FTP.Password);
    EXPECT_EQ(r.FTP.Folder, c.FTP.Folder);
    EXPECT_EQ(r.FTP.RemoteName, c.FTP.RemoteName);
}

TEST_F(SettingsFile, FtpKeysAreReadWhateverUseFtpSaysAndDeletedWhenItIsOff) {
    Ini("[File1]\r\nUseFTP=0\r\nFTPServer=srv\r\nFTPLogin=me\r\nFTPPass=30343b\r\nFIPFile=r.htm\r\nKeep="
        "1\r\n");
    LoadSettings(settings);
    EXPECT_EQ(Work(0).FTP.Server, "srv");
    EXPECT_EQ(Work(0).FTP.Login, "me");
    EXPECT_EQ(Work(0).FTP.Password, "abc");
    ASSERT_TRUE(SaveWork(settings, 0));
    for (const char* key :
         {"FTPServer", "FTPPort", "FTPPassive", "FTPUTF8", "FTPLogin", "FTPPass", "FTPPath", "FIPFile"})
        EXPECT_EQ(Stored("File1", key), "<none>") << key;
    EXPECT_EQ(Stored("File1", "UseFTP"), "0");
    EXPECT_EQ(Stored("File1", "Keep"), "1");
    EXPECT_EQ(Stored("File1", "Update"), "60");
}

TEST_F(SettingsFile, DeletingTheFirstOfThreeKeepsTheOthersInOrder) {
    Ini("[File1]\r\nName=A\r\n[File2]\r\nName=B\r\nUpdate=30\r\n[File3]\r\nName=C\r\nUseFTP=1\r\n");
    LoadSettings(settings);
    const TWorkPtr second = settings.Works.At(1);
    second->NextUpdate.store(12345);
    EXPECT_TRUE(DeleteWork(settings, -1));
    EXPECT_TRUE(DeleteWork(settings, 3));
    EXPECT_EQ(settings.Works.Count(), 3u);
    ASSERT_TRUE(DeleteWork(settings, 0));
    ASSERT_EQ(settings.Works.Count(), 2u);
    EXPECT_EQ(settings.Works.At(0), second); // the same record, runtime fields included
    EXPECT_EQ(second->NextUpdate.load(), 12345);
    EXPECT_EQ(Work(0).Update, 30);
    EXPECT_EQ(Work(1).Name, "C");
    EXPECT_TRUE(Work(1).FTP.Use);
    EXPECT_EQ(profile::ReadSectionNames(settings.FileName), (std::vector<std::string>{"File2", "File3"}));
}

TEST_F(SettingsFile, AFileThatCannotBeWrittenIsReportedAndMemoryStaysIntact) {
    Ini("[File1]\r\nName=A\r\n");
    LoadSettings(settings);
    settings.FileName = dir.Path("missing/KWPAGE.ini");
    std::string error;
    EXPECT_FALSE(SaveProgramSettings(settings, &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_FALSE(SaveWork(settings, 0));
    EXPECT_FALSE(SaveWork(settings, 5));
    // A path that is a folder cannot be read or written (as root, file modes would not stop us).
    std::filesystem::create_directory(dir.Path("folder.ini"));
    settings.FileName = dir.Path("folder.ini");
    EXPECT_FALSE(SaveProgramSettings(settings));
    EXPECT_FALSE(SaveWork(settings, 0));
    EXPECT_FALSE(DeleteWork(settings, 0));
    EXPECT_EQ(settings.Works.Count(), 1u); // the list never disagrees with the file

    // A text with a line break would add keys to the file: refused, file unchanged.
    settings.FileName = dir.Path("KWPAGE.ini");
    TWorkConfig c = Work(0);
    c.Name = "A\r\nFTPServer=evil";
    settings.Works.At(0)->SetConfig(c);
    EXPECT_FALSE(SaveWork(settings, 0));
    EXPECT_EQ(dir.Read("KWPAGE.ini"), "[File1]\r\nName=A\r\n");
}

// The work-field table: each field's key stands in a saved section exactly while its rule says,
// and a value other than the default comes back unchanged from the file.
TWorkConfig WhereFieldStands(const TWorkField& field) {
    TWorkConfig c;
    c.Section = std::string("File") + field.Key;
    c.FTP.Use = field.While == TWhile::Ftp || field.While == TWhile::Ftps;
    c.FTP.Tls = field.While == TWhile::Ftps;
    c.Target = field.While == TWhile::Http   ? tcHTTP
               : field.While == TWhile::Text ? tcTCP
               : field.While == TWhile::Mqtt ? tcMQTT
                                             : tcFileOnly;
    return c;
}

TFieldValue NotTheDefault(const TWorkField& field) {
    switch (field.Stored) {
    case TStored::Text: return {0, std::string("v\xE0 ") + field.Key};
    case TStored::Password: return {0, "p\xE0ss QVXZ"};
    case TStored::Boolean: return {field.DefaultNumber ? 0 : 1, {}};
    case TStored::Integer: return {field.DefaultNumber < field.Max ? field.DefaultNumber + 1 : field.Min, {}};
    case TStored::Choice: return {field.NameCount - 1, {}};
    }
    return {};
}

TEST_F(SettingsFile, EveryTableFieldRoundTripsAndStandsOnlyWhileItsRuleSays) {
    LoadSettings(settings);
    for (const TWorkField& field : WorkFields()) {
        SCOPED_TRACE(field.Key);
        TWorkConfig c = WhereFieldStands(field);
        const TFieldValue value = NotTheDefault(field);
        field.Set(c, value);
        TWorkConfig plain = WhereFieldStands(field);
        plain.Section += "Default";
        ASSERT_TRUE(settings.Works.Append(std::make_shared<TWorkData>(c)));
        ASSERT_TRUE(settings.Works.Append(std::make_shared<TWorkData>(plain)));
    }
    for (int i = 0; i < static_cast<int>(settings.Works.Count()); ++i)
        ASSERT_TRUE(SaveWork(settings, i));
    TSettings again;
    LoadSettings(again);
    ASSERT_EQ(again.Works.Count(), settings.Works.Count());
    int index = 0;
    for (const TWorkField& field : WorkFields()) {
        SCOPED_TRACE(field.Key);
        const TFieldValue value = NotTheDefault(field);
        const TFieldValue back = field.Get(again.Works.At(index)->Config());
        EXPECT_EQ(back.Number, value.Number);
        EXPECT_EQ(back.Text, value.Text);
        EXPECT_NE(Stored(again.Works.At(index)->Section(), field.Key), "<none>");
        // at its default, a field written only when set leaves no key
        const bool stands = Stored(again.Works.At(index + 1)->Section(), field.Key) != "<none>";
        EXPECT_EQ(stands, !field.OnlyWhenSet);
        index += 2;
    }
    // Switched to the file only, a work keeps no key of a target.
    for (int i = 0; i < static_cast<int>(again.Works.Count()); ++i) {
        TWorkConfig off = again.Works.At(i)->Config();
        SetTargetChoice(off, tcFileOnly);
        again.Works.At(i)->SetConfig(off);
        ASSERT_TRUE(SaveWork(again, i));
        for (const TWorkField& field : WorkFields()) {
            if (field.While != TWhile::Always) {
                EXPECT_EQ(Stored(off.Section, field.Key), "<none>") << off.Section << " " << field.Key;
            }
        }
    }
}

TEST(WorkFieldTable, KeysControlsAndMessagesAreUniqueAndEachControlHasItsMember) {
    std::set<std::string> keys, controls, messages;
    for (const TWorkField& field : WorkFields()) {
        SCOPED_TRACE(field.Key);
        EXPECT_TRUE(keys.insert(AnsiUpperCase(field.Key)).second);  // the file's keys ignore case
        EXPECT_TRUE(field.Get && field.Set);
        if (field.Control) {
            EXPECT_TRUE(controls.insert(field.Control).second);
        }
        EXPECT_EQ(field.Control != nullptr, field.Kind != TControlKind::None);
        const bool text = field.Kind == TControlKind::Edit || field.Kind == TControlKind::FileName;
        const bool number = field.Kind == TControlKind::Spin || field.Kind == TControlKind::List;
        EXPECT_EQ(field.TextField != nullptr, text);
        EXPECT_EQ(field.NumberField != nullptr, number);
        EXPECT_EQ(field.FlagField != nullptr, field.Kind == TControlKind::Check);
        for (const TFieldCheck& check : field.Checks)
            if (check.Message) {
                EXPECT_TRUE(check.Fails) << check.Message;
                EXPECT_TRUE(messages.insert(check.Message).second) << check.Message;
                EXPECT_EQ(FieldOfMessage(check.Message), &field);
            }
        if (field.Stored == TStored::Choice) {
            EXPECT_TRUE(field.Names && field.NameCount > 0);
        }
    }
    EXPECT_EQ(FieldOfMessage("NoSuchMessage"), nullptr);
}

TEST(Password, ScramblingMatchesTheStoredForm) {
    EXPECT_EQ(ScramblePassword(""), "");
    EXPECT_EQ(ScramblePassword("abcde"), "30343b3e34"); // the key repeats from the 5th byte
    EXPECT_EQ(ScramblePassword("QVXZ"), "00000000");
    EXPECT_EQ(UnscramblePassword("30343b3e34"), "abcde");
    EXPECT_EQ(UnscramblePassword("30343B3E34"), "abcde");
    EXPECT_EQ(UnscramblePassword("30343b3"), "abc"); // a last odd digit is ignored
    EXPECT_EQ(UnscramblePassword("3G"), "a");        // a non-digit counts as 0
    EXPECT_EQ(UnscramblePassword("zz"), "Q");
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(UnscramblePassword(ScramblePassword(all)), all);
}

TEST(IniValues, IntegersInDecimalOrAfter0x) {
    int32_t v = 0;
    EXPECT_TRUE(ParseIniInteger("0x1F", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(ParseIniInteger("0XfF", v));
    EXPECT_EQ(v, 255);
    EXPECT_TRUE(ParseIniInteger("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(ParseIniInteger("+7", v));
    EXPECT_EQ(v, 7);
    for (const char* bad : {"", "0x", "-", "2147483648", "12abc", "1 2", "$1F", "0x100000000", "abc"})
        EXPECT_FALSE(ParseIniInteger(bad, v)) << bad;
}

} // namespace
