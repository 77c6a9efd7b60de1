// The main window's models: works rows and sort, selection, log and layout arithmetic, and the
// main timer's take of the status cells.
#include "ui/GridLayout.h"
#include "ui/LogModel.h"
#include "ui/StatusFeed.h"
#include "ui/WorksGrid.h"
#include "render/StatusText.h"
#include "tests/support/Works.h"
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace kw;

using test::Named;

TEST(WorksGrid, SortsByteWiseAndNumbersTheRows) {
    TWorkList works;
    for (const char* n : {"b", "\xC0\xE1\xE2", "A", "a", "ab", "Ab"})
        ASSERT_TRUE(works.Append(Named(n)));
    const auto rows = ShowWorksRows(works, "Source", "Wait");
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0], (TWorksRow{"", "Source", "Wait"}));
    const char* expected[] = {"A", "Ab", "a", "ab", "b", "\xC0\xE1\xE2"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rows[i + 1][0], std::to_string(i + 1));
        EXPECT_EQ(rows[i + 1][1], expected[i]);
        EXPECT_EQ(rows[i + 1][2], "");
    }
}

TEST(WorksGrid, DeleteRenumbersAndSelectionFollowsRows) {
    TWorkList works;
    for (const char* n : {"a", "b", "c"})
        ASSERT_TRUE(works.Append(Named(n)));
    ASSERT_TRUE(works.RemoveAt(SelectedWorkFromRow(WorkRow(1))));
    const auto rows = ShowWorksRows(works, "", "");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2][0], "2");
    EXPECT_EQ(rows[2][1], "c");
    EXPECT_EQ(SelectedWorkFromRow(SourceRow()), -1);
    EXPECT_FALSE(WorkButtonsEnabled(SelectedWorkFromRow(SourceRow())));
    EXPECT_FALSE(WorkButtonsEnabled(SelectedWorkFromRow(-1)));
    EXPECT_TRUE(WorkButtonsEnabled(SelectedWorkFromRow(WorkRow(0))));
}

TEST(WorksGrid, StatusColours) {
    EXPECT_FALSE(StatusCellPaint(TStatusTone::Normal).Custom);
    const TCellPaint red = StatusCellPaint(TStatusTone::Failure);
    EXPECT_TRUE(red.Custom);
    EXPECT_EQ(red.Background, 0x000000FFu);
    EXPECT_EQ(StatusCellPaint(TStatusTone::Connected).Background, 0x00008000u);
}

TEST(LogModel, FirstEntryFillsTheDesignRowAndTheLogKeeps254) {
    TLogModel log;
    EXPECT_EQ(log.RowCount(), 2u);
    log.Add("19:27:26 07.12", "Run");
    EXPECT_EQ(log.RowCount(), 2u);
    log.Add("19:27:27 07.12", "second");
    EXPECT_EQ(log.RowCount(), 3u);
    EXPECT_EQ(log.Entry(0)[1], "second");
    for (int i = 0; i < 298; ++i)
        log.Add("t", std::to_string(i));
    EXPECT_EQ(log.RowCount(), 255u);
    EXPECT_EQ(log.Entry(0)[1], "297");
    EXPECT_EQ(log.Entry(253)[1], "44");  // the 254 newest of 300
}

TEST(GridLayout, ToolBarAt459Pixels) {
    const TToolBarLayout b = PanTResize(459, TToolBarLayout{});
    EXPECT_EQ(b.Pid.Left, 398);
    EXPECT_EQ(b.SendNow.Width, 99);
    EXPECT_EQ(b.SendNow.Left, 298);
    EXPECT_EQ(b.Delete.Width, 99);
    EXPECT_EQ(b.Delete.Left, 198);
    EXPECT_EQ(b.Add.Left, 0);
    EXPECT_EQ(b.Add.Width, 99);
    EXPECT_EQ(b.Edit.Left, 100);
    EXPECT_EQ(b.Edit.Width, 97);
}

