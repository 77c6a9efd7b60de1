// POST of a 4 KB page to the local recording HTTP server: our HTTP target beside a plain
// libcurl POST of the same bytes to the same server, and a raw loopback TCP transfer of the
// same bytes as the physical reference. Each request opens its own connection, as a render
// does. The ratios at the end come from rounds that run the contenders in turns, so a change
// of the machine's load falls on all alike; each ratio is one of medians.
#include "delivery/http/HttpDelivery.h"
#include "bench/common/ManualTime.h"
#include "tests/delivery/HttpTestServer.h"
#include <curl/curl.h>
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

bool Raw() { return RawLoopback(Page.data(), Page.size()); }

void BM_KwPost(benchmark::State& state) { Timed(state, KwPost, 4096); }
void BM_CurlPost(benchmark::State& state) { Timed(state, CurlPost, 4096); }
void BM_RawLoopback(benchmark::State& state) { Timed(state, Raw, 4096); }

BENCHMARK(BM_KwPost)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurlPost)->UseManualTime()->Unit(benchmark::kMillisecond);
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
    const TKwCurlRaw t = KwCurlRawInTurns(200, KwPost, CurlPost, Page);
    curl_global_cleanup();
    if (!t.Ok) {
        std::fprintf(stderr, "a request failed\n");
        return 1;
    }
    const double k = t.Kw, c = t.Curl, r = t.Raw;
    std::printf("\nmedians of 200 rounds in turns (kw, curl, raw loopback), 4 KB POST:\n");
    std::printf("  %.3f ms, %.3f ms, %.3f ms\n", k * 1e3, c * 1e3, r * 1e3);
    std::printf("ratio kw/curl, 4 KB POST:             %.2f\n", k / c);
    std::printf("ratio kw POST / raw loopback TCP:     %.2f\n", k / r);
    return 0;
}
