// Render threads read message texts while the main thread switches language and reloads the
// section: every text read belongs wholly to one language.
#include "LangFixture.h"
#include "lang/Language.h"
#include <gtest/gtest.h>
#include <thread>

namespace kw::lang {
namespace {

TEST(LanguageThreads, ReadersSeeTheOldOrTheNewLanguageNeverAMix) {
    test::TProgramFolder dir;
    // Each message refers to a constant, so one text reads the section list and the constants.
    dir.WriteLines("Prog.A.lng", {"[Constants]", "Who=alpha", "[Main]", "Dialog.Run=A-.Who", "Dialog.Bye=A-bye"});
    dir.WriteLines("Prog.B.lng", {"[Constants]", "Who=beta", "[Main]", "Dialog.Run=B-.Who", "Dialog.Bye=B-bye"});
    TLanguage language("Prog.");
    ASSERT_TRUE(language.SelectFromSettings("", "Settings", ""));
    std::unique_ptr<TSectionList> main;
    language.LoadSection("Main", main);
    const TSectionList* shared = main.get();

    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::atomic<long> reads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&] {
            while (!stop.load()) {
                const std::string run = language.MessageText("Run", shared);
                const std::string bye = language.MessageText("Bye", shared);
                // The constants are replaced before the list is reloaded: a text still read from
                // the old list keeps the old constants, so it is wholly A or wholly B.
                const bool runOk = run == "A-alpha" || run == "B-beta";
                if (!runOk || (bye != "A-bye" && bye != "B-bye"))
                    ++bad;
                ++reads;
            }
        });
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(language.SelectLanguage(i % 2));
        language.LoadSection("Main", main);
    }
    stop = true;
    for (std::thread& t : readers)
        t.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(language.MessageText("Run", shared), "B-beta");
}

} // namespace
} // namespace kw::lang
