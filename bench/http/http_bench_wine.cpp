// Under Wine: POST of a 4 KB page by our HTTP target (WinHTTP) to the recording server that
// the caller started (KW_HTTP_SERVER_DIR), beside a raw loopback TCP transfer of the same bytes
// (Winsock) as the physical reference, in rounds that take turns. Prints medians and the ratio.
// Run: KW_HTTP_SERVER_DIR=... wine http_bench_wine.exe (after tests/delivery/http_fixture.sh start).
#include "delivery/http/HttpDelivery.h"
#include "bench/common/Turns.h"
#include "tests/delivery/HttpTestServer.h"
#include <cstdio>

namespace {

using namespace kw;

const std::string Page(4096, 'p');

bool Raw() { return bench::RawLoopback(Page.data(), Page.size()); }

} // namespace

int main() {
    test::THttpTestServer server;
    if (!server.Ok()) {
        std::fprintf(stderr, "no HTTP server (KW_HTTP_SERVER_DIR)\n");
        return 1;
    }
    TWorkConfig c;
    c.FileOut = "now.html";
    c.Target = tcHTTP;
    c.HTTP.Method = hmPOST;
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/bench";
    bool ok = true;
    const auto m = bench::MediansInTurns(200, {[&] { return SendHttp(c, url, Page, THttpLimits{}).Ok; }, Raw}, ok);
    if (!ok) {
        std::fprintf(stderr, "a request failed\n");
        return 1;
    }
    std::printf("medians of 200 rounds in turns under Wine (kw WinHTTP POST, raw loopback), 4 KB:\n");
    std::printf("  %.3f ms, %.3f ms\n", m[0] * 1e3, m[1] * 1e3);
    std::printf("ratio kw POST / raw loopback TCP: %.2f\n", m[0] / m[1]);
    return 0;
}
