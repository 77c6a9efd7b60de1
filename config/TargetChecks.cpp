// Checks of a delivery target's values.
#include "config/TargetChecks.h"
#include <cctype>

namespace kw {

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool SplitUrl(std::string_view url, TUrlParts& out) {
    const size_t colon = url.find("://");
    if (colon == std::string_view::npos)
        return false;
    const std::string scheme = AsciiLower(url.substr(0, colon));
    if (scheme != "http" && scheme != "https")
        return false;
    std::string_view rest = url.substr(colon + 3);
    rest = rest.substr(0, rest.find('#'));
    const size_t slash = rest.find_first_of("/?");
    const std::string_view authority = rest.substr(0, slash);
    if (authority.empty() || authority.find('@') != std::string_view::npos)
        return false;
    out.Scheme = scheme;
    out.Authority = std::string(authority);
    out.Target = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
    if (out.Target[0] == '?')
        out.Target.insert(0, "/");
    return true;
}

bool TagFreeOrigin(std::string_view url) {
    const size_t colon = url.find("://");
    const size_t authorityStart = colon == std::string_view::npos ? 0 : colon + 3;
    const size_t authorityEnd = url.find_first_of("/?#", authorityStart);
    const std::string origin = AsciiLower(url.substr(0, authorityEnd));
    return origin.find("!kw!") == std::string::npos;
}

bool NormaliseFingerprint(std::string_view text, std::string& out) {
    out.clear();
    for (const char c : text) {
        if (c == ':' || c == ' ' || c == '-')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out.size() == 64;
}

bool SafeHeaderValue(std::string_view value) {
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7F)
            return false;
    }
    return true;
}

bool ParsePort(std::string_view text, uint16_t& out) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 65535)
        return false;
    out = static_cast<uint16_t>(value);
    return true;
}

bool PublishTopicValid(std::string_view topic) {
    return !topic.empty() && topic.size() <= MaxTopicTemplateBytes &&
           topic.find_first_of(std::string_view("+#\0", 3)) == std::string_view::npos;
}

bool ClientIdValid(std::string_view id) {
    if (id.size() > 64)
        return false;
    for (const char c : id)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_')
            return false;
    return true;
}

} // namespace kw
