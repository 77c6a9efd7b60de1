// A server's status line ("HTTP/1.1 404 Not Found"), read for the code and made fit to show in
// the status cell and the log: a hostile server may send anything there.
#pragma once
#include <string>
#include <string_view>

namespace kw {

struct THttpStatus {
    int Code = 0;      // 100..999
    std::string Line;  // printable, at most MaxStatusLine bytes
};

inline constexpr size_t MaxStatusLine = 200;

// False when `line` is no status line ("HTTP/" version, space, three digits, then a space or
// nothing). Bytes below 0x20 and 0x7F in the line become "?", a longer line is cut.
bool ParseStatusLine(std::string_view line, THttpStatus& out);

} // namespace kw
