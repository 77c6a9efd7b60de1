// The requests the live server takes: HTTP/1.0 and 1.1, GET and HEAD only, the request line and
// headers at most 8 KiB, no body. Anything else is refused with its 4xx (or 505) status before
// any of it is acted on. The target is checked here, byte by byte: only the plain characters of
// a work's id and a short query, so no "..", no absolute or encoded path reaches the server.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kw::live {

inline constexpr size_t MaxRequestHead = 8 * 1024;

struct THttpRequest {
    bool Head = false;   // HEAD: the headers of the GET answer, no body
    std::string Path;    // begins with "/"; only [A-Za-z0-9._-] between single slashes
    std::string Query;   // after "?", only [A-Za-z0-9._~=&-]; may be empty
};

struct THttpParse {
    enum TState { NeedMore, Done, Refused };
    TState State = NeedMore;
    int Status = 0;        // Refused: the status to answer with
    size_t Consumed = 0;   // Done: the bytes of the request's head
    THttpRequest Request;  // Done
};

// Parses the head of a request from the start of `bytes` (all that has arrived so far). A
// request line that is complete and wrong is refused at once, without waiting for the rest.
THttpParse ParseHttpRequest(std::string_view bytes);

// The value of `name` in a query ("a=1&key=x" gives "x" for "key"); empty when absent.
std::string QueryValue(std::string_view query, std::string_view name);

} // namespace kw::live
