// The HTTP(S) target: the page to a web endpoint or a stream server. GET sends the URL alone
// (its tags carry the values: an Icecast title update is a URL), POST and PUT send the page's
// bytes as the body. Redirects are followed here, at most MaxRedirects times, and credentials
// go only to the origin they were given for.
#pragma once
#include "config/TargetChecks.h"  // NormaliseFingerprint
#include "delivery/Delivery.h"
#include "platform/Http.h"
#include <functional>
#include <string>
#include <string_view>

namespace kw {

struct THttpLimits {
    int ConnectMs = 10000;  // name lookup, connect, TLS
    int RestMs = 30000;     // the request and the response
    int MaxRedirects = 3;
};

// "text/html; charset=utf-8" and the like, from the output file's extension and the code page.
std::string DefaultContentType(const std::string& fileOut, uint8_t codePage);

// One exchange with a server; the program's is the platform's (WinHTTP or libcurl), the fuzzer
// hands in a hostile server of its own.
using THttpExchange = std::function<net::THttpResponse(const net::THttpRequest&)>;

// One delivery: `url` is the work's URL with its tags expanded. The whole delivery, redirects
// included, ends within limits.ConnectMs + limits.RestMs. Never throws.
TDeliveryResult SendHttp(const TWorkConfig& config, std::string_view url, std::string_view page,
                         const THttpLimits& limits, const THttpExchange& exchange = net::HttpExchange) noexcept;

class THttpDelivery final : public IDelivery {
public:
    const char* Label() const noexcept override { return "HTTP"; }
    bool Wanted(const TWorkConfig& config) const noexcept override { return config.Target == tcHTTP; }
    TDeliveryResult Deliver(TWorkData& work, const TWorkConfig& config, const TDeliveryPage& page) noexcept override;
    THttpLimits Limits;
};

} // namespace kw
