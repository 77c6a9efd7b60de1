// Cutting a template into lines.
#include "render/TemplateText.h"
#include <algorithm>
#include <cstring>

namespace kw {

size_t TTemplateLines::FileEnd() const {
    const void* eof = std::memchr(bytes_.data(), 26, bytes_.size());
    return eof ? static_cast<size_t>(static_cast<const char*>(eof) - bytes_.data()) : bytes_.size();
}

bool TTemplateLines::NextLine(size_t& pos, size_t end, std::string_view& line, std::string& scratch) const {
    // The tail after the last LF is a line when it holds any byte, a lone CR included.
    if (pos >= end)
        return false;
    const char* start = bytes_.data() + pos;
    const void* lf = std::memchr(start, '\n', end - pos);
    const size_t length = lf ? static_cast<size_t>(static_cast<const char*>(lf) - start) : end - pos;
    line = std::string_view(start, length);
    pos += lf ? length + 1 : length;
    // Every CR of a line goes: one before the LF belongs to the line end, any other is dropped.
    if (line.find('\r') != std::string_view::npos) {
        scratch.assign(line);
        scratch.erase(std::remove(scratch.begin(), scratch.end(), '\r'), scratch.end());
        line = scratch;
    }
    return true;
}

size_t TTemplateLines::Count() const {
    size_t n = 0;
    ForEachLine([&n](std::string_view) { ++n; });
    return n;
}

} // namespace kw
