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

} // namespace kw
