// Reading a status line.
#include "delivery/http/HttpStatus.h"

namespace kw {

bool ParseStatusLine(std::string_view line, THttpStatus& out) {
    if (line.substr(0, 5) != "HTTP/")
        return false;
    const size_t space = line.find(' ');
    if (space == std::string_view::npos || space + 4 > line.size())
        return false;
    int code = 0;
    for (size_t i = space + 1; i < space + 4; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return false;
        code = code * 10 + (line[i] - '0');
    }
    if (code < 100 || (space + 4 < line.size() && line[space + 4] != ' '))
        return false;
    out.Code = code;
    out.Line.clear();
    for (const char c : line.substr(0, MaxStatusLine)) {
        const auto u = static_cast<unsigned char>(c);
        out.Line += (u < 0x20 || u == 0x7F) ? '?' : c;
    }
    return true;
}

} // namespace kw
