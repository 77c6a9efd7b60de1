// One now-playing update (1 KB) to 200 followers of the live server's event stream: the time from
// the handover to the first and to the last follower's receipt, and the same for the reference,
// where one thread writes the event's bytes itself to 200 connected loopback sockets. Medians of
// rounds that run both in turns, so the machine's load falls on both alike. Also the process's
// CPU time per update while the followers read, the idle CPU with the server on, and the
// server's memory per connected follower.
//
// A receipt's time is the kernel's receive timestamp of the follower's socket (SO_TIMESTAMPNS:
// when the event's segment reached it), not the moment this program's reader gets round to the
// socket, so one reader taking 200 sockets in turn does not spread the arrivals itself.
#include "live/LiveServer.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <malloc.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace kw;
constexpr int Followers = 200, Rounds = 200;

double RealNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);  // the clock of SO_TIMESTAMPNS
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// What arrived on a socket, with the kernel's time of its last segment (0 when none came).
ssize_t ReceiveStamped(int fd, char* buf, size_t size, double& stampNs) {
    iovec io{buf, size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd, &msg, MSG_DONTWAIT);
    stampNs = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); n > 0 && c; c = CMSG_NXTHDR(&msg, c))
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec ts{};
            std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
            stampNs = static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
        }
    return n;
}

// Reads every follower until each has `mark`; the arrival times (ms after `startNs`) of the
// first and of the last.
bool Receive(std::vector<net::TTcpConnection>& in, const std::string& mark, double startNs, double& first,
             double& last) {
    std::vector<std::string> got(in.size());
    std::vector<bool> done(in.size(), false);
    size_t left = in.size();
    first = 1e300;
    last = -1e300;
    std::vector<net::TSocketWait> waits(in.size());
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (left > 0 && std::chrono::steady_clock::now() < end) {
        for (size_t i = 0; i < in.size(); ++i)
            waits[i] = {in[i].NativeHandle(), !done[i]};
        if (!net::WaitAny(waits.data(), waits.size(), 1000).ok())
            continue;
        for (size_t i = 0; i < in.size(); ++i) {
            if (!waits[i].Readable)
                continue;
            char buf[8192];
            double stamp = 0;
            const ssize_t n = ReceiveStamped(static_cast<int>(in[i].NativeHandle()), buf, sizeof buf, stamp);
            if (n <= 0 || stamp == 0)
                return false;
            got[i].append(buf, static_cast<size_t>(n));
            if (got[i].find(mark) != std::string::npos) {
                done[i] = true;
                --left;
                got[i].clear();
                const double t = (stamp - startNs) / 1e6;
                first = std::min(first, t);
                last = std::max(last, t);
            }
        }
    }
    return left == 0;
}

std::vector<net::TTcpConnection> Connect(uint16_t port, const std::string& ask) {
    std::vector<net::TTcpConnection> out(Followers);
    for (auto& c : out) {
        (void)c.Connect(net::TIpv4Endpoint{{127, 0, 0, 1}, port}, 5000);
        const int on = 1;
        (void)setsockopt(static_cast<int>(c.NativeHandle()), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        if (!ask.empty())
            (void)c.SendAll(ask.data(), ask.size(), 5000);
    }
    return out;
}

size_t HeapBytes() { return mallinfo2().uordblks; }

size_t RssBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
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

    // Memory per follower: the process's heap and resident size with none and with 200 followers
    // that have their first event, less what this program keeps for its own ends of them.
    std::vector<net::TTcpConnection> followers;
    followers.reserve(Followers);
    const size_t heap0 = HeapBytes(), rss0 = RssBytes();
    for (auto& c : Connect(server.Port(), "GET /nowplaying/events HTTP/1.1\r\n\r\n"))
        followers.push_back(std::move(c));
    double first = 0, last = 0;
    if (!Receive(followers, "id: 1\n", RealNowNs(), first, last) || server.ClientCount() != Followers)
        return 1;
    const double heapPer = (static_cast<double>(HeapBytes()) - static_cast<double>(heap0)) / Followers;
    const double rssPer = (static_cast<double>(RssBytes()) - static_cast<double>(rss0)) / Followers;

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
        double start = RealNowNs();
        server.PublishState(std::make_shared<const std::string>(state));
        if (!Receive(followers, mark, start, first, last))
            return 1;
        kwFirst.push_back(first);
        kwLast.push_back(last);

        const std::string event = "event: nowplaying\n" + mark + "data: " + state + "\n\n";
        const std::clock_t c0 = std::clock();
        start = RealNowNs();
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
    std::printf("followers %d, update %zu bytes, %d rounds (medians; arrival = kernel receive timestamp)\n",
                Followers, state.size(), Rounds);
    std::printf("live server: first %.3f ms, last %.3f ms, last/first %.2f\n", Median(kwFirst), Median(kwLast),
                Median(kwLast) / Median(kwFirst));
    std::printf("reference:   first %.3f ms, last %.3f ms, last/first %.2f\n", Median(refFirst), Median(refLast),
                Median(refLast) / Median(refFirst));
    std::printf("spread (last - first): live server %.3f ms, reference %.3f ms, ratio %.2f\n",
                Median(kwLast) - Median(kwFirst), Median(refLast) - Median(refFirst),
                (Median(kwLast) - Median(kwFirst)) / (Median(refLast) - Median(refFirst)));
    std::printf("last follower, live server / reference: %.2f\n", Median(kwLast) / Median(refLast));
    std::printf("process CPU per update (server and followers): %.3f ms; reference %.3f ms; ratio %.2f\n",
                cpuPerUpdate, refCpuPerUpdate, cpuPerUpdate / refCpuPerUpdate);
    std::printf("memory per follower: heap %.0f bytes, resident %.0f bytes (200 followers vs none)\n", heapPer,
                rssPer);

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
