// The host player's scripts become exactly the host's bytes; mistakes are reported by line.
#include "tools/hostplayer/Script.h"
#include <cstring>
#include <gtest/gtest.h>

namespace kw::player {
namespace {

std::vector<TStep> Parse(const std::string& script) {
    return ParseScript(script, [](const std::string& s) { return "<" + s + ">"; }, [] { return 46000.5; });
}

TEST(HostPlayerScript, MessagesAndTheirBytes) {
    const auto steps = Parse("# comment\n\nconnect\nquery from=second\ncommand high=0x7FFE low=3\n"
                             "element song=1 type=2 duration=0x01020304 artist=\"A\" title=\"T\"\n"
                             "block type=7 duration=10 name=\"N\\x00\\r\"\n"
                             "raw kind=99 marker=2 length=4 data=\"ab\" fill=0x41\nwait 15\nprint done here\n");
    ASSERT_EQ(steps.size(), 8u);
    EXPECT_EQ(steps[0].LParam, 0x7FFF0000u);
    EXPECT_EQ(steps[1].LParam, 0x7FFF7FFFu);
    EXPECT_EQ(steps[1].From, TSender::Second);
    EXPECT_EQ(steps[2].LParam, 0x7FFE0003u);
    const std::vector<uint8_t> element = {1, 2, 4, 3, 2, 1, '<', 'A', '>', '\r', '<', 'T', '>', 0};
    EXPECT_EQ(steps[3].Payload, element);
    EXPECT_EQ(steps[3].Kind, 0);
    EXPECT_EQ(steps[4].Kind, 2);
    const std::vector<uint8_t> block = {7, 10, 0, 0, 0, '<', 'N', '>', 0, '<', '\r', '>', 0};
    EXPECT_EQ(steps[4].Payload, block) << "\\x bytes are not converted";
    EXPECT_EQ(steps[5].Kind, 99);
    EXPECT_EQ(steps[5].Marker, 2);
    EXPECT_EQ(steps[5].Payload, (std::vector<uint8_t>{'<', 'a', 'b', '>'}));
    EXPECT_EQ(steps[6].Milliseconds, 15u);
    EXPECT_EQ(steps[7].Text, "done here");
}

TEST(HostPlayerScript, ListsStateRepeatAndMeasure) {
    const auto steps = Parse("played\nitem start=now type=3 artist=\"x\" artistlen=200\nitem\nend\n"
                             "playlist\nitem title=\"t\"\nend\nstate\nA=1\nB=2\nend\n"
                             "repeat 3\nstate\nS=1\nend\nend\nmeasure 10 query\n");
    ASSERT_EQ(steps.size(), 7u);
    ASSERT_EQ(steps[0].Payload.size(), 2 * 143u);
    double start = 0;
    std::memcpy(&start, steps[0].Payload.data(), 8);
    EXPECT_EQ(start, 46000.5);
    EXPECT_EQ(steps[0].Payload[13], 200) << "a lying length byte";
    EXPECT_EQ(steps[1].Payload.size(), 135u);
    EXPECT_EQ(steps[1].Kind, 16);
    EXPECT_EQ(std::string(steps[2].Payload.begin(), steps[2].Payload.end()), "<A=1>\r<B=2>");
    EXPECT_EQ(steps[6].Count, 10u);
    EXPECT_EQ(steps[6].LParam, 0x7FFF7FFFu);
}

TEST(HostPlayerScript, MistakesNameTheirLine) {
    const char* bad[] = {"connect\nfrobnicate\n", "connect\nelement duration=-1\n", "wait\n",
                         "state\nA=1\n", "end\n", "raw length=x\n", "element artist=\"open\n",
                         "element artist=\"\\q\"\n", "playlist\nitem artist=\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\"\nend\n",
                         "repeat 1000000\nraw length=65535\nend\n", "connect from=nowhere\n"};
    for (const char* script : bad) {
        try {
            Parse(script);
            ADD_FAILURE() << "accepted: " << script;
        } catch (const TScriptError& e) {
            EXPECT_GE(e.Line, 1) << script;
        }
    }
}

} // namespace
} // namespace kw::player
