// The preview of a 64 KB template (read, render, show line by line, look for markers that give
// nothing) against rendering the same template alone, measured in the same run.
#include "render/CodePages.h"
#include "ui/Preview.h"
#include "render/RenderWork.h"
#include "render/ValueEscaping.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kw {
namespace {

namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

TPageState Page() {
    TBroadcastState s;
    s.Song = {0, 185, 46000.5, "AC/DC & \"Friends\" \xCF\xF0\xE8\xE2\xE5\xF2", "Rock 'n' Roll <Live>"};
    s.Element = s.Song;
    s.Block.Name = "Evening & night";
    TPageState page;
    page.Broadcast = std::make_shared<const TBroadcastState>(s);
    page.LinkState = 2;
    page.Now = 46000.5;
    return page;
}

// 64 KB of HTML in the style of the samples: a tag on every fourth line.
std::string Template64K() {
    std::string text;
    const char* tags[] = {"SongArtist", "SongTitle", "BlockName", "ElementType"};
    for (int i = 0; text.size() < 65536; ++i) {
        text += "<div class=\"row\">\xEF\xF0\xE8\xEC\xE5\xF0 ";
        if (i % 4 == 0)
            text += std::string("!KW!") + tags[(i / 4) % 4];
        text += " text of the page around the tag</div>\r\n";
    }
    text.resize(65536);
    return text;
}

template <typename F>
double BestMicroseconds(F f) {
    double best = 1e18;
    for (int round = 0; round < 30; ++round) {
        const auto start = Clock::now();
        for (int i = 0; i < 10; ++i)
            f();
        best = std::min(best, std::chrono::duration<double, std::micro>(Clock::now() - start).count() / 10);
    }
    return best;
}

void BM_Preview64K(benchmark::State& state) {
    const stdfs::path folder = stdfs::temp_directory_path() / ("kw_bench_preview_" + std::to_string(::getpid()));
    stdfs::create_directories(folder);
    const std::string text = Template64K();
    std::ofstream(folder / "page.tpl", std::ios::binary) << text;
    TPreviewSettings settings;
    settings.FileIn = (folder / "page.tpl").string();
    settings.FileOut = (folder / "page.html").string();
    settings.CodePage = cpUTF8;
    settings.Escaping = escHTML;
    const TPageState page = Page();
    const TTemplateLines lines(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(RenderPreview(settings, page));
    const double preview = BestMicroseconds([&] { benchmark::DoNotOptimize(RenderPreview(settings, page)); });
    const double render = BestMicroseconds([&] { benchmark::DoNotOptimize(RenderPage(lines, cpUTF8, escHTML, page)); });
    state.counters["preview_us"] = preview;
    state.counters["render_only_us"] = render;
    state.counters["vs_render"] = preview / render;
    stdfs::remove_all(folder);
}
BENCHMARK(BM_Preview64K)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kw

BENCHMARK_MAIN();
