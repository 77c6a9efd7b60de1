// The template engine: the scanning rule, the tag table, the live rule and the list tags.
#include "render/CodePages.h"
#include "render/RenderWork.h"
#include "render/TemplateEngine.h"
#include "render/TemplateText.h"
#include "render/TextScan.h"
#include "render/ValueFormat.h"
#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <vector>

namespace kw {
namespace {

TPlaylistEntry ListEntry(uint8_t type, const char* artist, const char* title, uint32_t ms) {
    return {type, ms, artist, title};
}

TPlayedEntry PlayedEntry(uint8_t type, const char* artist, const char* title, uint32_t ms, TDateTime start) {
    return {start, type, ms, artist, title};
}

class Engine : public ::testing::Test {
protected:
    Engine() {
        state.Song = {0, 185, EncodeDateTime(2026, 12, 7, 19, 27, 26, 0), "Artist", "Title"};
        state.Element = {9, 30, EncodeDateTime(2026, 12, 7, 19, 30, 0, 0), "Jingle", "Station"};
        state.Block = {1, 3725, EncodeDateTime(2026, 12, 7, 19, 0, 0, 0), "Evening"};
        state.Playlist = std::make_shared<const TPlaylist>(TPlaylist{
            ListEntry(1, "Ad", "Spot", 30000), ListEntry(0, "P1", "Song1", 185000),
            ListEntry(2, "Id", "Ident", 5000), ListEntry(0, "P2", "Song2", 3725000)});
        state.Played = std::make_shared<const TPlayedList>(TPlayedList{
            PlayedEntry(0, "D1", "Done1", 60000, EncodeDateTime(2026, 12, 7, 18, 0, 0, 0)),
            PlayedEntry(11, "Jg", "Jingle", 3000, 0)});
        state.ClockName = "Night";
        state.ClockType = 1;
        state.PlayerOn = true;
        state.DetectorState = 4;
        state.SourceIndex = 2;
        state.ExclusiveMode = 255;
        state.SystemMessage = "Hello";
        Publish();
    }
    void Publish() {
        page.Broadcast = std::make_shared<const TBroadcastState>(state);
        page.LinkState = 2;
        page.Now = EncodeDateTime(2026, 12, 7, 20, 0, 0, 0);
    }
    std::string Expand(std::string_view line, uint8_t cp = 0) { return ExpandLine(line, cp, page); }

