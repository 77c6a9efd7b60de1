// Template lines and broadcast states from the fuzzer: the first part of the input fills the
// state (texts may hold the marker and tag names), the rest is a template file. The page must
// equal the template expanded line by line.
#include "render/CodePages.h"
#include "render/RenderWork.h"
#include "render/TemplateEngine.h"
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
    const uint8_t codePage = in.Byte() % 6;
    const std::string templateBytes = in.Rest();

    const TTemplateLines lines(templateBytes);
    const std::string text = RenderPage(lines, codePage, page);
    // The page built in one pass equals the template taken line by line.
    std::string expected;
    lines.ForEachLine([&](std::string_view l) { ExpandLine(l, codePage, page, expected); expected.append("\r\n"); });
    if (text != expected)
        std::abort();
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
