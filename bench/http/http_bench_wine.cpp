// Under Wine: POST of a 4 KB page by our HTTP target (WinHTTP) to the recording server that
// the caller started (KW_HTTP_SERVER_DIR), beside a raw loopback TCP transfer of the same bytes
// (Winsock) as the physical reference, in rounds that take turns. Prints medians and the ratio.
// Run: KW_HTTP_SERVER_DIR=... wine http_bench_wine.exe (after tests/delivery/http_fixture.sh start).
#include "delivery/http/HttpDelivery.h"
#include "platform/Tcp.h"
#include "tests/delivery/HttpTestServer.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using namespace kw;
using Clock = std::chrono::steady_clock;

const std::string Page(4096, 'p');

bool RawLoopback() {
    net::TTcpListener l;
    net::TIpv4Endpoint at{{127, 0, 0, 1}, 0};
    if (!l.Listen(at).ok() || !l.LocalEndpoint(at).ok())
        return false;
    std::thread reader([&] {
        net::TTcpConnection in;
        if (!l.Accept(in, 10000).ok())
            return;
        char buf[65536];
        size_t got = 0;
        while (in.Receive(buf, sizeof buf, got, 10000).ok() && got > 0) {
        }
    });
    net::TTcpConnection out;
    const bool ok = out.Connect(at, 10000).ok() && out.SendAll(Page.data(), Page.size(), 10000).ok();
    out.Close();
    reader.join();
    return ok;
}

template <class F>
double Seconds(F run, bool& ok) {
    const auto t0 = Clock::now();
    ok = run() && ok;
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

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
    std::vector<double> kw, raw;
    bool ok = true;
    for (int i = 0; i < 200; ++i) {
        kw.push_back(Seconds([&] { return SendHttp(c, url, Page, THttpLimits{}).Ok; }, ok));
        raw.push_back(Seconds(RawLoopback, ok));
    }
    if (!ok) {
        std::fprintf(stderr, "a request failed\n");
        return 1;
    }
    std::printf("medians of 200 rounds in turns under Wine (kw WinHTTP POST, raw loopback), 4 KB:\n");
    std::printf("  %.3f ms, %.3f ms\n", Median(kw) * 1e3, Median(raw) * 1e3);
    std::printf("ratio kw POST / raw loopback TCP: %.2f\n", Median(kw) / Median(raw));
    return 0;
}
