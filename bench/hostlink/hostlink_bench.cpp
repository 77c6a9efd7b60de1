// Costs of the host link's hot paths, each beside a physical reference measured in the same run:
//  - one accepted data message in the handler (checks, copy, ring store, 128 works made due),
//    against malloc + memcpy + free of the same payload ("x_memcpy" = handler / reference);
//  - decoding through DrainInbound, in messages per second per kind.
// As in the program: another thread runs before anything is measured (shared-pointer counts
// and the allocator then take their thread-safe paths), the handler reads the program's clock
// (the main timer's NowTicks) and the reader gives each block back once it has read it.
#include "bench/hostlink/BenchLink.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Seconds of processor time this thread has used: the machine is shared, and time spent
// waiting for a processor belongs to neither the handler nor its reference.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Seconds of malloc + memcpy + free of `size` bytes: the best of five runs.
double ReferenceCopy(size_t size, const uint8_t* source) {
    constexpr int rounds = 200000;
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        const double start = ThreadSeconds();
        for (int i = 0; i < rounds; ++i) {
            void* copy = std::malloc(size);
            std::memcpy(copy, source, size);
            benchmark::DoNotOptimize(copy);
            std::free(copy);
        }
        best = std::min(best, (ThreadSeconds() - start) / rounds);
    }
    return best;
}

void BM_HandlerPath(benchmark::State& state) {
    const auto size = static_cast<size_t>(state.range(0));
    kw::bench::TLink link(128);
    std::vector<uint8_t> payload(size, 0x41);
    const double reference = ReferenceCopy(size, payload.data());
    const uint64_t field1 = (uint64_t{1} << 16) | kw::MsgElement;
    int64_t count = 0;
    const double start = ThreadSeconds();
    for (auto _ : state) {
        const int slot = link.inbox.WriteIndex;
        link.inbox.WMCOPYDATA(1, field1, size, payload.data());
        link.ring.GiveBack(slot, link.ring.Take(slot));  // the reader's release, as in the program
        ++count;
    }
    const double perMessage = (ThreadSeconds() - start) / static_cast<double>(count);
    state.counters["x_memcpy"] = perMessage / reference;
    state.counters["ref_ns"] = reference * 1e9;
    state.SetBytesProcessed(count * static_cast<int64_t>(size));
}
BENCHMARK(BM_HandlerPath)->Arg(100)->Arg(65535);

std::vector<uint8_t> PayloadOf(int kind) {
    switch (kind) {
    case kw::MsgElement: {
        std::vector<uint8_t> p = {0, 2, 0x40, 0xBF, 2, 0};
        const std::string text = "Artist name\rTitle of the song";
        p.insert(p.end(), text.begin(), text.end());
        return p;
    }
    case kw::MsgBlock: return {1, 0x80, 0xEE, 0x36, 0, 'M', 'o', 'r', 'n', 'i', 'n', 'g'};
    case kw::MsgPlaylist: return std::vector<uint8_t>(135 * 20, 20);
    case kw::MsgPlayed: return std::vector<uint8_t>(143 * 20, 20);
    default: {
        const std::string text = "C_CLOCKTYPE=R\rC_CLOCKNAME=Morning\rPLAYER=1\rDETECTOR=O\rSOURCESTATUS=12\r"
                                 "EXCLMODE_C=0\rSYSMSG=All is well";
        return std::vector<uint8_t>(text.begin(), text.end());
    }
    }
}

void BM_DrainInbound(benchmark::State& state) {
    const auto kind = static_cast<uint16_t>(state.range(0));
    kw::bench::TLink link(0);
    const std::vector<uint8_t> payload = PayloadOf(kind);
    constexpr int batch = 200;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < batch; ++i)
            link.inbox.ListDataAdd(kind, payload.data(), static_cast<int32_t>(payload.size()));
        state.ResumeTiming();
        link.reader.DrainInbound();
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_DrainInbound)->Arg(kw::MsgElement)->Arg(kw::MsgBlock)->Arg(kw::MsgPlaylist)->Arg(kw::MsgPlayed)->Arg(kw::MsgState);

} // namespace

// A thread that waits for the end of the run, as the program's reader and timer threads are
// there while the host sends.
class TCompanionThread {
public:
    TCompanionThread()
        : thread_([this] {
              std::unique_lock<std::mutex> hold(lock_);
              end_.wait(hold, [this] { return over_; });
          }) {}
    ~TCompanionThread() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            over_ = true;
        }
        end_.notify_all();
        thread_.join();
    }

private:
    std::mutex lock_;
    std::condition_variable end_;
    bool over_ = false;
    std::thread thread_;
};

int main(int argc, char** argv) {
    const TCompanionThread companion;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
