// A delivery target's failure text reaches the status cell and the log with a bounded length.
#include "render/RenderWork.h"
#include "render/StatusText.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace kw {
namespace {

namespace stdfs = std::filesystem;

// A target whose server answers with an endless multi-line refusal.
class TRefusingTarget : public IDelivery {
public:
    const char* Label() const noexcept override { return "FTP"; }
    bool Wanted(const TWorkConfig&) const noexcept override { return true; }
    TDeliveryResult Deliver(TWorkData&, const TWorkConfig&, const TDeliveryPage&) noexcept override { return {false, Reply}; }
    std::string Reply;
};

TEST(StatusText, BoundsByCharactersAndByLines) {
    EXPECT_EQ(BoundedStatusText("550 refused"), "550 refused");
    EXPECT_EQ(BoundedStatusText(std::string(MaxStatusChars, 'x')), std::string(MaxStatusChars, 'x'));
    EXPECT_EQ(BoundedStatusText(std::string(MaxStatusChars + 1, 'x')), std::string(MaxStatusChars, 'x') + "...");
    std::string lines;
    for (int i = 0; i < 30; ++i)
        lines += "550-line\n";
    const std::string cut = BoundedStatusText(lines);
    EXPECT_EQ(cut, lines.substr(0, 9 * MaxStatusLines) + "...");
}

TEST(StatusText, AHugeFailureReplyIsCutForTheCellAndTheLog) {
    const stdfs::path dir = stdfs::temp_directory_path() / "kw_status_text_test";
    stdfs::remove_all(dir);
    stdfs::create_directories(dir);
    std::ofstream(dir / "page.tpl") << "<p>page</p>\n";
    TWorkList works;
    TBroadcastStore store;
    std::atomic<uint8_t> linkState{0};
    TRenderContext context(works, store, linkState, [](const std::string&) { return std::string(); });
    auto target = std::make_shared<TRefusingTarget>();
    for (int i = 0; i < 2000; ++i)  // 2000 lines of 8 KB, as a multi-line reply may run
        target->Reply += "550-" + std::string(8192, 'r') + "\n";
    context.Deliveries.push_back(target);
    TWorkConfig config;
    config.FileIn = (dir / "page.tpl").string();
    config.FileOut = (dir / "page.html").string();
    auto work = std::make_shared<TWorkData>(config);
    works.Append(work);
    std::unique_ptr<TTemplateLines> lines;
    RenderWork(context, *work, 0, lines);
    const TShowCell::TTaken shown = work->Show.Take();
    EXPECT_TRUE(shown.LogIt);
    EXPECT_EQ(shown.Text.rfind("0 FTP: 550-rrr", 0), 0u) << shown.Text.substr(0, 40);
    EXPECT_EQ(shown.Text.size(), MaxStatusChars + 3);
    EXPECT_EQ(shown.Text.substr(shown.Text.size() - 3), "...");
    stdfs::remove_all(dir);
}

} // namespace
} // namespace kw
