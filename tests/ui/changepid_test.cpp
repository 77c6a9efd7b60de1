// Start with Windows through the Run keys, against the platform's registry (in memory natively,
// the real one under Wine).
#include "ui/ChangePid.h"
#include "platform/Registry.h"
#include <gtest/gtest.h>

namespace {

using namespace kw;
using registry::TRootKey;

const std::string Program = "C:\\Program Files\\KW\\KwPage.exe";

struct RunKey : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(registry::ClearKey(TRootKey::CurrentUser, RunKeyPath));
        machineWritable = registry::ClearKey(TRootKey::LocalMachine, RunKeyPath);
    }
    void TearDown() override {
        (void)registry::ClearKey(TRootKey::CurrentUser, RunKeyPath);
        if (machineWritable)
            (void)registry::ClearKey(TRootKey::LocalMachine, RunKeyPath);
    }
    static std::vector<registry::TRegValue> UserValues() {
        std::vector<registry::TRegValue> v;
        EXPECT_TRUE(registry::ReadValues(TRootKey::CurrentUser, RunKeyPath, false, v));
        return v;
    }
    bool machineWritable = false;
};

TEST_F(RunKey, EnableWritesOneValueNamedAfterTheProgram) {
    EXPECT_FALSE(IsAutoStartRegistered(Program));
    SetAutoStart(true, Program);
    SetAutoStart(true, Program);
    const auto v = UserValues();
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].Name, "KWPAGE");
    EXPECT_EQ(v[0].Data, Program);
    EXPECT_TRUE(IsAutoStartRegistered(Program));
}

TEST_F(RunKey, CaseOfThePathDoesNotMatterButQuotesAndArgumentsDo) {
    ASSERT_TRUE(registry::WriteString(TRootKey::CurrentUser, RunKeyPath, "Other", "c:\\program files\\kw\\KWPAGE.EXE"));
    EXPECT_TRUE(IsAutoStartRegistered(Program));
    ASSERT_TRUE(registry::ClearKey(TRootKey::CurrentUser, RunKeyPath));

    ASSERT_TRUE(registry::WriteString(TRootKey::CurrentUser, RunKeyPath, "Quoted", '"' + Program + '"'));
    ASSERT_TRUE(registry::WriteString(TRootKey::CurrentUser, RunKeyPath, "Args", Program + " /min"));
    ASSERT_TRUE(registry::WriteNumber(TRootKey::CurrentUser, RunKeyPath, "Number", 7));
    EXPECT_FALSE(IsAutoStartRegistered(Program));
    SetAutoStart(true, Program);
    EXPECT_EQ(UserValues().size(), 4u);
    EXPECT_TRUE(IsAutoStartRegistered(Program));
}

TEST_F(RunKey, DisableDeletesEveryMatchingUserValueAndNoOther) {
    ASSERT_TRUE(registry::WriteString(TRootKey::CurrentUser, RunKeyPath, "A", Program));
    ASSERT_TRUE(registry::WriteString(TRootKey::CurrentUser, RunKeyPath, "Keep", "c:\\other.exe"));
    ASSERT_TRUE(registry::WriteString(TRootKey::CurrentUser, RunKeyPath, "B", "C:\\PROGRAM FILES\\KW\\KWPAGE.EXE"));
    SetAutoStart(false, Program);
    const auto v = UserValues();
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].Name, "Keep");
    EXPECT_FALSE(IsAutoStartRegistered(Program));
}

TEST_F(RunKey, MachineWideValueCountsAndIsNeverTouched) {
    if (!machineWritable)
        GTEST_SKIP() << "the machine-wide Run key is not writable here";
    ASSERT_TRUE(registry::WriteString(TRootKey::LocalMachine, RunKeyPath, "KWPAGE", Program));
    EXPECT_TRUE(IsAutoStartRegistered(Program));
    SetAutoStart(false, Program);
    EXPECT_TRUE(IsAutoStartRegistered(Program));  // so the box shows ticked again
    std::vector<registry::TRegValue> m;
    ASSERT_TRUE(registry::ReadValues(TRootKey::LocalMachine, RunKeyPath, false, m));
    EXPECT_EQ(m.size(), 1u);
}

TEST(ProgramSettings, PidResultAndSavedChoices) {
    EXPECT_EQ(ProgramSettingsResult(1, 12, 3), 12);
    EXPECT_EQ(ProgramSettingsResult(2, 12, 3), 12);  // the close box's cancel result is above 0
    EXPECT_EQ(ProgramSettingsResult(0, 12, 3), 3);
    EXPECT_EQ(ProgramSettingsResult(1, 0, 3), 1);
    EXPECT_EQ(ProgramSettingsResult(1, 40000, 3), 32767);
    EXPECT_EQ(AutoStartValueName("c:\\a.b\\kw.page.exe"), "KW.PAGE");

    TSettings s;
    s.Language = "English.lng";
    auto names = [](int i) { return i == 0 ? std::string("English.lng") : std::string("Russian.lng"); };
    ApplyProgramSettings({true, -1, 0, std::nullopt}, s, names);  // empty list: language unchanged
    EXPECT_TRUE(s.Hide);
    EXPECT_EQ(s.Language, "English.lng");
    ApplyProgramSettings({false, 1, 2, std::nullopt}, s, names);
    EXPECT_EQ(s.Language, "Russian.lng");
    ApplyProgramSettings({false, -1, 2, std::nullopt}, s, names);  // nothing selected: the first item
    EXPECT_EQ(s.Language, "English.lng");
    s.Live.Port = 8800;
    ApplyProgramSettings({false, 0, 2, std::nullopt}, s, names);  // no live group: the live settings stay
    EXPECT_EQ(s.Live.Port, 8800);
    ApplyProgramSettings({false, 0, 2, TLiveSettings{true, 8801, true, "k"}}, s, names);
    EXPECT_TRUE(s.Live.On && s.Live.OtherComputers);
    EXPECT_EQ(s.Live.Port, 8801);
}

// The live pages' port as typed: a number the server can listen on, nothing else.
TEST(ProgramSettings, LivePortMustBeOneTo65535) {
    uint16_t port = 7;
    for (const char* bad : {"", " ", "0", "65536", "99999", "123456", "-1", "80a", "8 0", "+80"})
        EXPECT_FALSE(ParseLivePort(bad, port)) << bad;
    EXPECT_EQ(port, 7);
    for (const auto& [typed, value] : {std::pair{"1", 1}, {" 8719 ", 8719}, {"65535", 65535}, {"00080", 80}}) {
        ASSERT_TRUE(ParseLivePort(typed, port)) << typed;
        EXPECT_EQ(port, value);
    }
}

} // namespace