// Measured captions: each button gets what its caption needs plus an equal part of the rest; on
// a bar too narrow for all of them, parts in proportion to the need.
TEST(GridLayout, ToolBarSharesByWhatTheCaptionsNeed) {
    TToolBarLayout want;
    want.Add.Want = 80, want.Edit.Want = 120, want.Delete.Want = 75, want.SendNow.Want = 95;
    TToolBarLayout b = PanTResize(459, want);
    EXPECT_EQ(b.SendNow.Width, 101);
    EXPECT_EQ(b.SendNow.Left, 296);
    EXPECT_EQ(b.Delete.Width, 81);
    EXPECT_EQ(b.Add.Width, 86);
    EXPECT_EQ(b.Edit.Left, 87);
    EXPECT_EQ(b.Edit.Width, 126);
    EXPECT_EQ(b.Delete.Left, b.Edit.Left + b.Edit.Width + 1);

    b = PanTResize(300, want);  // 235 pixels for 370 wanted
    EXPECT_EQ(b.SendNow.Left + b.SendNow.Width + 1, b.Pid.Left);
    EXPECT_EQ(b.Delete.Left + b.Delete.Width + 1, b.SendNow.Left);
    EXPECT_EQ(b.Edit.Left + b.Edit.Width + 1, b.Delete.Left);
    EXPECT_GT(b.Edit.Width, b.Add.Width);  // the longest caption keeps the largest part
    EXPECT_GT(b.Add.Width, b.Delete.Width);
    EXPECT_EQ(b.Delete.Width, 75 * 235 / 370);
}

// A bar too narrow for the captions whole shows the glyphs alone, in equal parts: no caption
// is ever drawn cut short.
TEST(GridLayout, ABarTooNarrowForTheCaptionsShowsGlyphsAlone) {
    TToolBarLayout want;
    want.Add.Want = 80, want.Edit.Want = 120, want.Delete.Want = 75, want.SendNow.Want = 95;
    want.GlyphWant = 26;
    EXPECT_FALSE(PanTResize(459, want).Compact);
    const TToolBarLayout b = PanTResize(300, want);
    ASSERT_TRUE(b.Compact);
    EXPECT_EQ(b.Add.Width, b.Delete.Width);
    EXPECT_GE(b.Add.Width, 26);
    EXPECT_EQ(b.SendNow.Left + b.SendNow.Width + 1, b.Pid.Left);
    EXPECT_EQ(b.Edit.Left + b.Edit.Width + 1, b.Delete.Left);
}

TEST(GridLayout, FitColumnsSharesTheFreeWidth) {
    TGridMetrics g;
    g.ColWidths = {27, 276, 145};
    g.RowCount = 3;
    g.ClientWidth = 440;
    g.ClientHeight = 200;
    g.OuterWidth = 459;
    // rows fit: outer width - 1 = 458, minus 28 and 146
    EXPECT_EQ(FitColumns(g, {0, 100, 0}), (std::vector<int>{27, 283, 145}));
    g.RowCount = 20;  // 20 * 19 > 200: the scroll bar's width is not available
    EXPECT_EQ(FitColumns(g, {0, 100, 0}), (std::vector<int>{27, 265, 145}));
    g.VertLines = false;
    g.HorzLines = false;
    g.RowCount = 11;  // 11 * 18 = 198 fits without the line pixels
    EXPECT_EQ(FitColumns(g, {0, 50}), (std::vector<int>{27, 215, 145}));
    EXPECT_EQ(FitColumns(g, {}), g.ColWidths);
}

// The timer skips its take while no cell has published; a change, from any thread's cell,
// ends the skip once, and a repeat of the same text (not published) does not.
TEST(StatusFeed, TheTakeIsSkippedUntilACellPublishes) {
    TShowCell cell;
    uint64_t seen = ~uint64_t{0};
    EXPECT_TRUE(StatusPublishedSince(seen));  // the first tick always takes
    EXPECT_FALSE(StatusPublishedSince(seen));
    SetShowCell(cell, "12:00:00", TStatusTone::Normal, false, false);
    EXPECT_TRUE(StatusPublishedSince(seen));
    EXPECT_FALSE(StatusPublishedSince(seen));
    SetShowCell(cell, "12:00:00", TStatusTone::Normal, false, false);  // the same text: nothing published
    EXPECT_FALSE(StatusPublishedSince(seen));
    std::thread([] {
        TShowCell other;
        SetShowCell(other, "failed", TStatusTone::Failure, true, false);
    }).join();
    EXPECT_TRUE(StatusPublishedSince(seen));
}

