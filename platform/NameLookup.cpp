// Bounded host-name lookup: a detached thread per name, a condition the caller waits on.
#include "platform/NameLookup.h"
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace kw::net {

namespace {

std::mutex g_lookupLock;
TNameLookup g_testLookup;

TNameLookup CurrentLookup() {
    std::lock_guard<std::mutex> hold(g_lookupLock);
    return g_testLookup ? g_testLookup : TNameLookup(SystemNameLookup);
}

// What the lookup thread and the waiting caller share; the last of them frees it.
struct TPendingLookup {
    std::mutex lock;
    std::condition_variable answered;
    bool done = false;
    TNetStatus status;
    TIpv4Endpoint endpoint;
};

} // namespace

bool ParseDottedAddress(const std::string& host, TIpv4Endpoint& out) {
    TIpv4Endpoint e;
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= host.size() || host[at] != '.')
                return false;
            ++at;
        }
        if (at + 1 < host.size() && host[at] == '0' && host[at + 1] >= '0' && host[at + 1] <= '9')
            return false;  // leading zeros: the resolver decides what they mean
        int value = 0, digits = 0;
        while (at < host.size() && host[at] >= '0' && host[at] <= '9' && digits < 4) {
            value = value * 10 + (host[at++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        e.Host[part] = static_cast<uint8_t>(value);
    }
    if (at != host.size())
        return false;
    out = e;
    return true;
}

TNetStatus LookUpWithin(const std::string& host, TIpv4Endpoint& out, int timeoutMs) {
    if (ParseDottedAddress(host, out))
        return {};
    const TNameLookup lookup = CurrentLookup();
    auto pending = std::make_shared<TPendingLookup>();
    try {
        std::thread([pending, lookup, host] {
            TIpv4Endpoint found;
            TNetStatus status;
            try {
                status = lookup(host, found);
            } catch (...) {
                status = {TNetStatus::Failed, 0, host, "LookupFailed"};
            }
            std::lock_guard<std::mutex> hold(pending->lock);
            pending->status = std::move(status);
            pending->endpoint = found;
            pending->done = true;
            pending->answered.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return lookup(host, out);  // no thread to spare: look it up here rather than not at all
    }
    std::unique_lock<std::mutex> hold(pending->lock);
    if (!pending->answered.wait_for(hold, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                                    [&] { return pending->done; }))
        return {TNetStatus::TimedOut, 0, {}};
    if (pending->status.ok())
        out = pending->endpoint;
    return pending->status;
}

void SetNameLookupForTesting(TNameLookup lookup) {
    std::lock_guard<std::mutex> hold(g_lookupLock);
    g_testLookup = std::move(lookup);
}

} // namespace kw::net
