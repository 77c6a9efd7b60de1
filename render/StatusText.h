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

// A status text as the works grid and the log show it beside the work's number `number` (the
// grid's, from 1). A delivery failure names its work by position ("3 FTP: ..."), counted from 0
// and taken when it failed; the list may have been sorted or shortened since. The text shown
// carries the number of the row it stands in, never another. Other texts are returned as they are.
std::string StatusTextForRow(const std::string& text, int number);

} // namespace kw
