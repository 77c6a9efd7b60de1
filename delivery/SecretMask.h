// The one step every failure text of a delivery passes through before it is shown or logged: a
// server may echo what it was sent (an FTP "530 ... <password>", an HTTP status line or body with
// the Authorization header), and a status cell or a log is read by more people than the password
// is meant for. Each form the password travels in is replaced by "***", whatever its length.
#pragma once
#include "config/Settings.h"
#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

// RFC 4648 Base64, as HTTP Basic authentication sends "login:password".
inline std::string Base64(std::string_view bytes) {
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            n |= static_cast<uint8_t>(bytes[i + 2]);
        out += table[(n >> 18) & 63];
        out += table[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? table[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? table[n & 63] : '=';
    }
    return out;
}

namespace secret_detail {

inline void ReplaceAll(std::string& text, std::string_view what) {
    if (what.empty())
        return;
    static constexpr std::string_view Mask = "***";
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + Mask.size()))
        text.replace(at, what.size(), Mask);
}

// Every byte but the unreserved ones as %XX, in `digits` (servers echo either case).
inline std::string PercentEncoded(std::string_view text, const char* digits) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

// The Base64 of "login:password" without its padding, and the stretch of it that stands for the
// password alone whatever the login's length: a cut or re-wrapped echo still gives nothing away.
inline void MaskBase64(std::string& text, std::string_view login, std::string_view password) {
    std::string pair(login);
    pair += ':';
    pair += password;
    std::string b64 = Base64(pair);
    ReplaceAll(text, b64);
    while (!b64.empty() && b64.back() == '=')
        b64.pop_back();
    ReplaceAll(text, b64);
}

} // namespace secret_detail

// `text` with every form of `password` masked: as it is, percent-encoded (either case of hex
// digits), and the Base64 of "login:password". An empty password masks nothing.
inline std::string WithoutSecret(std::string text, std::string_view login, std::string_view password) {
    if (password.empty())
        return text;
    secret_detail::MaskBase64(text, login, password);
    secret_detail::ReplaceAll(text, secret_detail::PercentEncoded(password, "0123456789ABCDEF"));
    secret_detail::ReplaceAll(text, secret_detail::PercentEncoded(password, "0123456789abcdef"));
    secret_detail::ReplaceAll(text, password);
    return text;
}

// Every password a work holds (FTP and HTTP), masked in `text`.
inline std::string WithoutWorkSecrets(const TWorkConfig& config, std::string text) {
    text = WithoutSecret(std::move(text), config.HTTP.Login, config.HTTP.Password);
    return WithoutSecret(std::move(text), config.FTP.Login, config.FTP.Password);
}

} // namespace kw
