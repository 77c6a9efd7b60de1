// The addresses of the HTTP target: a URL as the work holds it after its tags were expanded,
// made safe to send, split into its parts, and the target of a redirect.
#pragma once
#include <string>
#include <string_view>

namespace kw {

struct TUrlParts {
    std::string Scheme;     // "http" or "https", lower case
    std::string Authority;  // host[:port] as written
    std::string Target;     // path and query, at least "/"
};

// Percent-encodes the bytes no URL may hold as they are (controls, space, bytes from 0x7F up,
// and " < > \ ^ ` { | }). The inserted values are encoded already; this covers the template's
// own text, so a CR or LF can never reach the request line.
std::string CleanUrl(std::string_view url);

// Splits an http:// or https:// URL; the fragment is dropped. False for any other scheme, an
// empty host, or user information before the host (credentials belong in the target's fields,
// where they are kept scrambled and never shown).
bool SplitUrl(std::string_view url, TUrlParts& out);
std::string JoinUrl(const TUrlParts& parts);

// The URL a Location header points to, seen from `base`; false when it is no usable http(s) URL.
bool ResolveLocation(const TUrlParts& base, std::string_view location, TUrlParts& out);

// Scheme and authority equal (credentials go only where they were meant for).
bool SameOrigin(const TUrlParts& a, const TUrlParts& b);

} // namespace kw
