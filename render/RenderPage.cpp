// Building a page from a template in one pass. The template's bytes are copied to the page in
// runs as long as possible (a CR LF line end is already what the page needs); only where the
// scan stops (a possible tag, a bare LF, a lone CR, byte 26) is a byte looked at on its own,
// and only a line that may hold a tag is cut out and expanded as a whole.
#include "render/RenderWork.h"
#include "render/TemplateEngine.h"
#include "render/TextScan.h"
#include <algorithm>
#include <cstring>

namespace kw {

namespace {

constexpr std::string_view CrLf = "\r\n";
constexpr size_t ScanPiece = 16384;

class TPageBuilder {
public:
    TPageBuilder(std::string_view text, uint8_t codePage, uint8_t escaping, const TPageState& page)
        : text_(text), end_(text.size()), codePage_(codePage), escaping_(escaping), page_(page) {}

    std::string Build();

private:
    void ExpandRestOfLine(size_t at);

    std::string_view text_;
    size_t end_;  // byte 26 moves it forward to where the file ends
    uint8_t codePage_;
    uint8_t escaping_;
    const TPageState& page_;
    TValueCache values_;  // each value of the page formatted once
    std::string out_;
    std::string scratch_;
    size_t pos_ = 0;            // the first byte not yet on the page
    bool lastLineEnded_ = false;  // an expanded line at the end of the file wrote its CR LF
};

std::string TPageBuilder::Build() {
    // Enough for every line end to gain a CR and a few values to be longer than their tags;
    // a page with many long values grows as strings do.
    out_.reserve(text_.size() + text_.size() / 16 + 64);
    while (pos_ < end_) {
        // Scanned and copied a piece at a time, so the copy reads what the scan left in the
        // processor's nearest cache.
        const size_t limit = end_ - pos_ > ScanPiece ? pos_ + ScanPiece : end_;
        const size_t at = FindLineSpecial(text_, pos_, limit);
        out_.append(text_.data() + pos_, at - pos_);
        pos_ = at;
        if (at == limit)
            continue;
        switch (text_[at]) {
        case '\n':  // a bare LF: the page ends its lines with CR LF
            out_.append(CrLf);
            pos_ = at + 1;
            break;
        case 26:
            end_ = at;
            break;
        case '\r':  // a lone CR is dropped
            pos_ = at + 1;
            break;
        default:  // "!": the line may hold a tag
            ExpandRestOfLine(at);
            break;
        }
    }
    // A last line without a line end of its own gets one.
    if (!lastLineEnded_ && end_ > 0 && text_[end_ - 1] != '\n')
        out_.append(CrLf);
    return std::move(out_);
}

// Expands the line from `at`, its first "!", on. What lies in front of it is already on the
// page: it holds no "!", so no tag, and expands to itself. Tags never span lines, so the rest
// of the line is all the engine needs to see.
void TPageBuilder::ExpandRestOfLine(size_t at) {
    const char* base = text_.data();
    const void* lf = std::memchr(base + at, '\n', end_ - at);
    size_t lineEnd = lf ? static_cast<size_t>(static_cast<const char*>(lf) - base) : end_;
    if (const void* eof = std::memchr(base + at, 26, lineEnd - at))
        end_ = lineEnd = static_cast<size_t>(static_cast<const char*>(eof) - base);
    std::string_view line = text_.substr(at, lineEnd - at);
    // The CR of a CR LF line end is no part of the line. Lone CRs go before the search, as they
    // go from every line: "!K" CR "W!" is a marker.
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (std::memchr(line.data(), '\r', line.size())) {
        scratch_.assign(line);
        scratch_.erase(std::remove(scratch_.begin(), scratch_.end(), '\r'), scratch_.end());
        line = scratch_;
    }
    const size_t marker = line.find(TagMarker);
    if (marker != std::string_view::npos)
        ExpandLineAt(line, marker, codePage_, escaping_, page_, values_, out_);
    else
        out_.append(line);
    out_.append(CrLf);
    pos_ = lineEnd < end_ ? lineEnd + 1 : end_;
    lastLineEnded_ = lineEnd >= end_;
}

} // namespace

std::string RenderPage(const TTemplateLines& lines, uint8_t codePage, uint8_t escaping, const TPageState& page) {
    return TPageBuilder(lines.Bytes(), codePage, escaping, page).Build();
}

std::string RenderPage(const TTemplateLines& lines, uint8_t codePage, const TPageState& page) {
    return RenderPage(lines, codePage, escNone, page);
}

} // namespace kw
