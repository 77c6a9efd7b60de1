// The bound on status texts.
#include "render/StatusText.h"

namespace kw {

std::string BoundedStatusText(const std::string& text) {
    size_t end = 0;
    int lines = 0;
    while (end < text.size() && end < MaxStatusChars && lines < MaxStatusLines)
        lines += text[end++] == '\n' ? 1 : 0;
    return end < text.size() ? text.substr(0, end) + "..." : text;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

// The length of a leading "<position> <LABEL>: " (the position's digits only), or 0.
size_t PositionDigits(const std::string& text) {
    size_t digits = 0;
    while (digits < text.size() && digits < 4 && IsDigit(text[digits]))
        ++digits;
    if (digits == 0 || digits == 4 || digits >= text.size() || text[digits] != ' ')
        return 0;
    size_t label = digits + 1;
    while (label < text.size() && IsCapital(text[label]))
        ++label;
    const size_t letters = label - digits - 1;
    const bool labelled = letters >= 2 && letters <= 8 && text.compare(label, 2, ": ") == 0;
    return labelled ? digits : 0;
}

} // namespace

std::string StatusTextForRow(const std::string& text, int number) {
    const size_t digits = PositionDigits(text);
    return digits ? std::to_string(number) + text.substr(digits) : text;
}

} // namespace kw
