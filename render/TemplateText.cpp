// Cutting a template into lines.
#include "render/TemplateText.h"
#include <algorithm>
#include <cstring>

namespace kw {

TTemplateLines::TTemplateLines(std::string bytes) : text_(std::move(bytes)) {
    if (const void* eof = std::memchr(text_.data(), 26, text_.size()))
        text_.resize(static_cast<size_t>(static_cast<const char*>(eof) - text_.data()));
    // The tail after the last LF is a line when it holds any byte, a lone CR included.
    lastLineOpen_ = !text_.empty() && text_.back() != '\n';
    // Every CR goes: one before an LF belongs to the line end, any other is dropped.
    text_.erase(std::remove(text_.begin(), text_.end(), '\r'), text_.end());
}

size_t TTemplateLines::Count() const {
    return static_cast<size_t>(std::count(text_.begin(), text_.end(), '\n')) + (lastLineOpen_ ? 1 : 0);
}

} // namespace kw
