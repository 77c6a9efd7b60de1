// The length of a text in a work's status cell and the log. A server's failure reply may run to
// thousands of lines of kilobytes each, and it is reported every period: the cell and the log
// keep its beginning, as the FTP folder browser's error box does.
#pragma once
#include <cstddef>
#include <string>

namespace kw {

constexpr size_t MaxStatusChars = 1000;
constexpr int MaxStatusLines = 20;

// `text` itself when it has at most MaxStatusChars characters and MaxStatusLines line breaks;
// otherwise its beginning up to either bound, followed by "...".
std::string BoundedStatusText(const std::string& text);

} // namespace kw
