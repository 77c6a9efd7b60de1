// A new work enters the list with its settings: a reader pass that comes between the append
// and the save finds a complete work, never an empty one without a template.
#include "ui/EditWork.h"
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace kw {
namespace {

TEST(EditWorkNewWork, TheWorkIsInTheListOnlyWithItsSettings) {
    TWorkList works;
    TEditWorkFields f;
    f.Name = "  Now playing ";
    f.FileIn = "C:\\kw\\page.tpl";
    f.FileOut = "C:\\kw\\page.html";
    f.Secs = 60;
    const TLocalStamp t{2026, 12, 7, 19, 27, 6};

    // A reader on another thread looks at every work it finds, as the scheduler does.
    std::atomic<bool> stop{false};
    std::atomic<int> empty{0}, seen{0};
    std::thread reader([&] {
        while (!stop.load()) {
            for (const TWorkPtr& w : works.Snapshot()) {
                ++seen;
                if (w->Config().FileIn.empty())
                    ++empty;
            }
        }
    });
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(GetNewSection(works, t, ApplySetting(f, TWorkConfig{})), i);
    while (seen.load() == 0)
        std::this_thread::yield();
    stop = true;
    reader.join();
    EXPECT_EQ(empty.load(), 0) << "a reader saw a work without its settings";

    const TWorkConfig c = works.At(1)->Config();
    EXPECT_EQ(c.Section, "File2612071927061");
    EXPECT_EQ(c.Name, "Now playing");
    EXPECT_EQ(c.FileIn, "C:\\kw\\page.tpl");
    EXPECT_EQ(c.Update, 60);
    EXPECT_EQ(works.At(1)->NextUpdate.load(), 0) << "a new work renders at once";
}

} // namespace
} // namespace kw
