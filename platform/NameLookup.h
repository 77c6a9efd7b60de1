// Host-name lookup within a time limit. The system's resolver (getaddrinfo) takes as long as it
// likes when the DNS server is dead; a render connecting to its FTP server, and the shutdown
// that waits for that render, must not. The lookup runs on a thread of its own and the caller
// waits for it no longer than its connect limit; a lookup given up ends by itself later.
#pragma once
#include "platform/Tcp.h"
#include <functional>
#include <string>

namespace kw::net {

// One blocking lookup of `host` to an IPv4 address (port left 0).
using TNameLookup = std::function<TNetStatus(const std::string& host, TIpv4Endpoint& out)>;

// The system's lookup (getaddrinfo); in the platform's Tcp.cpp.
TNetStatus SystemNameLookup(const std::string& host, TIpv4Endpoint& out);

// A dotted IPv4 address ("127.0.0.1") read without the resolver; false for anything else.
bool ParseDottedAddress(const std::string& host, TIpv4Endpoint& out);

// Looks `host` up and waits at most `timeoutMs` for the answer: a dotted address at once,
// a name with the current lookup on its own thread. Time-out: Kind TimedOut, Text empty.
TNetStatus LookUpWithin(const std::string& host, TIpv4Endpoint& out, int timeoutMs);

// Replaces the system's lookup (an empty function restores it): tests play a resolver that
// never answers, which no real one does on demand.
void SetNameLookupForTesting(TNameLookup lookup);

} // namespace kw::net
