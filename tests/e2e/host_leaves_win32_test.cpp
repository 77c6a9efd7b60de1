// A host that sends its last state and disconnects at once, again and again, with the real
// KWPAGE.exe: the state is decoded after the disconnect, and the page rendered next must not
// show the departed host's live values.
#include <winsock2.h>
#include "tests/e2e/Station_win32.h"
#include <gtest/gtest.h>

namespace kw::e2e {
namespace {

const std::string Artist = "Кино";

std::string Script(int round, bool leave) {
    std::string s = "connect\nwait 300\n"
                    "element song=0 type=2 duration=183000 artist=\"" + Artist + "\" title=\"Песня " +
                    std::to_string(round) + "\"\n"
                    "state\nPLAYER=1\nSYSMSG=round " + std::to_string(round) + "\nend\n";
    return leave ? s + "disconnect\n" : s + "wait 1500\n";  // stays while the page renders
}

TEST(HostLeaves, StateThenDisconnectBackToBackNeverLeavesLiveValuesOnTheNextPage) {
    TStation station("host_leaves");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "<p>[!KW!SongArtist] [!KW!SysMSG]</p>\n");
    station.WriteSettings({Work("leaves", "page.tpl", "page.html", 1)});
    ASSERT_TRUE(station.Start());
    const std::string page = station.Path("page.html");
    const std::string artist = Encode(Artist, CP_UTF8);
    // The first render after start (within ten seconds); from then on only the host's
    // elements make the work due (its period is 15 minutes).
    ASSERT_TRUE(WaitFor([&] { return Exists(page); }, 15000)) << "no first page";

    // Each round: the page goes, the host plays and leaves, the element's render writes anew.
    auto play = [&](int round, bool leave) {
        DeleteFileA(page.c_str());
        EXPECT_TRUE(station.PlayHost(Script(round, leave)));
        EXPECT_EQ(station.Host().WaitExit(15000), 0u) << station.HostOutput();
        EXPECT_TRUE(WaitFor([&] { return Exists(page); }, 5000)) << "round " << round << ": no page";
        Sleep(100);  // the page is replaced whole; let a render still under way end
        return ReadFile(page);
    };
    // The host that stays: its values are on the page (so the test can see them at all).
    const std::string staying = play(0, false);
    EXPECT_NE(staying.find(artist), std::string::npos) << staying;
    EXPECT_NE(staying.find("round 0"), std::string::npos) << staying;
    station.PlayHost("disconnect\n");
    station.Host().WaitExit(15000);

    for (int round = 1; round <= 8; ++round) {
        const std::string text = play(round, true);
        EXPECT_EQ(text, "<p>[] []</p>\r\n") << "round " << round << " showed a departed host's values";
    }
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(station.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
    EXPECT_EQ(station.Program().WaitExit(20000), 0u);
}

} // namespace
} // namespace kw::e2e

int main(int argc, char** argv) {
    if (!kw::e2e::Exists(kw::e2e::KwpageExe()) || !kw::e2e::Exists(kw::e2e::HostPlayerExe())) {
        std::printf("KWPAGE.exe or the host player is not built\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
