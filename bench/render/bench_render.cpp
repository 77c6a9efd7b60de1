// Page generation figures, each against a physical reference measured in the same run:
// expansion against memcpy of the same bytes, a full render against writing the same page
// without expansion, 128 renders at once against the same renders one after another.
#include "platform/FileIo.h"
#include "render/RenderScheduler.h"
#include "render/RenderWork.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <cctype>
#include <vector>
#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace kw {
namespace {

namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

TPageState Page() {
    TBroadcastState s;
    s.Song = {0, 185, 46000.5, "\xCF\xF0\xE8\xE2\xE5\xF2 Artist", "Song title"};
    s.Element = s.Song;
    s.Block.Name = "Evening block";
    s.SystemMessage = "System message";
    TPageState page;
    page.Broadcast = std::make_shared<const TBroadcastState>(s);
    page.LinkState = 2;
    page.Now = 46000.5;
    return page;
}

// The processor time of this thread: on a shared machine the wall clock also counts the time
// other programs had the processor, which would fall unevenly on the two sides of a ratio.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Repetitions of one timed window: long enough to time, short enough to fall between two
// interruptions as a rule.
int Repetitions(size_t bytes) { return static_cast<int>(std::max<size_t>(20, (4u << 20) / bytes)); }

// The memcpy reference's two buffers, allocated apart, the destination half a page off the
// source. Copying between addresses (nearly) a multiple of 4096 apart, as two heap blocks
// allocated one after the other often are, makes the processor take each load for a reload of
// a store just made (4K aliasing) and runs many times slower: a reference that flatters every
// ratio measured against it.
class TCopyBuffers {
public:
    static constexpr size_t Page = 4096;
    static constexpr size_t Offset = Page / 2;

    explicit TCopyBuffers(size_t bytes)
        : from_(Allocate(bytes)), to_(Allocate(bytes + Offset)), bytes_(bytes) {
        std::memset(from_.get(), 'x', bytes);
        std::memset(to_.get(), 0, bytes + Offset);
    }
    char* From() const { return from_.get(); }
    char* To() const { return to_.get() + Offset; }
    size_t Bytes() const { return bytes_; }
    // Where the destination lies against the source within a page, checked at run time.
    size_t DistanceModPage() const {
        return static_cast<size_t>(reinterpret_cast<uintptr_t>(To()) - reinterpret_cast<uintptr_t>(From())) % Page;
    }
    bool FarFromAliasing() const { return DistanceModPage() >= 256 && DistanceModPage() <= Page - 256; }

private:
    struct TFree {
        void operator()(char* p) const { std::free(p); }
    };
    static std::unique_ptr<char, TFree> Allocate(size_t bytes) {
        const size_t rounded = (bytes + Page - 1) / Page * Page;
        return std::unique_ptr<char, TFree>(static_cast<char*>(std::aligned_alloc(Page, rounded)));
    }