    TBroadcastState state;
    TPageState page;
};

TEST_F(Engine, ScanningRule) {
    EXPECT_EQ(Expand(""), "");
    EXPECT_EQ(Expand("plain text"), "plain text");
    EXPECT_EQ(Expand("<b>!KW!SongTitle</b>"), "<b>Title</b>");
    EXPECT_EQ(Expand("!KW!songartist-!KW!SONGTITLE"), "Artist-Title");  // names in any case
    EXPECT_EQ(Expand("!kw!SongTitle"), "!kw!SongTitle");                  // the marker is not
    EXPECT_EQ(Expand("!KW!Nothing !KW!SongTitle"), "!KW!Nothing Title");
    EXPECT_EQ(Expand("!KW!!KW!SongTitle!KW!"), "!KW!Title!KW!");
    EXPECT_EQ(Expand("!KW!SongTitl"), "!KW!SongTitl");  // a name cut by the line end
    EXPECT_EQ(Expand("!!KW!SongTitle"), "!Title");
    // First match in table order: "SongTimeL" is tried before nothing longer exists.
    EXPECT_EQ(Expand("!KW!SomgDuration/!KW!SongTimeL"), "03:05/03:05");
}

TEST_F(Engine, InsertedValuesAreScannedAgainWithABound) {
    state.SystemMessage = "<!KW!SongTitle>";
    Publish();
    EXPECT_EQ(Expand("[!KW!SysMSG]"), "[<Title>]");

    // A value that names itself stops after the bound and keeps the marker as text.
    state.SystemMessage = "x!KW!SysMSG";
    Publish();
    EXPECT_EQ(Expand("!KW!SysMSG|!KW!SongTitle"),
              std::string(MaxReExpansions + 1, 'x') + "!KW!SysMSG|Title");

    // Two self references in one value cannot grow the line beyond the bound either.
    state.SystemMessage = "!KW!SysMSG!KW!SysMSG";
    Publish();
    EXPECT_LT(Expand("!KW!SysMSG").size(), 40u * (MaxReExpansions + 2));

    // A value ending in part of a marker joins the text after the tag.
    state.SystemMessage = "!K";
    Publish();
    EXPECT_EQ(Expand("!KW!SysMSGW!SongTitle"), "Title");
    state.SystemMessage = "!KW!Song";
    Publish();
    EXPECT_EQ(Expand("!KW!SysMSGTitle"), "Title");
    // A list tag inserted by a value takes its digit from the line after it.
    state.SystemMessage = "!KW!PlayedArtist";
    Publish();
    EXPECT_EQ(Expand("!KW!SysMSG0!"), "D1!");
}

TEST_F(Engine, LiveTagsNeedData) {
    page.LinkState = 1;
    EXPECT_EQ(Expand("[!KW!SongTitle][!KW!PlayedTitle0][!KW!StudioOnline][!KW!Studio_Status]"),
              "[][Done1][W][]");
    EXPECT_EQ(Expand("!KW!SystemTime"), FormatLongTime(page.Now));
    EXPECT_EQ(Expand("!KW!SystemDate"), FormatShortDate(page.Now));
    page.LinkState = 0;
    EXPECT_EQ(Expand("!KW!StudioOnline"), "O");
}

TEST_F(Engine, ListTags) {
    EXPECT_EQ(Expand("!KW!PlayedArtist0"), "D1");
    EXPECT_EQ(Expand("!KW!PlayedArtist x"), " x");     // no digit: empty, the blank stays
    EXPECT_EQ(Expand("!KW!PlayListArtistBig"), "ig");  // B is index 11: no such entry
    EXPECT_EQ(Expand("!KW!PlayListSongArtist1"), "P2");
    EXPECT_EQ(Expand("!KW!PlayListArtist1!KW!PlayListType0!KW!PlayListType2"), "P1AI");
    EXPECT_EQ(Expand("!KW!PlayListSongDuration1|!KW!PlayListSongTimeL0"), "62:05|03:05");
    EXPECT_EQ(Expand("!KW!PlayListSongArtist2"), "");
    EXPECT_EQ(Expand("!KW!PlayedType1!KW!PlayedSongTitle1"), "D");
    EXPECT_EQ(Expand("!KW!PlayedRunTime1|!KW!PlayedRunDate0"), "|" + FormatShortDate(state.Played->at(0).StartTime));
    EXPECT_EQ(Expand("!KW!PlayedSongRunTime0"), FormatLongTime(state.Played->at(0).StartTime));
    EXPECT_EQ(Expand("!KW!PlayedDuration1!KW!PlayedSongDuration0"), "00:0301:00");
    EXPECT_EQ(Expand("!KW!PlayListTitlef!KW!PlayListTitleA"), "");
}

TEST_F(Engine, EveryTagHasItsValue) {
    const std::pair<const char*, std::string> expected[] = {
        {"SongArtist", "Artist"}, {"SongTitle", "Title"}, {"SomgDuration", "03:05"}, {"SongTimeL", "03:05"},
        {"SongRunTime", FormatLongTime(state.Song.StartTime)}, {"SongRunDate", FormatShortDate(state.Song.StartTime)},
        {"ElementArtist", "Jingle"}, {"ElementTitle", "Station"}, {"ElementType", "C"},
        {"ElementDuration", "00:30"}, {"ElementRunTime", FormatLongTime(state.Element.StartTime)},
        {"ElementRunDate", FormatShortDate(state.Element.StartTime)}, {"BlockName", "Evening"},
        {"BlockType", "A"}, {"BlockDuration", "62:05"}, {"BlockRunTime", FormatLongTime(state.Block.StartTime)},
        {"BlockRunDate", FormatShortDate(state.Block.StartTime)}, {"ClockName", "Night"},
        {"CurrentHour", "Night"}, {"ClockType", "B"}, {"NClockName", ""}, {"NextHour", ""},
        {"NClockType", "R"}, {"SourceIndex", "3"}, {"SourceStatus", "O"}, {"PlayerStatus", "P"},
        {"DetectorStatus", "B"}, {"StudioLastTime", ""}, {"StudioLastDate", ""}, {"StudioOnline", "N"},
        {"Studio_Status", "BPB"}, {"SysMSG", "Hello"}, {"ExclMode", "255"}, {"NExclMode", "0"},
        {"NExclTime", ""}, {"NExclDate", ""},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(Expand(std::string("!KW!") + name + "."), value + ".") << name;

    state.LastDataTime = EncodeDateTime(2026, 12, 7, 19, 27, 26, 0);
    state.NextExclusiveTime = state.LastDataTime;
    Publish();
    EXPECT_EQ(Expand("!KW!StudioLastTime !KW!StudioLastDate"),
              FormatLongTime(state.LastDataTime) + " " + FormatShortDate(state.LastDataTime));
    EXPECT_EQ(Expand("!KW!NExclTime!KW!NExclDate"),
              FormatLongTime(state.LastDataTime) + FormatShortDate(state.LastDataTime));
}

TEST(TagTable, FiftySevenNamesInOrder) {
    const TTagInfo* table = TagTable();
    EXPECT_EQ(table[0].Name, "SongArtist");
    EXPECT_EQ(table[17].Name, "PlayListSongArtist");
    EXPECT_EQ(table[51].Name, "Studio_Status");
    EXPECT_EQ(table[TagCount - 1].Name, "NExclDate");
    int live = 0;
    for (size_t i = 0; i < TagCount; ++i) {
        EXPECT_EQ(static_cast<size_t>(table[i].Tag), i + 1) << table[i].Name;
        EXPECT_LE(table[i].Name.size(), LongestTagName);
        live += table[i].Live;
    }
    EXPECT_EQ(live, 57 - 19 - 5);  // lists (19) and the five tags that work without data
}

// The indexed lookup finds what a walk through the table in order finds: the first name that
// equals the front of the text without regard to case.
TEST(TagTable, LookupIsTheFirstMatchInTableOrder) {
    const auto walk = [](std::string_view text) -> const TTagInfo* {
        for (size_t i = 0; i < TagCount; ++i) {
            const TTagInfo& info = TagTable()[i];
            if (info.Name.size() <= text.size() &&
                std::equal(info.Name.begin(), info.Name.end(), text.begin(),
                           [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) ==
                                                       std::toupper(static_cast<unsigned char>(b)); }))
                return &info;
        }
        return nullptr;
    };
    for (size_t i = 0; i < TagCount; ++i) {
        const std::string name(TagTable()[i].Name);
        std::string lower = name, flipped = name;
        for (size_t k = 0; k < name.size(); ++k) {
            lower[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[k])));
            if (k % 2)
                flipped[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[k])));
        }
        for (const std::string& text : {name, lower, flipped, name + "0x", name.substr(0, name.size() - 1),
                                        name.substr(1), "!" + name, name + "\xFF"}) {
            EXPECT_EQ(MatchTag(text), walk(text)) << text;
        }
    }
    EXPECT_EQ(MatchTag("PlayListSongTimeL"), &TagTable()[20]);  // not its prefix PlayListSong...
    EXPECT_EQ(MatchTag(std::string("Song\0Artist", 11)), nullptr);
    EXPECT_EQ(MatchTag("SysMS"), nullptr);
    EXPECT_EQ(MatchTag("Studio\x7FStatus"), nullptr);  // only letters compare without case
}

