// POST of a 4 KB page to the local recording HTTP server: our HTTP target beside a plain
// libcurl POST of the same bytes to the same server, and a raw loopback TCP transfer of the
// same bytes as the physical reference. Each request opens its own connection, as a render
// does. The ratios at the end come from rounds that run the contenders in turns, so a change
// of the machine's load falls on all alike; each ratio is one of medians.
#include "delivery/http/HttpDelivery.h"
#include "platform/Tcp.h"
#include "tests/delivery/HttpTestServer.h"
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using namespace kw;
using Clock = std::chrono::steady_clock;

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

size_t Drop(char*, size_t size, size_t count, void*) { return size * count; }

bool CurlPost() {
    CURL* curl = curl_easy_init();
    if (!curl)
        return false;
    const std::string url = Url();
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/html; charset=windows-1251");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, Page.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(Page.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Drop);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    long code = 0;
    const bool ok = curl_easy_perform(curl) == CURLE_OK &&
                    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code) == CURLE_OK && code == 200;
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return ok;
}

// The same bytes over one loopback TCP connection, read on the other end: the floor.
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
        while (in.Receive(buf, sizeof buf, got, 10000).ok()) {
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

template <class F>
void Timed(benchmark::State& state, F run) {
    for (auto _ : state) {
        bool ok = true;
        state.SetIterationTime(Seconds(run, ok));
        if (!ok)
            state.SkipWithError("request failed");
    }
}

void BM_KwPost(benchmark::State& state) { Timed(state, KwPost); }
void BM_CurlPost(benchmark::State& state) { Timed(state, CurlPost); }
void BM_RawLoopback(benchmark::State& state) { Timed(state, RawLoopback); }

BENCHMARK(BM_KwPost)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurlPost)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawLoopback)->UseManualTime()->Unit(benchmark::kMillisecond);

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

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
    std::vector<double> kw, curl, raw;
    bool ok = true;
    for (int i = 0; i < 200; ++i) {
        kw.push_back(Seconds(KwPost, ok));
        curl.push_back(Seconds(CurlPost, ok));
        raw.push_back(Seconds(RawLoopback, ok));
    }
    curl_global_cleanup();
    if (!ok) {
        std::fprintf(stderr, "a request failed\n");
        return 1;
    }
    const double k = Median(kw), c = Median(curl), r = Median(raw);
    std::printf("\nmedians of 200 rounds in turns (kw, curl, raw loopback), 4 KB POST:\n");
    std::printf("  %.3f ms, %.3f ms, %.3f ms\n", k * 1e3, c * 1e3, r * 1e3);
    std::printf("ratio kw/curl, 4 KB POST:             %.2f\n", k / c);
    std::printf("ratio kw POST / raw loopback TCP:     %.2f\n", k / r);
    return 0;
}
