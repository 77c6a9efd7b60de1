// POST of a 4 KB page to the local recording HTTP server: our HTTP target beside a raw loopback
// TCP transfer of the same bytes as the physical reference. Each request opens its own
// connection, as a render does. The ratio at the end comes from rounds that run both in turns,
// so a change of the machine's load falls on both alike; it is one of medians. (Natively the
// target's exchange is libcurl's, so no figure here sets it beside libcurl: the figure of the
// program is http_bench_wine's, WinHTTP under Wine against a raw Winsock transfer.)
#include "delivery/http/HttpDelivery.h"
#include "bench/common/ManualTime.h"
#include "tests/delivery/HttpTestServer.h"
#include <curl/curl.h>
#include <functional>
#include <vector>
#include <cstdio>

namespace {

using namespace kw;
using namespace kw::bench;

test::THttpTestServer* g_server = nullptr;
const std::string Page(4096, 'p');

std::string Url() { return "http://127.0.0.1:" + std::to_string(g_server->Port()) + "/bench"; }

bool KwPost() {
    TWorkConfig c;
    c.FileOut = "now.html";
    c.Target = tcHTTP;
    c.HTTP.Method = hmPOST;
    return SendHttp(c, Url(), Page, THttpLimits{}).Ok;
}

bool Raw() { return RawLoopback(Page.data(), Page.size()); }

void BM_KwPost(benchmark::State& state) { Timed(state, KwPost, 4096); }
void BM_RawLoopback(benchmark::State& state) { Timed(state, Raw, 4096); }

BENCHMARK(BM_KwPost)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawLoopback)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    test::THttpTestServer server;
    if (!server.Ok()) {
        std::fprintf(stderr, "the HTTP server did not start\n");
        return 1;
    }
    g_server = &server;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bool ok = true;
    const std::vector<double> t = MediansInTurns(200, {KwPost, Raw}, ok);
    curl_global_cleanup();
    if (!ok) {
        std::fprintf(stderr, "a request failed\n");
        return 1;
    }
    std::printf("\nmedians of 200 rounds in turns (kw, raw loopback), 4 KB POST: %.3f ms, %.3f ms\n", t[0] * 1e3,
                t[1] * 1e3);
    std::printf("ratio kw POST / raw loopback TCP:     %.2f\n", t[0] / t[1]);
    return 0;
}