TEST_F(Engine, ValuesAreRecodedButTemplateTextIsNot) {
    state.Song.Artist = "\xCF\xF0\xE8\xE2\xE5\xF2";  // Привет in Windows-1251
    Publish();
    EXPECT_EQ(Expand("\xC0!KW!SongArtist", cpKOI8R), "\xC0\xF0\xD2\xC9\xD7\xC5\xD4");
    EXPECT_EQ(Expand("!KW!SongArtist", cpUTF8), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
}

TEST_F(Engine, ValuesWithEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    state.Block.Name = all;
    Publish();
    for (uint8_t cp = 0; cp <= 5; ++cp)
        EXPECT_EQ(Expand("<!KW!BlockName>", cp), "<" + Recode(all, cp) + ">") << int(cp);
}

// Lines that defeat a naive scanner: many markers, no valid tag.
TEST_F(Engine, LineFullOfMarkers) {
    std::string line;
    for (int i = 0; i < 100000; ++i)
        line += "!KW!x!KW";
    EXPECT_EQ(Expand(line), line);
}

std::vector<std::string> Lines(std::string bytes) {
    std::vector<std::string> out;
    TTemplateLines(std::move(bytes)).ForEachLine([&](std::string_view l) { out.emplace_back(l); });
    return out;
}

TEST(TemplateText, LineEnds) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Lines(""), V{});
    EXPECT_EQ(Lines("a"), V{"a"});
    EXPECT_EQ(Lines("a\n"), V{"a"});
    EXPECT_EQ(Lines("a\r\nb\nc"), (V{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\n\nb\n"), (V{"a", "", "b"}));
    EXPECT_EQ(Lines("a\rb\r\r\n"), V{"ab"});  // lone CRs dropped
    EXPECT_EQ(Lines("\r"), V{""});
    EXPECT_EQ(Lines("a\nb\x1A" "c\nd"), (V{"a", "b"}));  // byte 26 ends the file
    EXPECT_EQ(Lines("\x1A" "abc"), V{});
    EXPECT_EQ(Lines(std::string("a\0b\n", 4)), V{std::string("a\0b", 3)});
    EXPECT_EQ(TTemplateLines("a\n\nb").Count(), 3u);
}

// The page built in one pass must equal the template taken line by line: each line expanded
// and followed by CR LF. The cases put line ends, lone CRs, byte 26 and markers at the edges of
// the scan's 32-byte blocks, and a seeded random walk mixes them further.
class PageBuilding : public Engine {
protected:
    std::string LineByLine(const std::string& bytes) {
        std::string out;
        TTemplateLines(bytes).ForEachLine([&](std::string_view l) { out.append(Expand(l)).append("\r\n"); });
        return out;
    }
    void Check(const std::string& bytes) {
        ASSERT_EQ(RenderPage(TTemplateLines(bytes), 0, page), LineByLine(bytes)) << ::testing::PrintToString(bytes);
    }
};

// Every way of scanning the processor offers (and the narrower ones) must build the same page:
// the wide ones copy 64 bytes and more at a step, so the pieces also come in long runs.
class PageBuildingAtEveryWidth : public PageBuilding, public ::testing::WithParamInterface<TScanWidth> {
protected:
    void SetUp() override { LimitScanWidth(GetParam()); }
    void TearDown() override { LimitScanWidth(TScanWidth::Avx512); }
};

TEST_P(PageBuildingAtEveryWidth, EqualsTheLineByLineRule) {
    EXPECT_EQ(RenderPage(TTemplateLines("a\nb\r\n\rc\r"), 0, page), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(RenderPage(TTemplateLines("x!K\rW!SongTitle\r\n"), 0, page), "xTitle\r\n");  // CR dropped first
    EXPECT_EQ(RenderPage(TTemplateLines("!KW!Song\nTitle"), 0, page), "!KW!Song\r\nTitle\r\n");  // split tag
    const std::vector<std::string> pieces = {"text", "\r\n", "\n", "\r", "\x1A", "!", "!KW!SongTitle", "!KW!",
                                             "KW!", "!KW!PlayedArtist", "0", std::string(1, '\0'), "\xFF"};
    for (size_t pad = 0; pad < 40; ++pad) {
        for (const auto& a : pieces) {
            for (const auto& b : pieces)
                Check(std::string(pad, 'p') + a + b + std::string(40 - pad, 'q') + a);
        }
    }
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const size_t parts = next() % 60;
        for (size_t i = 0; i < parts; ++i)
            bytes += next() % 3 ? pieces[next() % pieces.size()] : std::string(next() % 50, 'z');
        Check(bytes);
    }
    // Pages of line ends alone (up to 64 bare LFs at a step) and long lines, with a rare stop.
    const std::vector<std::string> lineEnds = {"\n", "\n\n\n\n\n\n\n\n", "\r\n", "\r\n\n", "\n\r\n", "!", "\r"};
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const size_t parts = next() % 80;
        for (size_t i = 0; i < parts; ++i) {
            const size_t kind = next() % 16;
            bytes += kind < 5 ? std::string(next() % 140, 'y') : lineEnds[kind < 15 ? kind % 5 : 5 + next() % 2];
        }
        Check(bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, PageBuildingAtEveryWidth,
                         ::testing::Values(TScanWidth::Bytes, TScanWidth::Sse2, TScanWidth::Avx2, TScanWidth::Avx512));

} // namespace
} // namespace kw
