// A template file's bytes cut into lines: a line ends at LF or CR LF, a CR that no LF follows
// is dropped, byte 26 (Ctrl-Z) ends the file, and a line may be of any length.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kw {

// The lines of one render, kept as one text in which LF separates the lines, so a template of
// many short lines costs no more memory than its bytes.
class TTemplateLines {
public:
    // Takes the file's bytes and prepares them in place (no copy of the text).
    explicit TTemplateLines(std::string bytes);

    // Calls f(std::string_view line) for every line in order.
    template <typename F>
    void ForEachLine(F&& f) const {
        size_t start = 0;
        for (;;) {
            const size_t end = text_.find('\n', start);
            if (end == std::string::npos)
                break;
            f(std::string_view(text_).substr(start, end - start));
            start = end + 1;
        }
        if (lastLineOpen_)
            f(std::string_view(text_).substr(start));
    }

    size_t Count() const;
    // The lines joined by LF, and whether the last line has no line end of its own.
    std::string_view Text() const { return text_; }
    bool LastLineOpen() const { return lastLineOpen_; }
    size_t TextSize() const { return text_.size(); }

private:
    std::string text_;           // the template without CRs and without what follows byte 26
    bool lastLineOpen_ = false;  // the file does not end with a line end: the tail is a line
};

} // namespace kw
