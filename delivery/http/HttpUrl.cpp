// URL handling of the HTTP target.
#include "delivery/http/HttpUrl.h"
#include <cctype>

namespace kw {

namespace {

bool Unsafe(unsigned char c) {
    return c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
           c == '{' || c == '|' || c == '}';
}

} // namespace

std::string CleanUrl(std::string_view url) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (const char ch : url) {
        const auto c = static_cast<unsigned char>(ch);
        if (Unsafe(c)) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string JoinUrl(const TUrlParts& parts) { return parts.Scheme + "://" + parts.Authority + parts.Target; }

bool ResolveLocation(const TUrlParts& base, std::string_view location, TUrlParts& out) {
    const std::string clean = CleanUrl(location);
    const std::string_view loc = clean;
    if (loc.find("://") != std::string_view::npos && loc.find("://") < loc.find_first_of("/?"))
        return SplitUrl(loc, out);
    if (loc.substr(0, 2) == "//")
        return SplitUrl(base.Scheme + ":" + clean, out);
    std::string target;
    if (!loc.empty() && loc[0] == '/') {
        target = clean;
    } else {
        // Relative to the folder of the base's path (its query does not count).
        const std::string path = base.Target.substr(0, base.Target.find('?'));
        target = path.substr(0, path.rfind('/') + 1) + clean;
    }
    return SplitUrl(base.Scheme + "://" + base.Authority + target, out);
}

bool SameOrigin(const TUrlParts& a, const TUrlParts& b) {
    return a.Scheme == b.Scheme && AsciiLower(a.Authority) == AsciiLower(b.Authority);
}

} // namespace kw
