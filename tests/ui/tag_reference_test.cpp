// The tag reference: every tag with what it inserts now, and the search over it.
#include "render/CodePages.h"
#include "ui/TagReference.h"
#include "render/ValueEscaping.h"
#include <gtest/gtest.h>

namespace kw {
namespace {

class TagReferenceTest : public ::testing::Test {
protected:
    TagReferenceTest() {
        TBroadcastState s;
        s.Song.Artist = "\xCF\xF0\xE8\xE2\xE5\xF2 & Co";  // "Привет & Co"
        s.ClockName = "Night";
        s.Played = std::make_shared<const TPlayedList>(TPlayedList{{0, 0, 185000, "Played \"One\"", "T"}});
        page.Broadcast = std::make_shared<const TBroadcastState>(s);
        page.LinkState = 2;
    }
    const TTagReferenceRow& Row(const std::vector<TTagReferenceRow>& rows, const std::string& tag) {
        for (const auto& r : rows)
            if (r.Tag == tag)
                return r;
        static const TTagReferenceRow none;
        ADD_FAILURE() << "no row " << tag;
        return none;
    }
    TPageState page;
};

TEST_F(TagReferenceTest, EveryTagWithTheValueThePreviewWouldInsert) {
    const auto rows = TagReference(page, cpKOI8U, escHTML);
    ASSERT_EQ(rows.size(), TagCount);
    EXPECT_EQ(rows.front().Tag, "!KW!SongArtist");
    EXPECT_EQ(rows.front().Value, "Привет &amp; Co");  // read back from KOI8-U, escaped
    EXPECT_TRUE(rows.front().Live);
    const auto& played = Row(rows, "!KW!PlayedArtist0");
    EXPECT_TRUE(played.List);
    EXPECT_FALSE(played.Live);
    EXPECT_EQ(played.Value, "Played &quot;One&quot;");
    EXPECT_EQ(Row(rows, "!KW!PlayedDuration0").Value, "03:05");
    EXPECT_FALSE(Row(rows, "!KW!PlayerStatus").List);
    EXPECT_EQ(Row(rows, "!KW!SystemTime").Name, "SystemTime");
}

TEST_F(TagReferenceTest, LiveTagsAreEmptyWhileTheHostSendsNothing) {
    page.LinkState = 0;
    const auto rows = TagReference(page, cpUTF8, escNone);
    EXPECT_EQ(Row(rows, "!KW!SongArtist").Value, "");
    EXPECT_EQ(Row(rows, "!KW!PlayedArtist0").Value, "Played \"One\"");
    EXPECT_EQ(Row(rows, "!KW!StudioOnline").Value, "O");
}

TEST_F(TagReferenceTest, SearchFindsTagsAndValuesWithoutRegardToCase) {
    const auto rows = TagReference(page, cpUTF8, escNone);
    EXPECT_EQ(SearchTagReference(rows, "").size(), TagCount);
    const auto artist = SearchTagReference(rows, "ARTIST");
    EXPECT_EQ(artist.size(), 6u);  // Song, Element, PlayList(Song), Played(Song) artists
    const auto cyrillic = SearchTagReference(rows, "ПРИВЕТ");
    ASSERT_EQ(cyrillic.size(), 1u);
    EXPECT_EQ(rows[cyrillic[0]].Name, "SongArtist");
    EXPECT_EQ(SearchTagReference(rows, "night").size(), 2u);  // ClockName, CurrentHour
    EXPECT_TRUE(SearchTagReference(rows, "no such text").empty());
}

} // namespace
} // namespace kw
