// Decoding of the host's payloads and the conversions of state values.
#include "hostlink/Decode.h"
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

namespace kw {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ElementPayload(uint8_t marker, uint8_t type, uint32_t ms, const std::string& text) {
    Bytes p(6 + text.size());
    p[0] = marker;
    p[1] = type;
    for (int i = 0; i < 4; ++i)
        p[2 + i] = uint8_t(ms >> (8 * i));
    std::copy(text.begin(), text.end(), p.begin() + 6);
    return p;
}

void PutText(Bytes& p, size_t at, uint8_t lengthByte, const std::string& text) {
    p[at] = lengthByte;
    std::memcpy(&p[at + 1], text.data(), std::min<size_t>(text.size(), 64));
}

Bytes PlayedEntry(double start, uint8_t type, uint32_t ms, const std::string& artist, const std::string& title,
                  uint8_t artistLength) {
    Bytes p(PlayedEntrySize, 0);
    std::memcpy(&p[0], &start, 8);
    p[8] = type;
    for (int i = 0; i < 4; ++i)
        p[9 + i] = uint8_t(ms >> (8 * i));
    PutText(p, 13, artistLength, artist);
    PutText(p, 78, uint8_t(title.size()), title);
    return p;
}

void State(TBroadcastState& s, const std::string& text) {
    DecodeState(s, reinterpret_cast<const uint8_t*>(text.data()), text.size(), 46000.25);
}

TEST(DecodeElement, SplitsArtistAndTitleAtByte13) {
    TBroadcastState s;
    Bytes p = ElementPayload(0, 7, 183500, "Artist\rTitle");
    p.push_back(0);
    p.push_back('X');  // after the zero byte: not text
    DecodeElement(s, p.data(), p.size(), 46000.5);
    EXPECT_EQ(s.Element.Type, 7);
    EXPECT_DOUBLE_EQ(s.Element.Duration, 183.5);
    EXPECT_DOUBLE_EQ(s.Element.StartTime, 46000.5);
    EXPECT_EQ(s.Element.Artist, "Artist");
    EXPECT_EQ(s.Element.Title, "Title");
    EXPECT_EQ(s.Song.Title, "Title") << "song marker 0 copies the element into Song";

    p = ElementPayload(1, 3, 1000, "\rOnlyTitle");
    DecodeElement(s, p.data(), p.size(), 46001);
    EXPECT_EQ(s.Element.Artist, "OnlyTitle");
    EXPECT_EQ(s.Element.Title, "");
    EXPECT_EQ(s.Song.Artist, "Artist") << "marker 1 leaves Song alone";
    EXPECT_DOUBLE_EQ(s.Song.StartTime, 46000.5);

    const std::string longText(100, 'a');
    p = ElementPayload(0, 3, 0xFFFFFFFF, longText);  // no byte 13, no zero byte
    DecodeElement(s, p.data(), p.size(), 46002);
    EXPECT_EQ(s.Element.Artist, std::string(64, 'a'));
    EXPECT_EQ(s.Element.Title, "");
    EXPECT_DOUBLE_EQ(s.Element.Duration, 4294967.295);
}

TEST(DecodeElement, ShortPayloadsChangeNothing) {
    TBroadcastState s;
    Bytes p = ElementPayload(0, 9, 1000, "");
    DecodeElement(s, p.data(), 5, 1);
    EXPECT_EQ(s.Element.Type, 0);
    DecodeElement(s, p.data(), 6, 46000);  // exactly six bytes: no text
    EXPECT_EQ(s.Element.Type, 9);
    EXPECT_EQ(s.Element.Artist, "");
}

TEST(DecodeBlock, ReadsTypeDurationAndName) {
    TBroadcastState s;
    Bytes p = {4, 0x10, 0x27, 0, 0, 'N', 'e', 'w', 's', 0, 'z'};
    DecodeBlock(s, p.data(), p.size(), 46000);
    EXPECT_EQ(s.Block.Type, 4);
    EXPECT_DOUBLE_EQ(s.Block.Duration, 10.0);
    EXPECT_EQ(s.Block.Name, "News");
    DecodeBlock(s, p.data(), 5, 46001);
    EXPECT_EQ(s.Block.Name, "");
    DecodeBlock(s, p.data(), 4, 46002);
    EXPECT_DOUBLE_EQ(s.Block.StartTime, 46001) << "a short block payload is ignored";
}

TEST(DecodeEntryList, PlayedEntriesAndLengthChecks) {
    TBroadcastState s;
    Bytes p = PlayedEntry(46000.75, 0, 200000, "A1", "T1", 2);
    const Bytes second = PlayedEntry(46000.8, 5, 1000, std::string(64, 'b'), "T2", 200);  // length byte lies
    p.insert(p.end(), second.begin(), second.end());
    ASSERT_EQ(p.size(), 286u);
    DecodeEntryList(s.Played, p.data(), p.size());
    ASSERT_EQ(s.Played->size(), 2u);
    EXPECT_DOUBLE_EQ((*s.Played)[0].StartTime, 46000.75);
    EXPECT_EQ((*s.Played)[0].Artist, "A1");
    EXPECT_EQ((*s.Played)[0].Title, "T1");
    EXPECT_EQ((*s.Played)[0].DurationMs, 200000u);
    EXPECT_EQ((*s.Played)[1].Artist, std::string(64, 'b')) << "a length byte above 64 is taken as 64";
    EXPECT_EQ((*s.Played)[1].Title, "T2");

    const auto before = s.Played;
    p.push_back(0);  // 287 bytes
    DecodeEntryList(s.Played, p.data(), p.size());
    EXPECT_TRUE(s.Played->empty());
    EXPECT_EQ(before->size(), 2u) << "a snapshot holding the old list keeps it";
}

TEST(DecodeEntryList, PlaylistEntriesAndImpossibleDates) {
    TBroadcastState s;
    Bytes p(PlaylistEntrySize * 3, 0);
    p[0] = 0;
    p[1] = 0xE8;
    p[2] = 0x03;
    PutText(p, 5, 3, "Art");
    PutText(p, 70, 65, std::string(64, 't'));
    DecodeEntryList(s.Playlist, p.data(), p.size());
    ASSERT_EQ(s.Playlist->size(), 3u);
    EXPECT_EQ((*s.Playlist)[0].DurationMs, 1000u);
    EXPECT_EQ((*s.Playlist)[0].Artist, "Art");
    EXPECT_EQ((*s.Playlist)[0].Title.size(), 64u);
    DecodeEntryList(s.Playlist, p.data(), 0);
    EXPECT_TRUE(s.Playlist->empty());

    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300,
                       -1e7}) {
        Bytes e = PlayedEntry(bad, 0, 0, "", "", 0);
        DecodeEntryList(s.Played, e.data(), e.size());
        ASSERT_EQ(s.Played->size(), 1u);
        EXPECT_EQ((*s.Played)[0].StartTime, 0.0);
    }
}

