// Building a page from a template in one pass. The template's bytes are copied to the page in
// runs as long as possible (a CR LF line end is already what the page needs); only where the
// scan stops (a possible tag, a bare LF, a lone CR, byte 26) is a byte looked at on its own,
// and only a line that may hold a tag is cut out and expanded as a whole.
#include "render/RenderWork.h"
#include "render/TemplateEngine.h"
#include "render/TextScan.h"
#include "render/ValueEscaping.h"
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kw {

namespace {

constexpr std::string_view CrLf = "\r\n";
constexpr size_t ScanPiece = 16384;

// The four bytes at `p` are the marker (one comparison of a number).
bool IsMarkerAt(const char* p) {
    uint32_t have = 0, marker = 0;
    std::memcpy(&have, p, 4);
    std::memcpy(&marker, TagMarker.data(), 4);
    return have == marker;
}

class TPageBuilder {
public:
    TPageBuilder(std::string_view text, uint8_t codePage, uint8_t escaping, const TPageState& page)
        : text_(text), end_(text.size()), codePage_(codePage), escaping_(escaping), page_(page) {}

    std::string Build();

private:
    bool TakeTagInPlace(size_t at);
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
            pos_ = AppendAddingCr(text_, at, limit, out_);
            break;
        case 26:
            end_ = at;
            break;
        case '\r':  // a lone CR is dropped
            pos_ = at + 1;
            break;
        default:  // "!": the line may hold a tag
            if (!TakeTagInPlace(at))
                ExpandRestOfLine(at);
            break;
        }
    }
    // A last line without a line end of its own gets one.
    if (!lastLineEnded_ && end_ > 0 && text_[end_ - 1] != '\n')
        out_.append(CrLf);
    return std::move(out_);
}

// The usual "!": a marker and a tag whose value holds no "!" (so no further tag), or no marker
// at all, with no lone CR near it. Its text goes to the page at once and the scan goes on after
// it, as the engine would go on along the line. False, with nothing done, for anything else (a
// lone CR in reach could join a marker or a name, a value may hold a tag, byte 26 ends the
// file): the line is then expanded from `at` on.
bool TPageBuilder::TakeTagInPlace(size_t at) {
    // The most the engine looks at: the marker, a name and an entry digit, within the line.
    size_t crs = 0;
    size_t limit = FindLineEndNear(text_, at + 1, std::min(end_, at + TagMarker.size() + LongestTagName + 1), crs);
    if (limit < end_ && text_[limit] == 26)
        return false;
    if (crs > 0) {  // only the CR of a CR LF line end may stand in reach
        if (crs > 1 || text_[limit - 1] != '\r' || limit == end_ || text_[limit] != '\n')
            return false;
        --limit;
    }
    const std::string_view reach = text_.substr(at, limit - at);
    if (reach.size() < TagMarker.size() || !IsMarkerAt(reach.data())) {
        out_ += '!';
        pos_ = at + 1;
        return true;
    }
    const std::string_view afterMarker = reach.substr(TagMarker.size());
    const TTagInfo* tag = MatchTag(afterMarker);
    if (!tag) {  // a marker that no tag follows stays as text
        out_.append(TagMarker);
        pos_ = at + TagMarker.size();
        return true;
    }
    const size_t written = out_.size();
    try {
        const std::string_view afterName = afterMarker.substr(tag->Name.size());
        TTagText value;
        size_t taken = 0;  // an entry digit after the name
        // Most tags of a page are plain ones it has shown before: their text is at hand.
        const bool shown = !IsListTag(tag->Tag) && !ShowsNothingYet(*tag, page_) &&
                           values_.Find(tag->Tag, -1, value);
        if (!shown) {
            TLineRest rest(afterName);
            value = CachedTagValue(*tag, rest, codePage_, page_, values_);
            taken = afterName.size() - rest.Size();
        }
        if (value.HoldsMarkStart)
            return false;
        if (escaping_ == escNone)
            out_.append(value.Text);
        else
            EscapeAppend(out_, value.Text, escaping_);
        pos_ = limit - (afterName.size() - taken);
        return true;
    } catch (...) {
        out_.resize(written);
        return false;  // the line's own expansion keeps what it can
    }
}

// Expands the line from `at` on. What lies in front of it is already on the page, as the engine
// gives it: text without a marker, and tags whose values held no further tag, so the engine
// would stand at `at` with nothing inserted pending. Tags never span lines, so the rest
// of the line is all the engine needs to see.
void TPageBuilder::ExpandRestOfLine(size_t at) {
    size_t crs = 0;
    size_t lineEnd = FindLineEnd(text_, at, end_, crs);
    if (lineEnd < end_ && text_[lineEnd] == 26)
        end_ = lineEnd;
    std::string_view line = text_.substr(at, lineEnd - at);
    // The CR of a CR LF line end is no part of the line. Lone CRs go before the search, as they
    // go from every line: "!K" CR "W!" is a marker.
    if (crs > 0 && line.back() == '\r') {
        line.remove_suffix(1);
        --crs;
    }
    if (crs > 0) {
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
