// Escaping of inserted values: what each mode writes, and that only the text tags insert is
// escaped (after inserted values have been scanned for tags), never the template's own text.
#include "render/CodePages.h"
#include "render/RenderWork.h"
#include "render/TemplateEngine.h"
#include "render/ValueEscaping.h"
#include <algorithm>
#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(Escape, EachModeWritesWhatItsSyntaxNeeds) {
    static const char text[] = "a&b<c>d\"e'f\\g/h\ti\rj\nk\x01l\x7Fm\x00n \xCF";
    const std::string hostile(text, sizeof text - 1);
    EXPECT_EQ(Escape(hostile, escNone), hostile);
    EXPECT_EQ(Escape(hostile, escHTML),
              std::string("a&amp;b&lt;c&gt;d&quot;e&#39;f\\g/h\ti&#13;j\nk&#xFFFD;l\x7Fm&#xFFFD;n \xCF"));
    EXPECT_EQ(Escape(hostile, escXML),
              std::string("a&amp;b&lt;c&gt;d&quot;e&apos;f\\g/h&#9;i&#13;j&#10;k&#xFFFD;l\x7Fm&#xFFFD;n \xCF"));
    EXPECT_EQ(Escape(hostile, escJSON), std::string("a\\u0026b\\u003Cc\\u003Ed\\\"e\\u0027f\\\\g/h\\u0009i\\u000Dj"
                                                    "\\u000Ak\\u0001l\\u007Fm\\u0000n \xCF"));
    EXPECT_EQ(Escape(hostile, escURL), "a%26b%3Cc%3Ed%22e%27f%5Cg%2Fh%09i%0Dj%0Ak%01l%7Fm%00n%20%CF");
    EXPECT_EQ(Escape("AZaz09-._~", escURL), "AZaz09-._~");
    EXPECT_EQ(Escape("&amp;", escHTML), "&amp;amp;");  // text that looks escaped is still text
    EXPECT_EQ(Escape("", escJSON), "");
}

TEST(Escape, AModeThisProgramDoesNotKnowLeavesTheValueAlone) {
    EXPECT_EQ(Escape("<&>", 5), "<&>");
    EXPECT_EQ(Escape("<&>", 255), "<&>");
    EXPECT_EQ(EscapingOf(4), escURL);
    EXPECT_EQ(EscapingOf(9), escNone);
}

class EscapedLine : public ::testing::Test {
protected:
    EscapedLine() {
        TBroadcastState s;
        s.Song.Artist = "AC/DC & \"Friends\"";
        s.Song.Title = "<b>!KW!SongArtist</b>";  // a tag inside a value
        s.SystemMessage = "!KW!Nothing <x>";
        s.ClockName = "\xCF\xF0\xE8\xE2\xE5\xF2 \x95";  // "Привет" and a bullet
        s.Block.Name = "value !K";                      // a marker cut by the end of the value
        page.Broadcast = std::make_shared<const TBroadcastState>(s);
        page.LinkState = 2;
    }
    std::string Expand(std::string_view line, uint8_t escaping, uint8_t codePage = cpWindows1251) {
        std::string out;
        ExpandLine(line, codePage, escaping, page, out);
        return out;
    }
    TPageState page;
};

TEST_F(EscapedLine, OnlyInsertedTextIsEscapedAndTheTemplateStaysAsWritten) {
    EXPECT_EQ(Expand("<p title=\"x\">!KW!SongArtist & co</p>", escHTML),
              "<p title=\"x\">AC/DC &amp; &quot;Friends&quot; & co</p>");
    EXPECT_EQ(Expand("{\"a\": \"!KW!SongArtist\"}", escJSON), "{\"a\": \"AC/DC \\u0026 \\\"Friends\\\"\"}");
    EXPECT_EQ(Expand("<p>no tag & \"quotes\"</p>", escHTML), "<p>no tag & \"quotes\"</p>");
    EXPECT_EQ(Expand("!KW!Unknown <b>", escHTML), "!KW!Unknown <b>");  // template text, not a value
}