TEST(DecodeState, KeysValuesAndLines) {
    TBroadcastState s;
    State(s, "player=P\r C_CLOCKNAME=skipped\r=x\rSYSMSG=a=b=c\rnokey\rUNKNOWN=1\rC_CLOCKNAME=Morning\r\r");
    EXPECT_TRUE(s.PlayerOn) << "the key is upper-cased";
    EXPECT_EQ(s.ClockName, "Morning") << "a key with a leading blank is not recognised";
    EXPECT_EQ(s.SystemMessage, "a=b=c");
    EXPECT_DOUBLE_EQ(s.LastDataTime, 46000.25);

    State(s, "SYSMSG=first\r\nSOURCESTATUS=9\r\nPLAYER=0");
    EXPECT_EQ(s.SystemMessage, "first");
    EXPECT_EQ(s.SourceState, 0) << "after CR LF the key starts with byte 10";
    EXPECT_TRUE(s.PlayerOn);

    const std::string binary = std::string("bin\x01\xFF") + '\0' + "x";
    State(s, "SYSMSG=" + binary + "\rC_CLOCKTYPE=b");
    EXPECT_EQ(s.SystemMessage, binary) << "a zero byte in the state text is kept as text";
    EXPECT_EQ(s.ClockType, 1);

    // Cyrillic letters in a key are upper-cased too: a lower-case Cyrillic key is no key.
    State(s, "\xF1\xE8\xF1msg=x\rsysmsg=\xE0\xE1");
    EXPECT_EQ(s.SystemMessage, "\xE0\xE1") << "values stay as sent";
}

