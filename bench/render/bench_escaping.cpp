// The cost of escaping inserted values: expansion of the same template and state with HTML and
// JSON escaping against expansion without escaping, measured in the same run.
#include "render/CodePages.h"
#include "render/RenderWork.h"
#include "render/ValueEscaping.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <ctime>

namespace kw {
namespace {

// Values with the characters escaping changes, as names on air have them.
TPageState Page() {
    TBroadcastState s;
    s.Song = {0, 185, 46000.5, "AC/DC & \"Friends\"", "Rock 'n' Roll <Live>"};
    s.Element = s.Song;
    s.Block.Name = "Evening & night";
    s.SystemMessage = "\xCF\xF0\xE8\xE2\xE5\xF2 \"all\" <ok>";
    s.Played = std::make_shared<const TPlayedList>(TPlayedList{{46000.5, 0, 185000, "Guns N' Roses", "Don't Cry"}});
    TPageState page;
    page.Broadcast = std::make_shared<const TBroadcastState>(s);
    page.LinkState = 2;
    page.Now = 46000.5;
    return page;
}

// A 4 KB page with 40 tags, in the style of the HTML samples.
std::string PageWith40Tags() {
    std::string text;
    const char* tags[] = {"SongArtist", "SongTitle", "SongRunTime", "BlockName", "SysMSG",
                          "PlayedArtist0", "ElementType", "PlayedTitle0"};
    for (int i = 0; text.size() < 4096; ++i) {
        text += "<div class=\"row\">";
        if (i < 40)
            text += std::string("!KW!") + tags[i % 8];
        text += " text of the page around the tag</div>\r\n";
    }
    text.resize(4096);
    return text;
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Seconds for one page, from a window of renders long enough to time.
double PageSeconds(const TTemplateLines& lines, uint8_t codePage, uint8_t escaping, const TPageState& page) {
    constexpr int reps = 400;
    const double start = ThreadSeconds();
    for (int i = 0; i < reps; ++i)
        benchmark::DoNotOptimize(RenderPage(lines, codePage, escaping, page));
    return (ThreadSeconds() - start) / reps;
}

void EscapingAgainstNone(benchmark::State& state, uint8_t escaping, uint8_t codePage) {
    const TPageState page = Page();
    const TTemplateLines lines(PageWith40Tags());
    for (auto _ : state)
        benchmark::DoNotOptimize(RenderPage(lines, codePage, escaping, page));
    // Short windows taken in turns, so both sides see the same machine load; the best window
    // of each is the one least disturbed by other programs.
    double none = 1e9, escaped = 1e9;
    for (int round = 0; round < 40; ++round) {
        none = std::min(none, PageSeconds(lines, codePage, escNone, page));
        escaped = std::min(escaped, PageSeconds(lines, codePage, escaping, page));
    }
    state.counters["none_us"] = none * 1e6;
    state.counters["escaped_us"] = escaped * 1e6;
    state.counters["vs_none"] = escaped / none;
}

void BM_HtmlEscaping4K(benchmark::State& state) { EscapingAgainstNone(state, escHTML, cpWindows1251); }
BENCHMARK(BM_HtmlEscaping4K);
void BM_JsonEscaping4K(benchmark::State& state) { EscapingAgainstNone(state, escJSON, cpWindows1251); }
BENCHMARK(BM_JsonEscaping4K);
void BM_HtmlEscaping4KUtf8(benchmark::State& state) { EscapingAgainstNone(state, escHTML, cpUTF8); }
BENCHMARK(BM_HtmlEscaping4KUtf8);

} // namespace
} // namespace kw

BENCHMARK_MAIN();
