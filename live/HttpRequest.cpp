// The request parser of the live server.
#include "live/HttpRequest.h"
#include <algorithm>
#include <cstdlib>

namespace kw::live {

namespace {

constexpr size_t MaxHeaderLines = 100;

THttpParse Refused(int status) {
    THttpParse result;
    result.State = THttpParse::Refused;
    result.Status = status;
    return result;
}

bool IsTokenChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsPathChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-' || c == '/';
}

bool IsQueryChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string_view("._~=&-").find(c) != std::string_view::npos;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

// The end of the line that starts at `from` (the position of its LF), or npos.
size_t LineEnd(std::string_view bytes, size_t from) { return bytes.find('\n', from); }

std::string_view LineAt(std::string_view bytes, size_t from, size_t end) {
    std::string_view line = bytes.substr(from, end - from);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// Single slashes between segments that are not "." or "..", plain characters only.
bool PathIsPlain(std::string_view path) {
    if (path.empty() || path[0] != '/')
        return false;
    if (!std::all_of(path.begin(), path.end(), IsPathChar))
        return false;
    size_t start = 1;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, slash - start);
        if (segment == "." || segment == ".." || (segment.empty() && slash != path.size()))
            return false;
        start = slash + 1;
    }
    return true;
}

// The request line: its status when refused, 0 when right.
int CheckRequestLine(std::string_view line, THttpRequest& out) {
    const size_t sp1 = line.find(' ');
    if (sp1 == std::string_view::npos || sp1 == 0)
        return 400;
    const std::string_view method = line.substr(0, sp1);
    if (!std::all_of(method.begin(), method.end(), IsTokenChar))
        return 400;
    const size_t sp2 = line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || line.find(' ', sp2 + 1) != std::string_view::npos)
        return 400;
    const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = line.substr(sp2 + 1);
    if (version.substr(0, 5) != "HTTP/")
        return 400;
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return 505;
    if (method != "GET" && method != "HEAD")
        return 405;
    const size_t mark = target.find('?');
    const std::string_view path = target.substr(0, mark);
    const std::string_view query = mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
    if (!PathIsPlain(path) || !std::all_of(query.begin(), query.end(), IsQueryChar))
        return 400;
    out.Head = method == "HEAD";
    out.Path = path;
    out.Query = query;
    return 0;
}

// One header line: refused (400) when malformed or when it announces a body.
int CheckHeader(std::string_view line) {
    if (line.empty() || line[0] == ' ' || line[0] == '\t')
        return 400;  // folded lines are obsolete and a way to smuggle
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return 400;
    const std::string_view name = line.substr(0, colon);
    if (!std::all_of(name.begin(), name.end(), IsTokenChar))
        return 400;
    std::string_view value = line.substr(colon + 1);
    if (value.find('\0') != std::string_view::npos)
        return 400;
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    if (EqualNoCase(name, "Transfer-Encoding"))
        return 400;
    if (EqualNoCase(name, "Content-Length") && value != "0")
        return 400;
    return 0;
}

} // namespace

THttpParse ParseHttpRequest(std::string_view bytes) {
    THttpParse result;
    const std::string_view seen = bytes.substr(0, MaxRequestHead);
    // Empty lines before the request line are allowed (RFC 9112, 2.2).
    size_t start = 0;
    while (start < seen.size() && (seen[start] == '\r' || seen[start] == '\n'))
        ++start;
    const size_t firstEnd = LineEnd(seen, start);
    if (firstEnd == std::string_view::npos) {
        if (bytes.size() >= MaxRequestHead)
            return Refused(414);
        return result;
    }
    if (const int status = CheckRequestLine(LineAt(seen, start, firstEnd), result.Request))
        return Refused(status);
    size_t lines = 0;
    for (size_t at = firstEnd + 1;;) {
        const size_t end = LineEnd(seen, at);
        if (end == std::string_view::npos) {
            if (bytes.size() >= MaxRequestHead)
                return Refused(431);
            return result;
        }
        const std::string_view line = LineAt(seen, at, end);
        if (line.empty()) {
            result.State = THttpParse::Done;
            result.Consumed = end + 1;
            return result;
        }
        if (++lines > MaxHeaderLines)
            return Refused(431);
        if (const int status = CheckHeader(line))
            return Refused(status);
        at = end + 1;
    }
}

std::string QueryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const size_t eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name)
            return std::string(pair.substr(eq + 1));
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

} // namespace kw::live
