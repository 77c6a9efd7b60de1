// Cost of MessageText on a 500-key section, beside std::map::find on the same keys in the same
// run (the reference: a plain ordered lookup without case folding, decoding or expansion).
#include "lang/Language.h"
#include "platform/FileSystem.h"
#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

namespace {

constexpr int kKeys = 500;

std::string Name(int i) { return "Message" + std::to_string(i * 37 % kKeys); }
std::string Value(int i) { return "Text of message number " + std::to_string(i) + ", as a station would see it"; }

struct TFixture {
    TFixture() {
        dir = std::filesystem::temp_directory_path() / ("kwlang-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::ofstream((dir / "Prog.exe").string());
        std::ofstream lng((dir / "Prog.Bench.lng").string(), std::ios::binary);
        lng << "[Constants]\r\nLanguage=Bench\r\n[Main]\r\n";
        for (int i = 0; i < kKeys; ++i) {
            lng << "Dialog." << Name(i) << "=" << Value(i) << "\r\n";
            reference["DIALOG." + Name(i)] = Value(i);
        }
        lng.close();
        kw::fs::SetProgramPathForTesting((dir / "Prog.exe").string());
        language = std::make_unique<kw::lang::TLanguage>("Prog.");
        if (!language->SelectFromSettings("", "Settings", ""))
            throw std::runtime_error("no language file");
        language->LoadSection("Main", main);
    }
    ~TFixture() {
        kw::fs::SetProgramPathForTesting("");
        std::filesystem::remove_all(dir);
    }
    std::filesystem::path dir;
    std::unique_ptr<kw::lang::TLanguage> language;
    std::unique_ptr<kw::lang::TSectionList> main;
    std::map<std::string, std::string> reference;
};

TFixture& Fixture() {
    static TFixture f;
    return f;
}

void BM_MessageText(benchmark::State& state) {
    TFixture& f = Fixture();
    int i = 0;
    for (auto _ : state) {
        std::string text = f.language->MessageText(Name(i), f.main.get());
        benchmark::DoNotOptimize(text);
        i = (i + 1) % kKeys;
    }
}
BENCHMARK(BM_MessageText);

// The reference: the same key strings built the same way, found in a std::map, value copied.
void BM_StdMapFind(benchmark::State& state) {
    TFixture& f = Fixture();
    int i = 0;
    for (auto _ : state) {
        std::string text = f.reference.find("DIALOG." + Name(i))->second;
        benchmark::DoNotOptimize(text);
        i = (i + 1) % kKeys;
    }
}
BENCHMARK(BM_StdMapFind);

} // namespace

BENCHMARK_MAIN();
