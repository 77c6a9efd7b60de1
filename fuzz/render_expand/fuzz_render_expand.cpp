// Template lines and broadcast states from the fuzzer: the first part of the input fills the
// state (texts may hold the marker and tag names), the rest is a template file.
#include "render/CodePages.h"
#include "render/RenderWork.h"
#include "render/TemplateEngine.h"
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
    // A page without markers is its template with CR LF line ends.
    if (templateBytes.find(TagMarker) == std::string::npos &&
        std::memchr(templateBytes.data(), 26, templateBytes.size()) == nullptr) {
        std::string expected;
        lines.ForEachLine([&](std::string_view l) { expected.append(l).append("\r\n"); });
        if (text != expected)
            std::abort();
    }
    return 0;
}
