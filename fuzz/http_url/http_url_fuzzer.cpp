// A work's URL template and the values the host sends, from the fuzzer: the first byte picks
// the code page, two texts separated by byte 0xFF are the song's artist and title, the next
// text a server's Location header, the rest the URL template. The URL the HTTP target would
// send, and any redirect target, must never hold a byte a request line cannot carry, and a URL
// that splits must be http(s) with a host and no credentials.
#include "delivery/http/HttpUrl.h"
#include "render/TemplateEngine.h"
#include "render/ValueEscaping.h"
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

std::string Take(const uint8_t* data, size_t size, size_t& pos) {
    std::string out;
    while (pos < size && data[pos] != 0xFF)
        out += static_cast<char>(data[pos++]);
    if (pos < size)
        ++pos;
    return out;
}

void CheckSendable(const std::string& url) {
    for (const char ch : url) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F)
            __builtin_trap();
    }
}

void CheckParts(const kw::TUrlParts& p) {
    if ((p.Scheme != "http" && p.Scheme != "https") || p.Authority.empty() ||
        p.Authority.find('@') != std::string::npos || p.Target.empty() || p.Target[0] != '/')
        __builtin_trap();
    CheckSendable(kw::JoinUrl(p));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    size_t pos = 1;
    const uint8_t codePage = data[0] % 5;
    auto state = std::make_shared<kw::TBroadcastState>();
    state->Song.Artist = Take(data, size, pos);
    state->Song.Title = Take(data, size, pos);
    const std::string location = Take(data, size, pos);
    const std::string line(reinterpret_cast<const char*>(data) + pos, size - pos);

    kw::TPageState page;
    page.Broadcast = state;
    std::string expanded;
    kw::ExpandLine(line, codePage, kw::escURL, page, expanded);
    const std::string url = kw::CleanUrl(expanded);
    CheckSendable(url);
    kw::TUrlParts parts, next;
    if (kw::SplitUrl(url, parts)) {
        CheckParts(parts);
        if (kw::ResolveLocation(parts, location, next))
            CheckParts(next);
    }
    return 0;
}
