// What the transfer benchmarks share: timing a run, running contenders in turns so that a change
// of the machine's load falls on all of them alike, the median of each, and the physical
// reference they are compared with (the same bytes over one loopback TCP connection).
#pragma once
#include "platform/Tcp.h"
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kw::bench {

// Seconds `run` took; `ok` turns false when it fails.
template <class F>
double Seconds(F run, bool& ok) {
    const auto t0 = std::chrono::steady_clock::now();
    ok = run() && ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// `rounds` rounds, each running every contender once in the order given: the median seconds
// of each contender, in that order. `ok` turns false when any run fails.
inline std::vector<double> MediansInTurns(int rounds, const std::vector<std::function<bool()>>& contenders,
                                          bool& ok) {
    std::vector<std::vector<double>> times(contenders.size());
    for (int i = 0; i < rounds; ++i)
        for (size_t c = 0; c < contenders.size(); ++c)
            times[c].push_back(Seconds(contenders[c], ok));
    std::vector<double> medians;
    for (auto& t : times)
        medians.push_back(Median(std::move(t)));
    return medians;
}

// The bytes over one loopback TCP connection, read to the end on the other side: the floor
// of any upload of them.
inline bool RawLoopback(const char* data, size_t size) {
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
    const bool ok = out.Connect(at, 10000).ok() && out.SendAll(data, size, 10000).ok();
    out.Close();
    reader.join();
    return ok;
}

// The usual contest: our transfer, libcurl's of the same bytes, and the raw loopback of them.
struct TKwCurlRaw {
    double Kw = 0, Curl = 0, Raw = 0;  // median seconds
    bool Ok = true;
};
inline TKwCurlRaw KwCurlRawInTurns(int rounds, const std::function<bool()>& kw, const std::function<bool()>& curl,
                                   const std::string& bytes) {
    TKwCurlRaw t;
    const auto m = MediansInTurns(rounds, {kw, curl, [&] { return RawLoopback(bytes.data(), bytes.size()); }}, t.Ok);
    t.Kw = m[0];
    t.Curl = m[1];
    t.Raw = m[2];
    return t;
}

} // namespace kw::bench
