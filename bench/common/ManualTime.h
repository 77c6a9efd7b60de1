// Google Benchmark's report of runs the benchmark times itself (UseManualTime).
#pragma once
#include "bench/common/Turns.h"
#include <benchmark/benchmark.h>

namespace kw::bench {

// Times each iteration of `run`, which moves `bytes`; a failed run ends the benchmark with an
// error.
template <class F>
void Timed(benchmark::State& state, F run, int64_t bytes) {
    for (auto _ : state) {
        bool ok = true;
        state.SetIterationTime(Seconds(run, ok));
        if (!ok)
            state.SkipWithError("transfer failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

} // namespace kw::bench