TEST_F(EscapedLine, ValuesAreScannedForTagsFirstAndTheWholeInsertedTextIsEscaped) {
    // The title holds markup and a tag: the tag expands, then all of it is escaped.
    EXPECT_EQ(Expand("!KW!SongTitle", escHTML), "&lt;b&gt;AC/DC &amp; &quot;Friends&quot;&lt;/b&gt;");
    EXPECT_EQ(Expand("!KW!SongTitle", escURL), "%3Cb%3EAC%2FDC%20%26%20%22Friends%22%3C%2Fb%3E");
    // A marker in a value that no tag follows is value text.
    EXPECT_EQ(Expand("[!KW!SysMSG]", escHTML), "[!KW!Nothing &lt;x&gt;]");
    EXPECT_EQ(Expand("[!KW!SysMSG]", escURL), "[%21KW%21Nothing%20%3Cx%3E]");
    // A marker begun in a value and ended in the template still expands; the escaped text is
    // the value's.
    EXPECT_EQ(Expand("!KW!BlockNameW!SongArtist", escURL), "value%20AC%2FDC%20%26%20%22Friends%22");
}

TEST_F(EscapedLine, EscapingFollowsTheCodePage) {
    // UTF-8: Cyrillic as two bytes each, URL-encoded byte by byte; KOI8-U writes the bullet as
    // its bullet operator, which JSON leaves alone.
    EXPECT_EQ(Expand("!KW!ClockName", escURL, cpUTF8), "%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82%20%E2%80%A2");
    EXPECT_EQ(Expand("!KW!ClockName", escJSON, cpKOI8U), "\xF0\xD2\xC9\xD7\xC5\xD4 \x95");
    EXPECT_EQ(Expand("!KW!ClockName", escNone, cpKOI8U), "\xF0\xD2\xC9\xD7\xC5\xD4 \x95");
}

// A page for a text target (TCP, UDP): a value cannot end the line its tag stands in, in any
// mode, while the template's own line ends stay.
TEST_F(EscapedLine, ValuesOfATextTargetNeverEndALine) {
    TBroadcastState s = *page.Broadcast;
    s.Song.Title = "Song\nPS=INJECTED\r\nRT2=x\tend\x01";
    s.Song.Artist = "A\n!KW!SongTitle";  // the control bytes of a value found inside a value too
    page.Broadcast = std::make_shared<const TBroadcastState>(s);
    const TTemplateLines lines("RT1=!KW!SongTitle\nRT3=!KW!SongArtist\n");
    for (uint8_t mode = 0; mode < EscapingCount; ++mode) {
        const uint8_t lineSafe = mode | escLineSafe;
        const std::string text = RenderPage(lines, cpWindows1251, lineSafe, page);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << int(mode) << ": " << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2) << int(mode) << ": " << text;
        EXPECT_EQ(Expand("RT1=!KW!SongTitle", lineSafe), "RT1=" + Escape("Song PS=INJECTED  RT2=x end ", mode))
            << int(mode);
    }
    EXPECT_EQ(RenderPage(lines, cpWindows1251, escLineSafe, page),
              "RT1=Song PS=INJECTED  RT2=x end \r\nRT3=A Song PS=INJECTED  RT2=x end \r\n");
}

TEST_F(EscapedLine, TheWholePageUsesTheWorksEscaping) {
    const TTemplateLines lines("<h1>\"!KW!SongArtist\"</h1>\n<p>'plain'</p>");
    EXPECT_EQ(RenderPage(lines, cpWindows1251, escXML, page),
              "<h1>\"AC/DC &amp; &quot;Friends&quot;\"</h1>\r\n<p>'plain'</p>\r\n");
    EXPECT_EQ(RenderPage(lines, cpWindows1251, page), "<h1>\"AC/DC & \"Friends\"\"</h1>\r\n<p>'plain'</p>\r\n");
}

} // namespace
} // namespace kw