    std::unique_ptr<char, TFree> from_;
    std::unique_ptr<char, TFree> to_;
    size_t bytes_;
};

// Bytes per second of memcpy of the buffers' bytes, the reference of this run.
double MemcpyRate(const TCopyBuffers& buffers) {
    const size_t bytes = buffers.Bytes();
    const int reps = Repetitions(bytes);
    const double start = ThreadSeconds();
    for (int i = 0; i < reps; ++i) {
        buffers.From()[static_cast<size_t>(i) % bytes] = static_cast<char>(i);
        std::memcpy(buffers.To(), buffers.From(), bytes);
        benchmark::DoNotOptimize(buffers.To());
        benchmark::ClobberMemory();
    }
    return static_cast<double>(bytes) * reps / (ThreadSeconds() - start);
}

// Bytes per second of expanding `lines` into a page, timed like MemcpyRate.
double ExpandRate(const TTemplateLines& lines, size_t bytes, const TPageState& page) {
    const int reps = Repetitions(bytes);
    const double start = ThreadSeconds();
    for (int i = 0; i < reps; ++i)
        benchmark::DoNotOptimize(RenderPage(lines, 0, page));
    return static_cast<double>(bytes) * reps / (ThreadSeconds() - start);
}

void ExpandAgainstMemcpy(benchmark::State& state, const std::string& text) {
    const TPageState page = Page();
    const TTemplateLines lines(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(RenderPage(lines, 0, page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    const TCopyBuffers buffers(text.size());
    if (!buffers.FarFromAliasing()) {
        state.SkipWithError("the memcpy buffers alias within a page: no fair reference");
        return;
    }
    // The ratio from short windows taken in turns, so both see the same machine load; the best
    // window of each is the one least disturbed by other programs.
    double reference = 0, rate = 0;
    for (int round = 0; round < 40; ++round) {
        reference = std::max(reference, MemcpyRate(buffers));
        rate = std::max(rate, ExpandRate(lines, text.size(), page));
    }
    state.counters["expand_MBps"] = rate / 1e6;
    state.counters["memcpy_MBps"] = reference / 1e6;
    state.counters["memcpy_gap_mod_4096"] = static_cast<double>(buffers.DistanceModPage());
    state.counters["vs_memcpy"] = rate / reference;
    // Where the page lands against its template within a 4 KB page: the allocator decides, and a
    // page just behind or ahead of the template's offset is copied at the 4K-aliasing rate.
    const std::string probe = RenderPage(lines, 0, page);
    state.counters["page_gap_mod_4096"] =
        static_cast<double>((reinterpret_cast<uintptr_t>(probe.data()) - reinterpret_cast<uintptr_t>(lines.Bytes().data())) % 4096);
}

void BM_ExpandTagFree64K(benchmark::State& state) {
    std::string text;
    while (text.size() < 65536)
        text += "<tr><td class=\"cell\">plain template text without any tag</td></tr>\r\n";
    text.resize(65536);
    ExpandAgainstMemcpy(state, text);
}
BENCHMARK(BM_ExpandTagFree64K);

// The same page written with LF line ends: every line end needs a CR added.
void BM_ExpandTagFree64KLf(benchmark::State& state) {
    std::string text;
    while (text.size() < 65536)
        text += "<tr><td class=\"cell\">plain template text without any tag</td></tr>\n";
    text.resize(65536);
    ExpandAgainstMemcpy(state, text);
}
BENCHMARK(BM_ExpandTagFree64KLf);

std::string PageWith40Tags() {
    std::string text;
    const char* tags[] = {"SongArtist", "SongTitle", "SongRunTime", "BlockName", "SysMSG",
                          "PlayedArtist0", "ElementType", "SystemTime"};
    for (int i = 0; text.size() < 4096; ++i) {
        text += "<div class=\"row\">";
        if (i < 40)
            text += std::string("!KW!") + tags[i % 8];
        text += " text of the page around the tag</div>\r\n";
    }
    text.resize(4096);
    return text;
}

void BM_Expand4KWith40Tags(benchmark::State& state) { ExpandAgainstMemcpy(state, PageWith40Tags()); }
BENCHMARK(BM_Expand4KWith40Tags);

// The reference of a page with tags: a one-pass expander that knows its values in advance (each
// tag's value taken once from the engine before timing) and does nothing but copy text and
// values. It suits only templates like the one here (CR LF line ends, no lone CR, no marker in a
// value), and its page is checked against the engine's before it is timed.
class TOnePassExpander {
public:
    TOnePassExpander(const std::string& text, const TPageState& page) {
        for (size_t at = text.find("!KW!"); at != std::string::npos; at = text.find("!KW!", at + 4)) {
            size_t end = at + 4;
            while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end])))
                ++end;
            const std::string name = text.substr(at + 4, end - at - 4);
            if (std::find(names_.begin(), names_.end(), name) == names_.end()) {
                names_.push_back(name);
                values_.push_back(ExpandLine("!KW!" + name, 0, page));
            }
        }
    }
    std::string Expand(std::string_view text) const {
        std::string out;
        out.reserve(text.size() + 1024);
        size_t pos = 0;
        for (;;) {
            const void* hit = std::memchr(text.data() + pos, '!', text.size() - pos);
            const size_t at = hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : text.size();
            out.append(text.data() + pos, at - pos);
            if (at == text.size())
                break;
            pos = at + 1;
            if (text.compare(at, 4, "!KW!") != 0) {
                out += '!';
                continue;
            }
            for (size_t i = 0; i < names_.size(); ++i) {
                if (text.compare(at + 4, names_[i].size(), names_[i]) == 0) {
                    out.append(values_[i]);
                    pos = at + 4 + names_[i].size();
                    break;
                }
            }
        }
        if (!text.empty() && text.back() != '\n')
            out += "\r\n";  // the page ends its last line
        return out;
    }

private:
    std::vector<std::string> names_, values_;
};

