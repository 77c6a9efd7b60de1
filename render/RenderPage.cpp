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
    void FindLineStart(size_t at);
    void ExpandWholeLine();
    void StartLineAt(size_t pos);

    std::string_view text_;
    size_t end_;  // byte 26 moves it forward to where the file ends
    uint8_t codePage_;
    uint8_t escaping_;
    const TPageState& page_;
    std::string out_;
    std::string scratch_;
    size_t pos_ = 0;           // the first byte not yet on the page
    size_t lineStart_ = 0;     // where the line holding pos_ starts in the template ...
    size_t outLineStart_ = 0;  // ... and on the page
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
        if (at < limit && text_[at] == '\n') {  // a bare LF: the page ends its lines with CR LF
            out_.append(CrLf);
            StartLineAt(at + 1);  // a line end in the run before it does not matter any more
            continue;
        }
        FindLineStart(at);
        pos_ = at;
        if (at == limit)
            continue;
        switch (text_[at]) {
        case 26:
            end_ = at;
            break;
        case '\r':  // a lone CR is dropped
            pos_ = at + 1;
            break;
        default:  // "!": the line may hold a tag
            ExpandWholeLine();
            break;
        }
    }
    if (lineStart_ < end_)  // a last line without a line end of its own
        out_.append(CrLf);
    return std::move(out_);
}

// The run in front of `at` has just been copied unchanged; a line end inside it (a CR LF)
// starts a new line. Looks back no further than to that line end or to the run's start, so
// the whole page costs one look at each byte.
void TPageBuilder::FindLineStart(size_t at) {
    for (size_t i = at; i > pos_; --i) {
        if (text_[i - 1] == '\n') {
            lineStart_ = i;
            outLineStart_ = out_.size() - (at - i);
            return;
        }
    }
}

void TPageBuilder::StartLineAt(size_t pos) {
    pos_ = lineStart_ = pos;
    outLineStart_ = out_.size();
}

// Replaces what the page holds of the current line by the whole line expanded. Tags never
// span lines, so the line is all the engine needs to see.
void TPageBuilder::ExpandWholeLine() {
    out_.resize(outLineStart_);
    const char* base = text_.data();
    const void* lf = std::memchr(base + lineStart_, '\n', end_ - lineStart_);
    size_t lineEnd = lf ? static_cast<size_t>(static_cast<const char*>(lf) - base) : end_;
    if (const void* eof = std::memchr(base + lineStart_, 26, lineEnd - lineStart_))
        end_ = lineEnd = static_cast<size_t>(static_cast<const char*>(eof) - base);
    std::string_view line = text_.substr(lineStart_, lineEnd - lineStart_);
    // Lone CRs go before the search, as they go from every line: "!K" CR "W!" is a marker.
    if (line.find('\r') != std::string_view::npos) {
        scratch_.assign(line);
        scratch_.erase(std::remove(scratch_.begin(), scratch_.end(), '\r'), scratch_.end());
        line = scratch_;
    }
    if (line.find(TagMarker) != std::string_view::npos)
        ExpandLine(line, codePage_, escaping_, page_, out_);
    else
        out_.append(line);
    out_.append(CrLf);
    StartLineAt(lineEnd < end_ ? lineEnd + 1 : end_);
}

} // namespace

std::string RenderPage(const TTemplateLines& lines, uint8_t codePage, uint8_t escaping, const TPageState& page) {
    return TPageBuilder(lines.Bytes(), codePage, escaping, page).Build();
}

std::string RenderPage(const TTemplateLines& lines, uint8_t codePage, const TPageState& page) {
    return RenderPage(lines, codePage, escNone, page);
}

} // namespace kw
