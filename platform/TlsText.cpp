// Fingerprint text, the same on every platform.
#include "platform/Tls.h"
#include <cctype>

namespace kw::net {

std::string NormalizeSha256Text(const std::string& text) {
    std::string hex;
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isxdigit(u))
            hex += static_cast<char>(std::tolower(u));
        else if (c != ':' && c != ' ' && c != '-')
            return {};
    }
    return hex.size() == 64 ? hex : std::string();
}

} // namespace kw::net
