// The works list and its records shared with render threads: a render's copy of a work's
// settings is never torn, a status cell's text and colour travel together, and a render
// holding its work survives sorting and deletion on the main thread.
#include "works/WorkList.h"
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace kw;

TWorkConfig Numbered(int n) {
    TWorkConfig c;
    c.Section = "File" + std::to_string(n);
    c.Name = "Name" + std::to_string(n);
    c.FileIn = "in" + std::to_string(n);
    return c;
}

// Consecutive status texts the render writes ("Name7", then "Name7*") have tones of their own,
// so a text shown with the tone of the write before or after it is seen.
TStatusTone ToneOf(const std::string& text) {
    if (text.back() == '*')
        return TStatusTone::Failure;
    return std::stoi(text.substr(4)) % 2 ? TStatusTone::Connected : TStatusTone::Normal;
}

TEST(WorkSharing, RendersSeeWholeSettingsWhileTheMainThreadEditsSortsAndDeletes) {
    TWorkList list;
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(list.Append(std::make_shared<TWorkData>(Numbered(i))));
    const TWorkPtr held = list.At(7);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread render([&] {
        bool odd = false;
        while (!stop.load()) {
            const TWorkConfig c = held->Config();
            if (c.Name.substr(4) != c.FileIn.substr(2))
                ++torn;
            // The text changes on every write, so the cell is rewritten all the time.
            const std::string text = (odd = !odd) ? c.Name + "*" : c.Name;
            SetShowCell(held->Show, text, ToneOf(text), true, false);
            for (const TWorkPtr& w : list.Snapshot())
                (void)w->Name();
        }
    });
    // At least 2000 rounds, and on until the render has been seen a hundred times (at most 20 s).
    int shown = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int round = 0; round < 2000 || (shown < 100 && std::chrono::steady_clock::now() < end); ++round) {
        held->SetConfig(Numbered(round));
        list.SortByName();
        for (int look = 0; look < 10; ++look) {
            const TShowCell::TTaken t = held->Show.Take();
            if (t.Changed) {
                ++shown;
                EXPECT_EQ(t.Tone, ToneOf(t.Text)) << t.Text;
            }
        }
        if (round % 100 == 99 && list.Count() > 1)
            (void)list.RemoveAt(list.IndexOf(held.get()) == 0 ? 1 : 0);
    }
    stop.store(true);
    render.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GE(shown, 100);
    EXPECT_GE(list.IndexOf(held.get()), 0);
}

TEST(WorkSharing, ExchangeSortByNameIsByteWiseWithShorterPrefixesFirst) {
    TWorkList list;
    for (const char* name : {"b", "\xC0", "B", "ab", "a", "B"}) {
        TWorkConfig c;
        c.Name = name;
        ASSERT_TRUE(list.Append(std::make_shared<TWorkData>(c)));
    }
    list.SortByName();
    std::vector<std::string> names;
    for (const TWorkPtr& w : list.Snapshot())
        names.push_back(w->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"B", "B", "a", "ab", "b", "\xC0"}));
}

TEST(WorkSharing, AStatusCellChangesOnlyWhenTextOrColourDiffersOrWhenForced) {
    TShowCell cell;
    SetShowCell(cell, "12:00:00", TStatusTone::Failure, true, false);
    TShowCell::TTaken t = cell.Take();
    EXPECT_TRUE(t.Changed);
    EXPECT_TRUE(t.LogIt);
    EXPECT_FALSE(cell.Take().Changed); // the take cleared it
    SetShowCell(cell, "12:00:00", TStatusTone::Failure, true, false);
    EXPECT_FALSE(cell.Take().Changed); // same failure again: shown and logged once
    SetShowCell(cell, "12:00:00", TStatusTone::Failure, false, true);
    t = cell.Take();
    EXPECT_TRUE(t.Changed);
    EXPECT_FALSE(t.LogIt);
    SetShowCell(cell, "12:00:00", TStatusTone::Normal, false, false);
    EXPECT_TRUE(cell.Take().Changed);
}

} // namespace
