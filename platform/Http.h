// One HTTP(S) exchange: a request and its response's status, nothing more. Redirects are not
// followed here (the caller decides what a redirect may carry along); reading stops after the
// status line and headers (at most MaxResponseHeadBytes), the body is never read. TLS 1.2 or
// newer. WinHTTP on Windows (the system's own proxies and TLS), libcurl elsewhere.
#pragma once
#include "platform/Message.h"
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kw::net {

inline constexpr size_t MaxResponseHeadBytes = 64 * 1024;

struct THttpRequest {
    std::string Method = "GET";
    std::string Url;  // http:// or https://, already percent-encoded
    std::vector<std::pair<std::string, std::string>> Headers;
    bool HasBody = false;
    std::string_view Body;
    // Empty: the system checks the server's certificate and name. Otherwise 64 lower-case hex
    // digits: the server's own certificate must have this SHA-256 fingerprint, and nothing else
    // about it is checked (stations run servers with self-signed certificates). Nothing of the
    // request is sent before the certificate was checked.
    std::string TrustedSha256;
    // The exchange ends within ConnectMs + RestMs whatever the server does.
    int ConnectMs = 10000;  // name lookup, connect and TLS handshake
    int RestMs = 30000;     // sending the request and receiving the response
};

struct THttpResponse {
    bool Answered = false;   // a status line came back; otherwise Error says why not
    std::string StatusLine;  // as the server sent it, without its line end
    std::string Location;    // the Location header, when there was one
    TMessage Error;          // why not (refused, TLS, time-out): the system's text or our message
};

THttpResponse HttpExchange(const THttpRequest& request);

} // namespace kw::net
