// PASV reply and PORT argument.
#include "delivery/ftp/FtpPasv.h"

namespace kw::ftp {

namespace {

std::string AddressText(const std::string& line) {
    const size_t open = line.find('(');
    if (open != std::string::npos) {
        const size_t close = line.find(')', open + 1);
        if (close == std::string::npos)
            return {};
        return line.substr(open + 1, close - open - 1);
    }
    const size_t blank = line.rfind(' ');
    return blank == std::string::npos ? std::string() : line.substr(blank + 1);
}

// One number 0..255 at text[i], with optional blanks around it; moves i past it.
bool ReadByte(const std::string& text, size_t& i, int& value) {
    while (i < text.size() && text[i] == ' ')
        ++i;
    size_t digits = 0;
    value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > 255)
            return false;
        ++i;
        ++digits;
    }
    while (i < text.size() && text[i] == ' ')
        ++i;
    return digits > 0;
}

} // namespace

bool ParsePasvAddress(const std::string& firstLine, net::TIpv4Endpoint& out) {
    const std::string text = AddressText(firstLine);
    int n[6];
    size_t i = 0;
    for (int k = 0; k < 6; ++k) {
        if (!ReadByte(text, i, n[k]))
            return false;
        if (k < 5) {
            if (i >= text.size() || text[i] != ',')
                return false;
            ++i;
        }
    }
    // The unbracketed form may end in a full stop ("227 Entering Passive Mode 1,2,3,4,5,6.").
    if (i < text.size() && !(i + 1 == text.size() && text[i] == '.'))
        return false;
    for (int k = 0; k < 4; ++k)
        out.Host[k] = static_cast<uint8_t>(n[k]);
    out.Port = static_cast<uint16_t>(n[4] * 256 + n[5]);
    return true;
}

std::string FormatPortArgument(const net::TIpv4Endpoint& e) {
    return std::to_string(e.Host[0]) + "," + std::to_string(e.Host[1]) + "," + std::to_string(e.Host[2]) + "," +
           std::to_string(e.Host[3]) + "," + std::to_string(e.Port >> 8) + "," + std::to_string(e.Port & 0xFF);
}

} // namespace kw::ftp