TEST(StatusFeed, ThreeChangesBetweenTicksShowTheLast) {
    std::vector<TWorkPtr> works;
    for (int i = 0; i < 12; ++i)
        works.push_back(Named(std::string("w").append(std::to_string(i))));  // gcc 12 -Wrestrict
    TShowCell source;
    SetShowCell(works[11]->Show, "first", TStatusTone::Failure, true, false);
    SetShowCell(works[11]->Show, "second", TStatusTone::Failure, false, false);
    SetShowCell(works[11]->Show, "third", TStatusTone::Normal, false, false);
    TStatusFeed f = TakeStatusUpdates(works, source);
    ASSERT_EQ(f.Cells.size(), 1u);
    EXPECT_EQ(f.Cells[0].Row, WorkRow(11));
    EXPECT_EQ(f.Cells[0].Text, "third");
    // the last update asked for no log line, so there is none
    EXPECT_TRUE(f.LogLines.empty());
    EXPECT_TRUE(f.GridChanged);
    SetShowCell(works[11]->Show, "failed", TStatusTone::Failure, true, false);
    f = TakeStatusUpdates(works, source);
    EXPECT_EQ(f.LogLines, std::vector<std::string>{"[12] failed"});

    f = TakeStatusUpdates(works, source);  // nothing new: nothing to repaint
    EXPECT_FALSE(f.GridChanged);
    EXPECT_TRUE(f.LogLines.empty());

    SetShowCell(source, "Wait", TStatusTone::Failure, true, false);
    f = TakeStatusUpdates(works, source);
    ASSERT_EQ(f.Cells.size(), 1u);
    EXPECT_EQ(f.Cells[0].Row, SourceRow());
    EXPECT_EQ(f.LogLines, std::vector<std::string>{"Wait"});
}

// A delivery failure names its work by the position it had when it failed, counted from 0; the
// grid and the log show the number of the row it stands in, also after the list changed, and
// a refill keeps every work's state.
TEST(StatusFeed, AStateNamesTheWorkByTheNumberTheGridShows) {
    TWorkList works;
    for (const char* n : {"a", "b", "c"})
        ASSERT_TRUE(works.Append(Named(n)));
    TShowCell source;
    SetShowCell(works.At(2)->Show, "7 TCP: connection refused", TStatusTone::Failure, true, false);
    SetShowCell(works.At(0)->Show, "19:27:26  07.12 (FTP)", TStatusTone::Normal, false, false);
    TStatusFeed f = TakeStatusUpdates(works.Snapshot(), source);
    ASSERT_EQ(f.Cells.size(), 2u);
    EXPECT_EQ(f.Cells[1].Text, "3 TCP: connection refused");
    EXPECT_EQ(f.LogLines, std::vector<std::string>{"[3] 3 TCP: connection refused"});
    ASSERT_TRUE(works.RemoveAt(1));
    const auto rows = ShowWorksRows(works, "Source", "");
    EXPECT_EQ(rows[1][2], "19:27:26  07.12 (FTP)");
    EXPECT_EQ(rows[2][2], "2 TCP: connection refused");
    EXPECT_EQ(WorkStatusTones(works), (std::vector<TStatusTone>{TStatusTone::Normal, TStatusTone::Failure}));
    // texts that name no work stay as they are
    for (const char* text : {"19:27:26  07.12", "12:00:00  01.01 (HTTP)", "1 2 3", "404 Not Found", "5 tcp: x", ""})
        EXPECT_EQ(StatusTextForRow(text, 9), text);
    EXPECT_EQ(StatusTextForRow("0 FTP: 530 Login incorrect.", 1), "1 FTP: 530 Login incorrect.");
    EXPECT_EQ(StatusTextForRow("127 HTTP: HTTP 500", 12), "12 HTTP: HTTP 500");
}

} // namespace
