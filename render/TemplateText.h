// A template file's bytes cut into lines: a line ends at LF or CR LF, a CR that no LF follows
// is dropped, byte 26 (Ctrl-Z) ends the file, and a line may be of any length.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kw {

// The lines of one render. The file's bytes are kept exactly as read: the page is built from
// them in one pass (RenderPage), and most of a template is copied from them unchanged.
class TTemplateLines {
public:
    // Takes the file's bytes (no copy of the text).
    explicit TTemplateLines(std::string bytes) : bytes_(std::move(bytes)) {}

    // Calls f(std::string_view line) for every line in order, without its line end and
    // without lone CRs.
    template <typename F>
    void ForEachLine(F&& f) const {
        std::string scratch;
        std::string_view line;
        const size_t end = FileEnd();
        for (size_t pos = 0; NextLine(pos, end, line, scratch);)
            f(line);
    }

    size_t Count() const;
    // The file as read, byte 26 and what follows it included.
    std::string_view Bytes() const { return bytes_; }

private:
    size_t FileEnd() const;  // where byte 26 ends the file, or the size
    // The line at `pos` (before `end`); `scratch` holds it when lone CRs had to go.
    bool NextLine(size_t& pos, size_t end, std::string_view& line, std::string& scratch) const;

    std::string bytes_;
};

} // namespace kw
