// The work editor's checks, new section names and the copy into the work.
#include "ui/EditWork.h"
#include "config/EditWorkText.h"
#include "tests/support/Works.h"
#include <gtest/gtest.h>
#include <set>

namespace {

using namespace kw;

using test::Work;

struct EditWorkChecks : ::testing::Test {
    TWorkList works;
    std::set<std::string> files{"c:\\a.htm", "c:\\t\\now.tpl", " c:\\b.htm"};
    TFileExists exists = [this](const std::string& p) { return files.count(p) > 0; };

    void SetUp() override {
        ASSERT_TRUE(works.Append(Work("File1", "Now", "c:\\t\\now.tpl", "c:\\site\\now.html")));
        ASSERT_TRUE(works.Append(Work("File2", "Next", "c:\\t\\next.tpl", "c:\\site\\next.html")));
    }
    TEditWorkFields Valid() const {
        TEditWorkFields f;
        f.Name = "Song";
        f.FileIn = "c:\\a.htm";
        f.FileOut = "c:\\out\\song.html";
        return f;
    }
    std::string KeyOf(const TEditWorkFields& f, int editIndex = -1) const {
        return CheckSttings(f, works, editIndex, exists).MessageKey;
    }
};

TEST_F(EditWorkChecks, EachCheckInItsOrder) {
    TEditWorkFields f = Valid();
    EXPECT_TRUE(CheckSttings(f, works, -1, exists).Ok);

    f.Name = " \t ";
    f.FileIn.clear();  // later failures do not mask the first
    EXPECT_EQ(KeyOf(f), "SetShape");
    f = Valid();
    f.FileIn = "   ";
    EXPECT_EQ(KeyOf(f), "SetFileIn");
    f.FileIn = "c:\\missing.htm";
    EXPECT_EQ(KeyOf(f), "FileInNotEx");
    f.FileIn = " c:\\a.htm";  // existence is tested on the name as entered
    EXPECT_EQ(KeyOf(f), "FileInNotEx");
    f.FileIn = " c:\\b.htm";
    EXPECT_EQ(KeyOf(f), "");
    f = Valid();
    f.FileOut = " ";
    EXPECT_EQ(KeyOf(f), "SetFileOut");
    f.FileOut = "c:\\a.htm";
    EXPECT_EQ(KeyOf(f), "SetInOutErr");
    f.FileOut = "C:\\A.HTM";  // differs in case only: passes step 5
    EXPECT_EQ(KeyOf(f), "");
}

TEST_F(EditWorkChecks, FtpFieldsOnlyWhenFtpIsOn) {
    TEditWorkFields f = Valid();
    EXPECT_EQ(KeyOf(f), "");
    f.Target = tcFTP;
    EXPECT_EQ(KeyOf(f), "SetFTPServ");
    f.FTPServer = "127.0.0.1";
    EXPECT_EQ(KeyOf(f), "SetFTPUser");
    f.FTPUser = " u ";
    EXPECT_EQ(KeyOf(f), "SetFTPPass");
    f.FTPPass = "  ";
    EXPECT_EQ(KeyOf(f), "SetFTPPass");
    f.FTPPass = "p";
    EXPECT_EQ(KeyOf(f), "");
    // the browse button checks the same three whatever the check box says
    f.Target = tcFileOnly;
    f.FTPUser.clear();
    EXPECT_EQ(CheckBrowseFields(f), "SetFTPUser");
}

TEST_F(EditWorkChecks, OtherWorksAndTheFormatArgument) {
    TEditWorkFields f = Valid();
    f.Name = " Now ";
    EXPECT_EQ(KeyOf(f), "DblShape");
    f.Name = "NOW";  // names differing in case are two works
    EXPECT_EQ(KeyOf(f), "");

    f.FileOut = "C:\\T\\NEXT.TPL";
    TCheckResult r = CheckSttings(f, works, -1, exists);
    EXPECT_EQ(r.MessageKey, "OtherOut");
    EXPECT_TRUE(r.HasArgument);
    EXPECT_EQ(r.Argument, "Next");

    f.FileOut = " c:\\SITE\\now.html ";
    r = CheckSttings(f, works, -1, exists);
    EXPECT_EQ(r.MessageKey, "DblOut");
    EXPECT_EQ(r.Argument, "Now");

    // the work being edited is skipped: keeping its own name and output passes
    f.Name = "Now";
    EXPECT_EQ(KeyOf(f, 0), "");
    // checks 9a..9c run per work: the first work's name clash wins over the second's output
    f.FileOut = "c:\\site\\next.html";
    EXPECT_EQ(KeyOf(f, -1), "DblShape");
}

TEST(EditWorkCyrillic, UpperCaseComparesCyrillicOutputs) {
    TWorkList works;
    ASSERT_TRUE(works.Append(Work("F", "\xCF\xE5\xF1\xED\xFF", "c:\\\xF8\xE0\xE1\xEB\xEE\xED.tpl", "c:\\x.htm")));
    TEditWorkFields f;
    f.Name = "other";
    f.FileIn = "in";
    f.FileOut = "C:\\\xD8\xC0\xC1\xCB\xCE\xCD.TPL";  // the same name in capitals
    const TCheckResult r = CheckSttings(f, works, -1, [](const std::string&) { return true; });
    EXPECT_EQ(r.MessageKey, "OtherOut");
    EXPECT_EQ(AnsiUpperCase("\xB8\xA2\xB3\xBF\xE0\xFFz"), "\xA8\xA1\xB2\xAF\xC0\xDFZ");
}

TEST(EditWorkSections, NewSectionsCountUpWithinOneSecond) {
    TWorkList works;
    const TLocalStamp t{2026, 12, 7, 19, 27, 6};
    EXPECT_EQ(NewSectionName(works, t), "File261207192706");
    EXPECT_EQ(GetNewSection(works, t), 0);
    EXPECT_EQ(GetNewSection(works, t), 1);
    EXPECT_EQ(GetNewSection(works, t), 2);
    EXPECT_EQ(works.At(0)->Section(), "File261207192706");
    EXPECT_EQ(works.At(1)->Section(), "File2612071927061");
    EXPECT_EQ(works.At(2)->Section(), "File2612071927062");
    EXPECT_EQ(works.At(2)->NextUpdate.load(), 0);

    TWorkList full;
    for (size_t i = 0; i < MaxWorks; ++i)
        ASSERT_GE(GetNewSection(full, t), 0);
    EXPECT_EQ(GetNewSection(full, t), -1);
}

TEST(EditWorkApply, CopiesTrimsAndFillsFtpDefaults) {
    TEditWorkFields f;
    f.Name = "  Song  ";
    f.FileIn = " c:\\t.tpl";
    f.FileOut = "c:\\site\\now.html";
    f.Secs = 120;
    f.CodePage = 4;
    f.Target = tcFTP;
    f.FTPServer = " srv ";
    f.FTPPort = 2121;
    f.FTPUser = " user ";
    f.FTPPass = " pw ";
    f.FTPPath = "";
    TWorkConfig before;
    before.Section = "File1";
    const TWorkConfig c = ApplySetting(f, before);
    EXPECT_EQ(c.Section, "File1");
    EXPECT_EQ(c.Name, "Song");
    EXPECT_EQ(c.FileIn, " c:\\t.tpl");
    EXPECT_EQ(c.Update, 120);
    EXPECT_EQ(c.CodePage, 4);
    EXPECT_EQ(c.FTP.Server, "srv");  // as every FTP connection takes it
    EXPECT_EQ(c.FTP.Port, 2121);
    f.FTPPort = 70000;  // the port within 1..65535 wherever FTP settings are built
    EXPECT_EQ(ApplySetting(f, before).FTP.Port, 65535);
    EXPECT_EQ(FtpSettingsOf(f).Port, 65535);
    f.FTPPort = 0;
    EXPECT_EQ(FtpSettingsOf(f).Port, 1);
    EXPECT_EQ(FtpSettingsOf(f).Server, "srv");
    f.FTPPort = 2121;
    EXPECT_EQ(c.FTP.Login, "user");
    EXPECT_EQ(c.FTP.Password, " pw ");
    EXPECT_EQ(c.FTP.Folder, "/");
    EXPECT_EQ(c.FTP.RemoteName, "now.html");

    // FTP switched off again: nothing of it stays in the work
    f.Target = tcFileOnly;
    const TWorkConfig off = ApplySetting(f, c);
    EXPECT_FALSE(off.FTP.Use);
    EXPECT_TRUE(off.FTP.Server.empty() && off.FTP.Login.empty() && off.FTP.Password.empty());
    EXPECT_TRUE(off.FTP.Folder.empty() && off.FTP.RemoteName.empty());
    EXPECT_EQ(off.FTP.Port, 21);
}

TEST(EditWorkApply, LongAndQuotedNamesSurviveFillAndApply) {
    const std::string longName = "c:\\" + std::string(300, '\xE6') + " x.htm";
    TEditWorkFields f;
    f.Name = std::string(300, 'n');
    f.FileIn = UnquoteFileName(QuoteFileName(longName));
    f.FileOut = "c:\\o.htm";
    EXPECT_EQ(QuoteFileName(longName), '"' + longName + '"');
    EXPECT_EQ(QuoteFileName("c:\\plain.htm"), "c:\\plain.htm");
    EXPECT_EQ(UnquoteFileName("\""), "\"");
    TWorkList works;
    ASSERT_TRUE(works.Append(std::make_shared<TWorkData>(ApplySetting(f, {}))));
    const TEditWorkFields back = FillData(works, 0);
    EXPECT_EQ(back.FileIn, longName);
    EXPECT_EQ(back.Name.size(), 300u);
    EXPECT_EQ(FillData(works, 5).FTPPath, "/");  // outside the list: the defaults
    EXPECT_EQ(FillData(works, -1).Secs, 60);
}

} // namespace

