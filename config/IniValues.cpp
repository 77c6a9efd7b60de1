// Integer and boolean values of profile files.
#include "config/IniValues.h"
#include "platform/Profile.h"

namespace kw {

namespace {

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

} // namespace

bool ParseIniInteger(const std::string& text, int32_t& value) {
    size_t pos = 0;
    int base = 10;
    bool negative = false;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        pos = 2;
    } else if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        pos = 1;
    }
    if (pos >= text.size())
        return false;
    int64_t n = 0;
    for (; pos < text.size(); ++pos) {
        const int d = DigitValue(text[pos], base);
        if (d < 0)
            return false;
        n = n * base + d;
        if (n > (base == 16 ? int64_t{0xFFFFFFFF} : int64_t{1} << 31))
            return false;
    }
    if (base == 16) // eight hexadecimal digits cover the whole 32-bit pattern: 0xFFFFFFFF is -1
        n = static_cast<int32_t>(static_cast<uint32_t>(n));
    else if (negative)
        n = -n;
    if (n < INT32_MIN || n > INT32_MAX)
        return false;
    value = static_cast<int32_t>(n);
    return true;
}

int32_t IniIntegerOf(const std::string& text, int32_t def, int32_t min, int32_t max) {
    int32_t value = 0;
    if (!ParseIniInteger(text, value) || value < min || value > max)
        return def;
    return value;
}

bool IniBoolOf(const std::string& text, bool def) {
    int32_t value = 0;
    return ParseIniInteger(text, value) ? value != 0 : def;
}

bool WriteIniInteger(const std::string& file, const std::string& section, const std::string& key,
                     int32_t value) {
    return profile::WriteString(file, section, key, std::to_string(value));
}

bool WriteIniBool(const std::string& file, const std::string& section, const std::string& key, bool value) {
    return profile::WriteString(file, section, key, value ? "1" : "0");
}

} // namespace kw
