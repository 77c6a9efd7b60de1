// One now-playing update (1 KB) to 200 followers of the live server's event stream: the time from
// the handover to the first and to the last follower's receipt, and the same for the reference,
// where one thread writes the event's bytes itself to 200 connected loopback sockets. Medians of
// rounds that run both in turns, so the machine's load falls on both alike. Also the process's
// CPU time per update while the followers read.
#include "live/LiveServer.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kw;
using Clock = std::chrono::steady_clock;
constexpr int Followers = 200, Rounds = 200;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Reads every follower until each has `mark`; the moments of the first and of the last.
bool Receive(std::vector<net::TTcpConnection>& in, const std::string& mark, Clock::time_point start, double& first,
             double& last) {
    std::vector<std::string> got(in.size());
    std::vector<bool> done(in.size(), false);
    size_t left = in.size();
    first = -1;
    std::vector<net::TSocketWait> waits(in.size());
    const auto end = start + std::chrono::seconds(10);
    while (left > 0 && Clock::now() < end) {
        for (size_t i = 0; i < in.size(); ++i)
            waits[i] = {in[i].NativeHandle(), !done[i]};
        if (!net::WaitAny(waits.data(), waits.size(), 1000).ok())
            continue;
        for (size_t i = 0; i < in.size(); ++i) {
            if (!waits[i].Readable)
                continue;
            char buf[8192];
            size_t n = 0;
            if (!in[i].Receive(buf, sizeof buf, n, 0).ok())
                return false;
            got[i].append(buf, n);
            if (got[i].find(mark) != std::string::npos) {
                done[i] = true;
                --left;
                got[i].clear();
                const double t = Ms(Clock::now() - start);
                if (first < 0)
                    first = t;
                last = t;
            }
        }
    }
    return left == 0;
}

std::vector<net::TTcpConnection> Connect(uint16_t port, const std::string& ask) {
    std::vector<net::TTcpConnection> out(Followers);
    for (auto& c : out) {
        (void)c.Connect(net::TIpv4Endpoint{{127, 0, 0, 1}, port}, 5000);
        if (!ask.empty())
            (void)c.SendAll(ask.data(), ask.size(), 5000);
    }
    return out;
}

} // namespace

int main() {
    live::TLiveServer server;
    live::TLiveOptions options;
    options.Port = 0;
    if (!server.Start(options).ok())
        return 1;
    std::string state(1000, 'x');
    server.PublishState(std::make_shared<const std::string>(state));
    std::vector<net::TTcpConnection> followers = Connect(server.Port(), "GET /nowplaying/events HTTP/1.1\r\n\r\n");
    double first = 0, last = 0;
    if (!Receive(followers, "id: 1\n", Clock::now(), first, last))
        return 1;

    // The reference: 200 accepted loopback connections, written one after the other.
    net::TTcpListener listener;
    net::TIpv4Endpoint at{{127, 0, 0, 1}, 0};
    if (!listener.Listen(at, 256).ok() || !listener.LocalEndpoint(at).ok())
        return 1;
    std::vector<net::TTcpConnection> readers = Connect(at.Port, "");
    std::vector<net::TTcpConnection> writers(Followers);
    for (auto& w : writers)
        if (!listener.Accept(w, 5000).ok())
            return 1;

    std::vector<double> kwFirst, kwLast, refFirst, refLast;
    const std::clock_t cpu0 = std::clock();
    double referenceCpu = 0;
    for (int r = 2; r < Rounds + 2; ++r) {
        state[0] = static_cast<char>('a' + r % 26);
        const std::string mark = "id: " + std::to_string(r) + "\n";
        auto start = Clock::now();
        server.PublishState(std::make_shared<const std::string>(state));
        if (!Receive(followers, mark, start, first, last))
            return 1;
        kwFirst.push_back(first);
        kwLast.push_back(last);

        const std::string event = "event: nowplaying\n" + mark + "data: " + state + "\n\n";
        const std::clock_t c0 = std::clock();
        start = Clock::now();
        for (auto& w : writers) {
            size_t sent = 0;
            (void)w.SendSome(event.data(), event.size(), sent);
        }
        if (!Receive(readers, mark, start, first, last))
            return 1;
        referenceCpu += static_cast<double>(std::clock() - c0);
        refFirst.push_back(first);
        refLast.push_back(last);
    }
    const double cpuPerUpdate =
        (static_cast<double>(std::clock() - cpu0) - referenceCpu) * 1000.0 / CLOCKS_PER_SEC / Rounds;
    const double refCpuPerUpdate = referenceCpu * 1000.0 / CLOCKS_PER_SEC / Rounds;
    std::printf("followers %d, update %zu bytes, %d rounds (medians)\n", Followers, state.size(), Rounds);
    std::printf("live server: first %.3f ms, last %.3f ms, last/first %.2f\n", Median(kwFirst), Median(kwLast),
                Median(kwLast) / Median(kwFirst));
    std::printf("reference:   first %.3f ms, last %.3f ms, last/first %.2f\n", Median(refFirst), Median(refLast),
                Median(refLast) / Median(refFirst));
    std::printf("last follower, live server / reference: %.2f\n", Median(kwLast) / Median(refLast));
    std::printf("process CPU per update (server and followers): %.3f ms; reference %.3f ms; ratio %.2f\n",
                cpuPerUpdate, refCpuPerUpdate, cpuPerUpdate / refCpuPerUpdate);

    // Idle: 10 followers and no update for 5 s, beside the same 5 s with the server off.
    followers.resize(10);
    readers.clear();
    writers.clear();
    auto idleCpu = [] {
        const std::clock_t c0 = std::clock();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        return static_cast<double>(std::clock() - c0) * 1000.0 / CLOCKS_PER_SEC;
    };
    const double on = idleCpu();
    followers.clear();
    server.Stop();
    const double off = idleCpu();
    std::printf("idle 5 s, process CPU: server on with 10 followers %.1f ms, server off %.1f ms\n", on, off);
    return 0;
}
