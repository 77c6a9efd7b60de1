// The one step every failure text of a delivery passes through before it is shown or logged: a
// server may echo what it was sent (an FTP "530 ... <password>", an HTTP status line or body with
// the Authorization header), and a status cell or a log is read by more people than the password
// is meant for. Each form the password travels in is replaced by "***", whatever its length.
#pragma once
#include "config/WorkConfig.h"
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

inline constexpr std::string_view Mask = "***";

// Masks every run of `text` that begins with the first `minRun` bytes of `form` and goes on as
// `form` does (it may end early: a server that cuts or garbles an echo still shows nothing of
// what the run covered), and a run at the very end that is a beginning of `form` at least
// `minTail` bytes long (an echo cut by the end of a status line).
inline void MaskRuns(std::string& text, std::string_view form, size_t minRun, size_t minTail) {
    if (form.empty())
        return;
    minRun = minRun < form.size() ? minRun : form.size();
    for (size_t at = 0; at < text.size();) {
        size_t k = 0;
        while (at + k < text.size() && k < form.size() && text[at + k] == form[k])
            ++k;
        const bool cutAtEnd = at + k == text.size() && k >= minTail && k > 0;
        if (k >= minRun || cutAtEnd) {
            text.replace(at, k, Mask);
            at += Mask.size();
        } else {
            ++at;
        }
    }
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

// The Base64 of "login:password": any run of it that reaches past the characters that stand for
// "login:" alone is masked, so a cut or garbled echo gives no character of the password away.
inline void MaskBase64(std::string& text, std::string_view login, std::string_view password) {
    std::string pair(login);
    pair += ':';
    pair += password;
    std::string b64 = Base64(pair);
    while (!b64.empty() && b64.back() == '=')
        b64.pop_back();
    const size_t loginOnly = (login.size() + 1) * 4 / 3;  // characters fixed by "login:" alone
    MaskRuns(text, b64, loginOnly + 1, loginOnly + 1);
}

} // namespace secret_detail

// `text` with every form of `password` masked: as it is, percent-encoded (either case of hex
// digits), and the Base64 of "login:password", also when cut short at the end of the text. An
// empty password masks nothing.
inline std::string WithoutSecret(std::string text, std::string_view login, std::string_view password) {
    if (password.empty())
        return text;
    using namespace secret_detail;
    if (!login.empty())  // without a login no "login:password" is ever sent
        MaskBase64(text, login, password);
    // A password's beginning at the very end of a text is an echo cut short: masked from three
    // bytes on (a shorter one could be any word's ending).
    const size_t tail = password.size() < 3 ? password.size() : 3;
    MaskRuns(text, PercentEncoded(password, "0123456789ABCDEF"), std::string::npos, tail);
    MaskRuns(text, PercentEncoded(password, "0123456789abcdef"), std::string::npos, tail);
    MaskRuns(text, password, std::string::npos, tail);
    return text;
}

// Every password a work holds (FTP, HTTP and MQTT), masked in `text`.
inline std::string WithoutWorkSecrets(const TWorkConfig& config, std::string text) {
    text = WithoutSecret(std::move(text), config.MQTT.User, config.MQTT.Password);
    text = WithoutSecret(std::move(text), config.HTTP.Login, config.HTTP.Password);
    return WithoutSecret(std::move(text), config.FTP.Login, config.FTP.Password);
}

} // namespace kw