// Bytes per second of `f` over `bytes`, timed like MemcpyRate.
template <class F>
double RateOf(size_t bytes, F&& f) {
    const int reps = Repetitions(bytes);
    const double start = ThreadSeconds();
    for (int i = 0; i < reps; ++i)
        f();
    return static_cast<double>(bytes) * reps / (ThreadSeconds() - start);
}

double MedianOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_Expand4KVsOnePass(benchmark::State& state) {
    const std::string text = PageWith40Tags();
    const TPageState page = Page();
    const TTemplateLines lines(text);
    const TOnePassExpander reference(text, page);
    if (reference.Expand(text) != RenderPage(lines, 0, page)) {
        state.SkipWithError("the one-pass reference does not give the engine's page");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(RenderPage(lines, 0, page));
    // Windows taken in turns; the median ratio of the rounds.
    std::vector<double> ratios, engine, onePass;
    for (int round = 0; round < 41; ++round) {
        const double r = RateOf(text.size(), [&] { benchmark::DoNotOptimize(reference.Expand(text)); });
        const double e = RateOf(text.size(), [&] { benchmark::DoNotOptimize(RenderPage(lines, 0, page)); });
        ratios.push_back(r / e);
        engine.push_back(text.size() / e * 1e6);
        onePass.push_back(text.size() / r * 1e6);
    }
    state.counters["engine_us"] = MedianOf(engine);
    state.counters["one_pass_us"] = MedianOf(onePass);
    state.counters["time_vs_one_pass"] = MedianOf(ratios);
}
BENCHMARK(BM_Expand4KVsOnePass);

// A 10 MB template with 40 tags in every 4 KB, against memcpy of its bytes (time ratio), with
// the one-pass expander measured in the same turns: what any expander of this page costs.
void BM_Expand10MWithTags(benchmark::State& state) {
    const std::string piece = PageWith40Tags();
    std::string text;
    while (text.size() < (10u << 20))
        text += piece;
    const TPageState page = Page();
    const TTemplateLines lines(text);
    const TOnePassExpander onePass(piece, page);
    for (auto _ : state)
        benchmark::DoNotOptimize(RenderPage(lines, 0, page));
    const TCopyBuffers buffers(text.size());
    std::vector<double> ratios, onePassRatios, engine;
    for (int round = 0; round < 9; ++round) {
        const double m = RateOf(text.size(), [&] {
            std::memcpy(buffers.To(), buffers.From(), buffers.Bytes());
            benchmark::ClobberMemory();
        });
        const double e = RateOf(text.size(), [&] { benchmark::DoNotOptimize(RenderPage(lines, 0, page)); });
        const double o = RateOf(text.size(), [&] { benchmark::DoNotOptimize(onePass.Expand(text)); });
        ratios.push_back(m / e);
        onePassRatios.push_back(m / o);
        engine.push_back(text.size() / e * 1e3);
    }
    state.counters["engine_ms"] = MedianOf(engine);
    state.counters["time_vs_memcpy"] = MedianOf(ratios);
    state.counters["one_pass_vs_memcpy"] = MedianOf(onePassRatios);
}
BENCHMARK(BM_Expand10MWithTags)->Unit(benchmark::kMillisecond);

// A line with a marker every 8 bytes and no valid tag: the time per byte must stay flat when
// the line doubles.
void BM_PathologicalLine(benchmark::State& state) {
    std::string line;
    while (line.size() < static_cast<size_t>(state.range(0)))
        line += "!KW!abcd";
    const TPageState page = Page();
    for (auto _ : state)
        benchmark::DoNotOptimize(ExpandLine(line, 0, page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_PathologicalLine)->Arg(1 << 20)->Arg(2 << 20)->Arg(4 << 20)->Complexity(benchmark::oN);

struct TFolder {
    TFolder() : path(stdfs::temp_directory_path() / ("kw_bench_render_" + std::to_string(::getpid()))) {
        stdfs::create_directories(path);
    }
    ~TFolder() { stdfs::remove_all(path); }
    stdfs::path path;
};

// Read, expand, write and replace a 4 KB page, against writing and replacing the same page
// unexpanded.
void BM_FullRender4K(benchmark::State& state) {
    TFolder folder;
    const std::string text = PageWith40Tags();
    std::ofstream(folder.path / "page.tpl", std::ios::binary) << text;
    TWorkList works;
    TBroadcastStore store;
    store.Publish(Page().Broadcast);
    std::atomic<uint8_t> link{2};
    TRenderContext context(works, store, link, [](const std::string& k) { return k; });
    TWorkConfig config;
    config.FileIn = (folder.path / "page.tpl").string();
    config.FileOut = (folder.path / "page.html").string();
    TWorkData work(config);
    auto render = [&] {
        std::unique_ptr<TTemplateLines> lines;
        RenderWork(context, work, 0, lines);
    };
    for (auto _ : state)
        render();

    // Windows of 50 of each taken in turns, timed in this thread's processor time (the system's
    // work for it included), the best of each: both sides see the same machine.
    std::string error;
    auto writeOnly = [&] { benchmark::DoNotOptimize(fs::WriteFileReplacing(config.FileOut, text, error)); };
    auto perCall = [](auto&& f) {
        const double start = ThreadSeconds();
        for (int i = 0; i < 50; ++i)
            f();
        return (ThreadSeconds() - start) / 50 * 1e6;
    };
    double referenceUs = 1e300, renderUs = 1e300;
    for (int round = 0; round < 20; ++round) {
        referenceUs = std::min(referenceUs, perCall(writeOnly));
        renderUs = std::min(renderUs, perCall(render));
    }
    state.counters["render_us"] = renderUs;
    state.counters["write_only_us"] = referenceUs;
    state.counters["vs_write_only"] = renderUs / referenceUs;
}
BENCHMARK(BM_FullRender4K)->Unit(benchmark::kMicrosecond);

// 128 works made due at once: time until all 128 pages are written, against the same 128
// renders one after another on one thread.
void BM_128WorksDueAtOnce(benchmark::State& state) {
    TFolder folder;
    std::ofstream(folder.path / "page.tpl", std::ios::binary) << PageWith40Tags();
    TWorkList works;
    TBroadcastStore store;
    store.Publish(Page().Broadcast);
    std::atomic<uint8_t> link{2};
    std::atomic<int64_t> now{0};
    TRenderContext context(works, store, link, [](const std::string& k) { return k; }, now);
    for (size_t i = 0; i < MaxWorks; ++i) {
        TWorkConfig config;
        config.FileIn = (folder.path / "page.tpl").string();
        config.FileOut = (folder.path / ("page" + std::to_string(i) + ".html")).string();
        works.Append(std::make_shared<TWorkData>(config));
    }
    const auto all = works.Snapshot();
    auto oneAfterAnother = [&] {
        for (size_t i = 0; i < all.size(); ++i) {
            std::unique_ptr<TTemplateLines> lines;
            RenderWork(context, *all[i], static_cast<int8_t>(i), lines);
        }
    };
    TRenderScheduler scheduler(context);
    auto atOnce = [&] {
        for (const auto& w : all)
            w->NextUpdate = 0;
        scheduler.PassStart();
        while (scheduler.Running() > 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            scheduler.PassCleanup();
        }
    };
    oneAfterAnother();  // every page exists before either side is timed
    for (auto _ : state)
        atOnce();
    // Rounds in turns, the median of each side and of the rounds' ratios.
    auto ms = [](auto&& f) {
        const auto start = Clock::now();
        f();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    std::vector<double> sequential, together, ratios;
    for (int round = 0; round < 15; ++round) {
        sequential.push_back(ms(oneAfterAnother));
        together.push_back(ms(atOnce));
        ratios.push_back(together.back() / sequential.back());
    }
    state.counters["sequential_ms"] = MedianOf(sequential);
    state.counters["at_once_ms"] = MedianOf(together);
    state.counters["at_once_vs_sequential"] = MedianOf(ratios);
}
BENCHMARK(BM_128WorksDueAtOnce)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace kw

BENCHMARK_MAIN();
