// Arbitrary bytes as a client's request to the live server (first byte even), or as the name, id
// and data of one event of an event stream (first byte odd).
//  - A request is taken only with a plain path (no "..", ".", empty segment, or character
//    outside the plain set) and a plain query; a refusal is a 4xx or 505; what a request's first
//    bytes were refused for, the whole is refused for too.
//  - An event, read back by the HTML standard's event-stream reader, is one event with the
//    data as given (line breaks as LF) and a name and id without line breaks.
#include "live/EventStream.h"
#include "live/HttpRequest.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace kw::live;

bool PlainPath(const std::string& path) {
    if (path.empty() || path[0] != '/' || path.find("//") != std::string::npos)
        return false;
    for (const char c : path)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
              c == '-' || c == '/'))
            return false;
    const std::string padded = path + "/";
    return padded.find("/../") == std::string::npos && padded.find("/./") == std::string::npos;
}

void CheckRequest(std::string_view bytes, size_t cut) {
    const THttpParse whole = ParseHttpRequest(bytes);
    if (whole.State == THttpParse::Done) {
        if (!PlainPath(whole.Request.Path) || whole.Consumed > bytes.size() || whole.Consumed > MaxRequestHead)
            __builtin_trap();
        for (const char c : whole.Request.Query)
            if (std::string_view("._~=&-").find(c) == std::string_view::npos &&
                !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
                __builtin_trap();
    }
    if (whole.State == THttpParse::Refused && !((whole.Status >= 400 && whole.Status < 500) || whole.Status == 505))
        __builtin_trap();
    if (whole.State == THttpParse::NeedMore && bytes.size() >= MaxRequestHead)
        __builtin_trap();  // the head is bounded
    const THttpParse first = ParseHttpRequest(bytes.substr(0, cut));
    if (first.State == THttpParse::Refused && whole.State != THttpParse::Refused)
        __builtin_trap();
}

void CheckEvent(std::string_view input) {
    const size_t a = input.find('\x01');
    const size_t b = a == std::string_view::npos ? a : input.find('\x01', a + 1);
    const std::string_view name = a == std::string_view::npos ? std::string_view() : input.substr(0, a);
    const std::string_view id = b == std::string_view::npos ? std::string_view() : input.substr(a + 1, b - a - 1);
    const std::string_view data = b == std::string_view::npos ? input : input.substr(b + 1);
    const std::string stream = EventText(name, id, data);
    // The reader: lines end at CR LF, CR or LF; an empty line dispatches.
    std::string readData, readName, readId;
    int events = 0;
    size_t at = 0;
    bool pending = false;
    while (at < stream.size()) {
        const size_t end = stream.find_first_of("\r\n", at);
        if (end == std::string::npos)
            __builtin_trap();  // the event is not ended
        const std::string line = stream.substr(at, end - at);
        at = end + (stream[end] == '\r' && end + 1 < stream.size() && stream[end + 1] == '\n' ? 2 : 1);
        if (line.empty()) {
            events += pending ? 1 : 0;
            pending = false;
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == 0)
            __builtin_trap();  // a comment would hide a line of ours
        const std::string field = line.substr(0, colon);
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);
        if (field == "data")
            readData += value + "\n", pending = true;
        else if (field == "event")
            readName = value;
        else if (field == "id")
            readId = value;
        else
            __builtin_trap();
    }
    if (events != 1 || readData.empty())
        __builtin_trap();
    readData.pop_back();
    std::string expected;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\r') {
            expected += '\n';
            if (i + 1 < data.size() && data[i + 1] == '\n')
                ++i;
        } else {
            expected += data[i];
        }
    }
    if (readData != expected)
        __builtin_trap();
    for (const std::string* field : {&readName, &readId})
        if (field->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    if (data[0] % 2 == 0)
        CheckRequest(rest, data[1] % (rest.size() + 1));
    else
        CheckEvent(rest);
    return 0;
}