namespace {

// The escaping choice: the work's mode shows in the editor, an unknown stored mode shows as
// none (and is saved as none), and the choice reaches the work.
TEST(EditWorkApply, EscapingFillsAndAppliesWithinItsModes) {
    TWorkList works;
    for (const uint8_t stored : {uint8_t{0}, uint8_t{3}, uint8_t{4}, uint8_t{5}, uint8_t{200}}) {
        TWorkConfig c;
        c.Section = "File" + std::to_string(stored);
        c.Name = c.Section;
        c.Escaping = stored;
        ASSERT_TRUE(works.Append(std::make_shared<TWorkData>(c)));
    }
    const int shown[] = {0, 3, 4, 0, 0};
    for (int i = 0; i < 5; ++i) {
        const TEditWorkFields f = FillData(works, i);
        EXPECT_EQ(f.Escaping, shown[i]) << i;
        EXPECT_EQ(ApplySetting(f, works.At(i)->Config()).Escaping, shown[i]) << i;
    }
    EXPECT_EQ(FillData(works, -1).Escaping, 0);  // a new work: none
    TEditWorkFields f;
    for (const int chosen : {1, 2, 4, 9, -1}) {
        f.Escaping = chosen;
        EXPECT_EQ(ApplySetting(f, TWorkConfig{}).Escaping, chosen == 9 ? 4 : chosen < 0 ? 0 : chosen) << chosen;
    }
}

} // namespace

// The address the editor shows for copying: none while the server is off or the work is new;
// the key and the computer's name only while other computers may connect; a hand-written
// section name stays one path segment.
TEST(EditWorkLive, AddressOfTheWorksPage) {
    TLiveSettings live;
    EXPECT_EQ(LiveAddress(live, "File1", "STUDIO"), "");
    live.On = true;
    live.Port = 8802;
    EXPECT_EQ(LiveAddress(live, "", "STUDIO"), "");
    live.AccessKey = "abcdefghijklmnop1234";
    EXPECT_EQ(LiveAddress(live, "File261207180001", "STUDIO"), "http://127.0.0.1:8802/works/File261207180001");
    EXPECT_EQ(LiveAddress(live, "File a/b?&", "STUDIO"), "http://127.0.0.1:8802/works/File%20a%2Fb%3F%26");
    live.OtherComputers = true;
    EXPECT_EQ(LiveAddress(live, "File1", "STUDIO"), "http://STUDIO:8802/works/File1?key=abcdefghijklmnop1234");
    EXPECT_EQ(LiveAddress(live, "File1", ""), "http://127.0.0.1:8802/works/File1?key=abcdefghijklmnop1234");
}
