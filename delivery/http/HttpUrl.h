// The addresses of the HTTP target: a URL as the work holds it after its tags were expanded,
// made safe to send, split into its parts, and the target of a redirect.
#pragma once
#include "config/TargetChecks.h"  // TUrlParts, SplitUrl
#include <string>
#include <string_view>

namespace kw {

// Percent-encodes the bytes no URL may hold as they are (controls, space, bytes from 0x7F up,
// and " < > \ ^ ` { | }). The inserted values are encoded already; this covers the template's
// own text, so a CR or LF can never reach the request line.
std::string CleanUrl(std::string_view url);

std::string JoinUrl(const TUrlParts& parts);

// The URL a Location header points to, seen from `base`; false when it is no usable http(s) URL.
bool ResolveLocation(const TUrlParts& base, std::string_view location, TUrlParts& out);

// Scheme and authority equal (credentials go only where they were meant for).
bool SameOrigin(const TUrlParts& a, const TUrlParts& b);

} // namespace kw
