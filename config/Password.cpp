// FTP password scrambling. Not encryption: it only keeps the password from being read at a
// glance; stored files of every installed station use exactly this form.
#include "config/Password.h"

namespace kw {

namespace {

constexpr char Key[] = "QVXZ";
constexpr size_t KeyLength = 4;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

} // namespace

std::string ScramblePassword(const std::string& text) {
    static const char Digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(static_cast<unsigned char>(text[i]) ^
                                                  static_cast<unsigned char>(Key[i % KeyLength]));
        out += Digits[b >> 4];
        out += Digits[b & 0x0F];
    }
    return out;
}

std::string UnscramblePassword(const std::string& text) {
    std::string out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        const int b = HexValue(text[i]) * 16 + HexValue(text[i + 1]);
        out += static_cast<char>(b ^ static_cast<unsigned char>(Key[out.size() % KeyLength]));
    }
    return out;
}

} // namespace kw
