// Template lines and broadcast states from the fuzzer: the first part of the input fills the
// state (texts may hold the marker and tag names), the rest is a template file. The page must
// equal the template expanded line by line, stay within the bound that re-expansion and
// escaping allow, and, with escaping on, hold no markup character that the template lacks. A
// text target's page has the template's lines and no control byte that the template lacks.
#include "render/CodePages.h"
#include "render/RenderWork.h"
#include "render/TemplateEngine.h"
#include "render/ValueEscaping.h"
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Takes texts separated by byte 0xFF from the front of the input.
class TReader {
public:
    TReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string Text() {
        std::string out;
        while (pos_ < size_ && data_[pos_] != 0xFF)
            out += static_cast<char>(data_[pos_++]);
        if (pos_ < size_)
            ++pos_;
        return out;
    }
    std::string Rest() {
        std::string out(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
        pos_ = size_;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// The longest text a tag can give before recoding: a state text, or a formatted value (a date
// or time text, a duration of 2^32 ms) that stays below 64 bytes.
size_t LongestValue(const kw::TBroadcastState& s) {
    size_t n = 64;
    for (const std::string* t : {&s.Song.Artist, &s.Song.Title, &s.Block.Name, &s.SystemMessage, &s.ClockName})
        n = std::max(n, t->size());
    for (const auto& e : *s.Played)
        n = std::max(n, e.Artist.size());
    return n;
}

// A line gives at most its own text plus, for every marker in it, the tag and the tags found
// in inserted values after it (at most MaxReExpansions), each value recoded (UTF-8: at most
// 3 bytes a character; Latin: at most 4 letters, which no escaping grows) and escaped.
size_t LineBound(std::string_view line, size_t longestValue) {
    size_t markers = 0;
    for (size_t at = line.find(kw::TagMarker); at != std::string_view::npos; at = line.find(kw::TagMarker, at + 1))
        ++markers;
    return line.size() + markers * (kw::MaxReExpansions + 1) * longestValue * 3 * kw::MaxEscapeGrowth;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kw;
    TReader in(data, size);
    TBroadcastState state;
    state.Song.Artist = in.Text();
    state.Song.Title = in.Text();
    state.Element.Type = in.Byte();
    state.Block.Name = in.Text();
    state.SystemMessage = in.Text();
    state.ClockName = in.Text();
    state.ClockType = in.Byte();
    state.DetectorState = in.Byte();
    double raw = 0;
    for (int i = 0; i < 8; ++i)
        reinterpret_cast<uint8_t*>(&raw)[i] = in.Byte();  // any date-time bits, NaN included
    state.Song.StartTime = raw;
    state.Song.Duration = raw;
    TPlayedList played(in.Byte() % 20);
    for (auto& e : played) {
        e.Type = in.Byte() % 3;
        e.Artist = in.Text();
        e.StartTime = raw;
        e.DurationMs = static_cast<uint32_t>(in.Byte()) << 24;
    }
    state.Played = std::make_shared<const TPlayedList>(std::move(played));

    TPageState page;
    page.Broadcast = std::make_shared<const TBroadcastState>(std::move(state));
    page.LinkState = in.Byte() % 4;
    page.Now = raw;
    const uint8_t form = in.Byte();
    const uint8_t codePage = form % 6;
    const uint8_t escaping = static_cast<uint8_t>((form / 6) % 6);
    const std::string templateBytes = in.Rest();
    const size_t longestValue = LongestValue(*page.Broadcast);

    const TTemplateLines lines(templateBytes);
    const std::string text = RenderPage(lines, codePage, escaping, page);
    // The page built in one pass equals the template taken line by line; each line stays
    // within what its tags can insert.
    std::string expected;
    lines.ForEachLine([&](std::string_view l) {
        const size_t before = expected.size();
        ExpandLine(l, codePage, escaping, page, expected);
        if (expected.size() - before > LineBound(l, longestValue))
            std::abort();
        expected.append("\r\n");
    });
    if (text != expected)
        std::abort();
    if (escaping == escNone && text != RenderPage(lines, codePage, page))
        std::abort();
    // Escaped values never bring markup of their own: these characters come only from the
    // template's text.
    if (escaping != escNone && escaping < EscapingCount) {
        std::string plain;
        lines.ForEachLine([&](std::string_view l) { plain.append(l); });
        const std::string_view own = escaping == escJSON ? "<>'" : "<>'\"";
        for (const char c : own)
            if (std::count(text.begin(), text.end(), c) != std::count(plain.begin(), plain.end(), c))
                std::abort();
    }
    // A text target's page (TCP, UDP) has exactly the template's lines: no inserted value, in
    // any mode, carries a line end or another control byte into it.
    if (escaping < EscapingCount) {
        const std::string safe = RenderPage(lines, codePage, static_cast<uint8_t>(escaping | escLineSafe), page);
        size_t count = 0;
        lines.ForEachLine([&](std::string_view) { ++count; });
        if (static_cast<size_t>(std::count(safe.begin(), safe.end(), '\n')) != count ||
            static_cast<size_t>(std::count(safe.begin(), safe.end(), '\r')) != count)
            std::abort();
        std::string own;
        lines.ForEachLine([&](std::string_view l) { own.append(l); });
        for (unsigned char c = 0; c < 0x20; ++c)
            if (c != '\r' && c != '\n' && std::count(safe.begin(), safe.end(), static_cast<char>(c)) >
                                                 std::count(own.begin(), own.end(), static_cast<char>(c)))
                std::abort();
    }
    // A page without markers is its template with CR LF line ends. Lone CRs are dropped before
    // markers are looked for, so "!KW" CR "!" is one.
    std::string withoutCr = templateBytes;
    withoutCr.erase(std::remove(withoutCr.begin(), withoutCr.end(), '\r'), withoutCr.end());
    if (withoutCr.find(TagMarker) == std::string::npos &&
        std::memchr(templateBytes.data(), 26, templateBytes.size()) == nullptr) {
        std::string plain;
        lines.ForEachLine([&](std::string_view l) { plain.append(l).append("\r\n"); });
        if (text != plain)
            std::abort();
    }
    return 0;
}
