// The rules a delivery target's values must meet, shared by the work editor (which refuses to
// save a value the delivery would refuse) and the deliveries themselves, so both apply the same
// rule and the settings stay below the deliveries.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

struct TUrlParts {
    std::string Scheme;     // "http" or "https", lower case
    std::string Authority;  // host[:port] as written
    std::string Target;     // path and query, at least "/"
};

// The text with its ASCII letters in lower case (schemes and host names compare so).
std::string AsciiLower(std::string_view text);

// Splits an http:// or https:// URL; the fragment is dropped. False for any other scheme, an
// empty host, or user information before the host (credentials belong in the target's fields,
// where they are kept scrambled and never shown).
bool SplitUrl(std::string_view url, TUrlParts& out);

// No tag ("!KW!") in the URL's scheme, host or port: a value from the host must never choose
// where the request and its credentials go, only what the path and query carry.
bool TagFreeOrigin(std::string_view url);

// A SHA-256 fingerprint as people copy it ("AB:CD:...", spaces or none) as 64 lower-case hex
// digits; false when it is not 32 bytes of hex.
bool NormaliseFingerprint(std::string_view text, std::string& out);

// A value that may go into an HTTP header line: no CR, LF or other control byte (which would end
// the line and start a header or a request of the value's choosing).
bool SafeHeaderValue(std::string_view value);

// A TCP or UDP port as typed: decimal digits, 1 to 65535, blanks around allowed.
bool ParsePort(std::string_view text, uint16_t& out);

// An MQTT topic to publish on as typed (tags allowed): not empty, at most MaxTopicTemplateBytes,
// and none of the wildcards "+" and "#" or a NUL, which no published topic may hold.
inline constexpr size_t MaxTopicTemplateBytes = 1024;
bool PublishTopicValid(std::string_view topic);

// An MQTT client id as typed: empty (the derived one), or up to 64 letters, digits, "-" and "_"
// (what every broker takes; the standard promises only those characters).
bool ClientIdValid(std::string_view id);

} // namespace kw