TEST(DecodeState, EveryKeyReachesItsField) {
    TBroadcastState s;
    State(s, "C_CLOCKTYPE=X\rN_CLOCKTYPE=e\rN_CLOCKNAME=Next\rSOURCEINDEX=3\rDETECTOR=h\r"
             "BLOCKTYPE_C=$1F\rEXCLMODE_C=7\rEXCLMODE_N=0x10\rEXCLTIME_N=garbage");
    EXPECT_EQ(s.ClockType, 2);
    EXPECT_EQ(s.NextClockType, 3);
    EXPECT_EQ(s.NextClockName, "Next");
    EXPECT_EQ(s.SourceIndex, 3);
    EXPECT_EQ(s.DetectorState, 2);
    EXPECT_EQ(s.Block.Type, 31);
    EXPECT_EQ(s.ExclusiveMode, 7);
    EXPECT_EQ(s.NextExclusiveMode, 16);
    EXPECT_EQ(s.NextExclusiveTime, 0.0);
}

TEST(StateValues, CharacterConversions) {
    EXPECT_EQ(ParseClockType("r"), 0);
    EXPECT_EQ(ParseClockType("1"), 1);
    EXPECT_EQ(ParseClockType("2"), 2);
    EXPECT_EQ(ParseClockType(""), 3);
    EXPECT_EQ(ParseClockType("Q"), 3);
    EXPECT_EQ(ParseSourceIndex("2"), 2);
    EXPECT_EQ(ParseSourceIndex("4"), 0);
    EXPECT_EQ(ParseSourceIndex(""), 0);
    EXPECT_TRUE(ParsePlayer("p"));
    EXPECT_TRUE(ParsePlayer("1x"));
    EXPECT_FALSE(ParsePlayer(""));
    EXPECT_FALSE(ParsePlayer("0"));
    const char* detectors[] = {"i", "O", "2", "e", "b", "R", "6"};
    for (uint8_t i = 0; i < 7; ++i)
        EXPECT_EQ(ParseDetector(detectors[i]), i) << detectors[i];
    EXPECT_EQ(ParseDetector(""), 7);
    EXPECT_EQ(ParseDetector("7"), 7);
    EXPECT_EQ(ParseDetector(std::string(1, '\0')), 7);
}

TEST(StateValues, ParseByteReadsLikeVal) {
    const std::pair<const char*, int> cases[] = {
        {"12", 12},     {"300", 255},  {"-1", 255},   {"12abc", 12},   {"", 0},       {"abc", 0},
        {"  7", 7},     {"+8", 8},     {"-12x", 12},  {"-0", 0},       {"$ff", 255},  {"$1f", 31},
        {"x10", 16},    {"0X0a", 10},  {"0x", 0},     {"$", 0},        {"-", 0},      {"255", 255},
        {"256", 255},   {"99999999999999999999999", 255}, {"$FFFFFFFF", 255}, {"-$10", 255}, {"7 ", 7},
        {"\t5", 0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseByte(text), expected) << '"' << text << '"';
}

TEST(ExtractField, FieldsAndDelimiterRuns) {
    EXPECT_EQ(ExtractField("a\rb", 1, 13), "a");
    EXPECT_EQ(ExtractField("a\rb", 2, 13), "b");
    EXPECT_EQ(ExtractField("\r\ra\r\r\rb\r", 2, 13), "b");
    EXPECT_EQ(ExtractField("a\rb", 3, 13), "");
    EXPECT_EQ(ExtractField("a\rb", 0, 13), "");
    EXPECT_EQ(ExtractField("", 1, 13), "");
    EXPECT_EQ(ExtractField("one  two", 2, 0), "two") << "delimiter 0 means a blank";
}

// The upper-casing is checked against Python's cp1251 codec, not against a table of our own.
// The native build runs it, where Python is at hand.
#ifndef _WIN32
TEST(UpperCase1251, MatchesAnIndependentConverter) {
    FILE* py = popen("/usr/bin/python3 -c \""
                     "import sys\n"
                     "out=[]\n"
                     "for b in range(256):\n"
                     "  try:\n"
                     "    u=bytes([b]).decode('cp1251').upper().encode('cp1251')\n"
                     "    out.append(u[0] if len(u)==1 else b)\n"
                     "  except Exception: out.append(b)\n"
                     "print(' '.join(map(str,out)))\"",
                     "r");
    ASSERT_NE(py, nullptr);
    int expected[256];
    int read = 0;
    while (read < 256 && std::fscanf(py, "%d", &expected[read]) == 1)
        ++read;
    pclose(py);
    ASSERT_EQ(read, 256) << "Debian's /usr/bin/python3 with its cp1251 codec must run here";
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(UpperChar1251(static_cast<uint8_t>(b)), expected[b]) << "byte " << b;
}
#endif

} // namespace
} // namespace kw
