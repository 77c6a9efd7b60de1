// The template preview: the page as the render would write it, shown line by line as its code
// page gives it, with the markers that give nothing, and never a file written or delivered.
#include "platform/FileSystem.h"
#include "render/CodePages.h"
#include "render/PageText.h"
#include "ui/Preview.h"
#include "render/RenderWork.h"
#include "render/ValueEscaping.h"
#include "tests/platform/TempFolder.h"
#include <gtest/gtest.h>

namespace kw {
namespace {

class PreviewTest : public ::testing::Test {
protected:
    PreviewTest() {
        TBroadcastState s;
        s.Song.Artist = "AC/DC & \xCF\xF0\xE8\xE2\xE5\xF2";  // "AC/DC & Привет"
        s.Song.Title = "<Title>";
        page.Broadcast = std::make_shared<const TBroadcastState>(s);
        page.LinkState = 2;
        settings.FileOut = dir.Path("out.html");
    }
    TPreview Preview(const std::string& templateText) {
        settings.FileIn = dir.Write("page.tpl", templateText);
        return RenderPreview(settings, page);
    }

    kwtest::TTempFolder dir;
    TPageState page;
    TPreviewSettings settings;
};

TEST_F(PreviewTest, ShowsThePageAsTheCodePageGivesItLineByLine) {
    settings.CodePage = cpKOI8R;
    settings.Escaping = escHTML;
    const TPreview p = Preview("<b>!KW!SongArtist</b>\n!KW!SongTitle\nend");
    ASSERT_TRUE(p.Read());
    EXPECT_EQ(p.Page, "<b>AC/DC &amp; \xF0\xD2\xC9\xD7\xC5\xD4</b>\r\n&lt;Title&gt;\r\nend\r\n");
    EXPECT_EQ(p.Lines, (std::vector<std::string>{"<b>AC/DC &amp; Привет</b>", "&lt;Title&gt;", "end"}));
    EXPECT_TRUE(p.Problems.empty());
    EXPECT_FALSE(p.LiveTagsEmpty);
    EXPECT_TRUE(p.IsHtml);
    // Nothing was written: the work's output does not exist.
    EXPECT_FALSE(fs::FileExists(settings.FileOut));
}

TEST_F(PreviewTest, IsWhatTheRenderWritesForTheSameStateAndSettings) {
    settings.CodePage = cpUTF8;
    settings.Escaping = escJSON;
    settings.FileOut = dir.Path("out.json");
    const std::string text = "{\"a\": \"!KW!SongArtist\",\r\n \"t\": \"!KW!SongTitle\"}\n";
    const TPreview p = Preview(text);

    TWorkList works;
    TBroadcastStore store;
    store.Publish(page.Broadcast);
    std::atomic<uint8_t> link{2};
    TRenderContext context(works, store, link, [](const std::string& k) { return k; });
    TWorkConfig c;
    c.FileIn = settings.FileIn;
    c.FileOut = dir.Path("rendered.json");
    c.CodePage = settings.CodePage;
    c.Escaping = settings.Escaping;
    TWorkData work(c);
    std::unique_ptr<TTemplateLines> lines;
    RenderWork(context, work, 0, lines);
    EXPECT_EQ(p.Page, dir.Read("rendered.json"));
    EXPECT_FALSE(p.IsHtml);
}

TEST_F(PreviewTest, MarkersThatGiveNothingAreShownWhereTheyStand) {
    settings.CodePage = cpUTF8;
    const TPreview p = Preview("ok !KW!SongArtist\n\xD0\x9F\xD1\x80\xD0\xB8 !KW!SongArtst x\r\n"
                               "!KW!PlayedArtist !KW!PlayedArtist0 !KW!\n!kw!nothing");
    ASSERT_EQ(p.Problems.size(), 3u);
    using K = TTemplateProblem::TKind;
    EXPECT_EQ(p.Problems[0].Kind, K::UnknownTag);
    EXPECT_EQ(p.Problems[0].Line, 2);
    EXPECT_EQ(p.Problems[0].Column, 5);  // after three Cyrillic letters and a blank
    EXPECT_EQ(p.Problems[0].Text, "!KW!SongArtst");
    EXPECT_EQ(p.Problems[1].Kind, K::MissingDigit);
    EXPECT_EQ(p.Problems[1].Line, 3);
    EXPECT_EQ(p.Problems[1].Column, 1);
    EXPECT_EQ(p.Problems[1].Text, "!KW!PlayedArtist");
    EXPECT_EQ(p.Problems[2].Kind, K::UnknownTag);
    EXPECT_EQ(p.Problems[2].Column, 36);
    EXPECT_EQ(p.Problems[2].Text, "!KW!");
}

TEST_F(PreviewTest, ATemplateThatCannotBeReadIsReportedAsARenderReportsIt) {
    settings.FileIn = dir.Path("missing.tpl");
    EXPECT_EQ(RenderPreview(settings, page).FailureKey, "NoFileIn");
    settings.FileIn = dir.Path("");  // a folder is not a template
    EXPECT_EQ(RenderPreview(settings, page).FailureKey, "NoFileIn");
    settings.FileIn = std::string("a\0b", 3);
    const TPreview p = RenderPreview(settings, page);
    EXPECT_EQ(p.FailureKey, "ExceptSH");
    EXPECT_FALSE(p.FailureMessage.empty());
    EXPECT_TRUE(p.Page.empty());
}

TEST_F(PreviewTest, LiveTagsAreEmptyWhileTheHostSendsNothingAndThePreviewSaysSo) {
    page.LinkState = 1;
    const TPreview p = Preview("[!KW!SongArtist]");
    EXPECT_EQ(p.Lines, (std::vector<std::string>{"[]"}));
    EXPECT_TRUE(p.LiveTagsEmpty);
}

TEST_F(PreviewTest, HtmlPagesOpenInABrowserFromATemporaryFileNotFromTheOutput) {
    EXPECT_TRUE(IsHtmlPage("C:\\www\\index.HTM", ""));
    EXPECT_TRUE(IsHtmlPage("page.out", "\xEF\xBB\xBF<!DOCTYPE html>\r\n<html>"));
    EXPECT_FALSE(IsHtmlPage("now.json", "{\"html\": 1}"));
    const TPreview p = Preview("<html>!KW!SongTitle</html>");
    kwtest::TTempFolder temp;
    std::string path, error;
    ASSERT_TRUE(WritePreviewPage(p, temp.Path(""), path, error)) << error;
    EXPECT_EQ(fs::ExtractFileName(path), "KWPAGE-preview.html");
    EXPECT_EQ(temp.Read("KWPAGE-preview.html"), p.Page);
    EXPECT_FALSE(fs::FileExists(settings.FileOut));
}

} // namespace
} // namespace kw
